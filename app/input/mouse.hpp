// The mouse in the main window: what a press, a double-click, a release, a
// move or a wheel turn at a client point does (the tab bar, the group
// browser, notices, links, a pane's scroll indicator, the text selection and
// its copy), and what a gesture carries from one message to the next. Not
// the system's side: capture, the drag timer, the pointer's shape, reports
// to applications and menus are behind MousePort. UI thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "commands/command_runner.hpp"
#include "input/chords.hpp"
#include "input/input.hpp"
#include "input/mouse_report.hpp"
#include "look/fonts.hpp"
#include "view/geometry.hpp"
#include "view/tab_bar.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {

// How soon after a double-click, and how near it, a press is its third
// click: the system's double-click time and rectangle (centred on the
// double-click's point).
struct DoubleClickLimits {
    std::uint32_t time_ms = 500;
    int width = 4;
    int height = 4;
};

// A mouse message: its client point, the modifiers held at it, and its
// time in milliseconds on the system's clock, which wraps.
// A mouse event at a client point, with the keys and buttons the event
// itself carries (as they were when it happened, not when it is handled).
struct PointerEvent {
    int x = 0;
    int y = 0;
    Modifiers modifiers;
    std::uint32_t time = 0;
    HeldButtons held;
};

// What the mouse rules need from the window. Every call may re-enter the
// window procedure, so none comes while a change holds the state.
class MousePort {
  public:
    virtual ~MousePort() = default;
    virtual Rect client() const = 0;
    virtual Scale scale() const = 0;
    virtual CellMetrics cell() const = 0;
    virtual DoubleClickLimits double_click_limits() const = 0;
    // Every pointer message comes to the window, wherever the pointer is,
    // until released.
    virtual void capture() = 0;
    virtual void release_capture() = 0;
    // drag_scroll_tick() every 50 ms until stopped; false when the system
    // gave no timer.
    virtual bool start_drag_timer() = 0;
    virtual void stop_drag_timer() = 0;
    // The hand over a link, or the arrow.
    virtual void set_cursor(bool hand) = 0;
    virtual void invalidate() = 0;
    // A click ends an inline rename, as moving the focus out of it does.
    virtual void end_rename() = 0;
    // A notice's whole text, where the user can read and copy it.
    virtual void show_text(const std::string& text) = 0;
    // The tab's or group's context menu at a client point.
    virtual void open_item_menu(BarItem item, int x, int y) = 0;
    // The mouse reports of the application in the pane, when it asked for
    // them. True when the event was the application's, and the local
    // handling stops. A wheel turn's point is a client point too.
    virtual bool report_press(MouseButton button, const PointerEvent& at) = 0;
    virtual bool report_release(MouseButton button, const PointerEvent& at) = 0;
    virtual bool report_motion(const PointerEvent& at) = 0;
    virtual bool report_wheel(int delta, const PointerEvent& at) = 0;
};

class MouseController {
  public:
    MouseController(Workspace& workspace, CommandRunner& commands, InputController& input,
                    MousePort& port)
        : workspace_(workspace), commands_(commands), input_(input), port_(port) {}

    // A button went down. A left press soon after a double-click and near
    // it is that click's third, which the system does not report.
    void press(MouseButton button, const PointerEvent& at);
    // The system's double-click message, which comes instead of the second
    // press. False when nothing took it.
    bool double_click(MouseButton button, const PointerEvent& at);
    // False when nothing took it.
    bool release(MouseButton button, const PointerEvent& at);
    void move(const PointerEvent& at);
    // Over the pane under the pointer, else the active tab's.
    void wheel(int delta, const PointerEvent& at, unsigned lines_per_notch);
    // While a drag selection holds the pointer past its pane's edge.
    void drag_scroll_tick();
    // Ctrl went down or up with the pointer still: the link under it shows
    // or goes at once.
    void link_keys(const PointerEvent& at);
    // The window asks for the pointer's shape: the hand over the link the
    // last move or Ctrl key found with Ctrl held. False leaves the pointer
    // as it is.
    bool link_cursor();

  private:
    // After the reports and the third-click count: `clicks` is 2 for the
    // second press of a double-click on a pane, 3 for a triple click.
    void left_press(const PointerEvent& at, int clicks);
    bool third_click(const PointerEvent& at) const;
    // Ctrl+click opens the link under the pointer as the link rule allows;
    // false when no link takes the press.
    bool link_click(const PointerEvent& at, int clicks);
    // A click on a notice row: its "x" dismisses it, its text shows it
    // whole. False when the point is on none.
    bool notice_click(const PointerEvent& at);
    void bar_press(const PointerEvent& at);
    // A press on a pane's scroll indicator starts dragging it; false when
    // the point is on none.
    bool grab_indicator(const PointerEvent& at);
    void hover(const PointerEvent& at);
    void right_press(const PointerEvent& at);
    void middle_press(const PointerEvent& at);
    void left_release();

    Workspace& workspace_;
    CommandRunner& commands_;
    InputController& input_;
    MousePort& port_;

    // What the last left press in the tab bar landed on. That press may
    // have changed the bar (a label expands, a close mark removes its tab),
    // so its double-click follows the press, not a fresh hit test.
    std::optional<BarHit> pressed_bar_;
    // The tab whose scroll indicator is being dragged, and the pointer's
    // distance from its thumb's top.
    std::optional<TabId> indicator_drag_;
    int indicator_grab_ = 0;
    // Where the pointer is while a drag selection scrolls.
    int drag_x_ = 0;
    int drag_y_ = 0;
    bool drag_timer_ = false;
    // The last double-click on a pane.
    struct Spot {
        std::uint32_t time = 0;
        int x = 0;
        int y = 0;
    };
    std::optional<Spot> double_click_;
};

}  // namespace tolvar::app
