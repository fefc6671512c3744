#include "workspace/browser.hpp"

#include <algorithm>

#include "view/layout.hpp"

namespace tolvar::app {

std::vector<BrowserEntry> browser_entries(const AppState& state) {
    std::optional<GroupId> level;
    if (!state.browse_path().empty()) level = state.browse_path().back();
    std::vector<BrowserEntry> entries;
    for (const TabGroup& g : state.groups()) {
        if (g.parent() == level) entries.emplace_back(g.id());
    }
    for (const Tab& t : state.tabs()) {
        if (t.group() == level) entries.emplace_back(t.id());
    }
    return entries;
}

namespace {

int breadcrumb_bottom(Scale scale) {
    return scale(64);
}

}  // namespace

Rect breadcrumb_bar(const Rect& client, Scale scale) {
    return {client.left, tab_bar_height(scale), client.right, breadcrumb_bottom(scale)};
}

Rect breadcrumb_text_rect(const Rect& client, Scale scale) {
    return {client.left + scale(10), tab_bar_height(scale), client.right - scale(84),
            breadcrumb_bottom(scale)};
}

Rect card_area(const Rect& client, Scale scale) {
    return {client.left, breadcrumb_bottom(scale), client.right, client.bottom};
}

Rect up_button(const Rect& client, Scale scale) {
    return {std::max(client.right - scale(76), client.left), scale(37), client.right - scale(6),
            scale(61)};
}

Rect card_rect(const Rect& client, std::size_t n, std::size_t i, Scale scale) {
    return grid_cell(card_area(client, scale), n, i);
}

std::string breadcrumb_text(const AppState& state) {
    std::string text = "All groups";
    for (const GroupId id : state.browse_path()) {
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
        std::ranges::count_if(state.tabs(), [&](const Tab& t) { return t.group() == id; });
    const auto groups =
        std::ranges::count_if(state.groups(), [&](const TabGroup& g) { return g.parent() == id; });
    return std::to_string(tabs) + " tab" + (tabs == 1 ? "" : "s") + " \xC2\xB7 " +  // ·
           std::to_string(groups) + " group" + (groups == 1 ? "" : "s");
}

void toggle_browser(AppState& state) {
    state.set_view_mode(state.view_mode() == ViewMode::BrowseGroups ? ViewMode::Single
                                                                    : ViewMode::BrowseGroups);
}

bool browser_go_up(AppState& state) {
    return state.view_mode() == ViewMode::BrowseGroups && state.leave_group();
}

bool browser_select(AppState& state, std::size_t i) {
    if (browser_entries(state).empty()) return false;
    state.select_entry(i);
    return true;
}

void browser_move(AppState& state, int dx, int dy) {
    state.select_entry(grid_move(browser_entries(state).size(), state.tile_selection(), dx, dy));
}

bool browser_open(AppState& state) {
    const std::vector<BrowserEntry> entries = browser_entries(state);
    if (entries.empty()) return false;
    const BrowserEntry entry = entries[std::min(state.tile_selection(), entries.size() - 1)];
    if (const TabId* tab = std::get_if<TabId>(&entry)) {
        state.set_active(*tab);
        state.set_view_mode(ViewMode::Single);
    } else {
        state.enter_group(std::get<GroupId>(entry));
    }
    return true;
}

UpButtonLook up_button_look(bool enabled) {
    if (enabled) return {{38, 46, 60}, {86, 156, 214}, {225, 229, 237}};
    return {{26, 30, 38}, {45, 50, 60}, {110, 115, 125}};
}

}  // namespace tolvar::app
