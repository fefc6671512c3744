// What a pane must draw in a paint, from what it drew last time and what the
// model's damage record says changed since: the whole pane, or blits of the
// rows that scrolled and the rows whose pixels are wrong. Portable rules over
// plain values; the back buffer and the drawing are Win32. UI thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tolvar/pty/terminal_model.hpp"
#include "view/geometry.hpp"
#include "view/pane_painter.hpp"

namespace tolvar::app {

// What a pane's pixels were drawn from, besides the screen's cells.
struct PaneShown {
    std::uint64_t seq = 0;  // the damage number the screen was read at; 0: never drawn
    Rect text;
    // Anything every row is drawn with (theme, font, DPI, focus, the frame's
    // look): a different value redraws the pane.
    std::uint64_t look = 0;
    std::uint16_t rows = 0;     // visible rows
    std::uint64_t offset = 0;   // lines scrolled back; 0: live
    pty::LineNumber top = 0;    // the line on the first row
    std::optional<SelectionSpan> selection;
    std::uint64_t find = 0;     // changes with the find box's matches or its current one
    // The row the cursor and the ghost text are drawn on, and what they look
    // like (shape, column, shown in the blink, the ghost text), as one value.
    std::optional<std::uint16_t> overlay_row;
    std::uint64_t overlay = 0;
};

// Rows of the pane, top down. Blits come first, in order, then the rows are
// drawn over them.
struct PanePlan {
    bool whole = false;
    std::vector<pty::ScrollMove> scrolls;  // in the pane's rows; count > 0 moves up
    std::vector<std::uint16_t> rows;       // sorted, each once
    bool empty() const { return !whole && scrolls.empty() && rows.empty(); }
};

// `damage` is the model's since `drawn.seq`, read with the screen `now` is
// about. A change the rows cannot express (a new look, size, scroll position
// or find, a mode, a region that reaches past the visible rows, output into
// a scrolled-back view) redraws the whole pane.
PanePlan plan_pane(const PaneShown& drawn, const PaneShown& now, const pty::Damage& damage);

// Everything of a frame but the panes' text, as one value: the tab bar's
// items as drawn, the view, the panes' places, captions and whether each is
// live, the marks over them (selection, link, find box), the notices and the
// help. Output may repaint the panes alone only while it is unchanged.
std::uint64_t frame_chrome(const AppState& state, const Rect& client, Scale scale);

}  // namespace tolvar::app
