#include "rename_editor_win.hpp"

#include "tolvar/app/tab_bar.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

namespace {

struct Placement {
    std::string text;
    Rect box;
};

// The target's name and where its item is; nothing when it is gone.
std::optional<Placement> place(const AppState& state, RenameTarget target, int client_width) {
    const std::size_t items = bar_items(state).size();
    if (target.kind == RenameTarget::Kind::Group) {
        const TabGroup* group = state.find_group(target.id);
        if (!group) return std::nullopt;
        // A group renamed from a menu may have no label: its first tab's item.
        std::size_t position = 0;
        if (auto label = item_position_of_group(state, target.id)) {
            position = *label;
        } else {
            for (std::size_t i = 0; i < state.tabs.size(); ++i) {
                if (state.tabs[i].group == target.id) {
                    position = item_position_of_tab(state, i);
                    break;
                }
            }
        }
        return Placement{group->name, rename_editor_box(client_width, items, position)};
    }
    const std::optional<std::size_t> index = state.tab_index_of(target.id);
    if (!index) return std::nullopt;
    return Placement{display_title(state, state.tabs[*index]),
                     rename_editor_box(client_width, items, item_position_of_tab(state, *index))};
}

}  // namespace

void RenameEditor::start(HWND owner, RenameTarget target) {
    end(true);
    RECT client{0, 0, 0, 0};
    GetClientRect(owner, &client);
    std::optional<Placement> placement;
    {
        auto state = workspace_.cell().borrow();
        if (!state) return;
        placement = place(**state, target, client.right - client.left);
    }
    if (!placement) return;
    const Rect& box = placement->box;
    const std::wstring initial = core::win::to_wide(placement->text);
    HWND editor = CreateWindowExW(
        0, L"EDIT", initial.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, box.left, box.top,
        box.width(), box.height(), owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!editor) return;
    HFONT font = font_.create(owner);
    SendMessageW(editor, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SetWindowLongPtrW(editor, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RenameEditor::editor_proc)));
    editing_ = Editing{target, editor, owner, font, previous};
    SendMessageW(editor, EM_SETSEL, 0, -1);
    SetFocus(editor);
}

void RenameEditor::end(bool commit) {
    if (!editing_) return;
    std::string text;
    if (commit) {
        wchar_t buffer[257] = {};
        const int n = GetWindowTextW(editing_->editor, buffer, 257);
        text = std::string(
            core::trim_unicode(core::win::from_wide(std::wstring_view(buffer, n > 0 ? n : 0))));
    }
    // Cleared before anything else: destroying the editor takes its focus,
    // and that focus loss must not end the rename a second time.
    const Editing done = *editing_;
    editing_.reset();
    if (commit && !text.empty()) workspace_.commit_rename(done.target, text);
    // The control's own procedure gets its destruction messages back, so it
    // frees what it allocated.
    SetWindowLongPtrW(done.editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(done.previous));
    DestroyWindow(done.editor);
    DeleteObject(done.font);
    SetFocus(done.owner);
    InvalidateRect(done.owner, nullptr, FALSE);
}

void RenameEditor::discard() {
    if (!editing_) return;
    const Editing done = *editing_;
    editing_.reset();
    SetWindowLongPtrW(done.editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(done.previous));
    DestroyWindow(done.editor);
    DeleteObject(done.font);
}

LRESULT CALLBACK RenameEditor::editor_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<RenameEditor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->editing_ || self->editing_->editor != hwnd) {
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
    switch (msg) {
        case WM_KILLFOCUS:
            self->end(true);
            return 0;
        case WM_KEYDOWN:
            if (wparam == VK_RETURN) {
                self->end(true);
                return 0;
            }
            if (wparam == VK_ESCAPE) {
                self->end(false);
                return 0;
            }
            break;
        case WM_CHAR:
            // No beep for the keys that ended the rename.
            if (wparam == 13 || wparam == 27) return 0;
            break;
        case WM_NCDESTROY: {
            // Destroyed with its parent: nothing to store any more.
            const Editing done = *self->editing_;
            self->editing_.reset();
            const LRESULT result = CallWindowProcW(done.previous, hwnd, msg, wparam, lparam);
            DeleteObject(done.font);
            return result;
        }
        default:
            break;
    }
    return CallWindowProcW(self->editing_->previous, hwnd, msg, wparam, lparam);
}

}  // namespace tolvar::app::win
