#include "view/help_win.hpp"

#include "view/gdi_win.hpp"
#include "view/help.hpp"

namespace tolvar::app::win {

void paint_help(HDC dc, const RECT& client, const AppState& state, const TerminalFont& font,
                Scale scale) {
    if (!state.help_visible()) return;
    const HelpLayout layout = help_layout(client.right - client.left, client.bottom - client.top,
                                          font.cell().height, scale);
    fill(dc, layout.panel, k_help_background);
    outline(dc, layout.panel, k_help_frame);

    const Selected selected(dc, font.font());
    draw_text(dc, k_help_title, layout.title, k_help_title_color);
    const auto rows = help_rows(state.config().settings.keys.nav_modifier);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        draw_text(dc, rows[i].key, layout.key_cell(i), k_help_key_color);
        draw_text(dc, rows[i].description, layout.description_cell(i), k_help_description_color);
    }
}

}  // namespace tolvar::app::win
