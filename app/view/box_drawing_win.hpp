// Draws one box-drawing or block-element cell from its portable pieces with
// the DC brush: no GDI object is created per cell. The cell's background is
// the caller's; shades are filled with the blended colour, not dithered, so
// they look even at any size. UI thread.
#pragma once

#include <windows.h>

#include "view/box_drawing.hpp"
#include "view/geometry.hpp"

namespace tolvar::app::win {

// `cell` in the DC's coordinates; `stroke` from box_stroke. Draws nothing for
// a code point that drawn_as_box refuses.
void draw_box_glyph(HDC dc, char32_t cp, const Rect& cell, Rgb fg, Rgb bg, int stroke);

}  // namespace tolvar::app::win
