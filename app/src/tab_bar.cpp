#include "tolvar/app/tab_bar.hpp"

#include <algorithm>

#include "tolvar/app/workspace.hpp"

namespace tolvar::app {

namespace {

// The group whose tabs are folded into one label, if the tab is so hidden.
// Only the tab's own group counts: a collapsed parent does not hide the tabs
// of an expanded child.
const TabGroup* collapsed_group_of(const AppState& state, const Tab& tab) {
    if (!tab.group) return nullptr;
    const TabGroup* group = state.find_group(*tab.group);
    return group && group->collapsed ? group : nullptr;
}

}  // namespace

std::vector<BarItem> bar_items(const AppState& state) {
    std::vector<BarItem> items;
    items.reserve(state.tabs.size());
    std::vector<GroupId> labelled;
    for (std::size_t i = 0; i < state.tabs.size(); ++i) {
        if (const TabGroup* group = collapsed_group_of(state, state.tabs[i])) {
            if (std::ranges::find(labelled, group->id) != labelled.end()) continue;
            labelled.push_back(group->id);
            items.push_back({BarItem::Kind::Group, group->id});
        } else {
            items.push_back({BarItem::Kind::Tab, i});
        }
    }
    return items;
}

int bar_item_width(int client_width, std::size_t items) {
    if (items == 0) return 180;
    const long long w = (static_cast<long long>(client_width) - k_plus_button_width) /
                        static_cast<long long>(items);
    return static_cast<int>(std::clamp<long long>(w, 72, 180));
}

BarItemBox bar_item_box(int client_width, std::size_t items, std::size_t index) {
    const int w = bar_item_width(client_width, items);
    const long long start = static_cast<long long>(index) * w;
    const int x0 = static_cast<int>(std::min<long long>(start, client_width));
    const int x1 = std::min(x0 + w, client_width - k_plus_button_width);
    BarItemBox box;
    box.item = {x0, 0, x1, k_tab_bar_height};
    box.title = {x0 + 8, 0, x1 - k_close_mark_width, k_tab_bar_height};
    box.close_mark = {x1 - 22, 0, x1 - 4, k_tab_bar_height};
    box.top_stripe = {x0, 0, x1, 3};
    box.bottom_stripe = {x0, 32, x1, k_tab_bar_height};
    return box;
}

Rect plus_button_box(int client_width) {
    return {client_width - k_plus_button_width, 0, client_width, k_tab_bar_height};
}

Rect plus_text_box(int client_width) {
    return {client_width - 26, 0, client_width, k_tab_bar_height};
}

std::optional<BarHit> bar_hit_test(const AppState& state, int client_width, int x, int y) {
    // Compared unsigned: a negative y (captured mouse above the window) is outside.
    if (static_cast<unsigned>(y) >= static_cast<unsigned>(k_tab_bar_height)) return std::nullopt;
    if (x >= client_width - k_plus_button_width) return BarHit{BarHit::Part::Plus, std::nullopt};
    const std::vector<BarItem> items = bar_items(state);
    const int w = bar_item_width(client_width, items.size());
    if (x < 0) return std::nullopt;
    const std::size_t i = static_cast<std::size_t>(x / w);
    if (i >= items.size()) return std::nullopt;
    // The close mark's click area is measured on the item's full width, even
    // where the "+" button cuts the item short.
    const long long close_from = (static_cast<long long>(i) + 1) * w - k_close_mark_width;
    const BarHit::Part part = x >= close_from ? BarHit::Part::CloseMark : BarHit::Part::Body;
    return BarHit{part, items[i]};
}

std::size_t item_position_of_tab(const AppState& state, std::size_t tab) {
    const std::vector<BarItem> items = bar_items(state);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == BarItem{BarItem::Kind::Tab, tab}) return i;
    }
    if (tab < state.tabs.size()) {
        if (const TabGroup* group = collapsed_group_of(state, state.tabs[tab])) {
            if (auto label = item_position_of_group(state, group->id)) return *label;
        }
    }
    return 0;
}

std::optional<std::size_t> item_position_of_group(const AppState& state, GroupId id) {
    const std::vector<BarItem> items = bar_items(state);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == BarItem{BarItem::Kind::Group, id}) return i;
    }
    return std::nullopt;
}

Rect rename_editor_box(int client_width, std::size_t items, std::size_t position) {
    const int w = bar_item_width(client_width, items);
    const int x = static_cast<int>(
        std::min<long long>(static_cast<long long>(position) * w + 6, client_width));
    return {x, 5, x + w - 32, 5 + 24};
}

std::string group_label(const AppState& state, const TabGroup& group) {
    std::string label = "\xE2\x96\xB8 ";                           // ▸
    if (state.broadcast.contains(group.id)) label += "\xC2\xBB ";  // »
    label += group.name;
    const auto members =
        std::ranges::count_if(state.tabs, [&](const Tab& t) { return t.group == group.id; });
    label += " (" + std::to_string(members) + ")";
    return label;
}

BarItemLook bar_item_look(const AppState& state, const BarItem& item) {
    BarItemLook look;
    look.background = k_bar_item_background;
    const Tab* active = state.active_tab();
    if (item.kind == BarItem::Kind::Tab) {
        if (item.key >= state.tabs.size()) return look;
        const Tab& tab = state.tabs[item.key];
        look.text = display_title(state, tab);
        if (item.key == state.active) look.background = k_bar_item_active_background;
        std::optional<Rgb> group_color;
        if (tab.group) {
            if (const TabGroup* g = state.find_group(*tab.group)) group_color = color_rgb(g->color);
        }
        if (auto own = color_rgb(tab.color)) {
            look.top_stripe = own;
            look.bottom_stripe = group_color;
        } else {
            look.top_stripe = group_color;
            look.bottom_stripe = group_color;
        }
        return look;
    }
    const TabGroup* group = state.find_group(item.key);
    if (!group) return look;
    look.text = group_label(state, *group);
    if (active && active->group == group->id) look.background = k_bar_item_active_background;
    look.top_stripe = color_rgb(group->color);
    look.bottom_stripe = look.top_stripe;
    return look;
}

}  // namespace tolvar::app
