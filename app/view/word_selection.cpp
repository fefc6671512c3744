#include "view/word_selection.hpp"

#include <algorithm>

#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

// The history and screen as one run of cells that a walk can step through
// across wrapped rows; keeps one line loaded at a time.
class Walker {
  public:
    Walker(const pty::TerminalModel& model, pty::LinePosition at) : model_(model), at_(at) {
        load(at.line);
    }
    const pty::LinePosition& at() const { return at_; }
    const pty::Cell* cell() const {
        return at_.col < line_.cells.size() ? &line_.cells[at_.col] : nullptr;
    }
    // Onto the left cell of a wide character when on its right half.
    void to_base() {
        while (at_.col > 0 && cell() && cell()->wide_continuation) --at_.col;
    }
    bool back() {
        if (at_.col > 0) {
            --at_.col;
            return true;
        }
        if (at_.line == 0 || at_.line <= model_.history_begin()) return false;
        pty::LineCells prev;
        model_.line(at_.line - 1, prev);
        if (!prev.wrapped || prev.cells.empty()) return false;
        line_ = std::move(prev);
        at_ = {at_.line - 1, static_cast<std::uint16_t>(line_.cells.size() - 1)};
        return true;
    }
    bool forward() {
        if (at_.col + 1u < line_.cells.size()) {
            ++at_.col;
            return true;
        }
        if (!line_.wrapped) return false;
        load(at_.line + 1);
        if (line_.cells.empty()) {
            load(at_.line);
            return false;
        }
        at_ = {at_.line + 1, 0};
        return true;
    }

  private:
    void load(pty::LineNumber n) { model_.line(n, line_); }

    const pty::TerminalModel& model_;
    pty::LinePosition at_;
    pty::LineCells line_;
};

bool is_word_cell(const pty::Cell* cell, std::u32string_view delimiters) {
    // The right half holds nothing; it goes with the left half, already taken.
    if (cell && cell->wide_continuation) return true;
    if (!cell || cell->contents.empty()) return false;
    std::size_t pos = 0;
    const char32_t base = core::next_code_point(cell->contents, pos);
    return base != U' ' && delimiters.find(base) == std::u32string_view::npos;
}

// The last cell a character starting at `at` takes: its right half if wide.
pty::LinePosition character_end(const pty::TerminalModel& model, pty::LinePosition at) {
    pty::LineCells line;
    model.line(at.line, line);
    if (at.col + 1u < line.cells.size() && line.cells[at.col + 1].wide_continuation) ++at.col;
    return at;
}

}  // namespace

CellSpan word_at(const pty::TerminalModel& model, pty::LinePosition at,
                 std::u32string_view delimiters) {
    Walker walk(model, at);
    walk.to_base();
    const pty::LinePosition base = walk.at();
    if (!is_word_cell(walk.cell(), delimiters)) return {base, character_end(model, base)};
    pty::LinePosition start = base;
    while (walk.back()) {
        walk.to_base();
        if (!is_word_cell(walk.cell(), delimiters)) break;
        start = walk.at();
    }
    Walker ahead(model, base);
    pty::LinePosition end = base;
    while (ahead.forward() && is_word_cell(ahead.cell(), delimiters)) end = ahead.at();
    return {start, end};
}

CellSpan logical_line_at(const pty::TerminalModel& model, pty::LinePosition at) {
    pty::LineCells line;
    pty::LineNumber first = at.line;
    while (first > model.history_begin() && first > 0) {
        model.line(first - 1, line);
        if (!line.wrapped) break;
        --first;
    }
    pty::LineNumber last = at.line;
    for (;;) {
        model.line(last, line);
        if (!line.wrapped) break;
        ++last;
    }
    // Trailing blanks are padding, not the line's text.
    std::size_t end_col = line.cells.size();
    while (end_col > 0 &&
           (line.cells[end_col - 1].contents.empty() || line.cells[end_col - 1].contents == " ") &&
           !line.cells[end_col - 1].wide_continuation) {
        --end_col;
    }
    return {{first, 0}, {last, static_cast<std::uint16_t>(end_col > 0 ? end_col - 1 : 0)}};
}

std::string block_text(const pty::TerminalModel& model, pty::LineNumber first, pty::LineNumber last,
                       std::uint16_t left, std::uint16_t right) {
    std::string text;
    bool any = false;
    const auto past_right = static_cast<std::uint16_t>(std::min(right + 1, 65535));
    for (pty::LineNumber n = std::max(first, model.history_begin()); n <= last; ++n) {
        std::string row = model.text_range({n, left}, {n, past_right});
        // One row at a time: a wrapped row must not pull in the next one.
        if (const auto cut = row.find('\n'); cut != std::string::npos) row.resize(cut);
        while (!row.empty() && (row.back() == ' ' || row.back() == '\t')) row.pop_back();
        if (any) text += '\n';
        text += row;
        any = true;
    }
    return text;
}

}  // namespace tolvar::app
