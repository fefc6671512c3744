// The find box's controls: an EDIT for the query, "n of m", and previous and
// next buttons, children of the main window laid over the top right of the
// pane being searched. It is no dialog: the sessions go on, and a click in
// the terminal leaves it open. The edit's subclass takes Enter, Shift+Enter,
// F3, Shift+F3 and Esc. At most one; owned by the main window. UI thread.
#pragma once

#include <windows.h>

#include <string>

#include "view/find_box.hpp"
#include "view/gdi_win.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app::win {

class FindBoxControls {
  public:
    FindBoxControls(Workspace& workspace) : workspace_(workspace) {}
    FindBoxControls(const FindBoxControls&) = delete;
    FindBoxControls& operator=(const FindBoxControls&) = delete;
    ~FindBoxControls() { destroy(); }

    // Opens the box over the active pane, or gives the focus back to it,
    // with its text selected.
    void open(HWND owner);
    // Follows the pane after a layout pass; closes when its pane is gone.
    void place();
    // WM_COMMAND of the main window; true when it was the box's.
    bool on_command(int id, int code);
    bool shown() const { return edit_ != nullptr; }

  private:
    static LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept;
    LRESULT handle_edit(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    void create(HWND owner);
    void destroy();
    // The query changed, or a step was taken: the status and the pane.
    void searched();
    void step(bool backwards);
    // Esc: the view stays on the current match, the focus goes back.
    void close();
    // The pane the box is over, now; nothing when it is not shown.
    std::optional<Rect> pane_rect() const;

    Workspace& workspace_;
    HWND owner_ = nullptr;
    HWND edit_ = nullptr;
    HWND status_ = nullptr;
    HWND previous_ = nullptr;
    HWND next_ = nullptr;
    WNDPROC edit_previous_proc_ = nullptr;
    Font font_;
};

}  // namespace tolvar::app::win
