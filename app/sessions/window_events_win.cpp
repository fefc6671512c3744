#include "sessions/window_events_win.hpp"

#include "window/host_window_win.hpp"
#include "window/paint_trace_win.hpp"

namespace tolvar::app::win {

bool WindowEvents::output(pty::SessionId id) {
    trace_output_arrived(id);
    return PostMessageW(window_, WM_APP_PTY_OUTPUT, id, 0) != FALSE;
}

// The end travels in lParam whole.
static_assert(sizeof(LPARAM) >= sizeof(std::uint64_t));

void WindowEvents::ended(pty::SessionId id, pty::SessionEnd end) {
    const auto word = static_cast<LPARAM>(pty::end_word(end));
    // A window far behind a flood of output has a full queue, which refuses
    // posts until it catches up. A lost output notice is made up by the next
    // chunk; a lost end would leave the tab open on an ended session for good.
    while (!PostMessageW(window_, WM_APP_PTY_EXIT, id, word) &&
           GetLastError() == ERROR_NOT_ENOUGH_QUOTA) {
        Sleep(50);
    }
}

}  // namespace tolvar::app::win
