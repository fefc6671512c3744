// The main window's side of the mouse rules: the capture, the drag-scroll
// timer, the pointer's shape, the system's double-click limits, the menus and
// the reports to applications. Owned by the main window for its whole life.
// UI thread only.
#pragma once

#include <windows.h>

#include "input/mouse.hpp"
#include "input/mouse_report_win.hpp"

namespace tolvar::app::win {

class HostWindow;

// The mouse message being handled, at a client point: the keys and buttons
// its wParam carries and its time, as the mouse rules take them.
PointerEvent pointer(int x, int y, WPARAM keys);
// The button of a WM_[LRM]BUTTON* message.
MouseButton button_of(UINT msg);

class SystemMouse final : public MousePort {
  public:
    explicit SystemMouse(HostWindow& host) : host_(host), reports_(host) {}

    Rect client() const override;
    Scale scale() const override;
    CellMetrics cell() const override;
    DoubleClickLimits double_click_limits() const override;
    void capture() override;
    void release_capture() override;
    bool start_drag_timer() override;
    void stop_drag_timer() override;
    void set_cursor(bool hand) override;
    void invalidate() override;
    void end_rename() override;
    void show_text(const std::string& text) override;
    void open_item_menu(BarItem item, int x, int y) override;
    bool report_press(MouseButton button, const PointerEvent& at) override;
    bool report_release(MouseButton button, const PointerEvent& at) override;
    bool report_motion(const PointerEvent& at) override;
    bool report_wheel(int delta, const PointerEvent& at) override;

    // The focus reports of the active tab's session.
    void focus(bool focused) { reports_.focus(focused); }

  private:
    HostWindow& host_;
    MouseReports reports_;
};

}  // namespace tolvar::app::win
