// The mouse text selection: starting it under the pointer, following the
// pointer within its pane, scrolling while the pointer is past the pane's
// edge, finishing it, and the text it copies. One selection for the whole
// window, kept in AppState, in lines of the session's history and screen.
// UI thread only; the text is read with the session's model lock held.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "look/fonts.hpp"
#include "view/geometry.hpp"
#include "view/pane_painter.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

// What the press was: the click's count in a run of quick clicks (2 selects
// a word, 3 a line), Shift held (the current selection's far end moves here,
// by its own unit), Alt held (a block).
struct ClickKind {
    int count = 1;
    bool extend = false;
    bool block = false;
};

// Button down below the tab bar. True when a selection started, which the
// caller follows with a mouse capture; otherwise there is no selection.
bool begin_selection(AppState& state, const Rect& client, const CellMetrics& cell, Scale scale,
                     int x, int y, ClickKind click = {});

// Pointer move: the end follows the pointer, clamped to the selection's pane.
// True when the end cell changed.
bool extend_selection(AppState& state, const Rect& client, const CellMetrics& cell, Scale scale,
                      int x, int y);
// While a drag holds the pointer above the selection's pane (1: back into
// history) or below it (-1), the lines to scroll at each step; 0 inside.
int drag_scroll_lines(const AppState& state, const Rect& client, Scale scale, int y);

// Button up. The span to copy from the selection's tab when the drag
// covered more than one cell or the click took a word or a line; a single
// click on one cell selects nothing.
struct FinishedSelection {
    TabId tab;
    SelectionSpan span;
};
std::optional<FinishedSelection> finish_selection(AppState& state);

// What Ctrl+Shift+C copies: the selection shown, finished or still dragged.
std::optional<FinishedSelection> held_selection(const AppState& state);

// The selected text as the terminal composes it, end cell included; a block
// as its lines. What aged out of the history is left out.
std::string selection_text(const pty::TerminalModel& model, const SelectionSpan& span);

// Whether a selection's text goes to the clipboard: white space alone does not.
bool worth_copying(std::string_view text);

// The highlight a pane shows: only the selection's own tab, only while the
// selection covers more than one cell, never in the group browser.
std::optional<SelectionSpan> pane_selection(const AppState& state, TabId tab);

}  // namespace tolvar::app
