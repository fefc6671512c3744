#include "commands/menus.hpp"

#include <algorithm>
#include <set>

#include "look/themes.hpp"
#include "tolvar/core/store.hpp"
#include "view/layout.hpp"

namespace tolvar::app {

namespace {

// Texts of items whose shortcut is shown at the right, after a tab.
constexpr char k_expand_text[] = "Expand group\tCtrl+Shift+E";
constexpr char k_broadcast_text[] = "Broadcast input to group\tCtrl+Shift+B";

}  // namespace

// ------------------------------------------------------------ building

Menu view_menu(ViewMode current, std::string_view theme, std::optional<GroupId> group) {
    Menu themes;
    for (const Theme& builtin : builtin_themes()) {
        themes.push_back(MenuItem::item(std::string(builtin.name),
                                        cmd::SetTheme{std::string(builtin.name)},
                                        builtin.name == theme));
    }
    // Only tiling a group needs to know which.
    const auto view = [&](const char* text, ViewMode mode) {
        return MenuItem::item(
            text, cmd::ShowView{mode, mode == ViewMode::TileGroup ? group : std::nullopt},
            current == mode);
    };
    return {
        view("Single", ViewMode::Single),
        view("Tile group\tCtrl+Shift+G", ViewMode::TileGroup),
        view("Tile all\tCtrl+Shift+A", ViewMode::TileAll),
        view("Browse groups\tCtrl+Shift+Z", ViewMode::BrowseGroups),
        MenuItem::separator(),
        MenuItem::submenu("Theme", std::move(themes)),
    };
}

std::optional<Menu> tab_menu(const AppState& state, TabId id) {
    const Tab* found = state.find_tab(id);
    if (!found) return std::nullopt;
    const Tab& tab = *found;

    Menu colors{MenuItem::item("Default", cmd::SetTabColor{id, std::nullopt},
                               !core::usable_color(tab.color()))};
    for (std::size_t i = 0; i < k_color_table.size(); ++i) {
        const auto color = static_cast<std::uint8_t>(i);
        colors.push_back(MenuItem::item(std::string(k_color_table[i].name),
                                        cmd::SetTabColor{id, color}, tab.color() == color));
    }

    Menu groups{MenuItem::item("No group", cmd::MoveTabToGroup{id, std::nullopt}, !tab.group())};
    for (const TabGroup& g : state.groups()) {
        groups.push_back(
            MenuItem::item(g.name, cmd::MoveTabToGroup{id, g.id()}, tab.group() == g.id()));
    }
    groups.push_back(MenuItem::separator());
    groups.push_back(MenuItem::item("New group", cmd::NewGroupForTab{id}));

    Menu items;
    items.push_back(MenuItem::item("Rename\tCtrl+Shift+R", cmd::RenameTab{id}));
    items.push_back(MenuItem::item("History\xE2\x80\xA6\tCtrl+Shift+H", cmd::ShowHistory{}));
    items.push_back(MenuItem::submenu("Color", std::move(colors)));
    items.push_back(MenuItem::submenu("Group", std::move(groups)));
    items.push_back(MenuItem::submenu(
        "View",
        view_menu(state.view_mode(), state.appearance().palette.theme().name, std::nullopt)));
    if (const std::optional<GroupId> group = tab.group()) {
        const TabGroup* g = state.find_group(*group);
        const bool collapsed = g && g->collapsed;
        items.push_back(MenuItem::item("New tab in group", cmd::NewTabInGroup{*group}));
        items.push_back(MenuItem::item("Rename group", cmd::RenameGroup{*group}));
        items.push_back(MenuItem::item(collapsed ? k_expand_text : "Collapse group\tCtrl+Shift+E",
                                       cmd::ToggleCollapsed{*group}));
        items.push_back(
            MenuItem::item(k_broadcast_text, cmd::ToggleBroadcast{*group}, state.broadcasts(tab)));
    }
    // Newer entries go above the older ones, so that the entries people reach
    // by key from the bottom stay where they were.
    items.push_back(MenuItem::item("Log to file", cmd::ToggleLog{id}, tab.log() != nullptr));
    items.push_back(MenuItem::item("Restart session", cmd::RestartTab{id}));
    items.push_back(MenuItem::item("Duplicate tab", cmd::DuplicateTab{id}));
    items.push_back(MenuItem::item("Save output\xE2\x80\xA6", cmd::SaveOutput{id}));
    items.push_back(MenuItem::item("Clear scrollback", cmd::ClearScrollback{id}));
    items.push_back(MenuItem::separator());
    items.push_back(MenuItem::item("Close\tCtrl+Shift+W", cmd::CloseTab{id}));
    return items;
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

std::optional<Menu> group_menu(const AppState& state, GroupId id) {
    const TabGroup* group = state.find_group(id);
    if (!group) return std::nullopt;
    Menu parents{MenuItem::item("Top level", cmd::MoveGroup{id, std::nullopt}, !group->parent())};
    for (const GroupId target : move_group_targets(state, id)) {
        parents.push_back(MenuItem::item(state.find_group(target)->name, cmd::MoveGroup{id, target},
                                         group->parent() == target));
    }
    return Menu{
        MenuItem::item(k_expand_text, cmd::ActivateGroup{id}),
        MenuItem::item("New tab in group", cmd::NewTabInGroup{id}),
        MenuItem::item("Rename group", cmd::RenameGroup{id}),
        MenuItem::item(k_broadcast_text, cmd::ToggleBroadcast{id}, state.broadcasts(id)),
        MenuItem::submenu("Move group into", std::move(parents)),
        MenuItem::submenu(
            "View", view_menu(state.view_mode(), state.appearance().palette.theme().name, id)),
        MenuItem::separator(),
        MenuItem::item("Close group", cmd::CloseGroup{id}),
    };
}

Menu tray_menu(const core::Settings& settings) {
    using cmd::Switch;
    return {
        MenuItem::item("Show tolvar", cmd::ShowWindow{}),
        MenuItem::separator(),
        MenuItem::item("Close to tray", cmd::ToggleSwitch{Switch::CloseToTray},
                       settings.close_to_tray),
        MenuItem::item("Restore previous sessions on start",
                       cmd::ToggleSwitch{Switch::RestoreSessions},
                       settings.restore_sessions_on_start),
        MenuItem::item("Track command history", cmd::ToggleSwitch{Switch::TrackHistory},
                       settings.track_history),
        MenuItem::separator(),
        MenuItem::item("Check for updates\xE2\x80\xA6", cmd::CheckUpdates{}),
        MenuItem::item("Open settings folder", cmd::OpenSettingsFolder{}),
        MenuItem::item("Open logs folder", cmd::OpenLogsFolder{}),
        MenuItem::item("Remote bridge\xE2\x80\xA6", cmd::RemoteBridge{}),
        MenuItem::separator(),
        MenuItem::item("Quit", cmd::Quit{}),
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

void collect_commands(const Menu& menu, std::vector<const MenuItem*>& out) {
    for (const MenuItem& item : menu) {
        if (item.kind == MenuItem::Kind::Submenu) collect_commands(item.items, out);
        if (item.kind == MenuItem::Kind::Item) out.push_back(&item);
    }
}

}  // namespace

std::vector<const MenuItem*> menu_commands(const Menu& menu) {
    std::vector<const MenuItem*> out;
    collect_commands(menu, out);
    return out;
}

void choose_theme(Workspace& workspace, SaveSchedule& saves, std::string_view name) {
    const Theme* theme = find_theme(name);
    if (!theme) return;
    workspace.cell().change(
        [name = std::string(theme->name)](AppState& state) {
            core::Settings settings = state.config().settings;
            settings.theme.value = core::JsonValue::string(name);
            state.replace_settings(std::move(settings));
        },
        [&workspace, &saves] {
            saves.save(ConfigFile::Settings);
            workspace.window().invalidate();
        });
}

}  // namespace tolvar::app
