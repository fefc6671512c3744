// Draws one session's view into a text rectangle of a memory DC: one
// ExtTextOutW per run of one colour and face, its lines and the program's
// own box glyphs, then the ghost text and the cursor. The terminal font
// must be selected into the DC. UI thread; takes the session's
// model lock for the duration of one pane.
#pragma once

#include <windows.h>

#include <optional>

#include "look/terminal_font_win.hpp"
#include "view/gdi_win.hpp"
#include "view/paint_plan.hpp"
#include "view/pane_painter.hpp"
#include "view/scrolling.hpp"

namespace tolvar::app::win {

// What a paint drew: the runs, for measuring a frame's cost, the rows drawn
// (all of them for a whole pane) and where the pane's view sits, for its
// scroll indicator.
struct PaneStats {
    int runs = 0;
    int rows = 0;
    bool whole = false;
    HistoryExtent extent;
    std::uint64_t offset = 0;
};

// A pane's pixels kept in a DC between paints, and what they were drawn
// from; nothing kept while `shown.seq` is 0.
struct PaneMemory {
    PaneShown shown;
};

// What every pane of a frame is drawn with. Without a font the DC's font
// draws everything and the lines sit where the cell metrics put them.
struct PaneLook {
    PaneLook(const Palette& colours) : palette(colours) {}  // NOLINT: a palette is a look
    const Palette& palette;
    const TerminalFont* font = nullptr;
    CursorPrefs cursor;
    bool blink_on = true;        // the phase of a blinking cursor
    bool window_focused = true;  // else the cursor is hollow
    int cursor_thickness = 2;
    int box_stroke = 1;  // the light line of box drawing
    // False when the frame already has the theme's background under the
    // pane: filling it again costs a tenth of a frame.
    bool fill_background = true;
};

// The tab's view: its live screen, or the page of history it is scrolled
// back to, with the find box's matches when it is over this pane, on the
// palette's background. A poisoned model lock leaves the pane as the
// frame's background. With `memory`, the DC holds what it recalls (unless
// nothing) and only what changed since is drawn: blits of the rows that
// scrolled and the rows whose pixels are wrong; it then recalls this paint.
PaneStats paint_pane(HDC dc, const PaneLook& look, const Tab& tab, const Rect& text,
                     const CellMetrics& cell, bool focused,
                     const std::optional<SelectionSpan>& selection, const Find* find = nullptr,
                     PaneMemory* memory = nullptr);

// The same for a bare model, without ghost text.
PaneStats paint_screen(HDC dc, const PaneLook& look, const pty::TerminalModel& model,
                       const Rect& text, const CellMetrics& cell, bool focused,
                       const std::optional<SelectionSpan>& selection,
                       PaneMemory* memory = nullptr);

}  // namespace tolvar::app::win
