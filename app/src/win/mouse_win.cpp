// Mouse input of the main window: tab bar clicks, panes, the group browser,
// the text selection and the inline rename.
#include "clipboard_win.hpp"
#include "dialogs_win.hpp"
#include "host_window_win.hpp"
#include "tolvar/app/browser.hpp"
#include "tolvar/app/layout.hpp"
#include "tolvar/app/selection.hpp"

namespace tolvar::app::win {

namespace {

Rect client_of(HWND hwnd) {
    RECT r{0, 0, 0, 0};
    GetClientRect(hwnd, &r);
    return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

void HostWindow::end_rename_by_click() {
    // Clicks do not move the focus out of a child control by themselves.
    if (rename_.active()) SetFocus(hwnd_);
}

void HostWindow::on_left_button_down(int x, int y) {
    end_rename_by_click();
    pressed_bar_.reset();
    const Rect client = client_of(hwnd_);
    if (y < k_tab_bar_height) {
        std::optional<BarHit> hit;
        if (auto state = cell_.borrow()) hit = bar_hit_test(**state, client.width(), x, y);
        if (!hit) return;
        pressed_bar_ = hit;
        if (hit->part == BarHit::Part::Plus) {
            workspace_.open_tab({});
            return;
        }
        const BarItem item = *hit->item;
        const bool close = hit->part == BarHit::Part::CloseMark;
        if (item.kind == BarItem::Kind::Tab) {
            close ? workspace_.close_tab(item.key) : workspace_.set_active_tab(item.key);
        } else {
            close ? workspace_.close_group(item.key) : workspace_.activate_group(item.key);
        }
        return;
    }

    AreaHit hit;
    std::optional<std::size_t> pane_tab;
    {
        auto state = cell_.borrow();
        if (!state) return;
        hit = terminal_area_hit(**state, client, x, y);
        if (hit.kind == AreaHit::Kind::UpButton) {
            if (!browser_go_up(**state)) return;
        } else if (hit.kind == AreaHit::Kind::Card) {
            browser_select(**state, hit.card);
        } else {
            pane_tab = pane_hit(**state, client, x, y);
        }
    }
    if (hit.kind == AreaHit::Kind::UpButton) {
        workspace_.refresh();
        return;
    }
    if (hit.kind == AreaHit::Kind::Card) {
        invalidate();
        return;
    }
    if (pane_tab) workspace_.set_active_tab(*pane_tab);
    bool selecting = false;
    if (auto state = cell_.borrow()) {
        selecting = begin_selection(**state, client, font_.cell(), x, y);
    }
    if (selecting) SetCapture(hwnd_);
    invalidate();
}

void HostWindow::on_left_button_up() {
    ReleaseCapture();
    std::string text;
    {
        auto state = cell_.borrow();
        if (!state) return;
        const std::optional<FinishedSelection> done = finish_selection(**state);
        if (done && done->tab < (*state)->tabs.size()) {
            if (const Tab& tab = (*state)->tabs[done->tab]; tab.session) {
                tab.session->model().with([&](const pty::TerminalModel& model) {
                    text = selection_text(model, done->span);
                });
            }
        }
    }
    if (worth_copying(text)) put_clipboard_text(hwnd_, text);
    invalidate();
}

void HostWindow::on_left_double_click(int x, int y) {
    const Rect client = client_of(hwnd_);
    if (y >= k_tab_bar_height) {
        bool opened = false;
        if (auto state = cell_.borrow()) {
            const AreaHit hit = terminal_area_hit(**state, client, x, y);
            if (hit.kind == AreaHit::Kind::Card && browser_select(**state, hit.card)) {
                opened = browser_open(**state);
            }
        }
        if (opened) workspace_.refresh();
        return;
    }
    // A double-click whose first click closed a tab or opened one must not
    // rename whatever item slid under the pointer.
    if (!pressed_bar_ || pressed_bar_->part != BarHit::Part::Body) return;
    std::optional<RenameTarget> target;
    if (pressed_bar_->item->kind == BarItem::Kind::Group) {
        target = RenameTarget{RenameTarget::Kind::Group, pressed_bar_->item->key};
    } else if (auto state = cell_.borrow()) {
        const std::optional<BarHit> hit = bar_hit_test(**state, client.width(), x, y);
        if (hit && hit->part == BarHit::Part::Body) {
            const BarItem item = *hit->item;
            if (item.kind == BarItem::Kind::Group) {
                target = RenameTarget{RenameTarget::Kind::Group, item.key};
            } else if (const Tab& tab = (*state)->tabs[item.key]; tab.session) {
                target = RenameTarget{RenameTarget::Kind::Tab, tab.session->id()};
            }
        }
    }
    if (target) rename_.start(hwnd_, *target);
}

void HostWindow::on_mouse_move(int x, int y) {
    const Rect client = client_of(hwnd_);
    bool moved = false;
    if (auto state = cell_.borrow()) moved = extend_selection(**state, client, font_.cell(), x, y);
    if (moved) invalidate();
}

void HostWindow::on_right_button_down(int x, int y) {
    end_rename_by_click();
    if (y < k_tab_bar_height) {
        std::optional<BarHit> hit;
        if (auto state = cell_.borrow())
            hit = bar_hit_test(**state, client_of(hwnd_).width(), x, y);
        if (hit && hit->item) on_bar_context_menu(*hit, x, y);
        return;
    }
    // Below the bar the clipboard is pasted into the active session.
    input_.paste();
}

void HostWindow::on_bar_context_menu(const BarHit& hit, int x, int y) {
    const POINT at{x, y};
    if (hit.item->kind == BarItem::Kind::Tab) {
        show_tab_menu(*this, hit.item->key, at);
    } else {
        show_group_menu(*this, hit.item->key, at);
    }
}

void HostWindow::on_middle_button_down(int x, int y) {
    end_rename_by_click();
    std::optional<BarHit> hit;
    if (auto state = cell_.borrow()) hit = bar_hit_test(**state, client_of(hwnd_).width(), x, y);
    if (!hit || !hit->item) return;
    if (hit->item->kind == BarItem::Kind::Tab) {
        workspace_.close_tab(hit->item->key);
    } else {
        workspace_.close_group(hit->item->key);
    }
}

}  // namespace tolvar::app::win
