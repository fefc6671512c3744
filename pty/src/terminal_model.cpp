#include "tolvar/pty/terminal_model.hpp"

#include <algorithm>

#include "screen.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::pty {
namespace {

void append_contents(std::string& out, const CellData& c, const std::vector<Marks>& marks,
                     std::size_t col) {
    if (c.cp() == 0) return;
    core::append_utf8(out, c.cp());
    if (!c.has_marks()) return;
    for (const Marks& m : marks) {
        if (m.col != col) continue;
        for (int i = 0; i < m.count; ++i) core::append_utf8(out, m.cps[i]);
    }
}

Cell to_cell(const CellData& c, const std::vector<Marks>& marks, std::size_t col) {
    Cell out;
    append_contents(out.contents, c, marks, col);
    out.fg = color_from_bits(c.fg);
    out.bg = color_from_bits(c.bg);
    const std::uint8_t mode = c.mode();
    out.bold = (mode & k_bold) != 0;
    out.italic = (mode & k_italic) != 0;
    out.underline = (mode & k_underline) != 0;
    out.inverse = (mode & k_inverse) != 0;
    out.wide = c.wide();
    out.wide_continuation = c.cont();
    return out;
}

// Appends the text of columns [start, end) of a row. Gaps before text become
// spaces, trailing empty cells nothing; the right half of a wide character
// adds nothing. A row that adds nothing while continuing a wrapped row adds
// a line feed.
void write_row(std::string& out, const Grid& g, std::uint16_t r, std::size_t start, std::size_t end,
               bool wrapping) {
    const CellData* cells = g.row(r);
    const auto& marks = g.marks(r);
    end = std::min<std::size_t>(end, g.cols());
    std::size_t prev_col = start;
    bool prev_was_wide = false;
    for (std::size_t col = start; col < end; ++col) {
        if (prev_was_wide) {
            prev_was_wide = false;
            continue;
        }
        const CellData& c = cells[col];
        prev_was_wide = c.wide();
        if (!c.has_contents()) continue;
        out.append(col - prev_col, ' ');
        prev_col = col;
        append_contents(out, c, marks, col);
        prev_col += c.wide() ? 2 : 1;
    }
    if (prev_col == start && wrapping) out.push_back('\n');
}

}  // namespace

TerminalModel::TerminalModel(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback)
    : screen_(std::make_unique<Screen>(std::max<std::uint16_t>(rows, 1),
                                       std::max<std::uint16_t>(cols, 1), scrollback)) {}
TerminalModel::~TerminalModel() = default;
TerminalModel::TerminalModel(TerminalModel&&) noexcept = default;
TerminalModel& TerminalModel::operator=(TerminalModel&&) noexcept = default;

void TerminalModel::feed(std::string_view bytes) {
    screen_->feed(bytes);
}

void TerminalModel::set_size(std::uint16_t rows, std::uint16_t cols) {
    // A grid always has a row and a column.
    screen_->set_size(std::max<std::uint16_t>(rows, 1), std::max<std::uint16_t>(cols, 1));
}

std::uint16_t TerminalModel::rows() const {
    return screen_->grid().rows();
}
std::uint16_t TerminalModel::cols() const {
    return screen_->grid().cols();
}
bool TerminalModel::alternate_screen() const {
    return screen_->alternate_screen();
}

Cell TerminalModel::cell(std::uint16_t row, std::uint16_t col) const {
    const Grid& g = screen_->grid();
    if (row >= g.rows() || col >= g.cols()) return {};
    return to_cell(g.row(row)[col], g.marks(row), col);
}

bool TerminalModel::row_wrapped(std::uint16_t row) const {
    const Grid& g = screen_->grid();
    return row < g.rows() && g.wrapped(row);
}

Position TerminalModel::cursor() const {
    const Pos p = screen_->grid().pos;
    return {p.row, p.col};
}

bool TerminalModel::hide_cursor() const {
    return screen_->mode(Screen::k_hide_cursor);
}
std::string TerminalModel::title() const {
    return screen_->title();
}
std::string TerminalModel::icon_name() const {
    return screen_->icon_name();
}
bool TerminalModel::bracketed_paste() const {
    return screen_->mode(Screen::k_bracketed_paste);
}
bool TerminalModel::application_cursor() const {
    return screen_->mode(Screen::k_application_cursor);
}
bool TerminalModel::application_keypad() const {
    return screen_->mode(Screen::k_application_keypad);
}
MouseMode TerminalModel::mouse_mode() const {
    return screen_->mouse_mode();
}
MouseEncoding TerminalModel::mouse_encoding() const {
    return screen_->mouse_encoding();
}
bool TerminalModel::insert_mode() const {
    return screen_->insert_mode();
}
bool TerminalModel::auto_wrap() const {
    return screen_->auto_wrap();
}

std::string TerminalModel::visible_text() const {
    const Grid& g = screen_->grid();
    std::string out;
    bool wrapping = false;
    for (std::uint16_t r = 0; r < g.rows(); ++r) {
        write_row(out, g, r, 0, g.cols(), wrapping);
        wrapping = g.wrapped(r);
        if (!wrapping) out.push_back('\n');
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string TerminalModel::text_between(Position start, Position end) const {
    const Grid& g = screen_->grid();
    std::string out;
    if (start.row == end.row) {
        if (start.col < end.col && start.row < g.rows()) {
            write_row(out, g, start.row, start.col, end.col, false);
        }
        return out;
    }
    if (start.row > end.row) return out;
    const unsigned last = std::min<unsigned>(end.row, g.rows() - 1u);
    for (unsigned i = start.row; i <= last; ++i) {
        const auto r = static_cast<std::uint16_t>(i);
        if (r == end.row) {
            write_row(out, g, r, 0, end.col, false);
            break;
        }
        write_row(out, g, r, r == start.row ? start.col : 0, g.cols(), false);
        if (!g.wrapped(r)) out.push_back('\n');
    }
    return out;
}

std::size_t TerminalModel::scrollback_rows() const {
    return screen_->primary().scrollback().size();
}

HistoryLine TerminalModel::scrollback_line(std::size_t line) const {
    HistoryLine out;
    const Scrollback& sb = screen_->primary().scrollback();
    if (line >= sb.size()) return out;
    const HistoryRow row = sb.row(line);
    out.wrapped = row.wrapped;
    out.cells.reserve(row.cells.size());
    for (std::size_t col = 0; col < row.cells.size(); ++col) {
        out.cells.push_back(to_cell(row.cells[col], row.marks, col));
    }
    return out;
}

std::size_t TerminalModel::scrollback_bytes() const {
    return screen_->primary().scrollback().bytes();
}

std::size_t TerminalModel::memory_bytes() const {
    return sizeof(Screen) + screen_->memory_bytes();
}

}  // namespace tolvar::pty
