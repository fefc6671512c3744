#include "tolvar/core/lowercase.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "tolvar/core/utf.hpp"

namespace tolvar::core {

namespace {

// Code points first..last, every stride-th one, lower-case to cp + delta.
struct LowerRun {
    char32_t first;
    char32_t last;
    std::int32_t delta;
    std::uint8_t stride;
};

struct CodeRange {
    char32_t first;
    char32_t last;
};

#include "lowercase_tables.inc"

template <std::size_t N>
bool in_ranges(const CodeRange (&table)[N], char32_t cp) {
    const auto* it = std::upper_bound(std::begin(table), std::end(table), cp,
                                      [](char32_t c, const CodeRange& r) { return c < r.first; });
    return it != std::begin(table) && cp <= std::prev(it)->last;
}

constexpr char32_t simple_lower(char32_t cp) {
    const auto* it = std::upper_bound(std::begin(k_lower_runs), std::end(k_lower_runs), cp,
                                      [](char32_t c, const LowerRun& r) { return c < r.first; });
    if (it == std::begin(k_lower_runs)) return cp;
    const LowerRun& run = *std::prev(it);
    if (cp > run.last || (cp - run.first) % run.stride != 0) return cp;
    return static_cast<char32_t>(static_cast<std::int32_t>(cp) + run.delta);
}

// U+0000-U+07FF, where the Latin, Greek, Cyrillic, Armenian, Hebrew and
// Arabic letters are, at once: searches lower-case whole screens of them.
constexpr auto k_low_table = [] {
    std::array<char32_t, 0x800> table{};
    for (char32_t cp = 0; cp < table.size(); ++cp) table[cp] = simple_lower(cp);
    return table;
}();

bool is_cased(char32_t cp) {
    return in_ranges(k_cased, cp);
}
bool is_case_ignorable(char32_t cp) {
    return in_ranges(k_case_ignorable, cp);
}

// Capital sigma at `i` becomes final when a cased letter precedes it and none
// follows, case-ignorable characters skipped on both sides.
bool is_final_sigma(const std::vector<char32_t>& text, std::size_t i) {
    std::size_t j = i;
    while (j > 0 && is_case_ignorable(text[j - 1])) --j;
    if (j == 0 || !is_cased(text[j - 1])) return false;
    std::size_t k = i + 1;
    while (k < text.size() && is_case_ignorable(text[k])) ++k;
    return k == text.size() || !is_cased(text[k]);
}

std::vector<char32_t> decode(std::string_view utf8) {
    std::string repaired;
    if (!is_valid_utf8(utf8)) {
        repaired = utf16_to_utf8_lossy(utf8_to_utf16(utf8));
        utf8 = repaired;
    }
    std::vector<char32_t> out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) out.push_back(next_code_point(utf8, pos));
    return out;
}

}  // namespace

std::string to_lowercase(std::string_view utf8) {
    const std::vector<char32_t> text = decode(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == 0x03A3 && is_final_sigma(text, i)) {
            append_utf8(out, 0x03C2);
        } else {
            char buf[4];
            out.append(buf, lowercase_utf8(text[i], buf));
        }
    }
    return out;
}

char* lowercase_utf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp - 'A' < 26u ? cp + 32 : cp);
        return out;
    }
    if (cp == 0x0130) {
        *out++ = 'i';
        cp = 0x0307;
    } else if (cp == 0x03A3) {
        cp = 0x03C3;  // the tables leave sigma to the context
    } else {
        cp = cp < k_low_table.size() ? k_low_table[cp] : simple_lower(cp);
    }
    return write_utf8(cp, out);
}

}  // namespace tolvar::core
