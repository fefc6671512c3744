#include "dialogs/history_viewer.hpp"

#include "tolvar/core/history.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {

std::string history_viewer_title(const AppState& state, const Tab& tab) {
    std::string title = display_title(state, tab);
    constexpr std::string_view mark = "\xC2\xBB ";
    if (state.broadcasts(tab) && title.starts_with(mark)) {
        title.erase(0, mark.size());
    }
    return "History \xE2\x80\x94 " + title;
}

void HistoryViewer::fill(HistorySurface& surface) {
    lines_.clear();
    if (data_dir_) {
        if (auto entries = core::read_history(fs_, *data_dir_, record_id_)) {
            lines_.reserve(entries->size());
            for (core::HistoryEntry& entry : *entries) lines_.push_back(std::move(entry.line));
        }
    }
    surface.show_lines(lines_);
}

void HistoryViewer::copy_selected(HistorySurface& surface) {
    const auto line = surface.selected_line();
    if (line && *line < lines_.size()) surface.copy_text(lines_[*line]);
}

void HistoryViewer::reset_session(HistorySurface& surface) {
    if (!surface.ask(k_reset_session_question)) return;
    if (data_dir_) (void)core::delete_history(fs_, *data_dir_, record_id_);
    fill(surface);
}

void HistoryViewer::reset_all(HistorySurface& surface) {
    if (!surface.ask(k_reset_all_question)) return;
    if (data_dir_) (void)core::delete_all_history(fs_, *data_dir_);
    fill(surface);
}

}  // namespace tolvar::app
