#include "view/pane_painter.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "input/completion.hpp"
#include "tolvar/core/utf.hpp"
#include "view/box_drawing.hpp"

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

SelectionSpan::SelectionSpan(pty::LinePosition a, pty::LinePosition b, bool is_block)
    : start(std::min(a, b)), end(std::max(a, b)), block(is_block) {}

bool SelectionSpan::contains(pty::LineNumber line, std::uint16_t col) const {
    if (block) return start.line <= line && line <= end.line && left() <= col && col <= right();
    const pty::LinePosition p{line, col};
    return start <= p && p <= end;
}

Palette screen_palette(const Palette& palette, bool reverse_video) {
    if (!reverse_video) return palette;
    Theme theme = palette.theme();
    std::swap(theme.foreground, theme.background);
    return Palette(theme, palette.bold_is_bright());
}

VisibleGrid visible_grid(const pty::TerminalModel& model, const Rect& text,
                         const CellMetrics& cell) {
    return {static_cast<std::uint16_t>(
                std::min<int>(cells_in(text.height(), cell.height), model.rows())),
            static_cast<std::uint16_t>(
                std::min<int>(cells_in(text.width(), cell.width), model.cols()))};
}

RunBuilder::RunBuilder(const Palette& palette, int cell_width, std::uint16_t visible_cols,
                       GlyphFonts* fonts)
    : palette_(palette), fonts_(fonts), cell_width_(cell_width) {
    text_.reserve(visible_cols);
    advances_.reserve(visible_cols);
}

namespace {

Rgb halfway(Rgb a, Rgb b) {
    return {static_cast<std::uint8_t>((a.r + b.r) / 2), static_cast<std::uint8_t>((a.g + b.g) / 2),
            static_cast<std::uint8_t>((a.b + b.b) / 2)};
}

// Box drawing and block elements are the program's own; a cell with
// combining marks keeps its font.
bool drawn_by_program(const pty::Cell& cell) {
    std::size_t pos = 0;
    return drawn_as_box(core::next_code_point(cell.contents, pos)) && pos == cell.contents.size();
}

}  // namespace

void RunBuilder::row(const pty::LineCells& line, pty::LineNumber number, std::uint16_t visible_cols,
                     const std::optional<SelectionSpan>& selection,
                     std::span<const MatchSpan> matches, RunSink& sink,
                     std::optional<std::uint16_t> block_cursor) {
    static const pty::Cell k_blank;
    const Theme& theme = palette_.theme();
    auto match = matches.begin();
    for (std::uint16_t c = 0; c < visible_cols; ++c) {
        // A line stored before the pane grew is blank past its end.
        const pty::Cell& cell = c < line.cells.size() ? line.cells[c] : k_blank;
        if (cell.wide_continuation) continue;
        Rgb fg = palette_.foreground(cell.fg, cell.bold);
        Rgb bg = palette_.background(cell.bg);
        if (cell.inverse) std::swap(fg, bg);
        if (cell.faint) fg = halfway(fg, bg);
        RunStyle style;
        style.face = static_cast<std::uint8_t>((cell.bold ? k_face_bold : 0) |
                                               (cell.italic ? k_face_italic : 0));
        style.underline = cell.underline;
        style.strikethrough = cell.strikethrough;
        if (cell.underline != pty::Underline::None) {
            style.underline_color = cell.underline_color == pty::Color()
                                        ? fg
                                        : palette_.foreground(cell.underline_color);
        }
        while (match != matches.end() && match->end_col <= c) ++match;
        if (match != matches.end() && match->first_col <= c) {
            fg = k_match_foreground;
            bg = match->current ? k_current_match_background : k_match_background;
        }
        if (selection && selection->contains(number, c)) {
            fg = theme.selection_foreground;
            bg = theme.selection_background;
        }
        if (block_cursor == c) {
            fg = theme.background;
            bg = theme.cursor;
        }
        // What shows no glyph takes the face and font of the run it is in,
        // so spaces and boxes do not split runs.
        const bool glyph = !cell.contents.empty() && !cell.conceal && cell.contents != " ";
        const bool box = glyph && drawn_by_program(cell);
        if (glyph && !box) {
            const auto lead = static_cast<unsigned char>(cell.contents[0]);
            if (lead >= 0x80 && fonts_) {
                std::size_t pos = 0;
                style.font = fonts_->font_for(core::next_code_point(cell.contents, pos));
            }
        } else if (cells_ > 0) {
            style.face = style_.face;
            style.font = style_.font;
        }
        if (cells_ > 0 && (fg != fg_ || bg != bg_ || !(style == style_))) flush(sink);
        if (cells_ == 0) {
            first_col_ = c;
            fg_ = fg;
            bg_ = bg;
            style_ = style;
        }
        const int width = cell.wide ? 2 : 1;
        if (!glyph || box) {
            if (box) {
                std::size_t pos = 0;
                boxes_.push_back({c, core::next_code_point(cell.contents, pos)});
                blank_ = false;
            }
            for (int i = 0; i < width; ++i) {
                text_.push_back(u' ');
                advances_.push_back(cell_width_);
            }
        } else {
            // Only a cell's last unit advances, so combining marks and
            // surrogate pairs stay on the cell grid whatever the font does.
            for (std::size_t pos = 0; pos < cell.contents.size();) {
                const char32_t cp = core::next_code_point(cell.contents, pos);
                const std::size_t before = text_.size();
                append_utf16(text_, cp);
                advances_.resize(advances_.size() + (text_.size() - before), 0);
            }
            advances_.back() = cell_width_ * width;
            blank_ = false;
        }
        cells_ += width;
    }
    flush(sink);
}

void RunBuilder::flush(RunSink& sink) {
    const bool plain = style_.underline == pty::Underline::None && !style_.strikethrough;
    if (cells_ > 0 && !(blank_ && plain && bg_ == palette_.theme().background)) {
        sink.draw({first_col_, cells_, fg_, bg_, style_, text_, advances_, boxes_});
    }
    text_.clear();
    advances_.clear();
    boxes_.clear();
    cells_ = 0;
    blank_ = true;
}

void decorate(const RunStyle& style, const Rect& box, int cell_width, const LineMetrics& lines,
              Decoration& out) {
    out.underline.clear();
    out.wave.clear();
    out.strike.reset();
    const int t = std::max(lines.underline_thickness, 1);
    // Lines stay inside the cell, however the font places them.
    const auto inside = [&](int top, int height) {
        return std::clamp(top, box.top, std::max(box.bottom - height, box.top));
    };
    const int top = inside(box.top + lines.underline_top, t);
    const int cw = std::max(cell_width, 1);
    switch (style.underline) {
        case pty::Underline::None:
            break;
        case pty::Underline::Single:
            out.underline.push_back({box.left, top, box.right, top + t});
            break;
        case pty::Underline::Double: {
            const int first = inside(top, 3 * t);
            out.underline.push_back({box.left, first, box.right, first + t});
            out.underline.push_back({box.left, first + 2 * t, box.right, first + 3 * t});
            break;
        }
        case pty::Underline::Curly: {
            // One wave a cell, so neighbouring runs join up.
            const int amplitude = t;
            const int middle = inside(top - amplitude, 2 * amplitude + t) + amplitude;
            for (int x = box.left; x < box.right; x += cw) {
                const int quarter = std::max(cw / 4, 1);
                out.wave.push_back({x, middle});
                out.wave.push_back({x + quarter, middle - amplitude});
                out.wave.push_back({x + 3 * quarter, middle + amplitude});
            }
            out.wave.push_back({box.right, middle});
            out.wave_width = t;
            break;
        }
        case pty::Underline::Dotted:
            for (int x = box.left; x < box.right; x += 2 * t) {
                out.underline.push_back({x, top, std::min(x + t, box.right), top + t});
            }
            break;
        case pty::Underline::Dashed:
            for (int x = box.left; x < box.right; x += cw) {
                out.underline.push_back({x + cw / 6, top, x + cw - cw / 6, top + t});
            }
            break;
    }
    if (style.strikethrough) {
        const int st = std::max(lines.strike_thickness, 1);
        const int y = inside(box.top + lines.strike_top, st);
        out.strike = Rect{box.left, y, box.right, y + st};
    }
}

CursorLook cursor_look(pty::CursorStyle asked, const CursorPrefs& prefs) {
    CursorLook look;
    if (asked.shape != pty::CursorShape::Default) {
        look.shape = asked.shape;
        look.blinks = asked.blinking && prefs.blink.value_or(true);
    } else {
        look.shape =
            prefs.shape == pty::CursorShape::Default ? pty::CursorShape::Underline : prefs.shape;
        look.blinks = prefs.blink.value_or(false);
    }
    return look;
}

DoubledRow doubled_row(const Rect& text, const CellMetrics& cell, std::uint16_t row,
                       pty::LineSize size, std::uint16_t cells) {
    const int cw = std::max(cell.width, 1);
    const int ch = std::max(cell.height, 1);
    DoubledRow out;
    out.width = cw * cells;
    out.source_height = ch;
    if (size == pty::LineSize::DoubleHeightTop) out.source_height = (ch + 1) / 2;
    if (size == pty::LineSize::DoubleHeightBottom) {
        out.source_top = (ch + 1) / 2;
        out.source_height = ch - out.source_top;
    }
    const int top = text.top + ch * row;
    out.target = {text.left, top, text.left + 2 * out.width, top + ch};
    return out;
}

std::optional<Rect> cursor_cell(const Rect& text, const CellMetrics& cell, pty::Position cursor,
                                pty::LineSize size) {
    const int cw = std::max(cell.width, 1) * (drawn_doubled(size) ? 2 : 1);
    const int ch = std::max(cell.height, 1);
    if (cursor.row >= cells_in(text.height(), ch) || cursor.col >= cells_in(text.width(), cw)) {
        return std::nullopt;
    }
    const int x = text.left + cw * cursor.col;
    const int y = text.top + ch * cursor.row;
    return Rect{x, y, x + cw, y + ch};
}

std::vector<Rect> cursor_rects(pty::CursorShape shape, bool hollow, const Rect& cell,
                               int thickness) {
    const int t = std::clamp(thickness, 1, std::max(std::min(cell.width(), cell.height()) / 2, 1));
    if (hollow) {
        const int h = std::max(t / 2, 1);
        return {{cell.left, cell.top, cell.right, cell.top + h},
                {cell.left, cell.bottom - h, cell.right, cell.bottom},
                {cell.left, cell.top + h, cell.left + h, cell.bottom - h},
                {cell.right - h, cell.top + h, cell.right, cell.bottom - h}};
    }
    switch (shape) {
        case pty::CursorShape::Bar:
            return {{cell.left, cell.top, cell.left + t, cell.bottom}};
        case pty::CursorShape::Block:
            return {};
        case pty::CursorShape::Default:
        case pty::CursorShape::Underline:
            break;
    }
    return {{cell.left, cell.bottom - t, cell.right, cell.bottom}};
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
    const pty::LineSize size = model.row_size(cursor.row);
    // Past a doubled line's half (moved there from a longer row) it waits
    // as at the edge.
    cursor.col = std::min(cursor.col, shown_cells(size, model.cols()));
    cursor.row = static_cast<std::uint16_t>(cursor.row + offset);
    // Only after text the session echoed: at a prompt that reads without
    // echo, a suggestion would draw a command over what is being typed.
    if (!model.alternate_screen() && !drawn_doubled(size) && tab.typed().suggestion() &&
        echoed_before_cursor(model, tab.typed().text())) {
        overlay.ghost = ghost_cells(tab.typed().text(), tab.typed().suggestion(), text, cell,
                                    cursor, visible_grid(model, text, cell).cols);
    }
    if (!model.hide_cursor()) {
        overlay.cursor = cursor;
        overlay.cursor_cell = cursor_cell(text, cell, cursor, size);
        if (!overlay.cursor_cell) overlay.cursor.reset();
    }
    return overlay;
}

}  // namespace tolvar::app
