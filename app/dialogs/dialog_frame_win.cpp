#include "dialogs/dialog_frame_win.hpp"

#include "dialogs/dialog_rules.hpp"
#include "input/modifiers_win.hpp"
#include "tolvar/core/win/win32.hpp"
#include "window/failures_win.hpp"

namespace tolvar::app::win {

using core::win::to_wide;

namespace {

// The dialog codes the dialog manager itself goes by: push buttons report
// one of the two push-button codes, edits (a combo box's too) DLGC_HASSETSEL.
FocusedControl focused_control(HWND control) {
    const LRESULT code = SendMessageW(control, WM_GETDLGCODE, 0, 0);
    if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) return FocusedControl::PushButton;
    if (code & DLGC_HASSETSEL) return FocusedControl::Edit;
    return FocusedControl::Other;
}

// What the button's own click sends its parent.
void press_button(HWND button) {
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

}  // namespace

void error_box(HWND owner, const std::string& text) {
    MessageBoxW(owner, to_wide(text).c_str(), k_caption, MB_ICONERROR);
}

void info_box(HWND owner, const std::string& caption, const std::string& text) {
    MessageBoxW(owner, to_wide(text).c_str(), to_wide(caption).c_str(), MB_ICONINFORMATION);
}

bool question_box(HWND owner, const std::string& text) {
    return MessageBoxW(owner, to_wide(text).c_str(), k_caption, MB_ICONWARNING | MB_YESNO) == IDYES;
}

int DialogFrame::scale(int value) const {
    return scale_for_dpi(value, dpi_);
}

HWND DialogFrame::add_control(const wchar_t* cls, const std::string& text, DWORD style, int id,
                              int x, int y, int w, int h) {
    const std::wstring_view name = cls;
    style |= WS_CHILD | WS_VISIBLE;
    if (name == L"BUTTON" || name == L"EDIT") style |= WS_TABSTOP;
    if (name == L"EDIT") style |= WS_BORDER | ES_AUTOHSCROLL;
    HWND control = CreateWindowExW(
        0, cls, to_wide(text).c_str(), style, scale(x), scale(y), scale(w), scale(h), hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control && font_) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
    return control;
}

std::string DialogFrame::edit_text(int id) const {
    wchar_t buffer[k_edit_read_units + 1] = {};
    const int n = GetWindowTextW(control(id), buffer, static_cast<int>(std::size(buffer)));
    return edit_text_from_utf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(buffer), n > 0 ? n : 0));
}

void DialogFrame::set_text(int id, const std::string& text) const {
    SetWindowTextW(control(id), to_wide(text).c_str());
}

void DialogFrame::fill_list(int id, const std::vector<std::string>& lines) const {
    HWND list = control(id);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& line : lines) {
        const std::wstring wide = to_wide(line);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

std::optional<std::size_t> DialogFrame::list_selection(int id) const {
    const LRESULT index = SendMessageW(control(id), LB_GETCURSEL, 0, 0);
    if (index < 0) return std::nullopt;
    return static_cast<std::size_t>(index);
}

LRESULT CALLBACK dialog_frame_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept {
    if (msg == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    auto* frame = reinterpret_cast<DialogFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!frame) return DefWindowProcW(hwnd, msg, wparam, lparam);
    try {
        return frame->handle(hwnd, msg, wparam, lparam);
    } catch (...) {
        // The dialog's own state may be half-changed: it ends, the program
        // goes on, and the main window tells what happened.
        report_failure(interrupted_text(current_exception_text()));
        frame->end();
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
}

// During creation, before CreateWindowExW returns, hwnd_ is not set yet.
LRESULT DialogFrame::handle(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_CLOSE:
            end();
            return 0;
        case WM_ACTIVATE:
            // As dialog boxes do: the focused control survives a message
            // box, a nested dialog or a switch to another program, where
            // the default handling would leave the focus on the frame.
            if (LOWORD(wparam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd, focus)) last_focus_ = focus;
            } else if (!IsIconic(hwnd)) {
                HWND target = last_focus_;
                if (!target || !IsWindow(target))
                    target = GetDlgItem(hwnd, dialog_->first_focus_id());
                SetFocus(target ? target : hwnd);
            }
            return 0;
        case WM_COMMAND:
            dialog_->on_command(*this, LOWORD(wparam), HIWORD(wparam));
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
}

namespace {

// Whatever happens inside the dialog, its end gives the owner back and
// takes the frame away.
class ModalEnd {
  public:
    ModalEnd(HWND frame, HWND owner) : frame_(frame), owner_(owner) {}
    ModalEnd(const ModalEnd&) = delete;
    ModalEnd& operator=(const ModalEnd&) = delete;
    ~ModalEnd() {
        if (owner_) EnableWindow(owner_, TRUE);
        DestroyWindow(frame_);
        if (owner_) SetForegroundWindow(owner_);
    }

  private:
    HWND frame_;
    HWND owner_;
};

void run_loop(DialogFrame& frame, Dialog& dialog) {
    MSG msg;
    while (!frame.done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (msg.message == WM_KEYDOWN && GetAncestor(msg.hwnd, GA_ROOT) == frame.hwnd()) {
            const UINT vk = static_cast<UINT>(msg.wParam);
            // Taken keys are never translated, so they type no character.
            switch (dialog_key_action(static_cast<VirtualKey>(vk), current_modifiers(),
                                      focused_control(msg.hwnd))) {
                case DialogKeyAction::End:
                    frame.end();
                    continue;
                case DialogKeyAction::PressFocused:
                    press_button(msg.hwnd);
                    continue;
                case DialogKeyAction::RunDefault:
                    dialog.on_default(frame);
                    continue;
                case DialogKeyAction::SelectAll:
                    SendMessageW(msg.hwnd, EM_SETSEL, 0, -1);
                    continue;
                case DialogKeyAction::Pass:
                    break;
            }
            if (dialog.on_key(frame, vk, msg.hwnd)) continue;
        }
        if (!IsDialogMessageW(frame.hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace

bool run_dialog(HWND owner, const wchar_t* window_class, const std::string& title, int width,
                int height, Dialog& dialog) {
    DialogFrame frame;
    frame.dialog_ = &dialog;
    frame.owner_ = owner;
    frame.dpi_ = owner ? GetDpiForWindow(owner) : 96;
    if (frame.dpi_ < 96) frame.dpi_ = 96;

    constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    constexpr DWORD ex_style = WS_EX_DLGMODALFRAME;
    RECT rect{0, 0, frame.scale(width), frame.scale(height)};
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
    const int outer_w = rect.right - rect.left;
    const int outer_h = rect.bottom - rect.top;
    RECT owner_rect{0, 0, 0, 0};
    if (owner) GetWindowRect(owner, &owner_rect);
    const int x = owner_rect.left + ((owner_rect.right - owner_rect.left) - outer_w) / 2;
    const int y = owner_rect.top + ((owner_rect.bottom - owner_rect.top) - outer_h) / 2;

    frame.hwnd_ =
        CreateWindowExW(ex_style, window_class, to_wide(title).c_str(), style, x, y, outer_w,
                        outer_h, owner, nullptr, GetModuleHandleW(nullptr), &frame);
    if (!frame.hwnd_) return false;
    const ModalEnd end(frame.hwnd_, owner);
    frame.font_ = create_ui_font(frame.dpi_);
    try {
        dialog.create_controls(frame);
        SetFocus(frame.control(dialog.first_focus_id()));
        ShowWindow(frame.hwnd_, SW_SHOW);
        if (owner) EnableWindow(owner, FALSE);
        run_loop(frame, dialog);
    } catch (...) {
        // From the dialog's own code, run by the loop.
        report_failure(interrupted_text(current_exception_text()));
    }
    return true;
}

}  // namespace tolvar::app::win
