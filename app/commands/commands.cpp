#include "commands/commands.hpp"

#include "commands/menus.hpp"
#include "commands/overloaded.hpp"
#include "look/themes.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {

namespace {

std::string tab_title(const AppState& state, TabId id) {
    const Tab* tab = state.find_tab(id);
    return tab ? display_title(state, *tab) : std::string();
}

std::string group_name(const AppState& state, std::optional<GroupId> id) {
    const TabGroup* group = id ? state.find_group(*id) : nullptr;
    return group ? group->name : std::string();
}

std::string with_subject(std::string action, const std::string& subject) {
    if (subject.empty()) return action;
    return action + ": " + subject;
}

std::string_view view_name(ViewMode mode) {
    switch (mode) {
        case ViewMode::Single:
            return "Single";
        case ViewMode::TileGroup:
            return "Tile group";
        case ViewMode::TileAll:
            return "Tile all";
        case ViewMode::BrowseGroups:
            break;
    }
    return "Browse groups";
}

std::string_view scroll_name(cmd::ScrollBy by) {
    switch (by) {
        case cmd::ScrollBy::PageBack:
            return "Scroll back a page";
        case cmd::ScrollBy::PageForward:
            return "Scroll forward a page";
        case cmd::ScrollBy::LineBack:
            return "Scroll back a line";
        case cmd::ScrollBy::LineForward:
            return "Scroll forward a line";
        case cmd::ScrollBy::Oldest:
            return "Scroll to the oldest line";
        case cmd::ScrollBy::Live:
            break;
    }
    return "Scroll to the live screen";
}

std::string direction(int dx, int dy) {
    if (dx < 0) return "left";
    if (dx > 0) return "right";
    return dy < 0 ? "up" : "down";
}

}  // namespace

std::string command_name(const AppState& state, const Command& command) {
    using namespace cmd;
    return std::visit(
        Overloaded{
            [](const NewTab&) -> std::string { return "New tab"; },
            [&](const CloseTab& c) { return with_subject("Close tab", tab_title(state, c.tab)); },
            [](const DuplicateTab&) -> std::string { return "Duplicate tab"; },
            [](const RestartTab&) -> std::string { return "Restart session"; },
            [](const RenameTab&) -> std::string { return "Rename tab"; },
            [](const SetTabColor& c) {
                const auto usable = core::usable_color(c.color);
                return "Tab color: " +
                       std::string(usable ? k_color_table[*usable].name : "Default");
            },
            [&](const MoveTabToGroup& c) {
                return c.group ? with_subject("Move tab to group", group_name(state, c.group))
                               : std::string("Move tab out of its group");
            },
            [](const NewGroupForTab&) -> std::string { return "Move tab to a new group"; },
            [](const ClearScrollback&) -> std::string { return "Clear scrollback"; },
            [](const SaveOutput&) -> std::string { return "Save output\xE2\x80\xA6"; },
            [](const ToggleLog&) -> std::string { return "Log to file"; },
            [](const ShowHistory&) -> std::string { return "History viewer"; },
            [&](const GoToTab& c) { return with_subject("Go to tab", tab_title(state, c.tab)); },
            [](const CycleTab& c) -> std::string {
                return c.backwards ? "Previous tab" : "Next tab";
            },
            [](const MoveFocus& c) { return "Move selection " + direction(c.dx, c.dy); },
            [&](const NewTabInGroup& c) {
                return with_subject("New tab in group", group_name(state, c.group));
            },
            [&](const RenameGroup& c) {
                return with_subject("Rename group", group_name(state, c.group));
            },
            [&](const ToggleBroadcast& c) {
                return with_subject("Broadcast input to group", group_name(state, c.group));
            },
            [&](const ToggleCollapsed& c) {
                return with_subject("Collapse / expand group", group_name(state, c.group));
            },
            [&](const ActivateGroup& c) {
                return with_subject("Expand group", group_name(state, c.group));
            },
            [&](const CloseGroup& c) {
                return with_subject("Close group", group_name(state, c.group));
            },
            [&](const MoveGroup& c) {
                return c.parent ? with_subject("Move group into", group_name(state, c.parent))
                                : std::string("Move group to the top level");
            },
            [&](const ShowView& c) {
                return with_subject("View: " + std::string(view_name(c.mode)),
                                    group_name(state, c.group));
            },
            [](const ToggleView& c) -> std::string {
                switch (c.mode) {
                    case ViewMode::TileGroup:
                        return "Tile group";
                    case ViewMode::TileAll:
                        return "Tile all";
                    case ViewMode::BrowseGroups:
                        return "Browse groups";
                    case ViewMode::Single:
                        break;
                }
                return "Single view";
            },
            [](const SetTheme& c) { return "Theme: " + c.name; },
            [](const ToggleHelp&) -> std::string { return "Help"; },
            [](const BrowserMove& c) { return "Browser: move " + direction(c.dx, c.dy); },
            [](const BrowserOpen&) -> std::string { return "Browser: open"; },
            [](const BrowserUp&) -> std::string { return "Browser: up a level"; },
            [](const BrowserCycle& c) -> std::string {
                return c.backwards ? "Browser: previous entry" : "Browser: next entry";
            },
            [](const Scroll& c) { return std::string(scroll_name(c.by)); },
            [](const cmd::Find&) -> std::string { return "Find in history"; },
            [](const CopyScreen&) -> std::string { return "Copy screen"; },
            [](const CopySelection&) -> std::string { return "Copy selection"; },
            [](const Paste&) -> std::string { return "Paste"; },
            [](const OpenLink& c) { return "Open link: " + c.target; },
            [](const SendText& c) { return "Send: " + c.text; },
            [](const RunAlias& c) { return "Run alias: " + c.name; },
            [&](const OpenProfile& c) {
                const auto* profile = find_profile(state.config().profiles, c.profile_id);
                return with_subject("Open profile", profile ? profile->name : c.profile_id);
            },
            [](const OpenSshHost& c) { return "Open SSH host: " + c.alias; },
            [](const NewWindow&) -> std::string { return "New window"; },
            [](const ConnectionManager&) -> std::string { return "Connection manager"; },
            [](const QuickConnect&) -> std::string { return "Quick connect"; },
            [](const CommandPalette&) -> std::string { return "Command palette"; },
            [](const ShowWindow&) -> std::string { return "Show tolvar"; },
            [](const Summon&) -> std::string { return "Summon or hide tolvar"; },
            [](const ToggleSwitch& c) -> std::string {
                switch (c.which) {
                    case Switch::CloseToTray:
                        return "Close to tray";
                    case Switch::RestoreSessions:
                        return "Restore previous sessions on start";
                    case Switch::TrackHistory:
                        break;
                }
                return "Track command history";
            },
            [](const CheckUpdates&) -> std::string { return "Check for updates\xE2\x80\xA6"; },
            [](const OpenSettingsFolder&) -> std::string { return "Open settings folder"; },
            [](const OpenLogsFolder&) -> std::string { return "Open logs folder"; },
            [](const RemoteBridge&) -> std::string { return "Remote bridge\xE2\x80\xA6"; },
            [](const Quit&) -> std::string { return "Quit"; },
        },
        command);
}

std::string_view command_chord(const Command& command) {
    using namespace cmd;
    return std::visit(
        Overloaded{
            [](const NewTab&) -> std::string_view { return "Ctrl+T"; },
            [](const CloseTab&) -> std::string_view { return "Ctrl+Shift+W"; },
            [](const RenameTab&) -> std::string_view { return "Ctrl+Shift+R"; },
            [](const ShowHistory&) -> std::string_view { return "Ctrl+Shift+H"; },
            [](const CycleTab& c) -> std::string_view {
                return c.backwards ? "Ctrl+Shift+Tab" : "Ctrl+Tab";
            },
            [](const ToggleBroadcast&) -> std::string_view { return "Ctrl+Shift+B"; },
            [](const ToggleCollapsed&) -> std::string_view { return "Ctrl+Shift+E"; },
            [](const ToggleView& c) -> std::string_view {
                switch (c.mode) {
                    case ViewMode::TileGroup:
                        return "Ctrl+Shift+G";
                    case ViewMode::TileAll:
                        return "Ctrl+Shift+A";
                    case ViewMode::BrowseGroups:
                        return "Ctrl+Shift+Z";
                    case ViewMode::Single:
                        break;
                }
                return "";
            },
            [](const ToggleHelp&) -> std::string_view { return "Ctrl+F1"; },
            [](const Scroll& c) -> std::string_view {
                switch (c.by) {
                    case ScrollBy::PageBack:
                        return "Shift+PgUp";
                    case ScrollBy::PageForward:
                        return "Shift+PgDn";
                    case ScrollBy::LineBack:
                        return "Ctrl+Shift+Up";
                    case ScrollBy::LineForward:
                        return "Ctrl+Shift+Down";
                    case ScrollBy::Oldest:
                        return "Ctrl+Shift+Home";
                    case ScrollBy::Live:
                        break;
                }
                return "Ctrl+Shift+End";
            },
            [](const cmd::Find&) -> std::string_view { return "Ctrl+Shift+F"; },
            [](const CopyScreen&) -> std::string_view { return "Ctrl+Ins"; },
            [](const CopySelection&) -> std::string_view { return "Ctrl+Shift+C"; },
            [](const Paste&) -> std::string_view { return "Ctrl+Shift+V"; },
            [](const NewWindow&) -> std::string_view { return "Ctrl+N"; },
            [](const ConnectionManager&) -> std::string_view { return "Ctrl+Shift+O"; },
            [](const QuickConnect&) -> std::string_view { return "Ctrl+Shift+P"; },
            [](const CommandPalette&) -> std::string_view { return "Ctrl+Shift+Space"; },
            [](const auto&) -> std::string_view { return ""; },
        },
        command);
}

std::vector<Command> palette_commands(const AppState& state,
                                      const std::vector<proto::SshConfigHost>& ssh_hosts) {
    using namespace cmd;
    std::vector<Command> out{NewTab{}};
    const Tab* active = state.active_tab();
    if (active) {
        const TabId id = active->id();
        out.insert(out.end(), {DuplicateTab{id}, RestartTab{id}, RenameTab{id}, CloseTab{id},
                               ClearScrollback{id}, SaveOutput{id}, ToggleLog{id},
                               CopyScreen{id}, NewGroupForTab{id}});
        for (std::size_t i = 0; i <= k_color_table.size(); ++i) {
            std::optional<std::uint8_t> color;
            if (i > 0) color = static_cast<std::uint8_t>(i - 1);
            out.push_back(SetTabColor{id, color});
        }
        if (active->group()) out.push_back(MoveTabToGroup{id, std::nullopt});
        for (const TabGroup& g : state.groups()) {
            if (active->group() != g.id()) out.push_back(MoveTabToGroup{id, g.id()});
        }
        if (const std::optional<GroupId> group = active->group()) {
            out.insert(out.end(), {NewTabInGroup{*group}, RenameGroup{*group},
                                   ToggleBroadcast{*group}, ToggleCollapsed{*group},
                                   ActivateGroup{*group}, CloseGroup{*group}});
            out.push_back(ShowView{ViewMode::TileGroup, *group});
            const TabGroup* g = state.find_group(*group);
            if (g && g->parent()) out.push_back(MoveGroup{*group, std::nullopt});
            for (const GroupId target : move_group_targets(state, *group)) {
                if (g && g->parent() != target) out.push_back(MoveGroup{*group, target});
            }
        }
        for (const ScrollBy by : {ScrollBy::PageBack, ScrollBy::PageForward, ScrollBy::LineBack,
                                  ScrollBy::LineForward, ScrollBy::Oldest, ScrollBy::Live}) {
            out.push_back(Scroll{id, by});
        }
    }
    out.insert(out.end(), {CycleTab{false}, CycleTab{true}, MoveFocus{-1, 0}, MoveFocus{1, 0},
                           MoveFocus{0, -1}, MoveFocus{0, 1}, ShowHistory{}, cmd::Find{},
                           CopySelection{}, Paste{}, ToggleHelp{}});
    for (const ViewMode mode : {ViewMode::TileGroup, ViewMode::TileAll, ViewMode::BrowseGroups}) {
        out.push_back(ToggleView{mode});
    }
    for (const ViewMode mode :
         {ViewMode::Single, ViewMode::TileGroup, ViewMode::TileAll, ViewMode::BrowseGroups}) {
        out.push_back(ShowView{mode, std::nullopt});
    }
    if (state.view_mode() == ViewMode::BrowseGroups) {
        out.insert(out.end(), {BrowserOpen{}, BrowserUp{}, BrowserCycle{false}, BrowserCycle{true},
                               BrowserMove{-1, 0}, BrowserMove{1, 0}, BrowserMove{0, -1},
                               BrowserMove{0, 1}});
    }
    for (const Theme& theme : builtin_themes()) out.push_back(SetTheme{std::string(theme.name)});
    out.insert(out.end(),
               {NewWindow{}, ConnectionManager{}, QuickConnect{}, ShowWindow{}, Summon{},
                ToggleSwitch{Switch::CloseToTray}, ToggleSwitch{Switch::RestoreSessions},
                ToggleSwitch{Switch::TrackHistory}, CheckUpdates{}, OpenSettingsFolder{},
                OpenLogsFolder{}, RemoteBridge{}, Quit{}});
    for (const core::ConnectionProfile& profile : state.config().profiles) {
        out.push_back(OpenProfile{profile.id});
    }
    for (const proto::SshConfigHost& host : ssh_hosts) out.push_back(OpenSshHost{host.alias});
    for (const core::Alias& alias : state.config().aliases) out.push_back(RunAlias{alias.name});
    for (const core::QuickKey& key : state.config().quick_keys) {
        if (const auto* send = std::get_if<core::SendText>(&key.action)) {
            out.push_back(SendText{send->text});
        }
    }
    for (const Tab& tab : state.tabs()) out.push_back(GoToTab{tab.id()});
    return out;
}

}  // namespace tolvar::app
