#include "tolvar/app/pane_painter.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

void append_utf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

}  // namespace

SelectionSpan::SelectionSpan(pty::LinePosition a, pty::LinePosition b)
    : start(std::min(a, b)), end(std::max(a, b)) {}

bool SelectionSpan::contains(pty::LineNumber line, std::uint16_t col) const {
    const pty::LinePosition p{line, col};
    return start <= p && p <= end;
}

VisibleGrid visible_grid(const pty::TerminalModel& model, const Rect& text,
                         const CellMetrics& cell) {
    return {static_cast<std::uint16_t>(
                std::min<int>(cells_in(text.height(), cell.height), model.rows())),
            static_cast<std::uint16_t>(
                std::min<int>(cells_in(text.width(), cell.width), model.cols()))};
}

RunBuilder::RunBuilder(const Palette& palette, int cell_width, std::uint16_t visible_cols)
    : palette_(palette), cell_width_(cell_width) {
    text_.reserve(visible_cols);
    advances_.reserve(visible_cols);
}

void RunBuilder::row(const pty::LineCells& line, pty::LineNumber number, std::uint16_t visible_cols,
                     const std::optional<SelectionSpan>& selection,
                     std::span<const MatchSpan> matches, RunSink& sink) {
    static const pty::Cell k_blank;
    auto match = matches.begin();
    for (std::uint16_t c = 0; c < visible_cols; ++c) {
        // A line stored before the pane grew is blank past its end.
        const pty::Cell& cell = c < line.cells.size() ? line.cells[c] : k_blank;
        if (cell.wide_continuation) continue;
        Rgb fg = palette_.foreground(cell.fg, cell.bold);
        Rgb bg = palette_.background(cell.bg);
        if (cell.inverse) std::swap(fg, bg);
        while (match != matches.end() && match->end_col <= c) ++match;
        if (match != matches.end() && match->first_col <= c) {
            fg = k_match_foreground;
            bg = match->current ? k_current_match_background : k_match_background;
        }
        if (selection && selection->contains(number, c)) {
            fg = palette_.theme().selection_foreground;
            bg = palette_.theme().selection_background;
        }
        if (cells_ > 0 && (fg != fg_ || bg != bg_)) flush(sink);
        if (cells_ == 0) {
            first_col_ = c;
            fg_ = fg;
            bg_ = bg;
        }
        const int width = cell.wide ? 2 : 1;
        if (cell.contents.empty()) {
            text_.push_back(u' ');
            advances_.push_back(cell_width_);
        } else {
            // Only a cell's last unit advances, so combining marks and
            // surrogate pairs stay on the cell grid whatever the font does.
            for (std::size_t pos = 0; pos < cell.contents.size();) {
                const char32_t cp = core::next_code_point(cell.contents, pos);
                if (cp != U' ') blank_ = false;
                const std::size_t before = text_.size();
                append_utf16(text_, cp);
                advances_.resize(advances_.size() + (text_.size() - before), 0);
            }
            advances_.back() = cell_width_ * width;
        }
        cells_ += width;
    }
    flush(sink);
}

void RunBuilder::flush(RunSink& sink) {
    if (cells_ > 0 && !(blank_ && bg_ == palette_.theme().background)) {
        sink.draw({first_col_, cells_, fg_, bg_, text_, advances_});
    }
    text_.clear();
    advances_.clear();
    cells_ = 0;
    blank_ = true;
}

std::optional<Rect> cursor_bar(const Rect& text, const CellMetrics& cell, pty::Position cursor) {
    const int cw = std::max(cell.width, 1);
    const int ch = std::max(cell.height, 1);
    if (cursor.row >= cells_in(text.height(), ch) || cursor.col >= cells_in(text.width(), cw)) {
        return std::nullopt;
    }
    const int x = text.left + cw * cursor.col;
    const int bottom = text.top + ch * (cursor.row + 1);
    return Rect{x, bottom - 2, x + cw, bottom};
}

std::vector<GhostCell> ghost_cells(std::string_view typed,
                                   const std::optional<std::string>& suggestion, const Rect& text,
                                   const CellMetrics& cell, pty::Position cursor,
                                   std::uint16_t visible_cols) {
    std::vector<GhostCell> cells;
    if (!suggestion || suggestion->size() <= typed.size() || !suggestion->starts_with(typed)) {
        return cells;
    }
    const int cw = std::max(cell.width, 1);
    const int ch = std::max(cell.height, 1);
    if (cursor.row >= cells_in(text.height(), ch)) return cells;
    const std::string_view tail = std::string_view(*suggestion).substr(typed.size());
    // The tail starts where a whole typed line ends, so it starts on a
    // character; text that is not UTF-8 is shown replaced, not misread.
    const std::u16string units = core::utf8_to_utf16(tail);
    const int top = text.top + ch * cursor.row;
    int col = cursor.col;
    for (std::size_t i = 0; i < units.size() && col < visible_cols; ++col) {
        const bool pair = units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < units.size();
        const std::size_t n = pair ? 2 : 1;
        cells.push_back({{text.left + cw * col, top, text.left + cw * (col + 1), top + ch},
                         units.substr(i, n)});
        i += n;
    }
    return cells;
}

PaneOverlay pane_overlay(const pty::TerminalModel& model, const Tab& tab, const Rect& text,
                         const CellMetrics& cell, bool focused, std::uint64_t offset) {
    PaneOverlay overlay;
    if (!focused) return overlay;
    pty::Position cursor = model.cursor();
    // Scrolled back, the cursor's row sits lower in the page, or below it.
    if (cursor.row + offset >= model.rows()) return overlay;
    cursor.row = static_cast<std::uint16_t>(cursor.row + offset);
    if (!model.alternate_screen()) {
        overlay.ghost = ghost_cells(tab.input_line, tab.suggestion, text, cell, cursor,
                                    visible_grid(model, text, cell).cols);
    }
    if (!model.hide_cursor()) overlay.cursor = cursor_bar(text, cell, cursor);
    return overlay;
}

}  // namespace tolvar::app
