#include "tolvar/app/menus.hpp"

#include <algorithm>
#include <set>

#include "tolvar/app/layout.hpp"
#include "tolvar/app/themes.hpp"
#include "tolvar/core/store.hpp"

namespace tolvar::app {

namespace {

using namespace menu_id;

// Texts of items whose shortcut is shown at the right, after a tab.
constexpr char k_expand_text[] = "Expand group\tCtrl+Shift+E";
constexpr char k_broadcast_text[] = "Broadcast input to group\tCtrl+Shift+B";

std::optional<ViewMode> view_of(unsigned id) {
    switch (id) {
        case k_view_single:
            return ViewMode::Single;
        case k_view_tile_group:
            return ViewMode::TileGroup;
        case k_view_tile_all:
            return ViewMode::TileAll;
        case k_view_browse:
            return ViewMode::BrowseGroups;
        default:
            return std::nullopt;
    }
}

std::optional<std::string_view> theme_of(unsigned id) {
    const auto themes = builtin_themes();
    if (id < k_theme_first || id - k_theme_first >= themes.size()) return std::nullopt;
    return themes[id - k_theme_first].name;
}

// The View entries set the mode; unlike the keys they never toggle back.
void choose_view_mode(Workspace& workspace, ViewMode mode,
                      std::optional<GroupId> activate_first_of) {
    {
        auto state = workspace.cell().borrow();
        if (!state) return;
        if (activate_first_of) (*state)->activate_first_of(*activate_first_of);
        set_view_mode(**state, mode, false);
    }
    workspace.refresh();
}

// Changes the state and relays out; false when the state was busy.
template <class Change>
bool change_state(Workspace& workspace, Change&& change) {
    {
        auto state = workspace.cell().borrow();
        if (!state) return false;
        change(**state);
    }
    workspace.refresh();
    return true;
}

}  // namespace

// ------------------------------------------------------------ building

Menu view_menu(ViewMode current, std::string_view theme) {
    Menu themes;
    const auto builtin = builtin_themes();
    for (std::size_t i = 0; i < builtin.size(); ++i) {
        themes.push_back(MenuItem::command(std::string(builtin[i].name),
                                           k_theme_first + static_cast<unsigned>(i),
                                           builtin[i].name == theme));
    }
    return {
        MenuItem::command("Single", k_view_single, current == ViewMode::Single),
        MenuItem::command("Tile group\tCtrl+Shift+G", k_view_tile_group,
                          current == ViewMode::TileGroup),
        MenuItem::command("Tile all\tCtrl+Shift+A", k_view_tile_all, current == ViewMode::TileAll),
        MenuItem::command("Browse groups\tCtrl+Shift+Z", k_view_browse,
                          current == ViewMode::BrowseGroups),
        MenuItem::separator(),
        MenuItem::submenu("Theme", std::move(themes)),
    };
}

std::optional<TabMenu> tab_menu(const AppState& state, TabId id) {
    const Tab* found = state.find_tab(id);
    if (!found) return std::nullopt;
    const Tab& tab = *found;
    TabMenu menu;
    menu.subject = id;

    Menu colors{MenuItem::command("Default", k_color_default, !core::usable_color(tab.color))};
    for (std::size_t i = 0; i < k_color_table.size(); ++i) {
        colors.push_back(MenuItem::command(std::string(k_color_table[i].name),
                                           k_color_first + static_cast<unsigned>(i),
                                           tab.color == i));
    }

    Menu groups{MenuItem::command("No group", k_no_group, !tab.group())};
    for (std::size_t i = 0; i < state.groups().size(); ++i) {
        const TabGroup& g = state.groups()[i];
        groups.push_back(MenuItem::command(g.name, k_group_first + static_cast<unsigned>(i),
                                           tab.group() == g.id()));
        menu.groups.push_back(g.id());
    }
    groups.push_back(MenuItem::separator());
    groups.push_back(MenuItem::command("New group", k_new_group));

    Menu& items = menu.items;
    items.push_back(MenuItem::command("Rename\tCtrl+Shift+R", k_rename));
    items.push_back(MenuItem::command("History\xE2\x80\xA6\tCtrl+Shift+H", k_history));
    items.push_back(MenuItem::submenu("Color", std::move(colors)));
    items.push_back(MenuItem::submenu("Group", std::move(groups)));
    items.push_back(MenuItem::submenu(
        "View", view_menu(state.view_mode(), state.appearance.palette.theme().name)));
    if (tab.group()) {
        const TabGroup* group = state.find_group(*tab.group());
        const bool collapsed = group && group->collapsed;
        items.push_back(MenuItem::command("New tab in group", k_new_tab_in_group));
        items.push_back(MenuItem::command("Rename group", k_rename_group));
        items.push_back(MenuItem::command(
            collapsed ? k_expand_text : "Collapse group\tCtrl+Shift+E", k_collapse_group));
        items.push_back(MenuItem::command(k_broadcast_text, k_broadcast, state.broadcasts(tab)));
    }
    // Newer entries go above the older ones, so that the entries people reach
    // by key from the bottom stay where they were.
    items.push_back(MenuItem::command("Log to file", k_log_to_file, tab.log != nullptr));
    items.push_back(MenuItem::command("Restart session", k_restart));
    items.push_back(MenuItem::command("Duplicate tab", k_duplicate));
    items.push_back(MenuItem::command("Save output\xE2\x80\xA6", k_save_output));
    items.push_back(MenuItem::command("Clear scrollback", k_clear_scrollback));
    items.push_back(MenuItem::separator());
    items.push_back(MenuItem::command("Close\tCtrl+Shift+W", k_close));
    return menu;
}

std::vector<GroupId> move_group_targets(const AppState& state, GroupId id) {
    std::set<GroupId> excluded{id};
    for (bool grew = true; grew;) {
        grew = false;
        for (const TabGroup& g : state.groups()) {
            if (g.parent() && excluded.contains(*g.parent()) && excluded.insert(g.id()).second) {
                grew = true;
            }
        }
    }
    std::vector<GroupId> targets;
    for (const TabGroup& g : state.groups()) {
        if (!excluded.contains(g.id())) targets.push_back(g.id());
    }
    return targets;
}

std::optional<GroupMenu> group_menu(const AppState& state, GroupId id) {
    const TabGroup* group = state.find_group(id);
    if (!group) return std::nullopt;
    GroupMenu menu;
    menu.subject = id;
    menu.parents = move_group_targets(state, id);

    Menu parents{MenuItem::command("Top level", k_top_level, !group->parent())};
    for (std::size_t i = 0; i < menu.parents.size(); ++i) {
        const TabGroup* target = state.find_group(menu.parents[i]);
        parents.push_back(MenuItem::command(target->name, k_parent_first + static_cast<unsigned>(i),
                                            group->parent() == target->id()));
    }

    menu.items = {
        MenuItem::command(k_expand_text, k_expand_group),
        MenuItem::command("New tab in group", k_new_tab_in_group),
        MenuItem::command("Rename group", k_rename_group),
        MenuItem::command(k_broadcast_text, k_broadcast, state.broadcasts(id)),
        MenuItem::submenu("Move group into", std::move(parents)),
        MenuItem::submenu("View",
                          view_menu(state.view_mode(), state.appearance.palette.theme().name)),
        MenuItem::separator(),
        MenuItem::command("Close group", k_close_group),
    };
    return menu;
}

Menu tray_menu(const core::Settings& settings) {
    return {
        MenuItem::command("Show tolvar", k_show),
        MenuItem::separator(),
        MenuItem::command("Close to tray", k_close_to_tray, settings.close_to_tray),
        MenuItem::command("Restore previous sessions on start", k_restore_sessions,
                          settings.restore_sessions_on_start),
        MenuItem::command("Track command history", k_track_history, settings.track_history),
        MenuItem::separator(),
        MenuItem::command("Check for updates\xE2\x80\xA6", k_check_updates),
        MenuItem::command("Open settings folder", k_settings_folder),
        MenuItem::command("Open logs folder", k_logs_folder),
        MenuItem::command("Remote bridge\xE2\x80\xA6", k_remote_bridge),
        MenuItem::separator(),
        MenuItem::command("Quit", k_quit),
    };
}

std::string remote_bridge_text(const core::RemoteSettings& remote) {
    if (remote.enabled) {
        return "The remote bridge is enabled. Encrypted mobile pairing comes in a future update.";
    }
    return "The remote bridge is off. Turn it on in settings.json (\"remote\": { \"enabled\": "
           "true }) to pair a phone on your LAN.\n\nListen address: " +
           remote.bind_addr + "\nControl allowed: " + (remote.allow_control ? "true" : "false");
}

std::string menu_label(std::string_view text) {
    std::string label;
    label.reserve(text.size());
    for (const char c : text) {
        if (c == '&') label += '&';
        label += c;
    }
    return label;
}

// ------------------------------------------------------------ choosing

namespace {

// The group items both menus hold; false for any other id.
bool run_group_item(Workspace& workspace, MenuPort& port, GroupId group, unsigned id) {
    switch (id) {
        case k_new_tab_in_group:
            workspace.new_tab_in_group(group);
            return true;
        case k_rename_group:
            port.start_rename(group);
            return true;
        case k_broadcast:
            workspace.toggle_group_broadcast(group);
            return true;
        default:
            return false;
    }
}

}  // namespace

void choose_theme(Workspace& workspace, std::string_view name) {
    const Theme* theme = find_theme(name);
    if (!theme) return;
    {
        auto state = workspace.cell().borrow();
        if (!state) return;
        core::Settings& settings = (*state)->config.settings;
        settings.theme.value = core::JsonValue::string(std::string(theme->name));
        // What the other keys hold was told at start; it is not told again.
        (*state)->appearance = read_appearance(settings).appearance;
    }
    workspace.save(ConfigFile::Settings);
}

void run_tab_command(Workspace& workspace, MenuPort& port, const TabMenu& menu, unsigned id) {
    if (id == 0) return;
    const TabId tab = menu.subject;
    std::optional<GroupId> group;
    {
        auto state = workspace.cell().borrow();
        if (!state) return;
        const Tab* subject = (*state)->find_tab(tab);
        // The tab may have closed while the menu was open.
        if (!subject) return;
        group = subject->group();
    }

    if (id >= k_color_default && id < k_color_first + k_color_table.size()) {
        std::optional<std::uint8_t> color;
        if (id != k_color_default) color = static_cast<std::uint8_t>(id - k_color_first);
        change_state(workspace, [&](AppState& state) {
            if (Tab* t = state.find_tab(tab)) t->color = color;
        });
    } else if (id >= k_group_first && id - k_group_first < menu.groups.size()) {
        const GroupId target = menu.groups[id - k_group_first];
        change_state(workspace, [&](AppState& state) { state.set_tab_group(tab, target); });
    } else if (auto mode = view_of(id)) {
        choose_view_mode(workspace, *mode, std::nullopt);
    } else if (auto theme = theme_of(id)) {
        choose_theme(workspace, *theme);
    } else {
        switch (id) {
            case k_rename:
                port.start_rename(tab);
                break;
            case k_history:
                port.show_history_viewer();
                break;
            case k_save_output:
                port.save_output(tab);
                break;
            case k_log_to_file:
                workspace.toggle_log(tab);
                break;
            case k_clear_scrollback:
                workspace.clear_scrollback(tab);
                break;
            case k_restart:
                workspace.restart_tab(tab);
                break;
            case k_duplicate:
                workspace.duplicate_tab(tab);
                break;
            case k_no_group:
                change_state(workspace,
                             [&](AppState& state) { state.set_tab_group(tab, std::nullopt); });
                break;
            case k_new_group:
                change_state(workspace, [&](AppState& state) { state.new_group_for(tab); });
                break;
            case k_close:
                workspace.close_tab(tab);
                break;
            case k_collapse_group:
                if (group) workspace.toggle_group_collapsed(*group);
                break;
            default:
                if (!group || !run_group_item(workspace, port, *group, id)) return;
        }
    }
    port.invalidate();
}

void run_group_command(Workspace& workspace, MenuPort& port, const GroupMenu& menu, unsigned id) {
    if (id == 0) return;
    {
        auto state = workspace.cell().borrow();
        if (!state || !(*state)->find_group(menu.subject)) return;
    }
    const GroupId group = menu.subject;

    if (id >= k_parent_first && id - k_parent_first < menu.parents.size()) {
        const GroupId parent = menu.parents[id - k_parent_first];
        change_state(workspace, [&](AppState& state) { state.set_group_parent(group, parent); });
    } else if (auto mode = view_of(id)) {
        choose_view_mode(workspace, *mode,
                         mode == ViewMode::TileGroup ? std::optional(group) : std::nullopt);
    } else if (auto theme = theme_of(id)) {
        choose_theme(workspace, *theme);
    } else {
        switch (id) {
            case k_expand_group:
                workspace.activate_group(group);
                break;
            case k_top_level:
                change_state(workspace,
                             [&](AppState& state) { state.set_group_parent(group, std::nullopt); });
                break;
            case k_close_group:
                workspace.close_group(group);
                break;
            default:
                if (!run_group_item(workspace, port, group, id)) return;
        }
    }
    port.invalidate();
}

void run_tray_command(Workspace& workspace, MenuPort& port, unsigned id) {
    auto flip = [&](bool core::Settings::*field) {
        {
            auto state = workspace.cell().borrow();
            if (!state) return;
            core::Settings& stored = (*state)->config.settings;
            stored.*field = !(stored.*field);
        }
        workspace.save(ConfigFile::Settings);
    };

    switch (id) {
        case k_show:
            port.show_main_window();
            break;
        case k_close_to_tray:
            flip(&core::Settings::close_to_tray);
            break;
        case k_restore_sessions:
            flip(&core::Settings::restore_sessions_on_start);
            break;
        case k_track_history:
            flip(&core::Settings::track_history);
            break;
        case k_check_updates:
            port.open_in_shell(k_product_page);
            break;
        case k_settings_folder: {
            std::optional<core::Path> dir;
            if (auto state = workspace.cell().borrow()) dir = (*state)->config.data_dir;
            if (dir) port.open_in_shell(core::path_to_utf8(*dir));
            break;
        }
        case k_logs_folder:
            if (auto dir = workspace.logs_folder()) port.open_in_shell(core::path_to_utf8(*dir));
            break;
        case k_remote_bridge: {
            core::RemoteSettings remote;
            {
                auto state = workspace.cell().borrow();
                if (!state) return;
                remote = (*state)->config.settings.remote;
            }
            port.info_box("Remote bridge", remote_bridge_text(remote));
            break;
        }
        case k_quit:
            port.quit();
            break;
        default:
            break;
    }
}

}  // namespace tolvar::app
