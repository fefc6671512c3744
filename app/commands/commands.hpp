// Everything a user can do, as one closed set of values. Keys, menus, quick
// keys, the tray, the mouse and the palette only map their input to a
// Command; `Commands::execute` alone carries one out, so an action behaves
// the same wherever it came from. A command names what it acts on by id,
// never by a list position: a menu may be chosen after the tabs changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tolvar/proto/ssh_config.hpp"
#include "view/scrolling.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

namespace cmd {

// ---- tabs
struct NewTab {
    bool operator==(const NewTab&) const = default;
};
struct CloseTab {
    TabId tab;
    bool operator==(const CloseTab&) const = default;
};
struct DuplicateTab {
    TabId tab;
    bool operator==(const DuplicateTab&) const = default;
};
struct RestartTab {
    TabId tab;
    bool operator==(const RestartTab&) const = default;
};
struct RenameTab {
    TabId tab;
    bool operator==(const RenameTab&) const = default;
};
struct SetTabColor {
    TabId tab;
    std::optional<std::uint8_t> color;  // nothing: the default
    bool operator==(const SetTabColor&) const = default;
};
struct MoveTabToGroup {
    TabId tab;
    std::optional<GroupId> group;  // nothing: no group
    bool operator==(const MoveTabToGroup&) const = default;
};
struct NewGroupForTab {
    TabId tab;
    bool operator==(const NewGroupForTab&) const = default;
};
struct ClearScrollback {
    TabId tab;
    bool operator==(const ClearScrollback&) const = default;
};
struct SaveOutput {
    TabId tab;
    bool operator==(const SaveOutput&) const = default;
};
struct ToggleLog {
    TabId tab;
    bool operator==(const ToggleLog&) const = default;
};
struct ShowHistory {
    bool operator==(const ShowHistory&) const = default;
};
struct GoToTab {
    TabId tab;
    bool operator==(const GoToTab&) const = default;
};
struct CycleTab {
    bool backwards = false;
    bool operator==(const CycleTab&) const = default;
};
// The navigation arrows: the next pane that way, wrapping.
struct MoveFocus {
    int dx = 0;
    int dy = 0;
    bool operator==(const MoveFocus&) const = default;
};

// ---- groups
struct NewTabInGroup {
    GroupId group;
    bool operator==(const NewTabInGroup&) const = default;
};
struct RenameGroup {
    GroupId group;
    bool operator==(const RenameGroup&) const = default;
};
struct ToggleBroadcast {
    GroupId group;
    bool operator==(const ToggleBroadcast&) const = default;
};
struct ToggleCollapsed {
    GroupId group;
    bool operator==(const ToggleCollapsed&) const = default;
};
// Expands it and makes its first tab active.
struct ActivateGroup {
    GroupId group;
    bool operator==(const ActivateGroup&) const = default;
};
struct CloseGroup {
    GroupId group;
    bool operator==(const CloseGroup&) const = default;
};
struct MoveGroup {
    GroupId group;
    std::optional<GroupId> parent;  // nothing: the top level
    bool operator==(const MoveGroup&) const = default;
};

// ---- the view
// The menus' View entries: they set the mode and never toggle back; tiling
// a group from its menu makes its first tab active first.
struct ShowView {
    ViewMode mode = ViewMode::Single;
    std::optional<GroupId> group;
    bool operator==(const ShowView&) const = default;
};
// The keys: a second press goes back to a single pane.
struct ToggleView {
    ViewMode mode = ViewMode::Single;
    bool operator==(const ToggleView&) const = default;
};
struct SetTheme {
    std::string name;
    bool operator==(const SetTheme&) const = default;
};
struct ToggleHelp {
    bool operator==(const ToggleHelp&) const = default;
};
// The group browser's keys.
struct BrowserMove {
    int dx = 0;
    int dy = 0;
    bool operator==(const BrowserMove&) const = default;
};
struct BrowserOpen {
    bool operator==(const BrowserOpen&) const = default;
};
struct BrowserUp {
    bool operator==(const BrowserUp&) const = default;
};
struct BrowserCycle {
    bool backwards = false;
    bool operator==(const BrowserCycle&) const = default;
};

// ---- a pane's history, find, the clipboard
enum class ScrollBy : std::uint8_t { PageBack, PageForward, LineBack, LineForward, Oldest, Live };
struct Scroll {
    TabId tab;
    ScrollBy by = ScrollBy::Live;
    bool operator==(const Scroll&) const = default;
};
struct Find {
    bool operator==(const Find&) const = default;
};
struct CopyScreen {
    TabId tab;
    bool operator==(const CopyScreen&) const = default;
};
struct CopySelection {
    bool operator==(const CopySelection&) const = default;
};
// Into the active tab, or its whole group while the group broadcasts.
struct Paste {
    bool operator==(const Paste&) const = default;
};
struct OpenLink {
    std::string target;
    bool operator==(const OpenLink&) const = default;
};

// ---- what quick keys send and open
struct SendText {
    std::string text;
    bool operator==(const SendText&) const = default;
};
struct RunAlias {
    std::string name;
    bool operator==(const RunAlias&) const = default;
};
struct OpenProfile {
    std::string profile_id;
    bool operator==(const OpenProfile&) const = default;
};
struct OpenSshHost {
    std::string alias;
    bool operator==(const OpenSshHost&) const = default;
};

// ---- windows and dialogs
struct NewWindow {
    bool operator==(const NewWindow&) const = default;
};
struct ConnectionManager {
    bool operator==(const ConnectionManager&) const = default;
};
struct QuickConnect {
    bool operator==(const QuickConnect&) const = default;
};
struct CommandPalette {
    bool operator==(const CommandPalette&) const = default;
};
struct ShowWindow {
    bool operator==(const ShowWindow&) const = default;
};
// The summon key: to the front from elsewhere, away when in front.
struct Summon {
    bool operator==(const Summon&) const = default;
};
enum class Switch : std::uint8_t { CloseToTray, RestoreSessions, TrackHistory };
struct ToggleSwitch {
    Switch which = Switch::CloseToTray;
    bool operator==(const ToggleSwitch&) const = default;
};
struct CheckUpdates {
    bool operator==(const CheckUpdates&) const = default;
};
struct OpenSettingsFolder {
    bool operator==(const OpenSettingsFolder&) const = default;
};
struct OpenLogsFolder {
    bool operator==(const OpenLogsFolder&) const = default;
};
struct RemoteBridge {
    bool operator==(const RemoteBridge&) const = default;
};
struct Quit {
    bool operator==(const Quit&) const = default;
};

}  // namespace cmd

using Command = std::variant<
    cmd::NewTab, cmd::CloseTab, cmd::DuplicateTab, cmd::RestartTab, cmd::RenameTab,
    cmd::SetTabColor, cmd::MoveTabToGroup, cmd::NewGroupForTab, cmd::ClearScrollback,
    cmd::SaveOutput, cmd::ToggleLog, cmd::ShowHistory, cmd::GoToTab, cmd::CycleTab,
    cmd::MoveFocus, cmd::NewTabInGroup, cmd::RenameGroup, cmd::ToggleBroadcast,
    cmd::ToggleCollapsed, cmd::ActivateGroup, cmd::CloseGroup, cmd::MoveGroup, cmd::ShowView,
    cmd::ToggleView, cmd::SetTheme, cmd::ToggleHelp, cmd::BrowserMove, cmd::BrowserOpen,
    cmd::BrowserUp, cmd::BrowserCycle, cmd::Scroll, cmd::Find, cmd::CopyScreen,
    cmd::CopySelection, cmd::Paste, cmd::OpenLink, cmd::SendText, cmd::RunAlias, cmd::OpenProfile,
    cmd::OpenSshHost, cmd::NewWindow, cmd::ConnectionManager, cmd::QuickConnect,
    cmd::CommandPalette, cmd::ShowWindow, cmd::Summon, cmd::ToggleSwitch, cmd::CheckUpdates,
    cmd::OpenSettingsFolder, cmd::OpenLogsFolder, cmd::RemoteBridge, cmd::Quit>;

// What the command is called where the user picks it (the palette, the
// menus): "Duplicate tab", "Go to tab: logs". Names of tabs, groups and
// profiles are looked up in the state; a subject that is gone reads as its
// bare action.
std::string command_name(const AppState& state, const Command& command);

// The key chord that runs it, as the help screen writes it; empty for none.
std::string_view command_chord(const Command& command);

// What the palette offers now, in its order: every command on the active tab
// and its group, the views and themes, the browser's keys while browsing,
// the saved profiles, the SSH configuration's hosts, the aliases, the quick
// keys' texts, and the open tabs. Not the palette itself, nor a link, which
// needs the pointer on it.
std::vector<Command> palette_commands(const AppState& state,
                                      const std::vector<proto::SshConfigHost>& ssh_hosts);

}  // namespace tolvar::app
