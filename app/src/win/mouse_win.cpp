// Mouse input of the main window: tab bar clicks, panes, the group browser,
// the text selection and the inline rename.
#include <cstdlib>
#include <utility>

#include "clipboard_win.hpp"
#include "dialog_frame_win.hpp"
#include "dialogs_win.hpp"
#include "host_window_win.hpp"
#include "modifiers_win.hpp"
#include "tolvar/app/browser.hpp"
#include "tolvar/app/layout.hpp"
#include "tolvar/app/scrolling.hpp"
#include "tolvar/app/selection.hpp"
#include "tolvar/app/workspace.hpp"

namespace tolvar::app::win {

void HostWindow::end_rename_by_click() {
    // Clicks do not move the focus out of a child control by themselves.
    if (rename_.active()) SetFocus(hwnd_);
}

namespace {

// Whether a press follows a double-click closely enough, in time and place,
// to be its third click.
bool third_click(const std::optional<std::pair<LONG, POINT>>& double_click, int x, int y) {
    if (!double_click) return false;
    const auto elapsed = static_cast<DWORD>(GetMessageTime() - double_click->first);
    const POINT at = double_click->second;
    return elapsed <= GetDoubleClickTime() &&
           std::abs(x - at.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
           std::abs(y - at.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
}

}  // namespace

void HostWindow::on_left_button_down(int x, int y, int clicks) {
    end_rename_by_click();
    if (reports_.press(MouseButton::Left, x, y)) return;
    if (clicks == 1 && third_click(double_click_, x, y)) clicks = 3;
    if (on_link_click(x, y, clicks)) return;
    pressed_bar_.reset();
    const Rect area = client();
    const Scale chrome = scale();
    if (on_notice_click(x, y)) return;
    if (y < tab_bar_height(chrome)) {
        std::optional<BarHit> hit;
        if (auto state = cell_.borrow()) hit = bar_hit_test(**state, area.width(), x, y, chrome);
        if (!hit) return;
        pressed_bar_ = hit;
        if (hit->part == BarHit::Part::Plus) {
            workspace_.open_tab({});
            return;
        }
        const bool close = hit->part == BarHit::Part::CloseMark;
        if (const TabId* tab = std::get_if<TabId>(&*hit->item)) {
            close ? workspace_.close_tab(*tab) : workspace_.set_active_tab(*tab);
        } else {
            const GroupId group = std::get<GroupId>(*hit->item);
            close ? workspace_.close_group(group) : workspace_.activate_group(group);
        }
        return;
    }

    AreaHit hit;
    std::optional<TabId> pane_tab;
    {
        auto state = cell_.borrow();
        if (!state) return;
        hit = terminal_area_hit(**state, area, x, y, chrome);
        if (hit.kind == AreaHit::Kind::UpButton) {
            if (!browser_go_up(**state)) return;
        } else if (hit.kind == AreaHit::Kind::Card) {
            browser_select(**state, hit.card);
        } else {
            pane_tab = pane_hit(**state, area, x, y, chrome);
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
    if (start_indicator_drag(x, y)) {
        SetCapture(hwnd_);
        return;
    }
    if (clicks != 2) double_click_.reset();
    const Modifiers held = current_modifiers();
    bool selecting = false;
    if (auto state = cell_.borrow()) {
        selecting = begin_selection(**state, area, font_.cell(), chrome, x, y,
                                    ClickKind{clicks, held.shift, held.alt});
    }
    if (selecting) SetCapture(hwnd_);
    invalidate();
}

void HostWindow::on_left_button_up() {
    if (reports_.release(MouseButton::Left)) return;
    ReleaseCapture();
    indicator_drag_.reset();
    if (drag_timer_) {
        KillTimer(hwnd_, k_drag_scroll_timer);
        drag_timer_ = false;
    }
    std::string text;
    {
        auto state = cell_.borrow();
        if (!state) return;
        const std::optional<FinishedSelection> done = finish_selection(**state);
        if (const Tab* tab = done ? (*state)->find_tab(done->tab) : nullptr; tab && tab->session) {
            tab->session->model().with(
                [&](const pty::TerminalModel& model) { text = selection_text(model, done->span); });
        }
    }
    if (worth_copying(text)) put_clipboard_text(hwnd_, text);
    invalidate();
}

void HostWindow::on_left_double_click(int x, int y) {
    if (reports_.press(MouseButton::Left, x, y)) return;
    const Scale chrome = scale();
    // The second click of a double-click on a notice is a click of its own.
    if (on_notice_click(x, y)) return;
    if (y >= tab_bar_height(chrome)) {
        bool on_card = false;
        bool opened = false;
        if (auto state = cell_.borrow()) {
            const AreaHit hit = terminal_area_hit(**state, client(), x, y, chrome);
            on_card = hit.kind == AreaHit::Kind::Card;
            if (on_card && browser_select(**state, hit.card)) opened = browser_open(**state);
        }
        if (opened) workspace_.refresh();
        if (on_card) return;
        // On a pane the second click selects the word under it.
        double_click_ = std::pair{GetMessageTime(), POINT{x, y}};
        on_left_button_down(x, y, 2);
        return;
    }
    // The press names the item: its click may have changed the bar (a label
    // expanded into its tabs), and a double-click whose first click closed a
    // tab or opened one must not rename whatever slid under the pointer.
    if (!pressed_bar_ || pressed_bar_->part != BarHit::Part::Body) return;
    rename_.start(hwnd_, *pressed_bar_->item);
}

void HostWindow::on_mouse_move(int x, int y) {
    if (reports_.motion(x, y)) return;
    on_link_hover(x, y);
    const Rect area = client();
    const Scale chrome = scale();
    bool moved = false;
    int scroll_lines = 0;
    if (auto state = cell_.borrow()) {
        if (indicator_drag_) {
            Tab* tab = (*state)->find_tab(*indicator_drag_);
            const auto pane = pane_of_tab(**state, area, *indicator_drag_, chrome);
            if (tab && pane) {
                const HistoryExtent h = history_extent(*tab);
                const Rect text = text_rect(pane->rect, pane->caption, chrome);
                const ScrollIndicator bar =
                    scroll_indicator(pane->rect, text, h, tab->scroll.offset(h), chrome);
                const std::uint64_t wanted = offset_at(bar, h, y - indicator_grab_);
                const ScrollView before = tab->scroll;
                tab->scroll.scroll(h, static_cast<std::int64_t>(wanted) -
                                          static_cast<std::int64_t>(tab->scroll.offset(h)));
                moved = !(tab->scroll == before);
            }
        } else {
            moved = extend_selection(**state, area, font_.cell(), chrome, x, y);
            scroll_lines = drag_scroll_lines(**state, area, chrome, y);
        }
    }
    // Held past the pane's edge, the selection scrolls on without the
    // pointer moving.
    drag_point_ = POINT{x, y};
    if (scroll_lines != 0 && !drag_timer_) {
        drag_timer_ = SetTimer(hwnd_, k_drag_scroll_timer, 50, nullptr) != 0;
    } else if (scroll_lines == 0 && drag_timer_) {
        KillTimer(hwnd_, k_drag_scroll_timer);
        drag_timer_ = false;
    }
    if (moved) invalidate();
}

void HostWindow::on_drag_scroll_timer() {
    const Rect area = client();
    const Scale chrome = scale();
    bool moved = false;
    if (auto state = cell_.borrow()) {
        const int lines = drag_scroll_lines(**state, area, chrome, drag_point_.y);
        Tab* tab = (*state)->find_tab((*state)->selection.tab);
        if (lines != 0 && tab) {
            tab->scroll.scroll(history_extent(*tab), lines);
            extend_selection(**state, area, font_.cell(), chrome, drag_point_.x, drag_point_.y);
            moved = true;
        }
    }
    if (moved) invalidate();
}

bool HostWindow::start_indicator_drag(int x, int y) {
    const Rect area = client();
    const Scale chrome = scale();
    auto state = cell_.borrow();
    if (!state) return false;
    const std::optional<Pane> pane = pane_at(**state, area, x, y, chrome);
    Tab* tab = pane ? (*state)->find_tab(pane->tab) : nullptr;
    if (!tab) return false;
    const HistoryExtent h = history_extent(*tab);
    const std::uint64_t offset = tab->scroll.offset(h);
    if (offset == 0) return false;
    const Rect text = text_rect(pane->rect, pane->caption, chrome);
    const ScrollIndicator bar = scroll_indicator(pane->rect, text, h, offset, chrome);
    // The track is thin: a little room either side still grabs it.
    const Rect grab{bar.track.left - chrome(2), bar.track.top, bar.track.right + chrome(1),
                    bar.track.bottom};
    if (!grab.contains(x, y)) return false;
    indicator_drag_ = tab->id();
    // On the thumb it moves with the pointer; on the track the thumb comes
    // to the pointer first.
    indicator_grab_ =
        bar.thumb.contains(bar.thumb.left, y) ? y - bar.thumb.top : bar.thumb.height() / 2;
    const std::uint64_t wanted = offset_at(bar, h, y - indicator_grab_);
    tab->scroll.scroll(h, static_cast<std::int64_t>(wanted) - static_cast<std::int64_t>(offset));
    (*state)->selection.state = SelectionState::None;
    state.reset();
    invalidate();
    return true;
}

void HostWindow::on_mouse_wheel(int delta, int screen_x, int screen_y) {
    if (reports_.wheel(delta, screen_x, screen_y)) return;
    POINT at{screen_x, screen_y};
    ScreenToClient(hwnd_, &at);
    std::optional<TabId> tab;
    if (auto state = cell_.borrow()) {
        if (auto pane = pane_at(**state, client(), at.x, at.y, scale())) {
            tab = pane->tab;
        } else if (const Tab* active = (*state)->active_tab()) {
            tab = active->id();
        }
    }
    if (!tab) return;
    UINT lines = 3;
    if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) lines = 3;
    input_.wheel(*tab, delta, lines);
}

void HostWindow::on_right_button_down(int x, int y) {
    end_rename_by_click();
    if (reports_.press(MouseButton::Right, x, y)) return;
    const Scale chrome = scale();
    if (y < tab_bar_height(chrome)) {
        std::optional<BarHit> hit;
        if (auto state = cell_.borrow())
            hit = bar_hit_test(**state, client().width(), x, y, chrome);
        if (hit && hit->item) on_bar_context_menu(*hit, x, y);
        return;
    }
    bool on_notice = false;
    if (auto state = cell_.borrow())
        on_notice = notice_hit((*state)->notices, client(), x, y, chrome).has_value();
    if (on_notice) return;
    // Below the bar the clipboard is pasted into the active session.
    input_.paste();
}

void HostWindow::on_bar_context_menu(const BarHit& hit, int x, int y) {
    const POINT at{x, y};
    if (const TabId* tab = std::get_if<TabId>(&*hit.item)) {
        show_tab_menu(*this, *tab, at);
    } else {
        show_group_menu(*this, std::get<GroupId>(*hit.item), at);
    }
}

void HostWindow::on_middle_button_down(int x, int y) {
    end_rename_by_click();
    if (reports_.press(MouseButton::Middle, x, y)) return;
    std::optional<BarHit> hit;
    if (auto state = cell_.borrow()) {
        hit = bar_hit_test(**state, client().width(), x, y, scale());
    }
    if (!hit || !hit->item) return;
    if (const TabId* tab = std::get_if<TabId>(&*hit->item)) {
        workspace_.close_tab(*tab);
    } else {
        workspace_.close_group(std::get<GroupId>(*hit->item));
    }
}

bool HostWindow::on_notice_click(int x, int y) {
    std::optional<NoticeHit> hit;
    std::string text;
    {
        auto state = cell_.borrow();
        if (!state) return false;
        hit = notice_hit((*state)->notices, client(), x, y, scale());
        if (!hit) return false;
        if (hit->close) {
            (*state)->notices.dismiss(hit->id);
        } else {
            for (const Notice& n : (*state)->notices.shown()) {
                if (n.id == hit->id) text = n.text;
            }
        }
    }
    if (hit->close) {
        invalidate();
    } else {
        // The whole text, which a row may cut short; a message box also lets
        // the user copy it.
        info_box(hwnd_, "tolvar", text);
    }
    return true;
}

}  // namespace tolvar::app::win
