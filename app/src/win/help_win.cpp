#include "help_win.hpp"

#include "tolvar/app/help.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

namespace {

COLORREF to_colorref(Rgb c) {
    return RGB(c.r, c.g, c.b);
}

RECT to_rect(const Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

void draw_text(HDC dc, std::string_view utf8, const Rect& box, Rgb color) {
    const std::wstring wide = core::win::to_wide(utf8);
    RECT r = to_rect(box);
    SetTextColor(dc, to_colorref(color));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace

void paint_help(HDC dc, const RECT& client, const AppState& state, const TerminalFont& font) {
    if (!state.help_visible) return;
    const HelpLayout layout =
        help_layout(client.right - client.left, client.bottom - client.top, font.cell().height);
    const RECT panel = to_rect(layout.panel);
    HBRUSH fill = CreateSolidBrush(to_colorref(k_help_background));
    FillRect(dc, &panel, fill);
    DeleteObject(fill);
    HBRUSH frame = CreateSolidBrush(to_colorref(k_help_frame));
    FrameRect(dc, &panel, frame);
    DeleteObject(frame);

    HGDIOBJ old_font = SelectObject(dc, font.font());
    draw_text(dc, k_help_title, layout.title, k_help_title_color);
    const auto rows = help_rows(state.config.settings.keys.nav_modifier);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        draw_text(dc, rows[i].key, layout.key_cell(i), k_help_key_color);
        draw_text(dc, rows[i].description, layout.description_cell(i), k_help_description_color);
    }
    SelectObject(dc, old_font);
}

}  // namespace tolvar::app::win
