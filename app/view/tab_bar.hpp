// The tab bar's rules: which items it shows, where each one lies, what a
// click hits, and the texts and colours of an item. Computed from AppState
// on every use, in pixels for the window's DPI; drawing them is Win32. UI
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "view/geometry.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

using BarItem = TabOrGroup;

// One item per tab, except that the tabs of a collapsed group become one
// label where the group's first tab would be.
std::vector<BarItem> bar_items(const AppState& state);

// (W - "+" button) / n, limited to 72..180 (at 96 DPI); the widest with no
// items.
int bar_item_width(int client_width, std::size_t items, Scale scale);

// Where item `index` is drawn. An item whose `right <= left` lies beyond the
// "+" button and is not drawn, nor are the items after it.
struct BarItemBox {
    Rect item;
    Rect title;
    Rect close_mark;
    Rect top_stripe;
    Rect bottom_stripe;
    bool visible() const { return item.right > item.left; }
};
BarItemBox bar_item_box(int client_width, std::size_t items, std::size_t index, Scale scale);
Rect plus_button_box(int client_width, Scale scale);
// The "+" text sits right of the button's left edge.
Rect plus_text_box(int client_width, Scale scale);

struct BarHit {
    enum class Part { Body, CloseMark, Plus };
    Part part;
    std::optional<BarItem> item;  // set for Body and CloseMark
};
std::optional<BarHit> bar_hit_test(const AppState& state, int client_width, int x, int y,
                                   Scale scale);

// The index of the tab's item, or of its collapsed group's label; 0 when
// neither exists.
std::size_t item_position_of_tab(const AppState& state, TabId tab);
std::optional<std::size_t> item_position_of_group(const AppState& state, GroupId id);

// The inline rename editor laid over item `position`.
Rect rename_editor_box(int client_width, std::size_t items, std::size_t position, Scale scale);

// What an item shows: its text, background and stripes.
struct BarItemLook {
    std::string text;
    Rgb background;
    std::optional<Rgb> top_stripe;
    std::optional<Rgb> bottom_stripe;
};
BarItemLook bar_item_look(const AppState& state, const BarItem& item);

// "▸ " (then "» " while it broadcasts), the name and " (n)".
std::string group_label(const AppState& state, const TabGroup& group);

inline constexpr Rgb k_bar_item_background{25, 29, 36};
inline constexpr Rgb k_bar_item_active_background{38, 43, 53};
inline constexpr Rgb k_bar_text{225, 229, 237};
inline constexpr Rgb k_plus_background{30, 78, 121};
inline constexpr Rgb k_plus_text{255, 255, 255};

}  // namespace tolvar::app
