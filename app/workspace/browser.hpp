// The group browser: the entries of the level being browsed, its breadcrumb,
// the "↑ Up" button, the cards and their texts, and the operations the keys
// and clicks apply. State-only functions; callers relayout and repaint.
// UI thread only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "view/geometry.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

using BrowserEntry = TabOrGroup;

// The groups directly below the browsed group (the top-level groups at the
// top), in group order, then the tabs whose own group it is (the ungrouped
// tabs at the top), in tab order.
std::vector<BrowserEntry> browser_entries(const AppState& state);

Rect breadcrumb_bar(const Rect& client, Scale scale);
Rect breadcrumb_text_rect(const Rect& client, Scale scale);
Rect card_area(const Rect& client, Scale scale);
Rect up_button(const Rect& client, Scale scale);
// The card of entry i of n: its grid cell.
Rect card_rect(const Rect& client, std::size_t n, std::size_t i, Scale scale);

// "All groups", then "  ›  " and the name of every browsed group that still
// exists.
std::string breadcrumb_text(const AppState& state);
// The two lines of a group card: "▸ name" and "n tabs · m groups".
std::string group_card_title(const TabGroup& group);
std::string group_card_counts(const AppState& state, GroupId id);

// Ctrl+Shift+Z and Esc: leave the browser for Single, or enter it keeping the
// selection when it still points at an entry.
void toggle_browser(AppState& state);
// Backspace and "↑ Up": false when there is no level to leave.
bool browser_go_up(AppState& state);
// A click on card i; false when there are no entries.
bool browser_select(AppState& state, std::size_t i);
// The arrows, with the grid's wrapping.
void browser_move(AppState& state, int dx, int dy);
// Enter and double-click: a tab becomes active in Single view, a group is
// entered. False when there is nothing to open.
bool browser_open(AppState& state);

inline constexpr Rgb k_breadcrumb_background{20, 24, 31};
inline constexpr Rgb k_breadcrumb_text{210, 214, 222};
inline constexpr Rgb k_card_background{25, 29, 36};
inline constexpr Rgb k_card_title{235, 239, 245};
inline constexpr Rgb k_card_counts{140, 146, 158};

struct UpButtonLook {
    Rgb fill;
    Rgb frame;
    Rgb text;
};
// Looks disabled at the top level.
UpButtonLook up_button_look(bool enabled);

}  // namespace tolvar::app
