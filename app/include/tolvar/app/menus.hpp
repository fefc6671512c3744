// The tab, group and tray menus as data (texts, command ids, check marks),
// built fresh from the workspace each time one is shown, and the carrying out
// of a choice. Showing them is Win32 code. UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/app/workspace.hpp"

namespace tolvar::app {

struct MenuItem {
    enum class Kind { Command, Separator, Submenu };

    Kind kind = Kind::Command;
    std::string text;
    unsigned id = 0;
    bool checked = false;
    std::vector<MenuItem> items;  // a submenu's entries

    static MenuItem command(std::string text, unsigned id, bool checked = false) {
        return {Kind::Command, std::move(text), id, checked, {}};
    }
    static MenuItem separator() { return {Kind::Separator, {}, 0, false, {}}; }
    static MenuItem submenu(std::string text, std::vector<MenuItem> items) {
        return {Kind::Submenu, std::move(text), 0, false, std::move(items)};
    }
    bool operator==(const MenuItem&) const = default;
};

using Menu = std::vector<MenuItem>;

// Command ids; 0 is a dismissed menu.
namespace menu_id {
inline constexpr unsigned k_rename = 1;
inline constexpr unsigned k_close = 2;
inline constexpr unsigned k_new_group = 3;
inline constexpr unsigned k_no_group = 4;
inline constexpr unsigned k_rename_group = 5;
inline constexpr unsigned k_broadcast = 6;
inline constexpr unsigned k_new_tab_in_group = 7;
inline constexpr unsigned k_collapse_group = 8;
inline constexpr unsigned k_expand_group = 9;
inline constexpr unsigned k_close_group = 10;
inline constexpr unsigned k_view_single = 11;
inline constexpr unsigned k_view_tile_group = 12;
inline constexpr unsigned k_view_tile_all = 13;
inline constexpr unsigned k_history = 14;
inline constexpr unsigned k_view_browse = 15;
inline constexpr unsigned k_clear_scrollback = 16;
inline constexpr unsigned k_save_output = 17;
inline constexpr unsigned k_restart = 18;
inline constexpr unsigned k_duplicate = 19;
inline constexpr unsigned k_log_to_file = 20;
inline constexpr unsigned k_color_default = 100;
inline constexpr unsigned k_color_first = 101;  // + colour index
inline constexpr unsigned k_group_first = 200;  // + position in the group list
inline constexpr unsigned k_top_level = 400;
inline constexpr unsigned k_parent_first = 401;  // + position in the offered list
inline constexpr unsigned k_theme_first = 900;   // + position in builtin_themes()
inline constexpr unsigned k_show = 1000;
inline constexpr unsigned k_close_to_tray = 1001;
inline constexpr unsigned k_quit = 1002;
inline constexpr unsigned k_restore_sessions = 1003;
inline constexpr unsigned k_track_history = 1006;
inline constexpr unsigned k_check_updates = 1007;
inline constexpr unsigned k_settings_folder = 1008;
inline constexpr unsigned k_remote_bridge = 1009;
inline constexpr unsigned k_logs_folder = 1010;
}  // namespace menu_id

inline constexpr char k_product_page[] = "https://tolvar.app/";

// A menu with the subject it was built for. Subjects and offered groups are
// held by id, never by position: the workspace can change while a menu is
// open (a session ends), so a choice is looked up again when it is made.
struct TabMenu {
    Menu items;
    TabId subject{};
    std::vector<GroupId> groups;  // the "Group" entries, in menu order
};

struct GroupMenu {
    Menu items;
    GroupId subject{};
    std::vector<GroupId> parents;  // the "Move group into" entries
};

// The view modes and the "Theme" submenu, with the current mode and the
// scheme in use checked.
Menu view_menu(ViewMode current, std::string_view theme);
// Nothing for a tab that is gone.
std::optional<TabMenu> tab_menu(const AppState& state, TabId tab);
// Nothing for an unknown group.
std::optional<GroupMenu> group_menu(const AppState& state, GroupId id);
Menu tray_menu(const core::Settings& settings);

// Every group a group may move into: neither itself nor nested below it at
// any depth, in group order.
std::vector<GroupId> move_group_targets(const AppState& state, GroupId id);

std::string remote_bridge_text(const core::RemoteSettings& remote);

// An item text as a popup menu must be given it: a lone '&' would vanish and
// underline the next character, so a group named "R&D" would read "RD".
std::string menu_label(std::string_view text);

// What menu choices need from the main window beyond the workspace. Every
// call may re-enter the window procedure: never made while borrowing.
class MenuPort {
  public:
    virtual ~MenuPort() = default;
    virtual void start_rename(RenameTarget target) = 0;
    virtual void show_history_viewer() = 0;
    // The save dialog for the tab's output, and the writing; a failure is
    // shown by the port.
    virtual void save_output(TabId tab) = 0;
    // Repaint the whole client area, without erasing.
    virtual void invalidate() = 0;
    // Restore the main window and bring it to the front.
    virtual void show_main_window() = 0;
    // A path or web address, opened as the desktop would open it.
    virtual void open_in_shell(const std::string& target) = 0;
    virtual void info_box(const std::string& caption, const std::string& text) = 0;
    virtual void quit() = 0;
};

// Sets "theme" in the settings, saves them at once and recomputes the look
// (the user's own colours still apply on top); an unknown name does nothing.
void choose_theme(Workspace& workspace, std::string_view name);

// Carry out a choice; 0 and a subject that is gone do nothing.
void run_tab_command(Workspace& workspace, MenuPort& port, const TabMenu& menu, unsigned id);
void run_group_command(Workspace& workspace, MenuPort& port, const GroupMenu& menu, unsigned id);
// The switches are saved to settings.json at once.
void run_tray_command(Workspace& workspace, MenuPort& port, unsigned id);

}  // namespace tolvar::app
