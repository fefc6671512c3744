// Failures caught where nothing can show them: an exception stopped at a
// window procedure or a callback, or a worker thread's failure. They wait
// here, from any thread, and the main window tells them as notices when it
// handles WM_APP_FAILURE. Process-wide, like the one main window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tolvar::app::win {

inline constexpr UINT WM_APP_FAILURE = WM_APP + 3;

// The window WM_APP_FAILURE goes to; null when there is none any more.
void set_failure_window(HWND window) noexcept;
// Thread-safe; a failure that cannot even be kept is lost, never thrown.
void report_failure(const std::string& text) noexcept;
std::vector<std::string> take_failures();

// The text of the exception being handled, for use in a catch block.
std::string current_exception_text() noexcept;

// For the one catch of a boundary: what the user reads about an exception
// that stopped a message, a callback or a thread, and that the program goes on.
std::string interrupted_text(const std::string& what);

// A window procedure's one catch: `handle()` answers the message; an
// exception becomes a notice and the message goes to DefWindowProcW.
template <class Handle>
LRESULT guarded(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, Handle&& handle) noexcept {
    try {
        return handle();
    } catch (...) {
        report_failure(interrupted_text(current_exception_text()));
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
}

}  // namespace tolvar::app::win
