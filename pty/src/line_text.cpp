#include "line_text.hpp"

#include <algorithm>

#include "screen.hpp"
#include "tolvar/core/lowercase.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::pty {

void RowText::add(const CellData& cell, const Marks* marks, std::uint16_t col) {
    if (!cell.has_contents()) return;
    Item item{col, cell.wide(), 0, static_cast<std::uint32_t>(cps.size())};
    if (cell.cp() != 0) {
        cps.push_back(cell.cp());
        for (int i = 0; marks != nullptr && i < marks->count; ++i) cps.push_back(marks->cps[i]);
        item.count = static_cast<std::uint8_t>(cps.size() - item.first);
    }
    items.push_back(item);
}

namespace {

void start_row(RowText& out, std::uint16_t cols, bool wrapped) {
    out.items.clear();
    out.cps.clear();
    out.cols = cols;
    out.wrapped = wrapped;
}

}  // namespace

void read_row_text(const Grid& g, std::uint16_t r, RowText& out) {
    start_row(out, g.cols(), g.wrapped(r));
    const CellData* cells = g.row(r);
    for (std::uint16_t col = 0; col < g.cols(); ++col)
        out.add(cells[col], g.cell_marks(r, col), col);
}

void read_row_text(LineReader reader, RowText& out) {
    start_row(out, reader.cols(), reader.wrapped());
    CellData cell;
    Marks marks;
    while (reader.next_text(cell, marks)) out.add(cell, &marks, marks.col);
}

namespace {

// Walks the text of columns [from, to) of a row: visit.gap(col, n) for the
// empty cells before a cell with anything in it, visit.cell(item, width)
// for that cell. The cell after a wide character is its right half whatever
// it holds, and is skipped. Returns whether any cell was visited.
template <class Visitor>
bool walk_row(const RowText& row, std::size_t from, std::size_t to, Visitor& visit) {
    to = std::min<std::size_t>(to, row.cols);
    std::size_t next = from;  // the first column not yet accounted for
    std::size_t skip = 0;     // columns below this belong to the last wide character
    bool any = false;
    for (const RowText::Item& item : row.items) {
        if (item.col >= to) break;
        if (item.col < from || item.col < skip) continue;
        if (item.col > next) visit.gap(next, item.col - next);
        const std::size_t width = item.wide ? std::min<std::size_t>(2, row.cols - item.col) : 1;
        visit.cell(item, width);
        next = item.col + (item.wide ? 2 : 1);
        skip = next;
        any = true;
    }
    return any;
}

struct TextWriter {
    const RowText& row;
    std::string& out;

    void gap(std::size_t, std::size_t n) { out.append(n, ' '); }
    void cell(const RowText::Item& item, std::size_t) {
        for (std::uint32_t i = 0; i < item.count; ++i)
            core::append_utf8(out, row.cps[item.first + i]);
    }
};

// The model's lines: the primary grid's history, then the active grid.
struct Lines {
    const Scrollback& history;
    const Grid& screen;
    LineNumber begin;
    LineNumber history_end;
    LineNumber end;
    bool alternate;

    explicit Lines(const Screen& s)
        : history(s.primary().scrollback()),
          screen(s.grid()),
          begin(history.first_number()),
          history_end(history.end_number()),
          end(history_end + s.grid().rows()),
          alternate(s.alternate_screen()) {}

    bool in_history(LineNumber n) const { return n < history_end; }
    // Whether line n, wrapped or not, runs on into the next: the newest
    // history line continued the primary screen, not the alternate one.
    bool continues(LineNumber n, bool wrapped) const {
        return wrapped && !(alternate && n + 1 == history_end);
    }
    LineReader reader(LineNumber n) const {
        return history.reader(static_cast<std::size_t>(n - begin));
    }
    std::uint16_t screen_row(LineNumber n) const {
        return static_cast<std::uint16_t>(n - history_end);
    }
    void read(LineNumber n, RowText& out) const {
        if (in_history(n)) {
            read_row_text(reader(n), out);
        } else {
            read_row_text(screen, screen_row(n), out);
        }
    }
};

}  // namespace

bool append_row_text(const RowText& row, std::size_t from, std::size_t to, std::string& out) {
    TextWriter writer{row, out};
    return walk_row(row, from, to, writer);
}

std::string text_range(const Screen& screen, LinePosition start, LinePosition end) {
    const Lines lines(screen);
    std::string out;
    // What is no longer kept is left out, not stood in for.
    if (start.line < lines.begin) start = {lines.begin, 0};
    if (!(start < end)) return out;
    RowText row;
    const LineNumber last = std::min(end.line, lines.end - 1);
    for (LineNumber n = start.line; n <= last && n < lines.end; ++n) {
        const std::size_t from = n == start.line ? start.col : 0;
        const std::size_t to = n == end.line ? end.col : SIZE_MAX;
        bool wrapped = false;
        if (lines.in_history(n)) {
            const LineReader reader = lines.reader(n);
            wrapped = reader.wrapped();
            bool ascii = false;
            if (from > 0 || to < reader.cols() || !reader.append_simple_text(nullptr, out, ascii)) {
                read_row_text(reader, row);
                append_row_text(row, from, to, out);
            }
        } else {
            read_row_text(lines.screen, lines.screen_row(n), row);
            wrapped = row.wrapped;
            append_row_text(row, from, to, out);
        }
        if (n == end.line) break;
        if (!lines.continues(n, wrapped)) out.push_back('\n');
    }
    return out;
}

namespace {

// Lower-cases one code point for comparison; see find() for why the final
// sigma is the medial one here.
char* fold_utf8(char32_t cp, char* out) {
    return core::lowercase_utf8(cp == 0x03C2 ? 0x03C3 : cp, out);
}

void fold(std::string& out, char32_t cp) {
    char buf[4];
    out.append(buf, fold_utf8(cp, buf));
}

// Searches the model's lines one wrapped run at a time. A run of history
// lines of simple cells is searched in its stored bytes first; only when
// that finds the query, and the run is not ASCII alone (where a byte is a
// cell), is it decoded cell by cell, with each code point's cell kept beside
// the text. Any other run is decoded at once.
class Search {
  public:
    Search(const Screen& screen, std::string_view needle, bool match_case, std::size_t limit)
        : lines_(screen), needle_(needle), fold_(!match_case), limit_(limit) {}

    Found run() {
        for (LineNumber n = lines_.begin; n < lines_.end; ++n) {
            bool wrapped = false;
            if (quick_ && lines_.in_history(n)) {
                const LineReader reader = lines_.reader(n);
                wrapped = reader.wrapped();
                row_starts_.push_back(static_cast<std::uint32_t>(hay_.size()));
                bool ascii = true;
                if (reader.append_simple_text(fold_ ? fold_utf8 : nullptr, hay_, ascii)) {
                    ascii_ = ascii_ && ascii;
                } else {
                    decode_run(n);
                }
            } else {
                if (quick_) {
                    decode_run(n);
                } else {
                    decode(n);
                }
                wrapped = row_.wrapped;
            }
            if (!lines_.continues(n, wrapped) || n + 1 == lines_.end) {
                search_run(n);
                run_first_ = n + 1;
                quick_ = true;
                ascii_ = true;
                hay_.clear();
                row_starts_.clear();
                units_.clear();
                starts_.clear();
            }
        }
        // The ring's oldest match is where the next one would have gone.
        if (limit_ > 0 && found_ > limit_) {
            // Not std::ranges::rotate: clang 14 cannot compile it against
            // libstdc++ 12, and the fuzz build uses clang.
            std::rotate(matches_.begin(),
                        matches_.begin() + static_cast<std::ptrdiff_t>(found_ % limit_),
                        matches_.end());
        }
        return {std::move(matches_), found_};
    }

    // Visitor of walk_row: one unit per code point, and per empty cell
    // before text (a space).
    void gap(std::size_t col, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            push_unit(col + i, 1, k_first | k_last);
            hay_.push_back(' ');
        }
    }
    void cell(const RowText::Item& item, std::size_t width) {
        for (std::uint32_t i = 0; i < item.count; ++i) {
            const unsigned edges = (i == 0 ? k_first : 0) | (i + 1 == item.count ? k_last : 0);
            push_unit(item.col, width, edges);
            const char32_t cp = row_.cps[item.first + i];
            if (fold_) {
                fold(hay_, cp);
            } else {
                core::append_utf8(hay_, cp);
            }
        }
    }

  private:
    static constexpr std::uint8_t k_first = 1;  // the unit starts its cell
    static constexpr std::uint8_t k_last = 2;   // the unit ends its cell

    struct Unit {
        std::uint32_t line;  // from the run's first
        std::uint16_t col;
        std::uint8_t width;
        std::uint8_t edges;
    };

    void push_unit(std::size_t col, std::size_t width, unsigned edges) {
        units_.push_back({static_cast<std::uint32_t>(line_ - run_first_),
                          static_cast<std::uint16_t>(col), static_cast<std::uint8_t>(width),
                          static_cast<std::uint8_t>(edges)});
        starts_.push_back(static_cast<std::uint32_t>(hay_.size()));
    }

    void decode(LineNumber n) {
        line_ = n;
        lines_.read(n, row_);
        walk_row(row_, 0, SIZE_MAX, *this);
    }

    // The run so far, up to and including line n, decoded cell by cell.
    void decode_run(LineNumber n) {
        quick_ = false;
        hay_.clear();
        row_starts_.clear();
        for (LineNumber k = run_first_; k <= n; ++k) decode(k);
    }

    void search_run(LineNumber last) {
        if (quick_ && !ascii_) {
            if (std::string_view(hay_).find(needle_) == std::string_view::npos) return;
            decode_run(last);
        }
        const std::string_view hay(hay_);
        if (!quick_) starts_.push_back(static_cast<std::uint32_t>(hay_.size()));
        for (std::size_t at = hay.find(needle_); at != std::string_view::npos;) {
            const std::size_t end = at + needle_.size();
            if (quick_) {
                Match m{ascii_position(at), ascii_position(end - 1)};
                ++m.end.col;
                add(m);
            } else if (!add_decoded_match(at, end)) {
                at = hay.find(needle_, at + 1);
                continue;
            }
            at = hay.find(needle_, end);
        }
    }

    LinePosition ascii_position(std::size_t byte) const {
        const auto row = std::upper_bound(row_starts_.begin(), row_starts_.end(), byte) - 1;
        return {run_first_ + static_cast<LineNumber>(row - row_starts_.begin()),
                static_cast<std::uint16_t>(byte - *row)};
    }

    // A match must take whole cells: it starts where a cell's text starts
    // and ends where a cell's text ends.
    bool add_decoded_match(std::size_t at, std::size_t end) {
        const auto first = std::lower_bound(starts_.begin(), starts_.end() - 1, at);
        if (*first != at || (units_[first - starts_.begin()].edges & k_first) == 0) return false;
        const auto after = std::lower_bound(first + 1, starts_.end(), end);
        if (*after != end || (units_[after - starts_.begin() - 1].edges & k_last) == 0) {
            return false;
        }
        const Unit& a = units_[first - starts_.begin()];
        const Unit& b = units_[after - starts_.begin() - 1];
        add({{run_first_ + a.line, a.col},
             {run_first_ + b.line, static_cast<std::uint16_t>(b.col + b.width)}});
        return true;
    }

    // Past the limit, matches_ is a ring that keeps the newest.
    void add(const Match& m) {
        if (matches_.size() < limit_) {
            matches_.push_back(m);
        } else if (limit_ > 0) {
            matches_[found_ % limit_] = m;
        }
        ++found_;
    }

    const Lines lines_;
    const std::string_view needle_;
    const bool fold_;
    const std::size_t limit_;
    std::size_t found_ = 0;
    LineNumber run_first_ = lines_.begin;
    LineNumber line_ = 0;                    // the line being decoded
    bool quick_ = true;                      // the run so far is read from stored bytes
    bool ascii_ = true;                      // and they are ASCII
    std::string hay_;                        // the run's text, lower-cased when folding
    std::vector<std::uint32_t> row_starts_;  // quick: where each line's bytes start
    std::vector<Unit> units_;                // decoded: per code point or gap
    std::vector<std::uint32_t> starts_;      // decoded: where each unit's bytes start, then the end
    RowText row_;
    std::vector<Match> matches_;
};

}  // namespace

Found find(const Screen& screen, std::string_view query, bool match_case, std::size_t limit) {
    if (query.empty() || !core::is_valid_utf8(query)) return {};
    std::string needle;
    if (match_case) {
        needle.assign(query);
    } else {
        for (std::size_t pos = 0; pos < query.size();)
            fold(needle, core::next_code_point(query, pos));
    }
    return Search(screen, needle, match_case, limit).run();
}

}  // namespace tolvar::pty
