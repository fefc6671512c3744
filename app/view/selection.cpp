#include "view/selection.hpp"

#include <algorithm>

#include "tolvar/core/utf.hpp"
#include "view/layout.hpp"
#include "view/word_selection.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {

namespace {

// The line and cell under a point of the text rectangle of the tab's pane,
// whose top-left corner is where the cell grid starts; a doubled line's
// cells are two columns wide.
pty::LinePosition position_at(const AppState& state, TabId tab, const Rect& text,
                              const CellMetrics& cell, int x, int y) {
    const auto clamp16 = [](int v) { return static_cast<std::uint16_t>(std::clamp(v, 0, 65535)); };
    const Tab* t = state.find_tab(tab);
    const pty::LineNumber top = t ? t->scroll().top_line(history_extent(*t)) : 0;
    const pty::LineNumber line =
        top + static_cast<pty::LineNumber>(cells_in(y - text.top, cell.height));
    bool doubled = false;
    if (t && t->session()) {
        t->session()->model().with([&](const pty::TerminalModel& model) {
            doubled = drawn_doubled(model.line_size(line));
        });
    }
    return {line, clamp16(line_column(cells_in(x - text.left, cell.width), doubled))};
}

// The word or line unit around `at`, read from the tab's model.
CellSpan unit_at(const AppState& state, const MouseSelection& sel, pty::LinePosition at) {
    CellSpan span{at, at};
    const Tab* tab = state.find_tab(sel.tab);
    if (!tab || !tab->session() || sel.unit == SelectionUnit::Cell) return span;
    tab->session()->model().with([&](const pty::TerminalModel& model) {
        span = sel.unit == SelectionUnit::Word
                   ? word_at(model, at, state.appearance().word_delimiters)
                   : logical_line_at(model, at);
    });
    return span;
}

// Moves the far end to `at`; by words or lines the unit first clicked stays
// whole, its far side following the pointer.
bool move_end(AppState& state, pty::LinePosition at) {
    const MouseSelection& sel = state.selection();
    pty::LinePosition anchor = sel.anchor;
    pty::LinePosition end = at;
    if (sel.unit != SelectionUnit::Cell) {
        const CellSpan there = unit_at(state, sel, at);
        if (there.start >= sel.unit_start) {
            anchor = sel.unit_start;
            end = std::max(sel.unit_end, there.end);
        } else {
            anchor = sel.unit_end;
            end = there.start;
        }
    }
    if (anchor == sel.anchor && end == sel.end) return false;
    state.move_selection(anchor, end);
    return true;
}

bool selects_something(const MouseSelection& sel) {
    return sel.anchor != sel.end || sel.unit != SelectionUnit::Cell;
}

}  // namespace

bool begin_selection(AppState& state, const Rect& client, const CellMetrics& cell, Scale scale,
                     int x, int y, ClickKind click) {
    const std::optional<Pane> pane = pane_at(state, client, x, y, scale);
    if (!pane) {
        state.clear_selection();
        return false;
    }
    const Rect text = text_rect(pane->rect, pane->caption, scale);
    if (x < text.left || y < text.top) {
        state.clear_selection();
        return false;
    }
    const pty::LinePosition at = position_at(state, pane->tab, text, cell, x, y);
    const MouseSelection& held = state.selection();
    if (click.extend && held.state != SelectionState::None && held.tab == pane->tab) {
        state.resume_selection();
        move_end(state, at);
        return true;
    }
    const SelectionUnit unit = click.count >= 3   ? SelectionUnit::Line
                               : click.count == 2 ? SelectionUnit::Word
                                                  : SelectionUnit::Cell;
    MouseSelection sel{pane->tab, at,
                       at,        SelectionState::Selecting,
                       unit,      click.block && unit == SelectionUnit::Cell,
                       at,        at};
    const CellSpan first = unit_at(state, sel, at);
    sel.anchor = sel.unit_start = first.start;
    sel.end = sel.unit_end = first.end;
    state.start_selection(std::move(sel));
    return true;
}

bool extend_selection(AppState& state, const Rect& client, const CellMetrics& cell, Scale scale,
                      int x, int y) {
    const MouseSelection& sel = state.selection();
    if (sel.state != SelectionState::Selecting) return false;
    const std::optional<Pane> pane = pane_of_tab(state, client, sel.tab, scale);
    if (!pane) return false;
    const Rect text = text_rect(pane->rect, pane->caption, scale);
    // In a pane too small for the range the low bound wins: no failure, just
    // the first cell.
    x = std::max(text.left, std::min(x, text.right - 1));
    y = std::max(text.top, std::min(y, text.bottom - 1));
    return move_end(state, position_at(state, sel.tab, text, cell, x, y));
}

int drag_scroll_lines(const AppState& state, const Rect& client, Scale scale, int y) {
    const MouseSelection& sel = state.selection();
    if (sel.state != SelectionState::Selecting) return 0;
    const std::optional<Pane> pane = pane_of_tab(state, client, sel.tab, scale);
    if (!pane) return 0;
    const Rect text = text_rect(pane->rect, pane->caption, scale);
    return y < text.top ? 1 : y >= text.bottom ? -1 : 0;
}

std::optional<FinishedSelection> finish_selection(AppState& state) {
    const MouseSelection& sel = state.selection();
    if (sel.state != SelectionState::Selecting) return std::nullopt;
    if (!selects_something(sel)) {
        state.clear_selection();
        return std::nullopt;
    }
    state.finish_selection_drag();
    return FinishedSelection{sel.tab, SelectionSpan(sel.anchor, sel.end, sel.block)};
}

std::optional<FinishedSelection> held_selection(const AppState& state) {
    const MouseSelection& sel = state.selection();
    if (sel.state == SelectionState::None || !selects_something(sel)) return std::nullopt;
    return FinishedSelection{sel.tab, SelectionSpan(sel.anchor, sel.end, sel.block)};
}

std::string selection_text(const pty::TerminalModel& model, const SelectionSpan& span) {
    if (span.block) {
        return block_text(model, span.start.line, span.end.line, span.left(), span.right());
    }
    const auto past_end = static_cast<std::uint16_t>(std::min(span.end.col + 1, 65535));
    return model.text_range(span.start, {span.end.line, past_end});
}

bool worth_copying(std::string_view text) {
    return !core::trim_unicode(text).empty();
}

std::optional<SelectionSpan> pane_selection(const AppState& state, TabId tab) {
    const MouseSelection& sel = state.selection();
    if (sel.state == SelectionState::None || sel.tab != tab || !selects_something(sel) ||
        state.view_mode() == ViewMode::BrowseGroups) {
        return std::nullopt;
    }
    return SelectionSpan(sel.anchor, sel.end, sel.block);
}

}  // namespace tolvar::app
