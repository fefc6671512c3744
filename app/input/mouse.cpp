#include "input/mouse.hpp"

#include <cstdlib>
#include <utility>

#include "view/layout.hpp"
#include "view/links.hpp"
#include "view/scrolling.hpp"
#include "view/selection.hpp"
#include "workspace/browser.hpp"
#include "workspace/notices.hpp"

namespace tolvar::app {

void MouseController::press(MouseButton button, const PointerEvent& at) {
    port_.end_rename();
    if (port_.report_press(button, at)) return;
    switch (button) {
        case MouseButton::Left:
            left_press(at, third_click(at) ? 3 : 1);
            break;
        case MouseButton::Right:
            right_press(at);
            break;
        case MouseButton::Middle:
            middle_press(at);
            break;
        case MouseButton::None:
            break;
    }
}

bool MouseController::double_click(MouseButton button, const PointerEvent& at) {
    if (port_.report_press(button, at)) return true;
    // The other buttons' second presses do nothing of their own.
    if (button != MouseButton::Left) return false;
    // The second click of a double-click on a notice is a click of its own.
    if (notice_click(at)) return true;
    const Rect area = port_.client();
    const Scale chrome = port_.scale();
    if (at.y >= tab_bar_height(chrome)) {
        const AreaHit hit = workspace_.cell().read(
            [&](const AppState& s) { return terminal_area_hit(s, area, at.x, at.y, chrome); });
        if (hit.kind == AreaHit::Kind::Card) {
            workspace_.cell().change(
                [card = hit.card](AppState& s) { return browser_select(s, card); },
                [this](bool selected) {
                    if (selected) commands_.execute(cmd::BrowserOpen{});
                });
            return true;
        }
        // On a pane the second click selects the word under it.
        double_click_ = Spot{at.time, at.x, at.y};
        port_.end_rename();
        left_press(at, 2);
        return true;
    }
    // The press names the item: its click may have changed the bar (a label
    // expanded into its tabs), and a double-click whose first click closed a
    // tab or opened one must not rename whatever slid under the pointer.
    if (!pressed_bar_ || pressed_bar_->part != BarHit::Part::Body) return true;
    if (const TabId* tab = std::get_if<TabId>(&*pressed_bar_->item)) {
        commands_.execute(cmd::RenameTab{*tab});
    } else {
        commands_.execute(cmd::RenameGroup{std::get<GroupId>(*pressed_bar_->item)});
    }
    return true;
}

bool MouseController::release(MouseButton button, const PointerEvent& at) {
    if (port_.report_release(button, at)) return true;
    if (button != MouseButton::Left) return false;
    left_release();
    return true;
}

bool MouseController::third_click(const PointerEvent& at) const {
    if (!double_click_) return false;
    const DoubleClickLimits limits = port_.double_click_limits();
    // Unsigned, so that the clock's wrap between the two still measures.
    const std::uint32_t elapsed = at.time - double_click_->time;
    return elapsed <= limits.time_ms && std::abs(at.x - double_click_->x) <= limits.width / 2 &&
           std::abs(at.y - double_click_->y) <= limits.height / 2;
}

void MouseController::left_press(const PointerEvent& at, int clicks) {
    if (link_click(at, clicks)) return;
    pressed_bar_.reset();
    if (notice_click(at)) return;
    const Rect area = port_.client();
    const Scale chrome = port_.scale();
    if (at.y < tab_bar_height(chrome)) {
        bar_press(at);
        return;
    }
    const AreaHit hit = workspace_.cell().read(
        [&](const AppState& s) { return terminal_area_hit(s, area, at.x, at.y, chrome); });
    if (hit.kind == AreaHit::Kind::UpButton) {
        commands_.execute(cmd::BrowserUp{});
        return;
    }
    if (hit.kind == AreaHit::Kind::Card) {
        workspace_.cell().change([card = hit.card](AppState& s) { browser_select(s, card); },
                                 [this] { port_.invalidate(); });
        return;
    }
    const std::optional<TabId> pane_tab = workspace_.cell().read(
        [&](const AppState& s) { return pane_hit(s, area, at.x, at.y, chrome); });
    if (pane_tab) commands_.execute(cmd::GoToTab{*pane_tab});
    if (grab_indicator(at)) return;
    if (clicks != 2) double_click_.reset();
    const ClickKind click{clicks, at.modifiers.shift, at.modifiers.alt};
    workspace_.cell().change(
        [area, cell = port_.cell(), chrome, x = at.x, y = at.y, click](AppState& s) {
            return begin_selection(s, area, cell, chrome, x, y, click);
        },
        [this](bool selecting) {
            if (selecting) port_.capture();
            port_.invalidate();
        });
}

bool MouseController::link_click(const PointerEvent& at, int clicks) {
    LinkPress press = link_press(workspace_.cell().view(), at.modifiers.ctrl, clicks,
                                 port_.client(), port_.cell(), port_.scale(), at.x, at.y);
    if (!press.open) return press.taken;
    commands_.execute(cmd::OpenLink{std::move(press.open->link.target)});
    return true;
}

bool MouseController::notice_click(const PointerEvent& at) {
    StateCell& cell = workspace_.cell();
    const Rect area = port_.client();
    const Scale chrome = port_.scale();
    const std::optional<NoticeHit> hit = cell.read(
        [&](const AppState& s) { return notice_hit(s.notices(), area, at.x, at.y, chrome); });
    if (!hit) return false;
    if (hit->close) {
        cell.change([id = hit->id](AppState& s) { s.dismiss_notice(id); },
                    [this] { port_.invalidate(); });
        return true;
    }
    std::string text = cell.read([&](const AppState& s) {
        for (const Notice& n : s.notices().shown()) {
            if (n.id == hit->id) return n.text;
        }
        return std::string();
    });
    // The whole text, which a row may cut short.
    port_.show_text(text);
    return true;
}

void MouseController::bar_press(const PointerEvent& at) {
    const int width = port_.client().width();
    const Scale chrome = port_.scale();
    const std::optional<BarHit> hit = workspace_.cell().read(
        [&](const AppState& s) { return bar_hit_test(s, width, at.x, at.y, chrome); });
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
}

bool MouseController::grab_indicator(const PointerEvent& at) {
    struct Grab {
        TabId tab{};
        int offset_in_thumb = 0;
    };
    const std::optional<std::optional<Grab>> grabbed =
        workspace_.cell().change([area = port_.client(), chrome = port_.scale(), x = at.x,
                                  y = at.y](AppState& state) -> std::optional<Grab> {
            const std::optional<Pane> pane = pane_at(state, area, x, y, chrome);
            Tab* tab = pane ? state.find_tab(pane->tab) : nullptr;
            if (!tab) return std::nullopt;
            const HistoryExtent h = history_extent(*tab);
            const std::uint64_t offset = tab->scroll().offset(h);
            if (offset == 0) return std::nullopt;
            const Rect text = text_rect(pane->rect, pane->caption, chrome);
            const ScrollIndicator bar = scroll_indicator(pane->rect, text, h, offset, chrome);
            // The track is thin: a little room either side still grabs it.
            const Rect grab{bar.track.left - chrome(2), bar.track.top, bar.track.right + chrome(1),
                            bar.track.bottom};
            if (!grab.contains(x, y)) return std::nullopt;
            // On the thumb it moves with the pointer; on the track the thumb
            // comes to the pointer first.
            const int in_thumb =
                bar.thumb.contains(bar.thumb.left, y) ? y - bar.thumb.top : bar.thumb.height() / 2;
            const std::uint64_t wanted = offset_at(bar, h, y - in_thumb);
            tab->scroll().scroll(
                h, static_cast<std::int64_t>(wanted) - static_cast<std::int64_t>(offset));
            state.clear_selection();
            return Grab{tab->id(), in_thumb};
        });
    // A press asked for inside a change is no drag: a drag needs the pointer
    // as it is now. Having run now, the change holds the state no more.
    if (!grabbed || !*grabbed) return false;
    indicator_drag_ = (*grabbed)->tab;
    indicator_grab_ = (*grabbed)->offset_in_thumb;
    port_.capture();
    port_.invalidate();
    return true;
}

void MouseController::left_release() {
    port_.release_capture();
    indicator_drag_.reset();
    if (drag_timer_) {
        port_.stop_drag_timer();
        drag_timer_ = false;
    }
    // The release copies what it selected.
    workspace_.cell().change([](AppState& s) { return finish_selection(s).has_value(); },
                             [this](bool finished) {
                                 if (finished) commands_.execute(cmd::CopySelection{});
                                 port_.invalidate();
                             });
}

void MouseController::move(const PointerEvent& at) {
    if (port_.report_motion(at)) return;
    hover(at);
    const auto step = [area = port_.client(), chrome = port_.scale(), cell = port_.cell(), x = at.x,
                       y = at.y, drag = indicator_drag_, grab = indicator_grab_](AppState& state) {
        bool moved = false;
        int scroll_lines = 0;
        if (drag) {
            Tab* tab = state.find_tab(*drag);
            const auto pane = pane_of_tab(state, area, *drag, chrome);
            if (tab && pane) {
                const HistoryExtent h = history_extent(*tab);
                const Rect text = text_rect(pane->rect, pane->caption, chrome);
                const ScrollIndicator bar =
                    scroll_indicator(pane->rect, text, h, tab->scroll().offset(h), chrome);
                const std::uint64_t wanted = offset_at(bar, h, y - grab);
                const ScrollView before = tab->scroll();
                tab->scroll().scroll(h, static_cast<std::int64_t>(wanted) -
                                            static_cast<std::int64_t>(tab->scroll().offset(h)));
                moved = !(tab->scroll() == before);
            }
        } else {
            moved = extend_selection(state, area, cell, chrome, x, y);
            scroll_lines = drag_scroll_lines(state, area, chrome, y);
        }
        return std::pair(moved, scroll_lines);
    };
    workspace_.cell().change(step, [this, x = at.x, y = at.y](std::pair<bool, int> result) {
        const auto [moved, scroll_lines] = result;
        // Held past the pane's edge, the selection scrolls on without the
        // pointer moving.
        drag_x_ = x;
        drag_y_ = y;
        if (scroll_lines != 0 && !drag_timer_) {
            drag_timer_ = port_.start_drag_timer();
        } else if (scroll_lines == 0 && drag_timer_) {
            port_.stop_drag_timer();
            drag_timer_ = false;
        }
        if (moved) port_.invalidate();
    });
}

void MouseController::drag_scroll_tick() {
    workspace_.cell().change(
        [area = port_.client(), chrome = port_.scale(), cell = port_.cell(), x = drag_x_,
         y = drag_y_](AppState& state) {
            const int lines = drag_scroll_lines(state, area, chrome, y);
            Tab* tab = state.find_tab(state.selection().tab);
            if (lines == 0 || !tab) return false;
            tab->scroll().scroll(history_extent(*tab), lines);
            extend_selection(state, area, cell, chrome, x, y);
            return true;
        },
        [this](bool moved) {
            if (moved) port_.invalidate();
        });
}

void MouseController::hover(const PointerEvent& at) {
    workspace_.cell().change(
        [ctrl = at.modifiers.ctrl, area = port_.client(), cell = port_.cell(),
         chrome = port_.scale(), x = at.x, y = at.y](AppState& state) {
            if (!update_hovered_link(state, ctrl, area, cell, chrome, x, y)) {
                return std::optional<bool>();
            }
            return std::optional<bool>(state.hovered_link().has_value());
        },
        [this](std::optional<bool> over) {
            if (!over) return;
            // The window asked for the pointer's shape before this move: the
            // pointer follows the new link now.
            port_.set_cursor(*over);
            port_.invalidate();
        });
}

void MouseController::link_keys(const PointerEvent& at) {
    hover(at);
}

bool MouseController::link_cursor() {
    // Asking the keyboard here could disagree with what the move saw; looking
    // again would read and scan the line once more for every move.
    if (!workspace_.cell().view().hovered_link().has_value()) return false;
    port_.set_cursor(true);
    return true;
}

void MouseController::wheel(int delta, const PointerEvent& at, unsigned lines_per_notch) {
    if (port_.report_wheel(delta, at)) return;
    const Rect area = port_.client();
    const Scale chrome = port_.scale();
    const std::optional<TabId> tab =
        workspace_.cell().read([&](const AppState& s) -> std::optional<TabId> {
            if (auto pane = pane_at(s, area, at.x, at.y, chrome)) return pane->tab;
            if (const Tab* active = s.active_tab()) return active->id();
            return std::nullopt;
        });
    if (!tab) return;
    input_.wheel(*tab, delta, lines_per_notch);
}

void MouseController::right_press(const PointerEvent& at) {
    const Scale chrome = port_.scale();
    const Rect area = port_.client();
    if (at.y < tab_bar_height(chrome)) {
        const std::optional<BarHit> hit = workspace_.cell().read(
            [&](const AppState& s) { return bar_hit_test(s, area.width(), at.x, at.y, chrome); });
        if (hit && hit->item) port_.open_item_menu(*hit->item, at.x, at.y);
        return;
    }
    const bool on_notice = workspace_.cell().read([&](const AppState& s) {
        return notice_hit(s.notices(), area, at.x, at.y, chrome).has_value();
    });
    if (on_notice) return;
    // Below the bar the clipboard is pasted into the active session.
    commands_.execute(cmd::Paste{});
}

void MouseController::middle_press(const PointerEvent& at) {
    const int width = port_.client().width();
    const Scale chrome = port_.scale();
    const std::optional<BarHit> hit = workspace_.cell().read(
        [&](const AppState& s) { return bar_hit_test(s, width, at.x, at.y, chrome); });
    if (!hit || !hit->item) return;
    if (const TabId* tab = std::get_if<TabId>(&*hit->item)) {
        commands_.execute(cmd::CloseTab{*tab});
    } else {
        commands_.execute(cmd::CloseGroup{std::get<GroupId>(*hit->item)});
    }
}

}  // namespace tolvar::app
