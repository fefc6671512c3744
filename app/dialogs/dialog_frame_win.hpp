// The modal dialog frame every dialog runs in, and the three message boxes.
// A dialog supplies its controls, key table and command table; the frame
// owns the window, font, DPI scaling and the modal loop. UI thread only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "view/gdi_win.hpp"

namespace tolvar::app::win {

inline constexpr wchar_t k_caption[] = L"tolvar";

void error_box(HWND owner, const std::string& text);
void info_box(HWND owner, const std::string& caption, const std::string& text);
// True only when the answer is Yes.
bool question_box(HWND owner, const std::string& text);

class DialogFrame;

// One dialog's behaviour. The state lives in the derived object, which the
// caller owns and reads after run_dialog returns.
class Dialog {
  public:
    virtual ~Dialog() = default;
    virtual void create_controls(DialogFrame& frame) = 0;
    // The control that gets the focus when the dialog opens.
    virtual int first_focus_id() const = 0;
    // Enter.
    virtual void on_default(DialogFrame& frame) = 0;
    // Keys other than Escape and Enter; true when taken.
    virtual bool on_key(DialogFrame&, UINT /*vk*/, HWND /*target*/) { return false; }
    virtual void on_command(DialogFrame&, int /*id*/, int /*code*/) {}
};

class DialogFrame {
  public:
    HWND hwnd() const { return hwnd_; }
    HWND owner() const { return owner_; }
    HWND control(int id) const { return GetDlgItem(hwnd_, id); }
    int scale(int value) const;

    // A child control at a position and size in 1/96 inch.
    HWND add_control(const wchar_t* cls, const std::string& text, DWORD style, int id, int x, int y,
                     int w, int h);
    // The edit's text: at most 511 UTF-16 units, as UTF-8, trimmed.
    std::string edit_text(int id) const;
    void set_text(int id, const std::string& text) const;
    // Replaces a list box's lines.
    void fill_list(int id, const std::vector<std::string>& lines) const;
    // The list box's selected line, if any.
    std::optional<std::size_t> list_selection(int id) const;
    // The loop finishes the dialog after the current message.
    void end() { done_ = true; }
    bool done() const { return done_; }

  private:
    friend bool run_dialog(HWND, const wchar_t*, const std::string&, int, int, Dialog&);
    friend LRESULT CALLBACK dialog_frame_proc(HWND, UINT, WPARAM, LPARAM) noexcept;
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

    Dialog* dialog_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    Font font_;
    HWND last_focus_ = nullptr;  // the control to give the focus back to
    UINT dpi_ = 96;
    bool done_ = false;
};

// The window procedure of every dialog class; an exception the dialog's
// code lets out ends the dialog and is told by the main window.
LRESULT CALLBACK dialog_frame_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept;

// Runs the dialog modally over `owner`; false when the frame could not be
// created (the owner is then never disabled). A WM_QUIT that arrives ends
// the dialog and is posted again for the main loop.
bool run_dialog(HWND owner, const wchar_t* window_class, const std::string& title, int width,
                int height, Dialog& dialog);

}  // namespace tolvar::app::win
