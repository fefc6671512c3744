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
        const std::optional<BarHit> hit = cell_.read(
            [&](const AppState& s) { return bar_hit_test(s, area.width(), x, y, chrome); });
        if (!hit) return;
        pressed_bar_ = hit;
        if (hit->part == BarHit::Part::Plus) {
            commands_.execute(cmd::NewTab{});
            return;
        }
        const bool close = hit->part == BarHit::Part::CloseMark;
        if (const TabId* tab = std::get_if<TabId>(&*hit->item)) {
            commands_.execute(close ? Command(cmd::CloseTab{*tab}) : Command(cmd::GoToTab{*tab}));
        } else {
            const GroupId group = std::get<GroupId>(*hit->item);
            commands_.execute(close ? Command(cmd::CloseGroup{group})
                                    : Command(cmd::ActivateGroup{group}));
        }
        return;
    }

    const AreaHit hit =
        cell_.read([&](const AppState& s) { return terminal_area_hit(s, area, x, y, chrome); });
    if (hit.kind == AreaHit::Kind::UpButton) {
        commands_.execute(cmd::BrowserUp{});
        return;
    }
    if (hit.kind == AreaHit::Kind::Card) {
        cell_.change([card = hit.card](AppState& s) { browser_select(s, card); },
                     [this] { invalidate(); });
        return;
    }
    const std::optional<TabId> pane_tab =
        cell_.read([&](const AppState& s) { return pane_hit(s, area, x, y, chrome); });
    if (pane_tab) commands_.execute(cmd::GoToTab{*pane_tab});
    if (start_indicator_drag(x, y)) {
        SetCapture(hwnd_);
        return;
    }
    if (clicks != 2) double_click_.reset();
    const Modifiers held = current_modifiers();
    cell_.change(
        [area, cell = font_.cell(), chrome, x, y, click = ClickKind{clicks, held.shift, held.alt}](
            AppState& s) { return begin_selection(s, area, cell, chrome, x, y, click); },
        [this](bool selecting) {
            if (selecting) SetCapture(hwnd_);
            invalidate();
        });
}

void HostWindow::on_left_button_up() {
    if (reports_.release(MouseButton::Left)) return;
    ReleaseCapture();
    indicator_drag_.reset();
    if (drag_timer_) {
        KillTimer(hwnd_, k_drag_scroll_timer);
        drag_timer_ = false;
    }
    // The release copies what it selected.
    cell_.change([](AppState& s) { return finish_selection(s).has_value(); },
                 [this](bool finished) {
                     if (finished) commands_.execute(cmd::CopySelection{});
                     invalidate();
                 });
}

void HostWindow::on_left_double_click(int x, int y) {
    if (reports_.press(MouseButton::Left, x, y)) return;
    const Scale chrome = scale();
    // The second click of a double-click on a notice is a click of its own.
    if (on_notice_click(x, y)) return;
    if (y >= tab_bar_height(chrome)) {
        const AreaHit hit = cell_.read(
            [&](const AppState& s) { return terminal_area_hit(s, client(), x, y, chrome); });
        if (hit.kind == AreaHit::Kind::Card) {
            cell_.change([card = hit.card](AppState& s) { return browser_select(s, card); },
                         [this](bool selected) {
                             if (selected) commands_.execute(cmd::BrowserOpen{});
                         });
            return;
        }
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
    const auto move = [this, area, chrome, cell = font_.cell(), x, y, drag = indicator_drag_,
                       grab = indicator_grab_](AppState& state) {
        bool moved = false;
        int scroll_lines = 0;
        if (drag) {
            Tab* tab = state.find_tab(*drag);
            const auto pane = pane_of_tab(state, area, *drag, chrome);
            if (tab && pane) {
                const HistoryExtent h = history_extent(*tab);
                const Rect text = text_rect(pane->rect, pane->caption, chrome);
                const ScrollIndicator bar =
                    scroll_indicator(pane->rect, text, h, tab->scroll.offset(h), chrome);
                const std::uint64_t wanted = offset_at(bar, h, y - grab);
                const ScrollView before = tab->scroll;
                tab->scroll.scroll(h, static_cast<std::int64_t>(wanted) -
                                          static_cast<std::int64_t>(tab->scroll.offset(h)));
                moved = !(tab->scroll == before);
            }
        } else {
            moved = extend_selection(state, area, cell, chrome, x, y);
            scroll_lines = drag_scroll_lines(state, area, chrome, y);
        }
        return std::pair(moved, scroll_lines);
    };
    cell_.change(move, [this, x, y](std::pair<bool, int> result) {
        const auto [moved, scroll_lines] = result;
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
    });
}

void HostWindow::on_drag_scroll_timer() {
    const Rect area = client();
    const Scale chrome = scale();
    cell_.change(
        [area, chrome, cell = font_.cell(), at = drag_point_](AppState& state) {
            const int lines = drag_scroll_lines(state, area, chrome, at.y);
            Tab* tab = state.find_tab(state.selection.tab);
            if (lines == 0 || !tab) return false;
            tab->scroll.scroll(history_extent(*tab), lines);
            extend_selection(state, area, cell, chrome, at.x, at.y);
            return true;
        },
        [this](bool moved) {
            if (moved) invalidate();
        });
}

bool HostWindow::start_indicator_drag(int x, int y) {
    const Rect area = client();
    const Scale chrome = scale();
    struct Grab {
        TabId tab{};
        int offset_in_thumb = 0;
    };
    const std::optional<std::optional<Grab>> grabbed =
        cell_.change([area, chrome, x, y](AppState& state) -> std::optional<Grab> {
    const std::optional<Pane> pane = pane_at(state, area, x, y, chrome);
    Tab* tab = pane ? state.find_tab(pane->tab) : nullptr;
    if (!tab) return std::nullopt;
    const HistoryExtent h = history_extent(*tab);
    const std::uint64_t offset = tab->scroll.offset(h);
    if (offset == 0) return std::nullopt;
    const Rect text = text_rect(pane->rect, pane->caption, chrome);
    const ScrollIndicator bar = scroll_indicator(pane->rect, text, h, offset, chrome);
    // The track is thin: a little room either side still grabs it.
    const Rect grab{bar.track.left - chrome(2), bar.track.top, bar.track.right + chrome(1),
                    bar.track.bottom};
    if (!grab.contains(x, y)) return std::nullopt;
    // On the thumb it moves with the pointer; on the track the thumb comes
    // to the pointer first.
    const int in_thumb =
        bar.thumb.contains(bar.thumb.left, y) ? y - bar.thumb.top : bar.thumb.height() / 2;
    const std::uint64_t wanted = offset_at(bar, h, y - in_thumb);
    tab->scroll.scroll(h, static_cast<std::int64_t>(wanted) - static_cast<std::int64_t>(offset));
    state.selection.state = SelectionState::None;
    return Grab{tab->id(), in_thumb};
    });
    // A press asked for inside a change is no drag: a drag needs the pointer
    // as it is now.
    if (!grabbed || !*grabbed) return false;
    indicator_drag_ = (*grabbed)->tab;
    indicator_grab_ = (*grabbed)->offset_in_thumb;
    invalidate();
    return true;
}

void HostWindow::on_mouse_wheel(int delta, int screen_x, int screen_y) {
    if (reports_.wheel(delta, screen_x, screen_y)) return;
    POINT at{screen_x, screen_y};
    ScreenToClient(hwnd_, &at);
    const std::optional<TabId> tab = cell_.read([&](const AppState& s) -> std::optional<TabId> {
        if (auto pane = pane_at(s, client(), at.x, at.y, scale())) return pane->tab;
        if (const Tab* active = s.active_tab()) return active->id();
        return std::nullopt;
    });
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
        const std::optional<BarHit> hit = cell_.read(
            [&](const AppState& s) { return bar_hit_test(s, client().width(), x, y, chrome); });
        if (hit && hit->item) on_bar_context_menu(*hit, x, y);
        return;
    }
    const bool on_notice = cell_.read([&](const AppState& s) {
        return notice_hit(s.notices, client(), x, y, chrome).has_value();
    });
    if (on_notice) return;
    // Below the bar the clipboard is pasted into the active session.
    commands_.execute(cmd::Paste{});
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
    const std::optional<BarHit> hit = cell_.read(
        [&](const AppState& s) { return bar_hit_test(s, client().width(), x, y, scale()); });
    if (!hit || !hit->item) return;
    if (const TabId* tab = std::get_if<TabId>(&*hit->item)) {
        commands_.execute(cmd::CloseTab{*tab});
    } else {
        commands_.execute(cmd::CloseGroup{std::get<GroupId>(*hit->item)});
    }
}

bool HostWindow::on_notice_click(int x, int y) {
    const std::optional<NoticeHit> hit =
        cell_.read([&](const AppState& s) { return notice_hit(s.notices, client(), x, y, scale()); });
    if (!hit) return false;
    if (hit->close) {
        cell_.change([id = hit->id](AppState& s) { s.notices.dismiss(id); },
                     [this] { invalidate(); });
    } else {
        std::string text = cell_.read([&](const AppState& s) {
            for (const Notice& n : s.notices.shown()) {
                if (n.id == hit->id) return n.text;
            }
            return std::string();
        });
        // The whole text, which a row may cut short; a message box also lets
        // the user copy it.
        info_box(hwnd_, "tolvar", text);
    }
    return true;
}

}  // namespace tolvar::app::win
