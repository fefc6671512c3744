// How one session's lines become coloured text runs: the palette, which
// cells share a run, the advance of every UTF-16 unit, the selection and the
// find matches, the cursor bar and the ghost text of a suggestion. A pane
// shows the live screen or a page of history alike. Portable; the GDI calls
// that draw the runs are Win32. Called with the session's model lock held,
// on the UI thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/app/app_state.hpp"
#include "tolvar/app/find.hpp"
#include "tolvar/app/fonts.hpp"
#include "tolvar/app/geometry.hpp"
#include "tolvar/app/palette.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::app {

inline constexpr Rgb k_ghost_text{120, 127, 138};
inline constexpr Rgb k_match_background{249, 241, 165};
inline constexpr Rgb k_current_match_background{247, 140, 60};
inline constexpr Rgb k_match_foreground{12, 14, 18};
inline constexpr Rgb k_scroll_track{30, 35, 44};
inline constexpr Rgb k_scroll_thumb{120, 127, 138};

// Cells (line first, then column) between two ends, both included, whatever
// the order they were given in.
struct SelectionSpan {
    pty::LinePosition start;
    pty::LinePosition end;
    SelectionSpan(pty::LinePosition a, pty::LinePosition b);
    bool contains(pty::LineNumber line, std::uint16_t col) const;
};

// A stretch of cells with the same colours, ready for one ExtTextOutW.
struct TextRun {
    std::uint16_t first_col = 0;
    int cells = 0;
    Rgb fg;
    Rgb bg;
    std::u16string_view text;
    std::span<const int> advances;  // one per UTF-16 unit of `text`
};

class RunSink {
  public:
    virtual void draw(const TextRun& run) = 0;

  protected:
    ~RunSink() = default;
};

// Rows and columns of the model's screen that fit the text rectangle; a
// page of history is drawn on the same grid.
struct VisibleGrid {
    std::uint16_t rows = 0;
    std::uint16_t cols = 0;
};
VisibleGrid visible_grid(const pty::TerminalModel& model, const Rect& text,
                         const CellMetrics& cell);

// Builds the runs of one line and hands over the ones worth drawing: blank
// runs on the default background are left to the frame's fill. Keeps its
// buffers across lines, so one builder serves a whole pane.
class RunBuilder {
  public:
    RunBuilder(const Palette& palette, int cell_width, std::uint16_t visible_cols);
    // Line `number`, read into `line`; the selection is drawn over the find
    // matches, the current match over the others.
    void row(const pty::LineCells& line, pty::LineNumber number, std::uint16_t visible_cols,
             const std::optional<SelectionSpan>& selection, std::span<const MatchSpan> matches,
             RunSink& sink);

  private:
    void flush(RunSink& sink);

    const Palette& palette_;
    int cell_width_;
    std::u16string text_;
    std::vector<int> advances_;
    std::uint16_t first_col_ = 0;
    int cells_ = 0;
    Rgb fg_{};
    Rgb bg_{};
    bool blank_ = true;
};

// The 2-pixel bar under the cursor's cell, when the cell fits the rectangle.
std::optional<Rect> cursor_bar(const Rect& text, const CellMetrics& cell, pty::Position cursor);

// One character of the suggestion's tail, drawn in its own cell.
struct GhostCell {
    Rect cell;
    std::u16string text;
};
// The part of `suggestion` past the typed line, one character per cell from
// the cursor to the last visible column; nothing unless the suggestion
// extends the typed line.
std::vector<GhostCell> ghost_cells(std::string_view typed,
                                   const std::optional<std::string>& suggestion, const Rect& text,
                                   const CellMetrics& cell, pty::Position cursor,
                                   std::uint16_t visible_cols);

// What a focused pane draws over its text: the suggestion's ghost text
// (never on the alternate screen) and the cursor bar (unless the application
// hid it), both on the cursor's row wherever a scrolled-back view shows it,
// and not at all when that row is out of view. Nothing for a pane without
// focus.
struct PaneOverlay {
    std::vector<GhostCell> ghost;
    std::optional<Rect> cursor;
};
PaneOverlay pane_overlay(const pty::TerminalModel& model, const Tab& tab, const Rect& text,
                         const CellMetrics& cell, bool focused, std::uint64_t offset = 0);

}  // namespace tolvar::app
