#include "tolvar/app/browser.hpp"

#include <algorithm>

#include "tolvar/app/layout.hpp"

namespace tolvar::app {

std::vector<BrowserEntry> browser_entries(const AppState& state) {
    std::optional<GroupId> level;
    if (!state.browse_path.empty()) level = state.browse_path.back();
    std::vector<BrowserEntry> entries;
    for (const TabGroup& g : state.groups) {
        if (g.parent == level) entries.push_back({BrowserEntry::Kind::Group, g.id});
    }
    for (std::size_t i = 0; i < state.tabs.size(); ++i) {
        if (state.tabs[i].group == level) entries.push_back({BrowserEntry::Kind::Tab, i});
    }
    return entries;
}

Rect breadcrumb_bar(const Rect& client) {
    return {client.left, k_tab_bar_height, client.right, k_breadcrumb_bottom};
}

Rect breadcrumb_text_rect(const Rect& client) {
    return {client.left + 10, k_tab_bar_height, client.right - 84, k_breadcrumb_bottom};
}

Rect card_area(const Rect& client) {
    return {client.left, k_breadcrumb_bottom, client.right, client.bottom};
}

Rect up_button(const Rect& client) {
    return {std::max(client.right - 76, client.left), 37, client.right - 6, 61};
}

Rect card_rect(const Rect& client, std::size_t n, std::size_t i) {
    return grid_cell(card_area(client), n, i);
}

std::string breadcrumb_text(const AppState& state) {
    std::string text = "All groups";
    for (const GroupId id : state.browse_path) {
        if (const TabGroup* g = state.find_group(id)) {
            text += "  \xE2\x80\xBA  ";  // ›
            text += g->name;
        }
    }
    return text;
}

std::string group_card_title(const TabGroup& group) {
    return "\xE2\x96\xB8 " + group.name;  // ▸
}

std::string group_card_counts(const AppState& state, GroupId id) {
    const auto tabs =
        std::ranges::count_if(state.tabs, [&](const Tab& t) { return t.group == id; });
    const auto groups =
        std::ranges::count_if(state.groups, [&](const TabGroup& g) { return g.parent == id; });
    return std::to_string(tabs) + " tab" + (tabs == 1 ? "" : "s") + " \xC2\xB7 " +  // ·
           std::to_string(groups) + " group" + (groups == 1 ? "" : "s");
}

void toggle_browser(AppState& state) {
    if (state.view_mode == ViewMode::BrowseGroups) {
        state.view_mode = ViewMode::Single;
        return;
    }
    state.view_mode = ViewMode::BrowseGroups;
    if (state.tile_selection >= browser_entries(state).size()) state.tile_selection = 0;
}

bool browser_go_up(AppState& state) {
    if (state.view_mode != ViewMode::BrowseGroups || state.browse_path.empty()) return false;
    state.browse_path.pop_back();
    state.tile_selection = 0;
    return true;
}

bool browser_select(AppState& state, std::size_t i) {
    const std::size_t n = browser_entries(state).size();
    if (n == 0) return false;
    state.tile_selection = std::min(n - 1, i);
    return true;
}

void browser_move(AppState& state, int dx, int dy) {
    state.tile_selection = grid_move(browser_entries(state).size(), state.tile_selection, dx, dy);
}

bool browser_open(AppState& state) {
    const std::vector<BrowserEntry> entries = browser_entries(state);
    if (entries.empty()) return false;
    const BrowserEntry entry = entries[std::min(state.tile_selection, entries.size() - 1)];
    if (entry.kind == BrowserEntry::Kind::Tab) {
        state.active = entry.key;
        state.view_mode = ViewMode::Single;
    } else {
        state.browse_path.push_back(entry.key);
        state.tile_selection = 0;
    }
    return true;
}

UpButtonLook up_button_look(bool enabled) {
    if (enabled) return {{38, 46, 60}, {86, 156, 214}, {225, 229, 237}};
    return {{26, 30, 38}, {45, 50, 60}, {110, 115, 125}};
}

}  // namespace tolvar::app
