// Arbitrary output text through URL detection and arbitrary link targets
// through the rule that decides what a click may open. Found URLs lie inside
// the line, in order and apart, start with their scheme, hold no cell a URL
// cannot hold and are found again, whole, in their own cells. A verdict to
// open names a clean web or mail address that is judged the same again, or
// an existing folder on a drive that the text does not step out of.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/utf.hpp"
#include "view/links.hpp"

using namespace tolvar::app;

namespace {

// Every other path length is a folder, so both answers are explored.
class Folders final : public FolderProbe {
  public:
    mutable std::string asked;
    bool is_folder(const std::string& path) const override {
        asked = path;
        return path.size() % 2 == 0;
    }
};

bool clean(std::string_view s) {
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7f) return false;
    }
    return tolvar::core::is_valid_utf8(s);
}

void check_verdict(std::string_view target) {
    Folders folders;
    const LinkVerdict v = judge_link(target, folders);
    switch (v.action) {
        case LinkAction::Refuse:
            if (v.reason.empty() || !v.target.empty()) std::abort();
            break;
        case LinkAction::OpenUrl: {
            const std::string_view url = v.target;
            if (!clean(url)) std::abort();
            if (!url.starts_with("http://") && !url.starts_with("https://") &&
                !url.starts_with("mailto:"))
                std::abort();
            const LinkVerdict again = judge_link(url, folders);
            if (again.action != LinkAction::OpenUrl || again.target != v.target) std::abort();
            break;
        }
        case LinkAction::OpenFolder: {
            const std::string& path = v.target;
            if (folders.asked != path || path.size() < 3 || path[1] != ':' || path[2] != '\\')
                std::abort();
            if (path.find("\\..\\") != std::string::npos || path.ends_with("\\..")) std::abort();
            for (char ch : path)
                if (static_cast<unsigned char>(ch) < 0x20 || ch == '/') std::abort();
            break;
        }
    }
}

// Cells from bytes: 0x01 makes the next cell wide (unless ASCII, which never
// is), 0x03 makes it concealed, 0x02 is a blank cell, a UTF-8 lead byte takes
// its continuation bytes (valid or not).
std::vector<LinkCell> cells_of(std::string_view bytes) {
    std::vector<LinkCell> cells;
    bool wide = false;
    bool concealed = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x01) {
            wide = true;
            ++i;
            continue;
        }
        if (c == 0x03) {
            concealed = true;
            ++i;
            continue;
        }
        if (c == 0x02) {
            cells.push_back({{}, false, 0});
            ++i;
            continue;
        }
        std::size_t n = 1;
        if (c >= 0xC0)
            while (n < 4 && i + n < bytes.size() && (bytes[i + n] & 0xC0) == 0x80) ++n;
        cells.push_back({bytes.substr(i, n), wide && c >= 0x80, 0, concealed});
        wide = false;
        concealed = false;
        i += n;
    }
    return cells;
}

bool scheme_at(const std::vector<LinkCell>& cells, std::size_t at) {
    std::string start;
    for (std::size_t k = at; k < cells.size() && k < at + 8; ++k) {
        if (cells[k].text.size() != 1) break;
        const char c = cells[k].text[0];
        start += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return start.starts_with("http://") || start.starts_with("https://") ||
           start.starts_with("file://");
}

void check_urls(const std::vector<LinkCell>& cells) {
    const std::vector<CellRange> found = detect_urls(cells);
    std::size_t done = 0;
    for (const CellRange& r : found) {
        if (r.first < done || r.last <= r.first || r.last > cells.size()) std::abort();
        if (!scheme_at(cells, r.first)) std::abort();
        std::string target;
        for (std::size_t k = r.first; k < r.last; ++k) {
            if (cells[k].text.empty() || cells[k].wide || cells[k].concealed) std::abort();
            target += cells[k].text;
        }
        const char last = target.back();
        if (last == '.' || last == ',' || last == ';' || last == ':' || last == '!' ||
            last == '?' || last == '\'')
            std::abort();
        const std::vector<LinkCell> alone(cells.begin() + static_cast<std::ptrdiff_t>(r.first),
                                          cells.begin() + static_cast<std::ptrdiff_t>(r.last));
        const std::vector<CellRange> again = detect_urls(alone);
        if (again.size() != 1 || again[0] != CellRange{0, alone.size()}) std::abort();
        check_verdict(target);
        done = r.last;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check_verdict(bytes);
    check_urls(cells_of(bytes));
    return 0;
}
