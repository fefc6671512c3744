// The terminal model: a VT/xterm parser driving a primary grid with scrollback
// and an alternate grid. It draws nothing, and answers the application's
// questions only when asked to (set_answering). Not thread-safe: sessions
// share it through SharedModel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::pty {

// A cell colour: the terminal default, an indexed colour 0-255 or RGB.
class Color {
  public:
    enum class Kind : std::uint8_t { Default, Indexed, Rgb };

    constexpr Color() = default;
    static constexpr Color indexed(std::uint8_t index) { return Color(k_indexed | index); }
    static constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return Color(k_rgb | std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b);
    }

    constexpr Kind kind() const { return static_cast<Kind>(bits_ >> 24); }
    constexpr std::uint8_t index() const { return static_cast<std::uint8_t>(bits_); }
    constexpr std::uint8_t r() const { return static_cast<std::uint8_t>(bits_ >> 16); }
    constexpr std::uint8_t g() const { return static_cast<std::uint8_t>(bits_ >> 8); }
    constexpr std::uint8_t b() const { return static_cast<std::uint8_t>(bits_); }
    constexpr std::uint32_t bits() const { return bits_; }
    friend constexpr bool operator==(Color, Color) = default;

  private:
    static constexpr std::uint32_t k_indexed = 1u << 24;
    static constexpr std::uint32_t k_rgb = 2u << 24;
    constexpr explicit Color(std::uint32_t bits) : bits_(bits) {}
    std::uint32_t bits_ = 0;
};

struct Position {
    std::uint16_t row = 0;
    std::uint16_t col = 0;
    friend constexpr bool operator==(Position, Position) = default;
};

// SGR 4 and its sub-parameters (4:0 to 4:5) and SGR 21.
enum class Underline : std::uint8_t { None, Single, Double, Curly, Dotted, Dashed };

// One visible cell as the view reads it.
struct Cell {
    std::string contents;  // UTF-8: base character and its combining marks; empty when blank
    Color fg;
    Color bg;
    Color underline_color;  // SGR 58; the default is the text colour
    Underline underline = Underline::None;
    bool bold = false;
    bool faint = false;
    bool italic = false;
    bool inverse = false;
    bool strikethrough = false;
    bool conceal = false;
    bool wide = false;
    bool wide_continuation = false;  // right half of the wide character to its left
    // The application's OSC 8 hyperlink the cell belongs to, 0 for none:
    // cells of one link share the id. TerminalModel::hyperlink_target reads it.
    std::uint32_t hyperlink = 0;
};

// What DECSCUSR asked for; Default until an application asks (and after
// it asks for 0), meaning the user's own choice.
enum class CursorShape : std::uint8_t { Default, Block, Underline, Bar };
struct CursorStyle {
    CursorShape shape = CursorShape::Default;
    bool blinking = false;
    friend constexpr bool operator==(CursorStyle, CursorStyle) = default;
};

// DECDWL and DECDHL: a line drawn with every cell twice as wide, and for
// the double-height halves twice as tall as well, showing the top or the
// bottom half of the glyphs. Such a line holds half the columns (rounded up).
enum class LineSize : std::uint8_t { Single, DoubleWidth, DoubleHeightTop, DoubleHeightBottom };

// A line of the scrollback: its cells as they were when it left the screen.
struct HistoryLine {
    std::vector<Cell> cells;
    bool wrapped = false;
    LineSize size = LineSize::Single;
};

// Lines are numbered for the life of the model: every line that ever entered
// the primary scrollback keeps its number, and the live screen's row r is
// line history_end() + r. Numbers survive output, eviction of the oldest
// lines and clearing; they never go back. A line that scrolls off the
// primary screen is counted even when the scrollback has no room for it.
using LineNumber = std::uint64_t;

// One line as the view reads it, from the history or the live screen.
struct LineCells {
    std::vector<Cell> cells;  // one per column of the line as it was stored
    bool wrapped = false;     // the line continues on the next one
    // Past the first half of a line that is not Single, cells are blank.
    LineSize size = LineSize::Single;
};

// A stretch of text found by find(): from `start` to `end` (end exclusive),
// columns counted in cells, possibly running over wrapped lines.
struct LinePosition {
    LineNumber line = 0;
    std::uint16_t col = 0;
    friend constexpr auto operator<=>(LinePosition, LinePosition) = default;
};
struct Match {
    LinePosition start;
    LinePosition end;
    friend constexpr bool operator==(Match, Match) = default;
};
// What a bounded find() returns: a query of one letter can match millions
// of times in a full history, and what a view needs is those near the end.
struct Found {
    std::vector<Match> matches;  // the newest of them, oldest first
    std::size_t total = 0;       // how many there are in all
};

// Rows [top, bottom] of the live screen moved `count` rows up (down when
// negative); what moved in is among the damaged rows.
struct ScrollMove {
    std::uint16_t top = 0;
    std::uint16_t bottom = 0;
    int count = 0;
    friend constexpr bool operator==(ScrollMove, ScrollMove) = default;
};

// What changed since a reader last asked (TerminalModel::damage_since). A
// reader that kept the screen as it was then applies `scrolls` to its copy
// in order, then repaints `rows`, and has the screen as it is now.
struct Damage {
    std::uint64_t now = 0;            // what to ask with next time
    bool everything = false;          // repaint it all; scrolls and rows are empty
    std::vector<ScrollMove> scrolls;  // oldest first
    std::vector<std::uint16_t> rows;  // content, attributes or wrap flag, top down
    bool cursor = false;              // position, visibility or style
    bool modes = false;               // any mode the accessors below report
    bool title = false;               // the title or the icon name
    // The history as it is now; a reader compares them with its own.
    LineNumber history_begin = 0;
    LineNumber history_end = 0;
};

enum class MouseMode : std::uint8_t { None, Press, PressRelease, ButtonMotion, AnyMotion };

// Where the model follows xterm rather than the vt100 reference it is
// otherwise measured against, because real programs rely on xterm's way. All
// are on; the conformance test turns them off to tell which one explains a
// difference from the reference.
namespace departure {
inline constexpr std::uint32_t background_erase = 1u << 0;  // erase and scroll in the background colour
inline constexpr std::uint32_t charsets = 1u << 1;          // ESC ( 0, ESC ) 0, SO, SI
inline constexpr std::uint32_t hvp = 1u << 2;               // CSI f
inline constexpr std::uint32_t index_next_line = 1u << 3;   // ESC D, ESC E
inline constexpr std::uint32_t tab_stops = 1u << 4;         // ESC H, CSI g
inline constexpr std::uint32_t insert_mode = 1u << 5;       // CSI 4 h acted on
inline constexpr std::uint32_t repeat = 1u << 6;            // CSI b
inline constexpr std::uint32_t region_home = 1u << 7;       // DECSTBM homes the cursor
inline constexpr std::uint32_t saved_cursor_per_screen = 1u << 8;  // DECSC and 1049
inline constexpr std::uint32_t sgr_colour_space = 1u << 9;  // 38:2:id:r:g:b
inline constexpr std::uint32_t alignment = 1u << 10;        // ESC # 8, CSI ? 3 h
inline constexpr std::uint32_t pending_wrap = 1u << 11;     // moves and wraps from the last column
inline constexpr std::uint32_t restore_on_grid = 1u << 12;  // DECRC, 1049 off after a shrink
inline constexpr std::uint32_t cursor_moves = 1u << 13;     // CSI E, F, `, a, e, I, Z
inline constexpr std::uint32_t new_line_mode = 1u << 14;    // CSI 20 h
inline constexpr std::uint32_t save_cursor_mode = 1u << 15;  // CSI ? 1048 h/l
inline constexpr std::uint32_t resize_keeps_cursor_row = 1u << 16;  // a shrink scrolls
inline constexpr std::uint32_t origin_addressing = 1u << 17;        // VPA and DECRC in origin mode
inline constexpr std::uint32_t line_size = 1u << 18;                // ESC # 3, 4, 5, 6
inline constexpr std::uint32_t save_cursor_csi = 1u << 19;          // CSI s, CSI u
inline constexpr std::uint32_t auto_wrap_off = 1u << 20;            // CSI ? 7 l obeyed
inline constexpr std::uint32_t selective_erase = 1u << 21;          // DECSCA, DECSED, DECSEL
inline constexpr std::uint32_t utf8_breaking_byte = 1u << 22;       // kept after a broken sequence
inline constexpr std::uint32_t alternate_1047 = 1u << 23;           // CSI ? 1047 h/l
inline constexpr std::uint32_t soft_reset = 1u << 24;               // DECSTR, CSI ! p
inline constexpr std::uint32_t all = (1u << 25) - 1;
}  // namespace departure
enum class MouseEncoding : std::uint8_t { Default, Utf8, Sgr };

class Screen;

class TerminalModel {
  public:
    static constexpr std::size_t k_default_scrollback = 10000;

    TerminalModel(std::uint16_t rows, std::uint16_t cols,
                  std::size_t scrollback = k_default_scrollback);
    ~TerminalModel();
    TerminalModel(TerminalModel&&) noexcept;
    TerminalModel& operator=(TerminalModel&&) noexcept;
    TerminalModel(const TerminalModel&) = delete;
    TerminalModel& operator=(const TerminalModel&) = delete;

    // Processes a chunk of output bytes; sequences may be split across chunks.
    void feed(std::string_view bytes);

    // With answering on, device attribute and status requests (DA1, DA2,
    // DSR, CPR) queue their replies for take_answers. Off by default: behind
    // a pseudo console the console host answers them itself, and a second
    // answer would reach the application as typed input.
    void set_answering(bool on);
    // The replies queued since the last call, in order; empty when none.
    std::string take_answers();
    // The departures from the reference in effect (departure::all unless a
    // test changed them).
    void set_departures(std::uint32_t mask);
    // Resizes both grids without reflow: rows are truncated or padded.
    void set_size(std::uint16_t rows, std::uint16_t cols);

    std::uint16_t rows() const;
    std::uint16_t cols() const;
    bool alternate_screen() const;

    // A cell of the active grid's live screen; a blank cell outside it.
    Cell cell(std::uint16_t row, std::uint16_t col) const;
    bool row_wrapped(std::uint16_t row) const;
    // Single outside the live screen.
    LineSize row_size(std::uint16_t row) const;
    // One past the last column while a wrap is pending.
    Position cursor() const;
    bool hide_cursor() const;
    CursorStyle cursor_style() const;

    std::string title() const;
    std::string icon_name() const;

    bool bracketed_paste() const;
    bool application_cursor() const;
    bool application_keypad() const;
    MouseMode mouse_mode() const;
    MouseEncoding mouse_encoding() const;
    // Mode 1004: the application wants ESC [ I and ESC [ O as the window
    // gains and loses the focus.
    bool focus_reporting() const;
    // Insert mode (CSI 4 h) shifts the row right under new text; with
    // auto-wrap (DECAWM) off, text that reaches the last column overwrites it.
    bool insert_mode() const;
    bool auto_wrap() const;
    // DECSCNM (CSI ? 5 h): the application asks for the whole screen in
    // reverse video; the view draws it so.
    bool reverse_video() const;

    // The target of a hyperlink id from a cell, empty when the link was
    // dropped to keep the bound on stored links (the oldest goes first) or
    // by a reset. The application chose it: it need not match the text.
    std::string hyperlink_target(std::uint32_t id) const;

    // Rows joined by '\n' except after wrapped rows, trailing '\n's removed.
    std::string visible_text() const;
    // The text from `start` up to, not including, `end` (row first, then
    // column), composed like visible_text. Columns past the row are clamped.
    std::string text_between(Position start, Position end) const;

    // What changed since `seq`, a Damage::now from an earlier call (0 for a
    // reader that has seen nothing). Readers keep their own number, so any
    // number of them can read, each at its own place. A reader from before a
    // resize or a switch of screens, or further behind than the model keeps
    // (the last 64 scrolls), gets everything.
    Damage damage_since(std::uint64_t seq) const;

    // Lines kept in the primary grid's scrollback; line 0 is the oldest.
    std::size_t scrollback_rows() const;
    HistoryLine scrollback_line(std::size_t line) const;

    // The oldest history line still kept, and one past the newest (the live
    // screen's first line). history_end() - history_begin() == scrollback_rows().
    LineNumber history_begin() const;
    LineNumber history_end() const;
    // Line n: a history line (history_begin() <= n < history_end()) or a row
    // of the active grid's live screen (history_end() <= n < history_end() +
    // rows()). Anything else is an empty line. Reuses `out`'s storage, so a
    // painter that keeps one LineCells allocates nothing per line after the
    // first page.
    void line(LineNumber n, LineCells& out) const;
    // The size of line n, as line() would give it, without reading its cells.
    LineSize line_size(LineNumber n) const;
    // The text from `start` up to, not including, `end`, over history and
    // screen, composed like text_between: rows joined by '\n' except after a
    // wrapped row, gaps before text as spaces, trailing empty cells nothing,
    // the right half of a wide character nothing. Parts that are no longer
    // kept (evicted, cleared) are left out, never replaced by other text.
    std::string text_range(LinePosition start, LinePosition end) const;
    // Every occurrence of `query` (UTF-8) in the history and the live screen,
    // in order, with a wrapped run of lines searched as one line. With
    // `match_case` false both sides are compared lower-cased (full Unicode
    // lower-casing, core/lowercase.hpp). Columns are cells: a match starts at
    // the cell of its first character and ends after the cell of its last
    // (both halves of a wide character; combining marks belong to their base
    // character's cell). An empty query finds nothing.
    //
    // A match takes whole cells: "e" does not find the "e" of a cell that
    // holds e + U+0301, nor "i" the first half of U+0130 lower-cased. Matches
    // do not overlap: each search goes on after the previous match, as
    // editors do ("aa" in "aaa" once). Lower-casing takes each character out
    // of its context, so capital sigma is the medial form and a final sigma
    // compares equal to it: a query cut from a word finds that word. A
    // query that is not valid UTF-8 finds nothing.
    std::vector<Match> find(std::string_view query, bool match_case) const;
    // The same, keeping no more than the newest `limit` matches.
    Found find(std::string_view query, bool match_case, std::size_t limit) const;
    // Empties the primary grid's scrollback; line numbers go on counting.
    void clear_scrollback();
    // Bytes the scrollback holds, and the whole model, for measurement.
    std::size_t scrollback_bytes() const;
    std::size_t memory_bytes() const;

  private:
    // Notes what the grids do not stamp: the cursor, the modes, the screen.
    void note_state();

    std::unique_ptr<Screen> screen_;
};

}  // namespace tolvar::pty
