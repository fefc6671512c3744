#include "sessions/output.hpp"

#include <cstdio>

#include "tolvar/core/file_names.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

constexpr std::size_t k_title_bytes = 120;

bool forbidden_in_file_name(char32_t c) {
    return c < 0x20 || c == 0x7F ||
           std::u32string_view(U"<>:\"/\\|?*").find(c) != std::u32string_view::npos;
}

// The title as a name: what names cannot hold replaced, cut within `budget`
// bytes (never inside a character), the ends trimmed as Windows would.
std::string stem_within(std::string_view title, std::string_view fallback, std::size_t budget) {
    std::string stem;
    for (std::size_t pos = 0; pos < title.size();) {
        const std::size_t begin = pos;
        const char32_t c = core::next_code_point(title, pos);
        if (stem.size() + (pos - begin) > budget) break;
        if (forbidden_in_file_name(c)) {
            stem.push_back('_');
        } else {
            stem.append(title.substr(begin, pos - begin));
        }
    }
    while (!stem.empty() && (stem.back() == '.' || stem.back() == ' ')) stem.pop_back();
    const std::string_view trimmed = core::trim_unicode(stem);
    return trimmed.empty() ? std::string(fallback) : std::string(trimmed);
}

}  // namespace

std::string output_text(const pty::TerminalModel& model) {
    std::string text =
        model.text_range({model.history_begin(), 0}, {model.history_end() + model.rows(), 0});
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty()) text.push_back('\n');
    return text;
}

std::string file_name_stem(std::string_view title, std::string_view fallback) {
    std::string stem = stem_within(title, fallback, k_title_bytes);
    if (!core::is_reserved_device_name(stem)) return stem;
    // The mark takes a byte of the bound.
    stem = stem_within(title, fallback, k_title_bytes - 1);
    stem.insert(stem.begin(), '_');
    return stem;
}

std::string output_file_name(std::string_view title, int year, int month, int day) {
    std::string stem = file_name_stem(title, "output");
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, month, day);
    stem += ' ';
    stem += date;
    stem += ".txt";
    return stem;
}

}  // namespace tolvar::app
