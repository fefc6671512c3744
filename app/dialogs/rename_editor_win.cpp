#include "dialogs/rename_editor_win.hpp"

#include "window/failures_win.hpp"

#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"
#include "view/tab_bar.hpp"

namespace tolvar::app::win {

namespace {

struct Placement {
    std::string text;
    Rect box;
};

// The target's name and where its item is; nothing when it is gone.
std::optional<Placement> place(const AppState& state, RenameTarget target, int client_width,
                               Scale scale) {
    const std::size_t items = bar_items(state).size();
    if (const GroupId* group_id = std::get_if<GroupId>(&target)) {
        const TabGroup* group = state.find_group(*group_id);
        if (!group) return std::nullopt;
        // A group renamed from a menu may have no label: its first tab's item.
        std::size_t position = 0;
        if (auto label = item_position_of_group(state, *group_id)) {
            position = *label;
        } else {
            for (const Tab& t : state.tabs()) {
                if (t.group() == *group_id) {
                    position = item_position_of_tab(state, t.id());
                    break;
                }
            }
        }
        return Placement{group->name, rename_editor_box(client_width, items, position, scale)};
    }
    const TabId tab_id = std::get<TabId>(target);
    const Tab* tab = state.find_tab(tab_id);
    if (!tab) return std::nullopt;
    return Placement{
        display_title(state, *tab),
        rename_editor_box(client_width, items, item_position_of_tab(state, tab_id), scale)};
}

}  // namespace

void RenameEditor::start(HWND owner, RenameTarget target) {
    end(true);
    RECT client{0, 0, 0, 0};
    GetClientRect(owner, &client);
    const std::optional<Placement> placement = place(
        workspace_.cell().view(), target, client.right - client.left, Scale{GetDpiForWindow(owner)});
    if (!placement) return;
    const Rect& box = placement->box;
    const std::wstring initial = core::win::to_wide(placement->text);
    HWND editor = CreateWindowExW(
        0, L"EDIT", initial.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, box.left, box.top,
        box.width(), box.height(), owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!editor) return;
    Font font = font_.create(owner);
    SendMessageW(editor, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    SetWindowLongPtrW(editor, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RenameEditor::editor_proc)));
    editing_.emplace(Editing{target, editor, owner, std::move(font), previous});
    SendMessageW(editor, EM_SETSEL, 0, -1);
    SetFocus(editor);
}

RenameEditor::Editing RenameEditor::take() {
    Editing done = std::move(*editing_);
    editing_.reset();
    return done;
}

void RenameEditor::destroy(const Editing& done) {
    SetWindowLongPtrW(done.editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(done.previous));
    DestroyWindow(done.editor);
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
    const Editing done = take();
    if (commit && !text.empty()) workspace_.commit_rename(done.target, text);
    destroy(done);
    SetFocus(done.owner);
    InvalidateRect(done.owner, nullptr, FALSE);
}

void RenameEditor::discard() {
    if (editing_) destroy(take());
}

LRESULT CALLBACK RenameEditor::editor_proc(HWND hwnd, UINT msg, WPARAM wparam,
                                           LPARAM lparam) noexcept {
    auto* self = reinterpret_cast<RenameEditor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->editing_ || self->editing_->editor != hwnd) {
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
    return guarded(hwnd, msg, wparam, lparam,
                   [&] { return self->handle(hwnd, msg, wparam, lparam); });
}

LRESULT RenameEditor::handle(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_KILLFOCUS:
            end(true);
            return 0;
        case WM_KEYDOWN:
            if (wparam == VK_RETURN) {
                end(true);
                return 0;
            }
            if (wparam == VK_ESCAPE) {
                end(false);
                return 0;
            }
            break;
        case WM_CHAR:
            // No beep for the keys that ended the rename.
            if (wparam == 13 || wparam == 27) return 0;
            break;
        case WM_NCDESTROY: {
            // Destroyed with its parent: nothing to store any more.
            const Editing done = take();
            return CallWindowProcW(done.previous, hwnd, msg, wparam, lparam);
        }
        default:
            break;
    }
    return CallWindowProcW(editing_->previous, hwnd, msg, wparam, lparam);
}

}  // namespace tolvar::app::win
