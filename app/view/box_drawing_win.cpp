#include "view/box_drawing_win.hpp"

#include "view/gdi_win.hpp"

namespace tolvar::app::win {

void draw_box_glyph(HDC dc, char32_t cp, const Rect& cell, Rgb fg, Rgb bg, int stroke) {
    const BoxGlyph glyph = box_glyph(cp, cell.width(), cell.height(), stroke);
    for (const BoxFill& piece : glyph.fills) {
        const Rect& r = piece.rect;
        fill(dc, {cell.left + r.left, cell.top + r.top, cell.left + r.right, cell.top + r.bottom},
             piece.percent >= 100 ? fg : blend(fg, bg, piece.percent));
    }
}

}  // namespace tolvar::app::win
