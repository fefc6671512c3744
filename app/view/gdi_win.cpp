#include "view/gdi_win.hpp"

#include "tolvar/core/utf.hpp"

namespace tolvar::app::win {

void fill(HDC dc, const Rect& r, Rgb color) {
    SetDCBrushColor(dc, colorref(color));
    const RECT box = to_rect(r);
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void outline(HDC dc, const Rect& r, Rgb color) {
    SetDCBrushColor(dc, colorref(color));
    const RECT box = to_rect(r);
    FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void draw_text(HDC dc, std::u16string_view text, const Rect& box, Rgb color, bool ellipsis) {
    if (text.empty() || box.right <= box.left) return;
    RECT r = to_rect(box);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colorref(color));
    DrawTextW(dc, reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (ellipsis ? DT_END_ELLIPSIS : 0u));
}

void draw_text(HDC dc, std::string_view utf8, const Rect& box, Rgb color, bool ellipsis) {
    draw_text(dc, core::utf8_to_utf16(utf8), box, color, ellipsis);
}

Font create_ui_font(unsigned dpi, int weight) {
    return Font(CreateFontW(scale_for_dpi(-12, dpi), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Segoe UI"));
}

}  // namespace tolvar::app::win
