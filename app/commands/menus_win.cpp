// The tab, group and tray menus on screen: the portable menu data becomes a
// popup menu, and the chosen item's command runs. No change holds the state
// while a menu is open: TrackPopupMenu runs a message loop.
#include <windows.h>

#include <shellapi.h>

#include "commands/menus.hpp"
#include "dialogs/dialog_frame_win.hpp"
#include "dialogs/dialogs_win.hpp"
#include "tolvar/core/win/win32.hpp"
#include "view/gdi_win.hpp"
#include "window/host_window_win.hpp"

namespace tolvar::app::win {

namespace {

using core::win::to_wide;

// Items are numbered from 1 in the order of menu_commands, which maps the
// choice back to its command. Failures to create or append leave the item out.
MenuHandle build_menu(const Menu& menu, unsigned& next_id) {
    MenuHandle handle(CreatePopupMenu());
    if (!handle) return handle;
    for (const MenuItem& item : menu) {
        switch (item.kind) {
            case MenuItem::Kind::Separator:
                AppendMenuW(handle.get(), MF_SEPARATOR, 0, nullptr);
                break;
            case MenuItem::Kind::Submenu:
                if (MenuHandle sub = build_menu(item.items, next_id)) {
                    // Once appended, the parent owns and destroys it.
                    if (AppendMenuW(handle.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(sub.get()),
                                    to_wide(menu_label(item.text)).c_str())) {
                        sub.release();
                    }
                }
                break;
            case MenuItem::Kind::Item:
                AppendMenuW(handle.get(), MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED),
                            next_id++, to_wide(menu_label(item.text)).c_str());
                break;
        }
    }
    return handle;
}

// The chosen item's command; nothing when dismissed.
std::optional<Command> track_menu(HWND owner, const Menu& menu, POINT screen) {
    unsigned next_id = 1;
    const MenuHandle handle = build_menu(menu, next_id);
    if (!handle) return std::nullopt;
    const BOOL id = TrackPopupMenu(handle.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                   screen.y, 0, owner, nullptr);
    const std::vector<const MenuItem*> items = menu_commands(menu);
    if (id <= 0 || static_cast<std::size_t>(id) > items.size()) return std::nullopt;
    return items[static_cast<std::size_t>(id) - 1]->command;
}

void show_at_client_point(HostWindow& host, const std::optional<Menu>& menu, POINT client) {
    if (!menu) return;
    ClientToScreen(host.hwnd(), &client);
    if (auto command = track_menu(host.hwnd(), *menu, client)) host.commands().execute(*command);
}

}  // namespace

void show_tab_menu(HostWindow& host, TabId tab, POINT client) {
    show_at_client_point(host, tab_menu(host.state().view(), tab), client);
}

void show_group_menu(HostWindow& host, GroupId group, POINT client) {
    show_at_client_point(host, group_menu(host.state().view(), group), client);
}

void show_tray_menu(HostWindow& host) {
    const Menu menu = tray_menu(host.state().view().config().settings);
    POINT cursor;
    if (!GetCursorPos(&cursor)) return;
    // Without the foreground the menu would not close on a click elsewhere;
    // the posted message lets it close properly afterwards.
    SetForegroundWindow(host.hwnd());
    const std::optional<Command> command = track_menu(host.hwnd(), menu, cursor);
    PostMessageW(host.hwnd(), WM_NULL, 0, 0);
    if (command) host.commands().execute(*command);
}

}  // namespace tolvar::app::win
