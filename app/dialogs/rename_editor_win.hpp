// The inline rename editor: an EDIT control laid over a tab-bar item, whose
// subclass commits on Enter or focus loss and cancels on Esc. At most one
// rename at a time; owned by the main window for the whole run. UI thread.
#pragma once

#include <windows.h>

#include <optional>

#include "view/gdi_win.hpp"
#include "view/view_win.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app::win {

class RenameEditor {
  public:
    RenameEditor(Workspace& workspace, const TerminalFont& font)
        : workspace_(workspace), font_(font) {}
    RenameEditor(const RenameEditor&) = delete;
    RenameEditor& operator=(const RenameEditor&) = delete;
    ~RenameEditor() { discard(); }

    // Commits any rename in progress, then opens the editor over the target's
    // item with its current name. Nothing when the target is gone or the
    // control cannot be created.
    void start(HWND owner, RenameTarget target);
    // Commit stores a non-blank text through commit_rename.
    void end(bool commit);
    // Drops a rename without storing it or touching the owner: for shutdown,
    // when the tabs are already on their way out.
    void discard();

    bool active() const { return editing_.has_value(); }

  private:
    static LRESULT CALLBACK editor_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept;
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

    struct Editing {
        RenameTarget target;
        HWND editor;
        HWND owner;
        Font font;
        WNDPROC previous;
    };
    // Takes the editor out of the rename before anything else: destroying
    // it moves the focus, and that focus loss must not end the rename a
    // second time.
    Editing take();
    // The control gets its own procedure back, so it frees what it
    // allocated, and goes; its font goes with `done`.
    static void destroy(const Editing& done);

    Workspace& workspace_;
    const TerminalFont& font_;
    std::optional<Editing> editing_;
};

}  // namespace tolvar::app::win
