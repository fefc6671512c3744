#include "tolvar/app/selection.hpp"

#include <algorithm>

#include "tolvar/app/layout.hpp"
#include "tolvar/app/workspace.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

// The line and cell under a point of the text rectangle, whose top-left
// corner is where the cell grid starts and whose first row shows line `top`.
pty::LinePosition position_at(const Rect& text, pty::LineNumber top, const CellMetrics& cell, int x,
                              int y) {
    const auto clamp16 = [](int v) { return static_cast<std::uint16_t>(std::clamp(v, 0, 65535)); };
    return {top + static_cast<pty::LineNumber>(cells_in(y - text.top, cell.height)),
            clamp16(cells_in(x - text.left, cell.width))};
}

pty::LineNumber pane_top(const AppState& state, TabId tab) {
    const Tab* t = state.find_tab(tab);
    return t ? t->scroll.top_line(history_extent(*t)) : 0;
}

}  // namespace

void clear_selection(AppState& state) {
    state.selection.state = SelectionState::None;
}

bool begin_selection(AppState& state, const Rect& client, const CellMetrics& cell, Scale scale,
                     int x, int y) {
    const std::optional<Pane> pane = pane_at(state, client, x, y, scale);
    if (!pane) {
        clear_selection(state);
        return false;
    }
    const Rect text = text_rect(pane->rect, pane->caption, scale);
    if (x < text.left || y < text.top) {
        clear_selection(state);
        return false;
    }
    const pty::LinePosition at = position_at(text, pane_top(state, pane->tab), cell, x, y);
    state.selection = {pane->tab, at, at, SelectionState::Selecting};
    return true;
}

bool extend_selection(AppState& state, const Rect& client, const CellMetrics& cell, Scale scale,
                      int x, int y) {
    MouseSelection& sel = state.selection;
    if (sel.state != SelectionState::Selecting) return false;
    const std::optional<Pane> pane = pane_of_tab(state, client, sel.tab, scale);
    if (!pane) return false;
    const Rect text = text_rect(pane->rect, pane->caption, scale);
    // In a pane too small for the range the low bound wins: no failure, just
    // the first cell.
    x = std::max(text.left, std::min(x, text.right - 1));
    y = std::max(text.top, std::min(y, text.bottom - 1));
    const pty::LinePosition at = position_at(text, pane_top(state, sel.tab), cell, x, y);
    if (at == sel.end) return false;
    sel.end = at;
    return true;
}

int drag_scroll_lines(const AppState& state, const Rect& client, Scale scale, int y) {
    const MouseSelection& sel = state.selection;
    if (sel.state != SelectionState::Selecting) return 0;
    const std::optional<Pane> pane = pane_of_tab(state, client, sel.tab, scale);
    if (!pane) return 0;
    const Rect text = text_rect(pane->rect, pane->caption, scale);
    return y < text.top ? 1 : y >= text.bottom ? -1 : 0;
}

std::optional<FinishedSelection> finish_selection(AppState& state) {
    MouseSelection& sel = state.selection;
    if (sel.state != SelectionState::Selecting) return std::nullopt;
    if (sel.anchor == sel.end) {
        sel.state = SelectionState::None;
        return std::nullopt;
    }
    sel.state = SelectionState::Finished;
    return FinishedSelection{sel.tab, SelectionSpan(sel.anchor, sel.end)};
}

std::string selection_text(const pty::TerminalModel& model, const SelectionSpan& span) {
    const auto past_end = static_cast<std::uint16_t>(std::min(span.end.col + 1, 65535));
    return model.text_range(span.start, {span.end.line, past_end});
}

bool worth_copying(std::string_view text) {
    return !core::trim_unicode(text).empty();
}

std::optional<SelectionSpan> pane_selection(const AppState& state, TabId tab) {
    const MouseSelection& sel = state.selection;
    if (sel.state == SelectionState::None || sel.tab != tab || sel.anchor == sel.end ||
        state.view_mode() == ViewMode::BrowseGroups) {
        return std::nullopt;
    }
    return SelectionSpan(sel.anchor, sel.end);
}

}  // namespace tolvar::app
