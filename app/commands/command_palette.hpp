// The command palette's rules: the fuzzy score of a query against a label,
// the entries filtered and ranked, the selection kept in view, the recently
// run entries, and where the box's parts lie. Not the entries' meaning (the
// caller's keys) nor the drawing. Plain values; UI thread.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "look/palette.hpp"
#include "view/geometry.hpp"

namespace tolvar::app {

struct PaletteEntry {
    std::string label;    // UTF-8, shown and matched
    std::string chord;    // shown at the right, e.g. "Ctrl+Shift+T"; may be empty
    std::size_t key = 0;  // the caller's; handed back when the entry runs
};

struct PaletteMatch {
    int score = 0;
    // Byte offsets in the label of the code points the query matched, rising.
    std::vector<std::size_t> positions;
};

// Whether every code point of `query` appears in `label` in order, ignoring
// case, and how well: the best placement favours the start of the label and
// of its words, runs of consecutive code points, and early matches. An empty
// query matches everything with score 0. Labels of more than
// k_palette_label_limit code points are matched on their start only.
std::optional<PaletteMatch> palette_match(std::string_view query, std::string_view label);
inline constexpr std::size_t k_palette_label_limit = 512;

// The label cut into runs of matched and unmatched text, for drawing the
// matched code points highlighted.
struct LabelRun {
    std::string_view text;
    bool matched = false;
};
std::vector<LabelRun> label_runs(std::string_view label, const std::vector<std::size_t>& positions);

// Where Ctrl+Backspace cuts `text` (the part before the caret): the white
// space before the caret, then the word before it, or a run of punctuation.
std::size_t word_start_before(std::string_view text);

// The labels of the entries run last, newest first, without repeats; for the
// whole run of the program, across openings.
class RecentEntries {
  public:
    static constexpr std::size_t k_capacity = 16;
    void note(const std::string& label);
    // Its place, 0 for the newest; nothing when it is not among them.
    std::optional<std::size_t> rank(std::string_view label) const;
    const std::deque<std::string>& labels() const { return labels_; }

  private:
    std::deque<std::string> labels_;
};

// The open palette: its entries, the query, the entries that match in their
// order, the selection and the first row in view. The selection is always a
// matching entry, and always among the `page` rows from `top` on.
class CommandPalette {
  public:
    struct Shown {
        const PaletteEntry* entry;
        const std::vector<std::size_t>* positions;
    };

    // Clears the query and selects the first entry; the recent list stays.
    void open(std::vector<PaletteEntry> entries);
    void close();
    bool is_open() const { return open_; }

    // The whole query, as the text field holds it: refilters and selects the
    // best match.
    void set_query(std::string query);
    const std::string& query() const { return query_; }

    // The rows the box can show at once; at least 1.
    void set_page(std::size_t rows);
    std::size_t page() const { return page_; }

    // Up and Down (-1, +1), PageUp and PageDown (-page, +page); they stop at
    // the ends.
    void move(long delta);
    void first();
    void last();
    // The wheel: the rows in view move, taking the selection along when it
    // would leave them.
    void scroll(long rows);

    // Enter: the chosen entry's key, noted among the recent; nothing when no
    // entry matches.
    std::optional<std::size_t> choose();
    // A click on a row in view (0 the top one): the same for its entry.
    std::optional<std::size_t> choose_row(std::size_t row);

    std::size_t match_count() const { return ranked_.size(); }
    std::size_t top() const { return top_; }
    std::optional<std::size_t> selected() const;
    // The i-th matching entry in rank order, i < match_count().
    Shown shown(std::size_t i) const;
    const RecentEntries& recent() const { return recent_; }

  private:
    struct Ranked {
        std::size_t entry;
        int score;
        std::size_t length;  // code points, for ties
        std::vector<std::size_t> positions;
    };
    void refilter();
    void select(std::size_t index);
    void keep_in_view();

    bool open_ = false;
    std::vector<PaletteEntry> entries_;
    std::string query_;
    std::vector<Ranked> ranked_;
    std::size_t selected_ = 0;
    std::size_t top_ = 0;
    std::size_t page_ = 1;
    RecentEntries recent_;
};

// The box under the tab bar, centred: the query field, then the rows.
struct PaletteLayout {
    Rect frame;
    Rect query;  // the field's frame
    Rect edit;   // the text control inside it, one line of text high, centred
    int row_height = 0;
    int first_row_top = 0;
    // Rows the box can hold in this window (the model's page), and the rows
    // it shows now (at least one, for "No matching commands").
    std::size_t capacity = 1;
    std::size_t rows = 1;

    Rect row(std::size_t i) const;
    // The row in view under the point; nothing outside the rows.
    std::optional<std::size_t> row_at(int x, int y) const;
    // The scroll thumb in the padding right of the rows, when `count`
    // matches are more than the rows shown; `top` is the first in view.
    std::optional<Rect> thumb(std::size_t top, std::size_t count, Scale scale) const;
};
inline constexpr std::size_t k_palette_max_rows = 12;

// `text_height`: the UI font's line height in pixels; `matches`: the rows
// there are to show.
PaletteLayout palette_layout(int client_width, int client_height, Scale scale, int text_height,
                             std::size_t matches);

// The box in the colours of the panes' theme, so that it reads as part of
// the terminal in a light theme as in a dark one: a fill a tenth of the way
// from the background to the foreground, framed in the selection colour.
struct PaletteColors {
    Rgb fill;
    Rgb frame;
    Rgb field;  // the query field's fill; its text is `text`
    Rgb text;
    Rgb dim;  // chords and "No matching commands"
    Rgb selected_fill;
    Rgb selected_text;
};
PaletteColors palette_colors(const Theme& theme);

}  // namespace tolvar::app
