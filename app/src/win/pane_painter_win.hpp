// Draws one session's screen into a text rectangle of a memory DC: one
// ExtTextOutW per colour run, then the ghost text and the cursor bar. The
// terminal font must be selected into the DC. UI thread; takes the session's
// model lock for the duration of one pane.
#pragma once

#include <windows.h>

#include <optional>

#include "gdi_win.hpp"
#include "tolvar/app/pane_painter.hpp"

namespace tolvar::app::win {

// Runs drawn, for measuring a frame's cost.
struct PaneStats {
    int runs = 0;
};

// A poisoned model lock leaves the pane as the frame's background.
PaneStats paint_pane(HDC dc, const Tab& tab, const Rect& text, const CellMetrics& cell,
                     bool focused, const std::optional<SelectionSpan>& selection);

// The same for a bare model, without ghost text.
PaneStats paint_screen(HDC dc, const pty::TerminalModel& model, const Rect& text,
                       const CellMetrics& cell, bool focused,
                       const std::optional<SelectionSpan>& selection);

}  // namespace tolvar::app::win
