#include "input/mouse_report_win.hpp"

#include <cstdlib>

#include "input/modifiers_win.hpp"
#include "view/layout.hpp"
#include "view/pane_painter.hpp"
#include "window/host_window_win.hpp"
#include "workspace/notices.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app::win {

bool MouseReports::press(MouseButton button, const PointerEvent& at) {
    const int x = at.x;
    const int y = at.y;
    MouseEvent event{MouseAction::Press, button, at.modifiers, 0, 0, at.held};
    // Whichever button comes first picks the pane; the others join it.
    const Target target = held_ ? Target::Held : Target::Pointer;
    if (!report(event, x, y, target)) return false;
    SetCapture(host_.hwnd());
    return true;
}

bool MouseReports::release(MouseButton button, const PointerEvent& at) {
    if (!held_) return false;
    MouseEvent event{MouseAction::Release, button, at.modifiers, 0, 0, at.held};
    // A release after the application turned reports off is still its own.
    report(event, at.x, at.y, Target::Held);
    if (!event.held.any()) {
        held_.reset();
        ReleaseCapture();
    }
    return true;
}

bool MouseReports::motion(const PointerEvent& at) {
    const int x = at.x;
    const int y = at.y;
    MouseEvent event{MouseAction::Motion, MouseButton::None, at.modifiers, 0, 0, at.held};
    // The capture can be lost with the buttons still held (a switch to
    // another window); their release never came here.
    if (held_ && !event.held.any()) {
        held_.reset();
        if (GetCapture() == host_.hwnd()) ReleaseCapture();
    }
    // A drag that began locally (a selection, the scroll indicator) stays local.
    if (!held_ && GetCapture() == host_.hwnd()) return false;
    return report(event, x, y, held_ ? Target::Held : Target::Pointer);
}

bool MouseReports::wheel(int delta, const PointerEvent& at) {
    const int x = at.x;
    const int y = at.y;
    // A high-resolution wheel's fractions of a notch add up to whole ones;
    // turning the other way drops what was carried.
    if (wheel_carried_ != 0 && (wheel_carried_ > 0) != (delta > 0)) wheel_carried_ = 0;
    wheel_carried_ += delta;
    const int notches = wheel_carried_ / WHEEL_DELTA;
    MouseEvent event{delta > 0 ? MouseAction::WheelUp : MouseAction::WheelDown,
                     MouseButton::None,
                     at.modifiers,
                     0,
                     0,
                     at.held};
    // Taken even before a whole notch: the turn is the application's, not
    // the scrollback's.
    if (!report(event, x, y, held_ ? Target::Held : Target::Pointer, std::abs(notches))) {
        wheel_carried_ = 0;
        return false;
    }
    wheel_carried_ -= notches * WHEEL_DELTA;
    return true;
}

void MouseReports::focus(bool focused) {
    const Tab* tab = host_.state().view().active_tab();
    if (!tab || !tab->session() || tab->ended()) return;
    bool wanted = false;
    tab->session()->model().with(
        [&](const pty::TerminalModel& model) { wanted = model.focus_reporting(); });
    if (wanted) tab->session()->write(focus_report(focused));
}

bool MouseReports::report(MouseEvent event, int x, int y, Target target, int times) {
    const Rect client = host_.client();
    const Scale chrome = host_.scale();
    std::optional<TabId> activate;
    {
        const AppState& state = host_.state().view();
        std::optional<Pane> pane;
        if (target == Target::Held) {
            pane = pane_of_tab(state, client, *held_, chrome);
        } else {
            // The help screen and the notices lie over the panes.
            if (state.help_visible()) return false;
            if (notice_hit(state.notices(), client, x, y, chrome)) return false;
            pane = pane_at(state, client, x, y, chrome);
        }
        const Tab* tab = pane ? state.find_tab(pane->tab) : nullptr;
        // An ended tab's pane is the user's to select in.
        if (!tab || !tab->session() || tab->ended()) return false;
        const Rect text = text_rect(pane->rect, pane->caption, chrome);
        if (target == Target::Pointer && !text.contains(x, y)) return false;
        ReportModes modes;
        CellAt at = cell_at(text, host_.font().cell(), x, y);
        tab->session()->model().with([&](const pty::TerminalModel& model) {
            modes = {model.mouse_mode(), model.mouse_encoding(), model.cols(), model.rows()};
            // A doubled line's cells are two columns wide.
            if (at.row >= 0 && at.row < model.rows())
                at.col = line_column(
                    at.col, drawn_doubled(model.row_size(static_cast<std::uint16_t>(at.row))));
        });
        const bool held = target == Target::Held;
        if (!held && mouse_route(modes.mode, event.modifiers) == MouseRoute::Local) return false;
        // History in view is the user's to read and select; the application
        // knows only its screen.
        if (!held && event.action == MouseAction::Press &&
            tab->scroll().offset(history_extent(*tab)) != 0) {
            return false;
        }
        event.col = at.col;
        event.row = at.row;
        // Motion within a cell says nothing new.
        const Spot spot{tab->id(), at};
        const bool same = last_ && *last_ == spot;
        last_ = spot;
        if (event.action == MouseAction::Motion && same) return true;
        if (const std::optional<std::string> bytes = mouse_report(event, modes)) {
            for (int i = 0; i < times; ++i) tab->session()->write(*bytes);
        }
        if (event.action == MouseAction::Press) {
            held_ = tab->id();
            if (state.active_tab() != tab) activate = tab->id();
        }
    }
    if (activate) host_.workspace().set_active_tab(*activate);
    return true;
}

}  // namespace tolvar::app::win
