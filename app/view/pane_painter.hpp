// How one session's lines become coloured text runs: the palette, which
// cells share a run, the advance of every UTF-16 unit, the selection and the
// find matches, the cursor bar and the ghost text of a suggestion. A pane
// shows the live screen or a page of history alike. Portable; the GDI calls
// that draw the runs are Win32. Called with the session's model lock held,
// on the UI thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "look/fonts.hpp"
#include "look/palette.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "view/find.hpp"
#include "view/geometry.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

inline constexpr Rgb k_ghost_text{120, 127, 138};
inline constexpr Rgb k_match_background{249, 241, 165};
inline constexpr Rgb k_current_match_background{247, 140, 60};
inline constexpr Rgb k_match_foreground{12, 14, 18};
inline constexpr Rgb k_scroll_track{30, 35, 44};
inline constexpr Rgb k_scroll_thumb{120, 127, 138};

// Cells (line first, then column) between two ends, both included, whatever
// the order they were given in; a block takes only the columns between the
// ends' columns on each of their lines.
struct SelectionSpan {
    pty::LinePosition start;
    pty::LinePosition end;
    bool block = false;
    SelectionSpan(pty::LinePosition a, pty::LinePosition b, bool is_block = false);
    bool contains(pty::LineNumber line, std::uint16_t col) const;
    std::uint16_t left() const { return std::min(start.col, end.col); }
    std::uint16_t right() const { return std::max(start.col, end.col); }
};

// Faces of the terminal font, as bits of RunStyle::face.
inline constexpr std::uint8_t k_face_bold = 1;
inline constexpr std::uint8_t k_face_italic = 2;

// Which font of the chain has a character's glyph: 0 the terminal font, n
// the n-th font after it. Asked only for characters past ASCII.
class GlyphFonts {
  public:
    virtual std::uint8_t font_for(char32_t cp) = 0;

  protected:
    ~GlyphFonts() = default;
};

// What a run is drawn with besides its two colours.
struct RunStyle {
    std::uint8_t face = 0;  // k_face_bold | k_face_italic
    std::uint8_t font = 0;  // as GlyphFonts numbers them
    pty::Underline underline = pty::Underline::None;
    Rgb underline_color{};
    bool strikethrough = false;
    friend constexpr bool operator==(const RunStyle&, const RunStyle&) = default;
};

// A cell whose character the program draws itself (box drawing, blocks):
// its run holds a space there.
struct BoxCell {
    std::uint16_t col = 0;
    char32_t cp = 0;
};

// A stretch of cells with the same colours and style, ready for one
// ExtTextOutW.
struct TextRun {
    std::uint16_t first_col = 0;
    int cells = 0;
    Rgb fg;
    Rgb bg;
    RunStyle style;
    std::u16string_view text;
    std::span<const int> advances;  // one per UTF-16 unit of `text`
    std::span<const BoxCell> boxes;
};

class RunSink {
  public:
    virtual void draw(const TextRun& run) = 0;

  protected:
    ~RunSink() = default;
};

// Where a font draws its lines, from the cell's top, in pixels.
struct LineMetrics {
    int baseline = 12;
    int underline_top = 14;
    int underline_thickness = 1;
    int strike_top = 8;
    int strike_thickness = 1;
};

// The underline and strikethrough of a run whose cells are `box`: bars in
// the underline colour (for a curly underline a wave, a polyline drawn
// `wave_width` times one pixel lower each), and the strike in the text's.
struct Decoration {
    struct Point {
        int x = 0;
        int y = 0;
        friend constexpr bool operator==(Point, Point) = default;
    };
    std::vector<Rect> underline;
    std::vector<Point> wave;
    int wave_width = 1;
    std::optional<Rect> strike;
};
void decorate(const RunStyle& style, const Rect& box, int cell_width, const LineMetrics& lines,
              Decoration& out);

// The palette a model's screen is drawn in: in reverse video (DECSCNM) the
// default foreground and background trade places, as in xterm; explicit
// colours, the cursor and the selection stay.
Palette screen_palette(const Palette& palette, bool reverse_video);

// Rows and columns of the model's screen that fit the text rectangle; a
// page of history is drawn on the same grid.
struct VisibleGrid {
    std::uint16_t rows = 0;
    std::uint16_t cols = 0;
};
VisibleGrid visible_grid(const pty::TerminalModel& model, const Rect& text,
                         const CellMetrics& cell);

// Every size but Single draws its cells twice as wide.
constexpr bool drawn_doubled(pty::LineSize size) {
    return size != pty::LineSize::Single;
}
// The cells a line of `size` shows on a grid `cols` wide: half of them,
// rounded up, when it is doubled (its last one cut at the edge).
constexpr std::uint16_t shown_cells(pty::LineSize size, std::uint16_t cols) {
    return drawn_doubled(size) ? static_cast<std::uint16_t>(cols - cols / 2) : cols;
}
// How a doubled line reaches the pane: drawn at the normal size into a
// scratch image `width` by the cell's height, then the part at `source_top`,
// `source_height` tall, stretched over the row's rectangle `target` (which
// may pass the text's right edge; the caller clips). A double-height line
// shows the top or the bottom half of its glyphs, twice as tall.
struct DoubledRow {
    int width = 0;
    int source_top = 0;
    int source_height = 0;
    Rect target;
};
DoubledRow doubled_row(const Rect& text, const CellMetrics& cell, std::uint16_t row,
                       pty::LineSize size, std::uint16_t cells);

// Builds the runs of one line and hands over the ones worth drawing: blank
// undecorated runs on the theme's background are left to the pane's fill.
// Keeps its buffers across lines, so one builder serves a whole pane.
// Without `fonts` every character is drawn in the terminal font.
class RunBuilder {
  public:
    RunBuilder(const Palette& palette, int cell_width, std::uint16_t visible_cols,
               GlyphFonts* fonts = nullptr);
    // Line `number`, read into `line`; the selection is drawn over the find
    // matches, the current match over the others, and a solid block cursor
    // at `block_cursor` over everything.
    void row(const pty::LineCells& line, pty::LineNumber number, std::uint16_t visible_cols,
             const std::optional<SelectionSpan>& selection, std::span<const MatchSpan> matches,
             RunSink& sink, std::optional<std::uint16_t> block_cursor = std::nullopt);

  private:
    void flush(RunSink& sink);

    const Palette& palette_;
    GlyphFonts* fonts_;
    int cell_width_;
    std::u16string text_;
    std::vector<int> advances_;
    std::vector<BoxCell> boxes_;
    std::uint16_t first_col_ = 0;
    int cells_ = 0;
    Rgb fg_{};
    Rgb bg_{};
    RunStyle style_;
    bool blank_ = true;
};

// The shape a cursor is drawn in, and whether it blinks: what the
// application asked for, else the user's choice. `blink` unset: only an
// application's blinking cursor blinks; false: none; true: the user's own
// cursor too.
struct CursorPrefs {
    pty::CursorShape shape = pty::CursorShape::Underline;
    std::optional<bool> blink;
};
struct CursorLook {
    pty::CursorShape shape = pty::CursorShape::Underline;  // never Default
    bool blinks = false;
};
CursorLook cursor_look(pty::CursorStyle asked, const CursorPrefs& prefs);

// The cursor's cell, when it fits the rectangle; on a doubled line (`size`)
// twice as wide.
std::optional<Rect> cursor_cell(const Rect& text, const CellMetrics& cell, pty::Position cursor,
                                pty::LineSize size = pty::LineSize::Single);
// What a cursor draws over its cell: a bar along the bottom or the left
// edge, `thickness` wide, or for a window without focus a hollow box. A solid
// block is drawn by the runs (its cell's colours swapped), so nothing here.
std::vector<Rect> cursor_rects(pty::CursorShape shape, bool hollow, const Rect& cell,
                               int thickness);

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
// (never on the alternate screen, nor on a doubled line) and the cursor
// (unless the application hid it), both on the cursor's row wherever a
// scrolled-back view shows it, and not at all when that row is out of view.
// Nothing for a pane without focus.
struct PaneOverlay {
    std::vector<GhostCell> ghost;
    std::optional<pty::Position> cursor;  // in the view's rows
    std::optional<Rect> cursor_cell;
};
PaneOverlay pane_overlay(const pty::TerminalModel& model, const Tab& tab, const Rect& text,
                         const CellMetrics& cell, bool focused, std::uint64_t offset = 0);

}  // namespace tolvar::app
