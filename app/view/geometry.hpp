// Pixel rectangles and colours of the main window's client area, shared by
// the tab bar, the layout and the pane painter, and the DPI scale of the
// chrome. Plain values; no drawing here.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tolvar::app {

// Sizes of 1/96 inch in pixels: value x DPI / 96, with a DPI below 96
// counted as 96. Every chrome measure is written at 96 DPI and goes through
// this, as dialog sizes do.
constexpr int scale_for_dpi(int value, unsigned dpi) {
    return static_cast<int>(static_cast<long long>(value) * (dpi < 96 ? 96 : dpi) / 96);
}

struct Scale {
    unsigned dpi = 96;
    constexpr int operator()(int at_96_dpi) const { return scale_for_dpi(at_96_dpi, dpi); }
};

// The strip at the top of the client area that holds the tab bar.
constexpr int tab_bar_height(Scale scale) {
    return scale(34);
}

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

struct Rgb {
    std::uint8_t r, g, b;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

// Text cells that fit in `pixels`, never dividing by less than 1.
constexpr int cells_in(int pixels, int cell) {
    return std::max(pixels, 0) / std::max(cell, 1);
}

// A column of the text grid as the column of the line drawn there: a line
// drawn doubled (double width or height) shows one of its cells every two
// columns. Rounds down, so a column left of the grid stays left of it.
constexpr int line_column(int screen_col, bool doubled) {
    if (!doubled) return screen_col;
    return screen_col >= 0 ? screen_col / 2 : -((1 - screen_col) / 2);
}

}  // namespace tolvar::app
