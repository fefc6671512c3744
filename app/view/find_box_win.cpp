#include "view/find_box_win.hpp"

#include "input/modifiers_win.hpp"
#include "tolvar/core/win/win32.hpp"
#include "view/layout.hpp"
#include "window/failures_win.hpp"

namespace tolvar::app::win {

namespace {

enum : int { k_edit = 500, k_status = 501, k_previous = 502, k_next = 503 };

void move_to(HWND control, const Rect& r) {
    MoveWindow(control, r.left, r.top, r.width(), r.height(), TRUE);
}

Scale scale_of(HWND window) {
    return Scale{GetDpiForWindow(window)};
}

Rect client_of(HWND window) {
    RECT r{0, 0, 0, 0};
    GetClientRect(window, &r);
    return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

void FindBoxControls::open(HWND owner) {
    workspace_.cell().change([](AppState& state) { return state.open_find(); },
                             [this, owner](bool opened) {
                                 if (!opened) return;
                                 if (!shown()) create(owner);
                                 place();
                                 if (!shown()) return;
                                 SendMessageW(edit_, EM_SETSEL, 0, -1);
                                 SetFocus(edit_);
                                 searched();
                             });
}

std::optional<Rect> FindBoxControls::pane_rect() const {
    return workspace_.cell().read([&](const AppState& state) -> std::optional<Rect> {
        if (!state.find()) return std::nullopt;
        const auto pane =
            pane_of_tab(state, client_of(owner_), state.find()->tab, scale_of(owner_));
        if (!pane) return std::nullopt;
        return pane->rect;
    });
}

void FindBoxControls::create(HWND owner) {
    owner_ = owner;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, owner,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                               nullptr);
    };
    edit_ = child(L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, k_edit);
    status_ = child(L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE, k_status);
    previous_ = child(L"BUTTON", L"\u25B2", BS_PUSHBUTTON, k_previous);  // ▲
    next_ = child(L"BUTTON", L"\u25BC", BS_PUSHBUTTON, k_next);          // ▼
    if (!edit_ || !status_ || !previous_ || !next_) {
        destroy();
        return;
    }
    font_ = create_ui_font(GetDpiForWindow(owner));
    for (HWND control : {edit_, status_, previous_, next_}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
    SetWindowLongPtrW(edit_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    edit_previous_proc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FindBoxControls::edit_proc)));
}

void FindBoxControls::destroy() {
    if (edit_ && edit_previous_proc_) {
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_previous_proc_));
    }
    for (HWND* control : {&edit_, &status_, &previous_, &next_}) {
        if (*control) DestroyWindow(*control);
        *control = nullptr;
    }
    edit_previous_proc_ = nullptr;
    font_.reset();
}

void FindBoxControls::place() {
    if (!shown()) return;
    const std::optional<Rect> pane = pane_rect();
    if (!pane) {
        // Its tab closed, or the view no longer shows it.
        workspace_.cell().change([](AppState& state) { state.close_find(); });
        destroy();
        return;
    }
    const FindBoxLayout box = find_box_layout(*pane, scale_of(owner_));
    move_to(edit_, box.edit);
    move_to(status_, box.status);
    move_to(previous_, box.previous);
    move_to(next_, box.next);
}

void FindBoxControls::searched() {
    const std::string status =
        workspace_.cell().read([](const AppState& state) { return find_status(state); });
    SetWindowTextW(status_, core::win::to_wide(status).c_str());
    InvalidateRect(owner_, nullptr, FALSE);
}

void FindBoxControls::step(bool backwards) {
    workspace_.cell().change([backwards](AppState& state) { step_find(state, backwards); },
                             [this] { searched(); });
}

void FindBoxControls::close() {
    workspace_.cell().change([](AppState& state) { state.close_find(); });
    const HWND owner = owner_;
    destroy();
    SetFocus(owner);
    InvalidateRect(owner, nullptr, FALSE);
}

bool FindBoxControls::on_command(int id, int code) {
    if (!shown()) return false;
    switch (id) {
        case k_edit:
            if (code == EN_CHANGE) {
                const int length = GetWindowTextLengthW(edit_);
                std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
                const int n = GetWindowTextW(edit_, text.data(), static_cast<int>(text.size()));
                text.resize(static_cast<std::size_t>(std::max(n, 0)));
                workspace_.cell().change(
                    [query = core::win::from_wide(text)](AppState& state) {
                        set_find_query(state, query);
                    },
                    [this] { searched(); });
            }
            return true;
        case k_previous:
        case k_next:
            if (code == BN_CLICKED) {
                step(id == k_previous);
                SetFocus(edit_);
            }
            return true;
        case k_status:
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK FindBoxControls::edit_proc(HWND hwnd, UINT msg, WPARAM wparam,
                                            LPARAM lparam) noexcept {
    auto* self = reinterpret_cast<FindBoxControls*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->edit_ != hwnd) return DefWindowProcW(hwnd, msg, wparam, lparam);
    return guarded(hwnd, msg, wparam, lparam,
                   [&] { return self->handle_edit(hwnd, msg, wparam, lparam); });
}

LRESULT FindBoxControls::handle_edit(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    const WNDPROC previous = edit_previous_proc_;
    switch (msg) {
        case WM_KEYDOWN:
            if (wparam == VK_RETURN || wparam == VK_F3) {
                step(current_modifiers().shift);
                return 0;
            }
            if (wparam == VK_ESCAPE) {
                close();
                return 0;
            }
            if (wparam == 'A' && current_modifiers().ctrl) {
                SendMessageW(hwnd, EM_SETSEL, 0, -1);
                return 0;
            }
            break;
        case WM_CHAR:
            // No beep for the keys taken above.
            if (wparam == '\r' || wparam == 0x1B || wparam == 0x01) return 0;
            break;
        case WM_NCDESTROY: {
            // Destroyed with the main window: the siblings go with it.
            edit_ = status_ = previous_ = next_ = nullptr;
            edit_previous_proc_ = nullptr;
            return CallWindowProcW(previous, hwnd, msg, wparam, lparam);
        }
        default:
            break;
    }
    return CallWindowProcW(previous, hwnd, msg, wparam, lparam);
}

}  // namespace tolvar::app::win
