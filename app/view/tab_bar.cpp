#include "view/tab_bar.hpp"

#include <algorithm>

#include "workspace/tab_view.hpp"

namespace tolvar::app {

namespace {

// The group whose tabs are folded into one label, if the tab is so hidden.
// Only the tab's own group counts: a collapsed parent does not hide the tabs
// of an expanded child.
const TabGroup* collapsed_group_of(const AppState& state, const Tab& tab) {
    if (!tab.group()) return nullptr;
    const TabGroup* group = state.find_group(*tab.group());
    return group && group->collapsed ? group : nullptr;
}

}  // namespace

std::vector<BarItem> bar_items(const AppState& state) {
    std::vector<BarItem> items;
    items.reserve(state.tabs().size());
    std::vector<GroupId> labelled;
    for (const Tab& tab : state.tabs()) {
        if (const TabGroup* group = collapsed_group_of(state, tab)) {
            if (std::ranges::find(labelled, group->id()) != labelled.end()) continue;
            labelled.push_back(group->id());
            items.emplace_back(group->id());
        } else {
            items.emplace_back(tab.id());
        }
    }
    return items;
}

namespace {

// At 96 DPI.
constexpr int k_plus_button_width = 40;
constexpr int k_close_area_width = 26;

}  // namespace

int bar_item_width(int client_width, std::size_t items, Scale scale) {
    if (items == 0) return scale(180);
    const long long w = (static_cast<long long>(client_width) - scale(k_plus_button_width)) /
                        static_cast<long long>(items);
    return static_cast<int>(std::clamp<long long>(w, scale(72), scale(180)));
}

BarItemBox bar_item_box(int client_width, std::size_t items, std::size_t index, Scale scale) {
    const int w = bar_item_width(client_width, items, scale);
    const int height = tab_bar_height(scale);
    const long long start = static_cast<long long>(index) * w;
    const int x0 = static_cast<int>(std::min<long long>(start, client_width));
    const int x1 = std::min(x0 + w, client_width - scale(k_plus_button_width));
    BarItemBox box;
    box.item = {x0, 0, x1, height};
    box.title = {x0 + scale(8), 0, x1 - scale(k_close_area_width), height};
    // Inside its own item, also where the "+" button leaves only a sliver.
    box.close_mark = {std::max(x1 - scale(22), x0), 0, x1 - scale(4), height};
    box.top_stripe = {x0, 0, x1, scale(3)};
    box.bottom_stripe = {x0, height - scale(2), x1, height};
    return box;
}

Rect plus_button_box(int client_width, Scale scale) {
    return {client_width - scale(k_plus_button_width), 0, client_width, tab_bar_height(scale)};
}

Rect plus_text_box(int client_width, Scale scale) {
    return {client_width - scale(26), 0, client_width, tab_bar_height(scale)};
}

std::optional<BarHit> bar_hit_test(const AppState& state, int client_width, int x, int y,
                                   Scale scale) {
    // Compared unsigned: a negative y (captured mouse above the window) is outside.
    if (static_cast<unsigned>(y) >= static_cast<unsigned>(tab_bar_height(scale))) {
        return std::nullopt;
    }
    if (x >= client_width - scale(k_plus_button_width)) {
        return BarHit{BarHit::Part::Plus, std::nullopt};
    }
    const std::vector<BarItem> items = bar_items(state);
    const int w = bar_item_width(client_width, items.size(), scale);
    if (x < 0) return std::nullopt;
    const std::size_t i = static_cast<std::size_t>(x / w);
    if (i >= items.size()) return std::nullopt;
    // The close mark clicks where it is drawn, also on an item the "+"
    // button cuts short.
    const Rect item = bar_item_box(client_width, items.size(), i, scale).item;
    const int close_from = std::max(item.right - scale(k_close_area_width), item.left);
    const BarHit::Part part = x >= close_from ? BarHit::Part::CloseMark : BarHit::Part::Body;
    return BarHit{part, items[i]};
}

std::size_t item_position_of_tab(const AppState& state, TabId tab) {
    const std::vector<BarItem> items = bar_items(state);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == BarItem(tab)) return i;
    }
    if (const Tab* t = state.find_tab(tab)) {
        if (const TabGroup* group = collapsed_group_of(state, *t)) {
            if (auto label = item_position_of_group(state, group->id())) return *label;
        }
    }
    return 0;
}

std::optional<std::size_t> item_position_of_group(const AppState& state, GroupId id) {
    const std::vector<BarItem> items = bar_items(state);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == BarItem(id)) return i;
    }
    return std::nullopt;
}

Rect rename_editor_box(int client_width, std::size_t items, std::size_t position, Scale scale) {
    const int w = bar_item_width(client_width, items, scale);
    const int x = static_cast<int>(
        std::min<long long>(static_cast<long long>(position) * w + scale(6), client_width));
    return {x, scale(5), x + w - scale(32), scale(5) + scale(24)};
}

std::string group_label(const AppState& state, const TabGroup& group) {
    std::string label = "\xE2\x96\xB8 ";                     // ▸
    if (state.broadcasts(group.id())) label += "\xC2\xBB ";  // »
    label += group.name;
    const auto members =
        std::ranges::count_if(state.tabs(), [&](const Tab& t) { return t.group() == group.id(); });
    label += " (" + std::to_string(members) + ")";
    return label;
}

BarItemLook bar_item_look(const AppState& state, const BarItem& item) {
    BarItemLook look;
    look.background = k_bar_item_background;
    const Tab* active = state.active_tab();
    if (const TabId* id = std::get_if<TabId>(&item)) {
        const Tab* tab = state.find_tab(*id);
        if (!tab) return look;
        look.text = marked_title(state, *tab);
        if (*id == state.active()) look.background = k_bar_item_active_background;
        std::optional<Rgb> group_color;
        if (tab->group()) {
            if (const TabGroup* g = state.find_group(*tab->group()))
                group_color = color_rgb(g->color());
        }
        if (auto own = color_rgb(tab->color())) {
            look.top_stripe = own;
            look.bottom_stripe = group_color;
        } else {
            look.top_stripe = group_color;
            look.bottom_stripe = group_color;
        }
        return look;
    }
    const TabGroup* group = state.find_group(std::get<GroupId>(item));
    if (!group) return look;
    look.text = group_label(state, *group);
    if (active && active->group() == group->id()) look.background = k_bar_item_active_background;
    look.top_stripe = color_rgb(group->color());
    look.bottom_stripe = look.top_stripe;
    return look;
}

}  // namespace tolvar::app
