#include "tolvar/pty/terminal_model.hpp"

#include <algorithm>

#include "line_text.hpp"
#include "screen.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::pty {
namespace {

// Overwrites `out` in place, so that its string keeps its storage.
void fill_cell(Cell& out, const CellData& c, const Marks* marks, const ScreenState& state) {
    out.contents.clear();
    if (c.cp() != 0) {
        core::append_utf8(out.contents, c.cp());
        for (int i = 0; marks != nullptr && i < marks->count; ++i) {
            core::append_utf8(out.contents, marks->cps[i]);
        }
    }
    out.fg = color_from_bits(c.fg);
    out.bg = color_from_bits(c.bg);
    const std::uint8_t mode = c.mode();
    out.bold = (mode & k_bold) != 0;
    out.italic = (mode & k_italic) != 0;
    out.underline = (mode & k_underline) != 0
                        ? static_cast<Underline>(1 + std::min<int>(c.underline_style(), 4))
                        : Underline::None;
    out.underline_color = state.underline_color(c.underline_color());
    out.inverse = (mode & k_inverse) != 0;
    out.faint = (mode & k_faint) != 0;
    out.strikethrough = (mode & k_strikethrough) != 0;
    out.conceal = (mode & k_conceal) != 0;
    out.wide = c.wide();
    out.wide_continuation = c.cont();
    out.hyperlink = 0;
}

// Gives the linked cells of a line their link ids.
void fill_links(std::vector<Cell>& cells, const std::vector<LinkedCell>& links,
                const CellData* live) {
    for (const LinkedCell& l : links) {
        if (l.col < cells.size() && live[l.col].linked()) cells[l.col].hyperlink = l.id;
    }
}
void fill_links(std::vector<Cell>& cells, const std::vector<LinkRun>* runs) {
    if (runs == nullptr) return;
    for (const LinkRun& r : *runs) {
        for (std::size_t c = r.col; c < std::size_t{r.col} + r.count && c < cells.size(); ++c)
            cells[c].hyperlink = r.id;
    }
}

// Appends the text of columns [start, end) of a row. A row that adds nothing
// while continuing a wrapped row adds a line feed.
void write_row(std::string& out, RowText& scratch, const Grid& g, std::uint16_t r,
               std::size_t start, std::size_t end, bool wrapping) {
    read_row_text(g, r, scratch);
    if (!append_row_text(scratch, start, end, out) && wrapping) out.push_back('\n');
}

}  // namespace

TerminalModel::TerminalModel(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback)
    : screen_(std::make_unique<Screen>(std::max<std::uint16_t>(rows, 1),
                                       std::max<std::uint16_t>(cols, 1), scrollback)) {
    note_state();
}
TerminalModel::~TerminalModel() = default;
TerminalModel::TerminalModel(TerminalModel&&) noexcept = default;
TerminalModel& TerminalModel::operator=(TerminalModel&&) noexcept = default;

void TerminalModel::feed(std::string_view bytes) {
    screen_->advance();
    screen_->feed(bytes);
    note_state();
}

void TerminalModel::note_state() {
    DamageLog& log = screen_->damage();
    const Grid& g = screen_->grid();
    const ScreenState& s = screen_->state();
    const CursorStyle style = s.cursor_style();
    const Pos cursor = screen_->cursor();
    log.note(DamageLog::k_cursor, cursor.row | std::uint64_t{cursor.col} << 16 |
                                      std::uint64_t{s.mode(ScreenState::k_hide_cursor)} << 32 |
                                      std::uint64_t{static_cast<std::uint8_t>(style.shape)} << 33 |
                                      std::uint64_t{style.blinking} << 36);
    log.note(DamageLog::k_modes,
             s.mode(ScreenState::k_application_keypad) |
                 s.mode(ScreenState::k_application_cursor) << 1 |
                 s.mode(ScreenState::k_bracketed_paste) << 2 |
                 s.mode(ScreenState::k_focus_events) << 3 | s.insert_mode() << 4 |
                 s.auto_wrap() << 5 | static_cast<unsigned>(s.mouse_mode()) << 6 |
                 static_cast<unsigned>(s.mouse_encoding()) << 9 | s.reverse_video() << 11 |
                 s.new_line_mode() << 12);
    log.note(DamageLog::k_title, s.titles_set());
    log.note(DamageLog::k_screen, std::uint64_t{screen_->alternate_screen()} |
                                      std::uint64_t{g.rows()} << 1 | std::uint64_t{g.cols()} << 17);
}

Damage TerminalModel::damage_since(std::uint64_t seq) const {
    const DamageLog& log = screen_->damage();
    Damage d;
    d.now = log.seq();
    d.history_begin = history_begin();
    d.history_end = history_end();
    if (log.everything_since(seq)) {
        d.everything = d.cursor = d.modes = d.title = true;
        return d;
    }
    log.scrolls_since(seq, d.scrolls);
    const Grid& g = screen_->grid();
    d.rows.reserve(g.rows());
    for (std::uint16_t r = 0; r < g.rows(); ++r) {
        if (g.stamp(r) > seq) d.rows.push_back(r);
    }
    d.cursor = log.changed_since(DamageLog::k_cursor, seq);
    d.modes = log.changed_since(DamageLog::k_modes, seq);
    d.title = log.changed_since(DamageLog::k_title, seq);
    return d;
}

void TerminalModel::set_answering(bool on) {
    screen_->set_answering(on);
}

std::string TerminalModel::take_answers() {
    return screen_->take_answers();
}

void TerminalModel::set_departures(std::uint32_t mask) {
    screen_->set_departures(mask);
}

void TerminalModel::set_size(std::uint16_t rows, std::uint16_t cols) {
    // A grid always has a row and a column.
    screen_->advance();
    screen_->set_size(std::max<std::uint16_t>(rows, 1), std::max<std::uint16_t>(cols, 1));
    note_state();
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
    Cell out;
    fill_cell(out, g.row(row)[col], g.cell_marks(row, col), screen_->state());
    out.hyperlink = g.cell_link(row, col);
    return out;
}

bool TerminalModel::row_wrapped(std::uint16_t row) const {
    const Grid& g = screen_->grid();
    return row < g.rows() && g.wrapped(row);
}

LineSize TerminalModel::row_size(std::uint16_t row) const {
    return screen_->grid().line_size(row);
}

Position TerminalModel::cursor() const {
    const Pos p = screen_->cursor();
    return {p.row, p.col};
}

bool TerminalModel::hide_cursor() const {
    return screen_->state().mode(ScreenState::k_hide_cursor);
}
CursorStyle TerminalModel::cursor_style() const {
    return screen_->state().cursor_style();
}
std::string TerminalModel::title() const {
    return screen_->state().title();
}
std::string TerminalModel::icon_name() const {
    return screen_->state().icon_name();
}
bool TerminalModel::focus_reporting() const {
    return screen_->state().mode(ScreenState::k_focus_events);
}
bool TerminalModel::bracketed_paste() const {
    return screen_->state().mode(ScreenState::k_bracketed_paste);
}
bool TerminalModel::application_cursor() const {
    return screen_->state().mode(ScreenState::k_application_cursor);
}
bool TerminalModel::application_keypad() const {
    return screen_->state().mode(ScreenState::k_application_keypad);
}
MouseMode TerminalModel::mouse_mode() const {
    return screen_->state().mouse_mode();
}
MouseEncoding TerminalModel::mouse_encoding() const {
    return screen_->state().mouse_encoding();
}
bool TerminalModel::insert_mode() const {
    return screen_->state().insert_mode();
}
bool TerminalModel::auto_wrap() const {
    return screen_->state().auto_wrap();
}
bool TerminalModel::reverse_video() const {
    return screen_->reverse_video();
}

std::string TerminalModel::hyperlink_target(std::uint32_t id) const {
    return std::string(screen_->state().hyperlink_target(id));
}

std::string TerminalModel::visible_text() const {
    const Grid& g = screen_->grid();
    std::string out;
    RowText scratch;
    bool wrapping = false;
    for (std::uint16_t r = 0; r < g.rows(); ++r) {
        write_row(out, scratch, g, r, 0, g.cols(), wrapping);
        wrapping = g.wrapped(r);
        if (!wrapping) out.push_back('\n');
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string TerminalModel::text_between(Position start, Position end) const {
    const Grid& g = screen_->grid();
    std::string out;
    RowText scratch;
    if (start.row == end.row) {
        if (start.col < end.col && start.row < g.rows()) {
            write_row(out, scratch, g, start.row, start.col, end.col, false);
        }
        return out;
    }
    if (start.row > end.row) return out;
    const unsigned last = std::min<unsigned>(end.row, g.rows() - 1u);
    for (unsigned i = start.row; i <= last; ++i) {
        const auto r = static_cast<std::uint16_t>(i);
        if (r == end.row) {
            write_row(out, scratch, g, r, 0, end.col, false);
            break;
        }
        write_row(out, scratch, g, r, r == start.row ? start.col : 0, g.cols(), false);
        if (!g.wrapped(r)) out.push_back('\n');
    }
    return out;
}

std::size_t TerminalModel::scrollback_rows() const {
    return screen_->primary().scrollback().size();
}

HistoryLine TerminalModel::scrollback_line(std::size_t line) const {
    if (line >= scrollback_rows()) return {};
    LineCells cells;
    this->line(history_begin() + line, cells);
    return {std::move(cells.cells), cells.wrapped, cells.size};
}

LineNumber TerminalModel::history_begin() const {
    return screen_->primary().scrollback().first_number();
}

LineNumber TerminalModel::history_end() const {
    return screen_->primary().scrollback().end_number();
}

void TerminalModel::line(LineNumber n, LineCells& out) const {
    const Scrollback& history = screen_->primary().scrollback();
    const Grid& g = screen_->grid();
    const LineNumber begin = history.first_number();
    const LineNumber end = history.end_number();
    if (n >= begin && n < end) {
        LineReader reader = history.reader(static_cast<std::size_t>(n - begin));
        out.wrapped = reader.wrapped();
        out.size = reader.size();
        out.cells.resize(reader.cols());
        std::size_t col = 0;
        CellData c;
        Marks marks;
        while (reader.next(c, marks)) fill_cell(out.cells[col++], c, &marks, screen_->state());
        for (; col < out.cells.size(); ++col) {
            fill_cell(out.cells[col], CellData{}, nullptr, screen_->state());
        }
        fill_links(out.cells, history.links(static_cast<std::size_t>(n - begin)));
    } else if (n >= end && n - end < g.rows()) {
        const auto r = static_cast<std::uint16_t>(n - end);
        out.wrapped = g.wrapped(r);
        out.size = g.line_size(r);
        out.cells.resize(g.cols());
        const CellData* cells = g.row(r);
        for (std::uint16_t col = 0; col < g.cols(); ++col) {
            fill_cell(out.cells[col], cells[col], g.cell_marks(r, col), screen_->state());
        }
        fill_links(out.cells, g.row_links(r), cells);
    } else {
        out.cells.clear();
        out.wrapped = false;
        out.size = LineSize::Single;
    }
}

LineSize TerminalModel::line_size(LineNumber n) const {
    const Scrollback& history = screen_->primary().scrollback();
    const LineNumber begin = history.first_number();
    const LineNumber end = history.end_number();
    if (n >= begin && n < end) return history.reader(static_cast<std::size_t>(n - begin)).size();
    if (n >= end && n - end < rows()) return row_size(static_cast<std::uint16_t>(n - end));
    return LineSize::Single;
}

std::string TerminalModel::text_range(LinePosition start, LinePosition end) const {
    return pty::text_range(*screen_, start, end);
}

std::vector<Match> TerminalModel::find(std::string_view query, bool match_case) const {
    return pty::find(*screen_, query, match_case, SIZE_MAX).matches;
}

Found TerminalModel::find(std::string_view query, bool match_case, std::size_t limit) const {
    return pty::find(*screen_, query, match_case, limit);
}

void TerminalModel::clear_scrollback() {
    screen_->clear_scrollback();
}

std::size_t TerminalModel::scrollback_bytes() const {
    return screen_->primary().scrollback().bytes();
}

std::size_t TerminalModel::memory_bytes() const {
    return sizeof(Screen) + screen_->memory_bytes();
}

}  // namespace tolvar::pty
