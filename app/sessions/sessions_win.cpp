#include "sessions/sessions_win.hpp"

#include "dialogs/dialog_frame_win.hpp"
#include "sessions/window_events_win.hpp"
#include "tolvar/proto/win/external.hpp"
#include "view/layout.hpp"
#include "window/failures_win.hpp"

namespace tolvar::app::win {

namespace {

// A minimized window has no client area, and a session started then (a tab
// opened from outside, or resumed) would begin one cell large and lose what
// its shell prints before the window is restored: size it for the restored
// window instead. A failed query counts as an empty client area.
Rect client_to_fit(HWND window) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    RECT frame{};
    if (IsIconic(window) && GetWindowPlacement(window, &placement) &&
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)))) {
        const RECT& normal = placement.rcNormalPosition;
        return Rect{0, 0, (normal.right - normal.left) - (frame.right - frame.left),
                    (normal.bottom - normal.top) - (frame.bottom - frame.top)};
    }
    RECT client{};
    if (!GetClientRect(window, &client)) return Rect{};
    return Rect{client.left, client.top, client.right, client.bottom};
}

}  // namespace

Expected<std::unique_ptr<Session>, std::string> ConsoleStarter::start(
    const SessionRequest& request) {
    const HWND window = window_();
    const pty::GridSize size =
        single_view_size(client_to_fit(window), cell_, Scale{GetDpiForWindow(window)});
    if (request.serial) {
        auto port = pty::SerialSession::open(*request.serial, size,
                                             std::make_shared<WindowEvents>(window));
        if (!port) return unexpected(std::move(port.error()));
        return std::unique_ptr<Session>(
            std::make_unique<SessionOf<pty::SerialSession>>(std::move(*port)));
    }
    auto session = pty::PtySession::start(request.command, request.working_dir, size,
                                          std::make_shared<WindowEvents>(window));
    if (!session) return unexpected(session.error().display());
    return std::unique_ptr<Session>(
        std::make_unique<SessionOf<pty::PtySession>>(std::move(*session)));
}

void SystemExternals::start_external(const proto::External& plan) {
    proto::start_external_plan(
        plan, [this](const std::string& text) { error_box(owner_(), text); }, report_failure);
}

}  // namespace tolvar::app::win
