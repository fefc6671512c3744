#include "look/fonts.hpp"

#include <algorithm>
#include <cmath>

namespace tolvar::app {

std::vector<std::string> font_candidates(const core::FontSettings& font) {
    std::vector<std::string> names;
    if (!font.family.empty()) names.push_back(font.family);
    for (const std::string& f : font.fallbacks) {
        if (!f.empty()) names.push_back(f);
    }
    return names;
}

bool same_face(std::string_view requested, std::string_view actual) {
    return std::ranges::equal(requested, actual, [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    });
}

int font_pixel_height(unsigned dpi, float size_pt) {
    const double d = std::max(dpi, 96u);
    const double size = std::isfinite(size_pt) ? std::clamp<double>(size_pt, 6.0, 72.0) : 12.0;
    return static_cast<int>(std::lround(d * size / 72.0));
}

}  // namespace tolvar::app
