// Box drawing and block elements (U+2500..U+259F, and the scan lines
// U+23BA..U+23BD of DEC line drawing) as the rectangles that
// cover one cell, so frames, bars and shades join across cells at any font
// and size instead of showing the font's gaps. Pure geometry, no drawing;
// plain values, any thread.
#pragma once

#include <vector>

#include "view/geometry.hpp"

namespace tolvar::app {

// The whole range U+2500..U+259F and U+23BA..U+23BD; the font draws nothing
// of them.
bool drawn_as_box(char32_t cp);

// The light line's thickness: one pixel per 96 DPI, as the font's own strokes
// grow, but at most a quarter of the cell so that a double line (three
// strokes) and a heavy one still leave room around them in a narrow cell.
int box_stroke(int cell_width, unsigned dpi);

// One rectangle of a glyph, relative to the cell's top left. `percent` is how
// much of the foreground lies over the background: 100 for lines and blocks,
// 25, 50 or 75 for the shades.
struct BoxFill {
    Rect rect;
    int percent = 100;
    friend bool operator==(const BoxFill&, const BoxFill&) = default;
};

// Diagonals and rounded corners come as runs of rectangles too, one per row
// or fewer, so every piece of a glyph is filled the same way.
struct BoxGlyph {
    std::vector<BoxFill> fills;
};

// The pieces of `cp` in a cell of that size, all inside the cell; empty for a
// code point outside the range. Lines are centred on the light line's pixel
// row and column, which depend only on the cell size and stroke, so the arms
// of neighbouring cells meet. A heavy line is 2 x light (+1 when light is
// odd, so both share a centre); a double line is two light lines with a light
// gap. A stroke too wide for a double line in the cell is narrowed.
BoxGlyph box_glyph(char32_t cp, int cell_width, int cell_height, int light_stroke);

// `percent` of `fg` over `bg`, rounded per channel.
Rgb blend(Rgb fg, Rgb bg, int percent);

}  // namespace tolvar::app
