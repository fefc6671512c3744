// The main window's mouse and focus messages turned into reports for the
// application in the pane under the pointer, when it asked for them. Owned
// by the main window for its whole life. UI thread only.
#pragma once

#include <windows.h>

#include <optional>

#include "input/mouse.hpp"
#include "input/mouse_report.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app::win {

class HostWindow;

class MouseReports {
  public:
    explicit MouseReports(HostWindow& host) : host_(host) {}

    // A mouse message, with the keys and buttons it carries. True when the
    // event belongs to an application, which then has had it, and local
    // handling stops.
    bool press(MouseButton button, const PointerEvent& at);
    bool release(MouseButton button, const PointerEvent& at);
    bool motion(const PointerEvent& at);
    bool wheel(int delta, const PointerEvent& at);
    // The focus reports of the active tab's session.
    void focus(bool focused);

  private:
    enum class Target : std::uint8_t { Pointer, Held };
    // Encodes and sends `event` `times` times, its cell taken from the point;
    // the pane is the one the held buttons report to, or the one under the
    // pointer. False when the event is not the application's.
    bool report(MouseEvent event, int x, int y, Target target, int times = 1);

    HostWindow& host_;
    // The pane a reported press went to: its drag and release go there too,
    // wherever the pointer is, for as long as a button is held.
    std::optional<TabId> held_;
    // Where the last report was, so motion is reported once per cell.
    struct Spot {
        TabId tab{};
        CellAt cell;
        friend bool operator==(const Spot&, const Spot&) = default;
    };
    std::optional<Spot> last_;
    int wheel_carried_ = 0;
};

}  // namespace tolvar::app::win
