// A session's reports to the main window as posted messages: WM_APP_PTY_OUTPUT
// (lParam 0) and WM_APP_PTY_EXIT (lParam the end_word of how the program
// ended), wParam = session id. Called on the
// sessions' reader threads; holds nothing but the window handle.
#pragma once

#include <windows.h>

#include "tolvar/pty/session_events.hpp"

namespace tolvar::app::win {

class WindowEvents final : public pty::SessionEvents {
  public:
    explicit WindowEvents(HWND window) : window_(window) {}
    bool output(pty::SessionId id) override;
    // Retried while the window's queue is full; given up once the window is
    // gone, when nobody is left to tell.
    void ended(pty::SessionId id, pty::SessionEnd end) override;

  private:
    const HWND window_;
};

}  // namespace tolvar::app::win
