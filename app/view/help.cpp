#include "view/help.hpp"

#include <algorithm>

namespace tolvar::app {

std::array<HelpRow, k_help_rows> help_rows(std::string_view nav_modifier) {
    const std::string nav = nav_modifier.empty() ? "Alt" : std::string(nav_modifier);
    return {{
        {nav + "+Arrows", "Move selection (wraps; 4-way tiled)"},
        {"Ctrl+Shift+Z", "Browse groups (Enter in, Bksp up)"},
        {"Ctrl+T / Ctrl+W", "New tab / close tab"},
        {"Ctrl+N", "New window"},
        {"Ctrl+Tab / Ctrl+Shift+Tab", "Next / previous tab"},
        {"Ctrl+1..9", "Select tab"},
        {"Ctrl+Shift+R", "Rename tab"},
        {"Ctrl+Shift+O", "Connection manager"},
        {"Ctrl+Shift+P", "Quick connect (user@host)"},
        {"Ctrl+Shift+H", "History viewer"},
        {"Tab", "Expand alias / accept suggestion"},
        {"Ctrl+Shift+B", "Broadcast input to group"},
        {"Ctrl+Shift+G / Ctrl+Shift+A", "Tile group / tile all"},
        {"Ctrl+Shift+E", "Collapse / expand group"},
        {"Shift+PgUp / Shift+PgDn", "Scroll back / forward a page"},
        {"Ctrl+Shift+Up / Down", "Scroll a line (Home oldest, End live)"},
        {"Ctrl+Shift+F", "Find in history (Enter next, Esc)"},
        {"Ctrl+Ins / Ctrl+Shift+C", "Copy screen / selection"},
        {"Shift+Ins / Ctrl+Shift+V", "Paste (also Ctrl+Shift+Ins)"},
        {"Drag / right-click", "Copy selection / paste"},
        {"Double / triple-click", "Select word / line"},
        {"Shift+click / Alt+drag", "Extend / block selection"},
        {"Ctrl+Shift+Space", "Command palette"},
        {"Ctrl+F1", "This help (Esc closes)"},
    }};
}

HelpLayout help_layout(int w, int h, int cell_height, Scale scale) {
    HelpLayout layout;
    const int r = std::max(cell_height + scale(6), scale(20));
    const int pw = std::min(std::max(w - scale(60), scale(280)), scale(560));
    const int x0 = (w - pw) / 2;
    const int lines = static_cast<int>(k_help_rows) + 1;  // the title and the rows
    const int t = std::max((h - lines * r - scale(58)) / 2, scale(8));
    layout.row_height = r;
    layout.key_width = 45 * pw / 4 / 25;
    layout.panel = {x0, t + scale(34), x0 + pw, t + lines * r + scale(58)};
    layout.title = {x0 + scale(16), t + scale(46), x0 + pw - scale(16), t + scale(46) + r};
    return layout;
}

Rect HelpLayout::key_cell(std::size_t row) const {
    const int top = title.bottom + static_cast<int>(row) * row_height;
    return {title.left, top, title.left + key_width, top + row_height};
}

Rect HelpLayout::description_cell(std::size_t row) const {
    const Rect key = key_cell(row);
    return {key.right, key.top, title.right, key.bottom};
}

}  // namespace tolvar::app
