// Pixel rectangles of the main window's client area, shared by the tab bar,
// the layout and the pane painter. Plain values; no drawing here.
#pragma once

#include <algorithm>

namespace tolvar::app {

// The main window's fixed strips, in client pixels.
inline constexpr int k_tab_bar_height = 34;

// Half-open like a Win32 RECT: left <= x < right, top <= y < bottom.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// Text cells that fit in `pixels`, never dividing by less than 1.
constexpr int cells_in(int pixels, int cell) {
    return std::max(pixels, 0) / std::max(cell, 1);
}

}  // namespace tolvar::app
