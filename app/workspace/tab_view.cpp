#include "workspace/tab_view.hpp"

#include "sessions/session_end.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

std::string display_title(const AppState& state, const Tab& tab) {
    std::string title = tab.title();
    if (!tab.custom_title() && tab.session()) {
        tab.session()->model().with([&](const pty::TerminalModel& model) {
            const std::string own = model.title();
            const std::string_view trimmed = core::trim_unicode(own);
            if (!trimmed.empty()) title = std::string(trimmed);
        });
    }
    if (state.broadcasts(tab)) title = "\xC2\xBB " + title;
    return title;
}

std::string marked_title(const AppState& state, const Tab& tab) {
    std::string title = display_title(state, tab);
    if (scrolled_back(tab)) title.insert(0, k_scrolled_back_mark);
    if (tab.ended()) title.insert(0, k_ended_mark);
    if (tab.session() && tab.session()->starting()) title.insert(0, k_starting_mark);
    return title;
}

HistoryExtent history_extent(const Tab& tab) {
    HistoryExtent extent;
    if (tab.session()) {
        tab.session()->model().with(
            [&](const pty::TerminalModel& model) { extent = HistoryExtent::of(model); });
    }
    return extent;
}

bool scrolled_back(const Tab& tab) {
    return !tab.scroll().live() && tab.scroll().offset(history_extent(tab)) > 0;
}

}  // namespace tolvar::app
