#include "view/find_box.hpp"

#include <algorithm>

#include "workspace/tab_view.hpp"

namespace tolvar::app {

namespace {

// The box's tab, with its session.
Tab* find_tab_of(AppState& state) {
    if (!state.find()) return nullptr;
    Tab* tab = state.find_tab(state.find()->tab);
    return tab && tab->session() ? tab : nullptr;
}

void reveal_current(Tab& tab, const Find& find) {
    if (const auto current = find.current())
        tab.scroll().reveal(history_extent(tab), current->start.line);
}

}  // namespace

void set_find_query(AppState& state, std::string query) {
    Tab* tab = find_tab_of(state);
    if (!tab) return;
    Find& find = *state.find_search();
    tab->session()->model().with([&](const pty::TerminalModel& model) {
        const HistoryExtent h = HistoryExtent::of(model);
        find.search(model, std::move(query), tab->scroll().top_line(h) + h.rows);
    });
    reveal_current(*tab, find);
}

void step_find(AppState& state, bool backwards) {
    Tab* tab = find_tab_of(state);
    if (!tab) return;
    Find& find = *state.find_search();
    tab->session()->model().with([&](const pty::TerminalModel& model) { find.refresh(model); });
    backwards ? find.previous() : find.next();
    reveal_current(*tab, find);
}

std::string find_status(const AppState& state) {
    return state.find() ? state.find()->find.status() : std::string();
}

FindBoxLayout find_box_layout(const Rect& pane, Scale scale) {
    FindBoxLayout box;
    const int width = std::min(scale(340), std::max(pane.width() - scale(16), 0));
    box.frame = {pane.right - scale(8) - width, pane.top + scale(6), pane.right - scale(8),
                 pane.top + scale(6) + scale(30)};
    const int top = box.frame.top + scale(3);
    const int bottom = box.frame.bottom - scale(3);
    box.next = {box.frame.right - scale(3) - scale(26), top, box.frame.right - scale(3), bottom};
    box.previous = {box.next.left - scale(2) - scale(26), top, box.next.left - scale(2), bottom};
    box.status = {box.previous.left - scale(4) - scale(64), top, box.previous.left - scale(4),
                  bottom};
    box.edit = {box.frame.left + scale(3), top,
                std::max(box.status.left - scale(4), box.frame.left + scale(3)), bottom};
    return box;
}

}  // namespace tolvar::app
