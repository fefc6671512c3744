// The tab, group and tray menus on screen: the portable menu data becomes a
// popup menu, the choice goes back to the portable rules. The state is never
// borrowed while a menu is open: TrackPopupMenu runs a message loop.
#include <windows.h>

#include <shellapi.h>

#include "dialog_frame_win.hpp"
#include "dialogs_win.hpp"
#include "gdi_win.hpp"
#include "host_window_win.hpp"
#include "tolvar/app/menus.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

namespace {

using core::win::to_wide;

// Failures to create or append leave the item out.
MenuHandle build_menu(const Menu& menu) {
    MenuHandle handle(CreatePopupMenu());
    if (!handle) return handle;
    for (const MenuItem& item : menu) {
        switch (item.kind) {
            case MenuItem::Kind::Separator:
                AppendMenuW(handle.get(), MF_SEPARATOR, 0, nullptr);
                break;
            case MenuItem::Kind::Submenu:
                if (MenuHandle sub = build_menu(item.items)) {
                    // Once appended, the parent owns and destroys it.
                    if (AppendMenuW(handle.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(sub.get()),
                                    to_wide(menu_label(item.text)).c_str())) {
                        sub.release();
                    }
                }
                break;
            case MenuItem::Kind::Command:
                AppendMenuW(handle.get(), MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED),
                            item.id, to_wide(menu_label(item.text)).c_str());
                break;
        }
    }
    return handle;
}

// The chosen command id; 0 when dismissed.
unsigned track_menu(HWND owner, const MenuHandle& menu, POINT screen) {
    const BOOL id = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y,
                                   0, owner, nullptr);
    return id > 0 ? static_cast<unsigned>(id) : 0;
}

unsigned show_at_client_point(HWND owner, const Menu& menu, POINT client) {
    const MenuHandle handle = build_menu(menu);
    if (!handle) return 0;
    ClientToScreen(owner, &client);
    return track_menu(owner, handle, client);
}

class HostMenuPort final : public MenuPort {
  public:
    explicit HostMenuPort(HostWindow& host) : host_(host) {}

    void start_rename(RenameTarget target) override { host_.start_rename(target); }
    void show_history_viewer() override { win::show_history_viewer(host_); }
    void save_output(TabId tab) override { host_.save_output(tab); }
    void invalidate() override { InvalidateRect(host_.hwnd(), nullptr, FALSE); }
    void show_main_window() override { host_.show_to_front(); }
    void open_in_shell(const std::string& target) override {
        ShellExecuteW(host_.hwnd(), L"open", to_wide(target).c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    }
    void info_box(const std::string& caption, const std::string& text) override {
        win::info_box(host_.hwnd(), caption, text);
    }
    void quit() override { DestroyWindow(host_.hwnd()); }

  private:
    HostWindow& host_;
};

}  // namespace

void show_tab_menu(HostWindow& host, TabId tab, POINT client) {
    std::optional<TabMenu> menu;
    {
        auto state = host.state().borrow();
        if (!state) return;
        menu = tab_menu(**state, tab);
    }
    if (!menu) return;
    const unsigned id = show_at_client_point(host.hwnd(), menu->items, client);
    HostMenuPort port(host);
    run_tab_command(host.workspace(), port, *menu, id);
}

void show_group_menu(HostWindow& host, GroupId group, POINT client) {
    std::optional<GroupMenu> menu;
    {
        auto state = host.state().borrow();
        if (!state) return;
        menu = group_menu(**state, group);
    }
    if (!menu) return;
    const unsigned id = show_at_client_point(host.hwnd(), menu->items, client);
    HostMenuPort port(host);
    run_group_command(host.workspace(), port, *menu, id);
}

void show_tray_menu(HostWindow& host) {
    core::Settings settings;
    {
        auto state = host.state().borrow();
        if (!state) return;
        settings = (*state)->config.settings;
    }
    const MenuHandle handle = build_menu(tray_menu(settings));
    if (!handle) return;
    POINT cursor;
    if (!GetCursorPos(&cursor)) return;
    // Without the foreground the menu would not close on a click elsewhere;
    // the posted message lets it close properly afterwards.
    SetForegroundWindow(host.hwnd());
    const unsigned id = track_menu(host.hwnd(), handle, cursor);
    PostMessageW(host.hwnd(), WM_NULL, 0, 0);
    HostMenuPort port(host);
    run_tray_command(host.workspace(), port, id);
}

}  // namespace tolvar::app::win
