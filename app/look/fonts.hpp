// The portable rules of the terminal font: which faces to try, and the
// pixel height for a size and DPI. Creating and measuring fonts is Win32.
#pragma once

#include <string>
#include <vector>

#include "tolvar/core/records.hpp"

namespace tolvar::app {

inline constexpr std::string_view k_fallback_face = "Consolas";

// The configured family, then the fallbacks, without empty names.
std::vector<std::string> font_candidates(const core::FontSettings& font);

// Whether the face GDI chose is the one asked for, ignoring ASCII case.
bool same_face(std::string_view requested, std::string_view actual);

// round(dpi x size / 72) with the DPI raised to 96 and the size clamped to
// 6..72 points.
int font_pixel_height(unsigned dpi, float size_pt);

struct CellMetrics {
    int width = 8;
    int height = 16;
    int text_height = 16;
};

}  // namespace tolvar::app
