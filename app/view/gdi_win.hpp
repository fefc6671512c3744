// Owners of GDI and USER objects, and the few drawing calls every painter
// shares. A font, bitmap, memory DC or menu is held by a move-only owner that
// releases it on every path; an object selected into a DC is put back when
// its scope ends. Fills and frames use the DC brush, so no paint creates a
// brush at all. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "tolvar/core/win/win32.hpp"
#include "view/geometry.hpp"

namespace tolvar::app::win {

using core::win::Owned;

namespace release {
inline void gdi_object(HGDIOBJ object) {
    DeleteObject(object);
}
inline void font(HFONT font) {
    gdi_object(font);
}
inline void bitmap(HBITMAP bitmap) {
    gdi_object(bitmap);
}
inline void region(HRGN region) {
    gdi_object(region);
}
inline void memory_dc(HDC dc) {
    DeleteDC(dc);
}
inline void menu(HMENU menu) {
    DestroyMenu(menu);
}
}  // namespace release

using Font = Owned<HFONT, release::font>;
using Bitmap = Owned<HBITMAP, release::bitmap>;
using MemoryDc = Owned<HDC, release::memory_dc>;
using Region = Owned<HRGN, release::region>;
using MenuHandle = Owned<HMENU, release::menu>;

// GetDC and ReleaseDC of a window.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// BeginPaint and EndPaint.
class PaintDc {
  public:
    explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { EndPaint(window_, &paint_); }
    HDC get() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a DC for one scope.
class Selected {
  public:
    Selected(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;
    ~Selected() {
        if (previous_) SelectObject(dc_, previous_);
    }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

inline COLORREF colorref(Rgb c) {
    return RGB(c.r, c.g, c.b);
}

inline RECT to_rect(const Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

void fill(HDC dc, const Rect& r, Rgb color);
// A one-pixel frame just inside the rectangle.
void outline(HDC dc, const Rect& r, Rgb color);
// One line of UTF-8 text, vertically centred and clipped to the box, with a
// transparent background. No prefix handling: an "&" is text, not a
// mnemonic. `ellipsis` ends text that does not fit with "…".
void draw_text(HDC dc, std::string_view utf8, const Rect& box, Rgb color, bool ellipsis = false);
void draw_text(HDC dc, std::u16string_view text, const Rect& box, Rgb color, bool ellipsis = false);

// The dialogs' and the tab bar's face, 9 points at the DPI.
Font create_ui_font(unsigned dpi, int weight = FW_NORMAL);

}  // namespace tolvar::app::win
