// The command palette on screen: an EDIT child of the main window for the
// query (so typing, the IME, paste and the caret are the system's), whose
// subclass takes the list keys, and the box and its rows drawn by the main
// window's paint from the portable model. At most one; owned by the main
// window for the whole run, hidden rather than destroyed between uses.
// UI thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "commands/command_palette.hpp"
#include "view/gdi_win.hpp"

namespace tolvar::app::win {

class CommandPaletteBox {
  public:
    using Run = std::function<void(std::size_t key)>;

    CommandPaletteBox() = default;
    CommandPaletteBox(const CommandPaletteBox&) = delete;
    CommandPaletteBox& operator=(const CommandPaletteBox&) = delete;
    ~CommandPaletteBox();

    // Shows the box at the top of `host` listing `entries`, with an empty
    // query and the keyboard focus in it; an open box takes the new entries
    // and `run`. Enter or a click on a row closes the box, gives the focus
    // back to `host`, and then calls `run` with the entry's key, so the
    // command may open a dialog or close the window.
    void open(HWND host, std::vector<PaletteEntry> entries, Run run);
    bool is_open() const { return model_.is_open(); }
    // Esc: closed, with the focus back on the host; `run` is not called.
    void close();

    // The main window's hooks. The paint draws into its memory DC, after
    // everything else; `theme` is the panes' one.
    void paint(HDC dc, const Theme& theme) const;
    // After the client area or the DPI changed.
    void place();
    // A button pressed: a press on the box is taken (the left button on a
    // row runs its entry); one elsewhere closes it and is not.
    bool on_button_down(int x, int y, bool left);
    // WM_LBUTTONDBLCLK: the second press of a double click on a row is taken
    // too, and so runs nothing beneath the box, which has gone.
    bool on_left_double_click(int x, int y);
    // WM_MOUSEWHEEL with the point in client coordinates: scrolls the rows
    // when the pointer is over the box.
    bool on_mouse_wheel(int delta, int x, int y);
    // WM_COMMAND; true when it was the query's.
    bool on_command(int id, int code);
    // WM_CTLCOLOREDIT: the query in the theme's colours; nothing for other controls.
    HBRUSH on_control_color(HWND control, HDC dc, const Theme& theme) const;

  private:
    static LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept;
    LRESULT handle_edit(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    bool create(HWND host);
    // The fonts and their line height for the host's DPI, when it changed.
    void make_fonts();
    PaletteLayout layout() const;
    // The rows changed: the area the box may cover is drawn again.
    void changed();
    // `give_focus_back`: to the host, unless another window took it.
    void hide(bool give_focus_back);
    // Closes, then runs: `run` may re-open the box or destroy the window.
    void finish(std::size_t key);
    // Ctrl+Backspace: the word before the caret goes.
    void delete_word();

    HWND host_ = nullptr;
    HWND edit_ = nullptr;
    WNDPROC edit_previous_proc_ = nullptr;
    unsigned font_dpi_ = 0;
    Font font_;
    Font bold_font_;
    int text_height_ = 16;
    CommandPalette model_;
    Run run_;
    int wheel_rest_ = 0;
    // The box as it was when it took a press, for the double click after it.
    std::optional<Rect> pressed_frame_;
};

}  // namespace tolvar::app::win
