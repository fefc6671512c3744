#include "input/mouse_win.hpp"

#include <windows.h>

#include "dialogs/dialog_frame_win.hpp"
#include "dialogs/dialogs_win.hpp"
#include "input/modifiers_win.hpp"
#include "window/host_window_win.hpp"

namespace tolvar::app::win {

PointerEvent pointer(int x, int y, WPARAM keys) {
    const PointerKeys carried = pointer_keys(keys);
    return {x, y, carried.mods, static_cast<std::uint32_t>(GetMessageTime()), carried.held};
}

MouseButton button_of(UINT msg) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return MouseButton::Left;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            return MouseButton::Right;
        default:
            return MouseButton::Middle;
    }
}

Rect SystemMouse::client() const {
    return host_.client();
}

Scale SystemMouse::scale() const {
    return host_.scale();
}

CellMetrics SystemMouse::cell() const {
    return host_.font().cell();
}

DoubleClickLimits SystemMouse::double_click_limits() const {
    return {static_cast<std::uint32_t>(GetDoubleClickTime()), GetSystemMetrics(SM_CXDOUBLECLK),
            GetSystemMetrics(SM_CYDOUBLECLK)};
}

void SystemMouse::capture() {
    SetCapture(host_.hwnd());
}

void SystemMouse::release_capture() {
    ReleaseCapture();
}

bool SystemMouse::start_drag_timer() {
    return SetTimer(host_.hwnd(), k_drag_scroll_timer, 50, nullptr) != 0;
}

void SystemMouse::stop_drag_timer() {
    KillTimer(host_.hwnd(), k_drag_scroll_timer);
}

void SystemMouse::set_cursor(bool hand) {
    SetCursor(LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
}

void SystemMouse::invalidate() {
    host_.invalidate();
}

void SystemMouse::end_rename() {
    host_.end_rename();
}

void SystemMouse::show_text(const std::string& text) {
    info_box(host_.hwnd(), "tolvar", text);
}

void SystemMouse::open_item_menu(BarItem item, int x, int y) {
    const POINT at{x, y};
    if (const TabId* tab = std::get_if<TabId>(&item)) {
        show_tab_menu(host_, *tab, at);
    } else {
        show_group_menu(host_, std::get<GroupId>(item), at);
    }
}

bool SystemMouse::report_press(MouseButton button, const PointerEvent& at) {
    return reports_.press(button, at);
}

bool SystemMouse::report_release(MouseButton button, const PointerEvent& at) {
    return reports_.release(button, at);
}

bool SystemMouse::report_motion(const PointerEvent& at) {
    return reports_.motion(at);
}

bool SystemMouse::report_wheel(int delta, const PointerEvent& at) {
    return reports_.wheel(delta, at);
}

}  // namespace tolvar::app::win
