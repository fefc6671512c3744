// The tab, group and tray menus as data (texts, commands, check marks),
// built fresh from the workspace each time one is shown. Showing them is
// Win32 code; a choice runs its command. UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/commands.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {

struct MenuItem {
    enum class Kind { Item, Separator, Submenu };

    Kind kind = Kind::Item;
    std::string text;
    // What choosing it does; it names its subjects by id, so a choice made
    // after the tabs changed still acts on what the menu showed.
    std::optional<Command> command;
    bool checked = false;
    std::vector<MenuItem> items;  // a submenu's entries

    static MenuItem item(std::string text, Command command, bool checked = false) {
        return {Kind::Item, std::move(text), std::move(command), checked, {}};
    }
    static MenuItem separator() { return {Kind::Separator, {}, std::nullopt, false, {}}; }
    static MenuItem submenu(std::string text, std::vector<MenuItem> items) {
        return {Kind::Submenu, std::move(text), std::nullopt, false, std::move(items)};
    }
    bool operator==(const MenuItem&) const = default;
};

using Menu = std::vector<MenuItem>;

inline constexpr char k_product_page[] = "https://tolvar.app/";

// The view modes and the "Theme" submenu, with the current mode and the
// scheme in use checked.
// `group`: the group whose menu holds it, which tiling shows.
Menu view_menu(ViewMode current, std::string_view theme, std::optional<GroupId> group);
// Nothing for a tab that is gone.
std::optional<Menu> tab_menu(const AppState& state, TabId tab);
// Nothing for an unknown group.
std::optional<Menu> group_menu(const AppState& state, GroupId id);
Menu tray_menu(const core::Settings& settings);

// Every group a group may move into: neither itself nor nested below it at
// any depth, in group order.
std::vector<GroupId> move_group_targets(const AppState& state, GroupId id);

std::string remote_bridge_text(const core::RemoteSettings& remote);

// An item text as a popup menu must be given it: a lone '&' would vanish and
// underline the next character, so a group named "R&D" would read "RD".
std::string menu_label(std::string_view text);

// Sets "theme" in the settings, saves them at once and recomputes the look
// (the user's own colours still apply on top); an unknown name does nothing.
void choose_theme(Workspace& workspace, SaveSchedule& saves, std::string_view name);

// The items of a menu in the order a popup numbers them: its commands,
// submenus included, depth first.
std::vector<const MenuItem*> menu_commands(const Menu& menu);

}  // namespace tolvar::app
