#include "screen.hpp"

#include <algorithm>

#include "char_width.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::pty {

Screen::Screen(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback)
    : primary_(rows, cols, scrollback, true), alternate_(rows, cols, 0, false) {}

void Screen::set_size(std::uint16_t rows, std::uint16_t cols) {
    keep_cursor_row(primary_, rows);
    keep_cursor_row(alternate_, rows);
    primary_.set_size(rows, cols);
    alternate_.set_size(rows, cols);
    if (!tab_stops_.empty()) {
        // New columns get the usual stops; the set ones stay.
        const std::size_t old = tab_stops_.size();
        tab_stops_.resize(cols);
        for (std::size_t c = old; c < cols; ++c) tab_stops_[c] = c % 8 == 0 && c > 0;
    }
}

void Screen::keep_cursor_row(Grid& g, std::uint16_t rows) {
    // A shrink past the cursor scrolls the rows above it off the top, into
    // the history, as xterm does; cut at the bottom instead, the cursor
    // would land on the row above and the next output overwrite it.
    if (!departs(departure::resize_keeps_cursor_row) || !g.allocated() || g.pos.row < rows) return;
    const Pos pos = g.pos;
    const std::uint16_t top = g.scroll_top;
    const std::uint16_t bottom = g.scroll_bottom;
    g.set_scroll_region(0, static_cast<std::uint16_t>(g.rows() - 1), true);
    g.scroll_up(static_cast<std::uint16_t>(pos.row - rows + 1));
    g.set_scroll_region(top, bottom, true);
    g.pos = {static_cast<std::uint16_t>(rows - 1), pos.col};
}

void Screen::set_departures(std::uint32_t mask) {
    departures_ = mask;
    update_text_path();
    pen_changed();
}

void Screen::pen_changed() {
    pen_ = CellData::blank(attrs_);
    const Attrs fill = departs(departure::background_erase) ? erase_pen() : Attrs{};
    primary_.fill = fill;
    alternate_.fill = fill;
}

void Screen::settle_pending_wrap(Grid& g) {
    // xterm keeps the cursor on the last column with the wrap pending; a
    // move starts from there and forgets the wrap.
    if (departs(departure::pending_wrap) && g.pos.col >= g.cols()) {
        g.pos.col = static_cast<std::uint16_t>(g.cols() - 1);
    }
}

namespace {

// DEC special graphics for 0x5f to 0x7e: the VT100's line-drawing set.
constexpr char16_t k_dec_graphics[32] = {
    u' ',      u'\u25c6', u'\u2592', u'\u2409', u'\u240c', u'\u240d', u'\u240a', u'\u00b0',
    u'\u00b1', u'\u2424', u'\u240b', u'\u2518', u'\u2510', u'\u250c', u'\u2514', u'\u253c',
    u'\u23ba', u'\u23bb', u'\u2500', u'\u23bc', u'\u23bd', u'\u251c', u'\u2524', u'\u2534',
    u'\u252c', u'\u2502', u'\u2264', u'\u2265', u'\u03c0', u'\u2260', u'\u00a3', u'\u00b7',
};

}  // namespace

// ---- text ---------------------------------------------------------------------

void Screen::print_run(const char* p, std::size_t n) {
    if (text_special_) {
        for (std::size_t i = 0; i < n; ++i) text(static_cast<unsigned char>(p[i]));
        return;
    }
    Grid& g = active();
    g.clamp_cursor_row();  // reference crashes below the grid
    const std::uint16_t cols = g.cols();
    const std::uint32_t pen = pen_.word;
    const CellData blank = pen_;
    while (n > 0) {
        if (g.pos.col >= cols) {
            // Wrapping, and anything unusual, takes the careful path.
            text(static_cast<unsigned char>(*p++));
            --n;
            continue;
        }
        const std::uint32_t slot = g.slot_of(g.pos.row);
        CellData* row = g.slot_cells(slot);
        const std::size_t span = std::min<std::size_t>(n, cols - g.pos.col);
        std::size_t i = 0;
        if (!g.slot_special(slot)) {
            store_ascii(row + g.pos.col, p, span, pen, blank.fg, blank.bg);
            i = span;
        } else {
            for (CellData* cell = row + g.pos.col; i < span; ++i, ++cell) {
                if (cell->word & CellData::k_special) break;
                *cell = CellData{pen | static_cast<unsigned char>(p[i]), blank.fg, blank.bg};
            }
        }
        if (i > 0) {
            if (link_ != 0) {
                g.link_cells(g.pos.row, g.pos.col, static_cast<std::uint16_t>(g.pos.col + i),
                             link_);
            }
            g.pos.col = static_cast<std::uint16_t>(g.pos.col + i);
            g.touch_slot(slot, g.pos.col);
            p += i;
            n -= i;
        }
        if (i < span) {
            text(static_cast<unsigned char>(*p++));
            --n;
        }
    }
    // Set after the stores, since a wrap on the way sets it through place();
    // every byte has been taken, so the last is the one before p.
    last_char_ = static_cast<unsigned char>(p[-1]);
}

void Screen::print(char32_t c) { text(c); }

void Screen::TextRun::begin() {
    usable_ = !s_.text_special_ && s_.link_ == 0;
    if (!usable_) return;
    Grid& g = s_.active();
    g.clamp_cursor_row();  // reference crashes below the grid
    grid_ = &g;
    cols_ = g.cols();
    slot_ = g.slot_of(g.pos.row);
    row_ = g.slot_cells(slot_);
    pen_ = s_.pen_;
    col_ = g.pos.col;
    wide_ = false;
    // A cursor restored past the edge (the restore-on-grid departure off,
    // as in the reference) is the per-character path's to handle.
    if (col_ > cols_) usable_ = false;
}

void Screen::TextRun::end() {
    if (!usable_) return;
    if (wide_) grid_->mark_slot_special(slot_);
    grid_->pos.col = col_;
    grid_->touch_slot(slot_, col_);
}

void Screen::special_text(char32_t c) {
    if (c >= 0x5f && c < 0x7f && charsets_.in_graphics()) c = k_dec_graphics[c - 0x5f];
    place(c, char_width(c), insert_mode_ && departs(departure::insert_mode));
}

void Screen::place(char32_t c, int w, bool insert) {
    if (w < 0) return;  // controls are never drawn
    if (w == 0) return place_mark(c);
    if (!insert && place_plain(c, w)) return;
    active().clamp_cursor_row();  // reference crashes below the grid
    place_repairing(c, w, insert);
}

void Screen::link_placed(int w) {
    Grid& g = active();
    g.link_cells(g.pos.row, g.pos.col, static_cast<std::uint16_t>(g.pos.col + w), link_);
}

void Screen::place_mark(char32_t c) {
    // Combining characters join the cell before the cursor, or the last
    // cell of the previous row when this row continues it; the cursor
    // stays, so nothing wraps, but for a cursor restored past the edge (the
    // restore-on-grid departure off, as in the reference): that one wraps
    // first, as before a character.
    Grid& g = active();
    g.clamp_cursor_row();  // reference crashes below the grid
    if (g.pos.col > g.cols()) g.col_wrap(0, continues_at_edge(g));
    std::uint16_t row = g.pos.row;
    std::uint16_t col = 0;
    if (g.pos.col > 0) {
        col = static_cast<std::uint16_t>(g.pos.col - 1);
    } else if (row > 0 && g.wrapped(static_cast<std::uint16_t>(row - 1))) {
        --row;
        col = static_cast<std::uint16_t>(g.cols() - 1);
    } else {
        return;
    }
    const std::uint32_t slot = g.slot_of(row);
    if (g.slot_cells(slot)[col].cont()) {
        if (col == 0) return;  // reference crashes
        --col;
    }
    g.append_mark(slot, col, c);
}

// Only when the last column already holds something: a character that does
// not fit the columns left just moves to the next line. Past the last column
// the wrap was pending, and the row goes on whatever an erase did to its last
// cell since, as in xterm.
bool Screen::continues_at_edge(Grid& g) const {
    const CellData& last = g.row(g.pos.row)[g.cols() - 1];
    return last.has_contents() || last.cont() ||
           (g.pos.col >= g.cols() && departs(departure::pending_wrap));
}

void Screen::place_repairing(char32_t c, int w, bool insert) {
    Grid& g = active();
    const std::uint16_t cols = g.cols();
    // A wide character on a one-column grid is placed like a narrow one
    // (reference crashes).
    const auto width = static_cast<std::uint16_t>(w > cols ? 1 : w);

    g.col_wrap(width, g.pos.col > static_cast<std::uint16_t>(cols - width) && continues_at_edge(g));
    const Pos pos = g.pos;
    if (insert && width > 0) {
        // The row moves right to make room; what passes the edge is lost,
        // and the row still continues where it did.
        const bool continues = g.wrapped(pos.row);
        g.insert_cells(width);
        g.set_wrapped(pos.row, continues);
    }

    last_char_ = c;
    CellData* row = g.row(pos.row);
    if (row[pos.col].cont() && pos.col > 0) {
        g.clear_cell(pos.row, static_cast<std::uint16_t>(pos.col - 1), attrs_);
    }
    if (row[pos.col].wide() && pos.col + 1 < cols) {
        g.set_cell(pos.row, static_cast<std::uint16_t>(pos.col + 1), U' ', false, attrs_);
    }
    g.set_cell(pos.row, pos.col, c, w > 1, attrs_);
    if (link_ != 0) g.link_cells(pos.row, pos.col, static_cast<std::uint16_t>(pos.col + 1), link_);
    g.col_inc(1);
    if (width > 1) {
        const Pos next = g.pos;
        if (row[next.col].wide() && next.col + 1 < cols) {
            const auto after = static_cast<std::uint16_t>(next.col + 1);
            g.clear_cell(next.row, after, attrs_);
            if (after == cols - 1) g.set_wrapped(next.row, false);
        }
        g.clear_cell(next.row, next.col, Attrs{});
        row[next.col].word |= CellData::k_cont;
        g.mark_special(next.row);
        if (link_ != 0) {
            g.link_cells(next.row, next.col, static_cast<std::uint16_t>(next.col + 1), link_);
        }
        g.touch(next.row, static_cast<std::uint16_t>(next.col + 1));
        g.col_inc(1);
    }
}

// ---- controls -------------------------------------------------------------------

void Screen::execute(std::uint8_t byte) {
    Grid& g = active();
    last_char_ = 0;
    switch (byte) {
        case 8:
            settle_pending_wrap(g);
            g.col_dec(1);
            break;
        case 9:
            tab_forward(g);
            break;
        case 10:
        case 11:
        case 12:
            settle_pending_wrap(g);
            g.row_inc_scroll(1);
            if (new_line_mode_ && departs(departure::new_line_mode)) g.col_set(0);
            break;
        case 13:
            g.col_set(0);
            break;
        case 14:  // SO
            if (departs(departure::charsets)) charsets_.shift = 1;
            update_text_path();
            break;
        case 15:  // SI
            charsets_.shift = 0;
            update_text_path();
            break;
        default:
            // The bell makes no sound and no flash; the other controls do
            // nothing.
            break;
    }
}

void Screen::designate(std::string_view intermediates, std::uint8_t final) {
    if (!departs(departure::charsets)) return;
    // G0 and G1; any set but DEC special graphics is taken as ASCII.
    charsets_.graphics[intermediates == ")" ? 1 : 0] = final == '0';
    update_text_path();
}

void Screen::tab_forward(Grid& g) {
    if (tab_stops_.empty()) return g.col_tab();
    const std::uint16_t cols = g.cols();
    std::uint16_t col = static_cast<std::uint16_t>(g.pos.col + 1);
    while (col < cols && !tab_stops_[col]) ++col;
    g.col_set(col);  // clamped to the last column when no stop is left
}

void Screen::tab_back(Grid& g) {
    settle_pending_wrap(g);
    // Past the edge only with the restore-on-grid departure off.
    std::uint16_t col = std::min(g.pos.col, g.cols());
    if (col == 0) return;
    --col;
    while (col > 0 && !(tab_stops_.empty() ? col % 8 == 0 : tab_stops_[col])) --col;
    g.col_set(col);
}

// The stop under the cursor, the table made with the usual stops first.
std::vector<bool>::reference Screen::tab_stop_at_cursor(const Grid& g) {
    if (tab_stops_.empty()) {
        tab_stops_.assign(g.cols(), false);
        for (std::size_t c = 8; c < tab_stops_.size(); c += 8) tab_stops_[c] = true;
    }
    return tab_stops_[std::min<std::size_t>(g.pos.col, g.cols() - 1u)];
}

void Screen::set_tab_stop(Grid& g) {
    if (departs(departure::tab_stops)) tab_stop_at_cursor(g) = true;
}

void Screen::clear_tab_stops(std::uint16_t ps, Grid& g) {
    if (!departs(departure::tab_stops)) return;
    if (ps == 3) {
        tab_stops_.assign(g.cols(), false);
    } else if (ps == 0) {
        tab_stop_at_cursor(g) = false;
    }
}

void Screen::repeat(std::uint16_t count) {
    if (last_char_ == 0 || !departs(departure::repeat)) return;
    // A screenful is the most a repeat can show.
    const Grid& g = active();
    const unsigned n = std::min<unsigned>(count, unsigned{g.rows()} * g.cols());
    const char32_t c = last_char_;
    for (unsigned i = 0; i < n; ++i) text(c);
}

void Screen::align() {
    if (!departs(departure::alignment)) return;
    Grid& g = active();
    g.origin_mode = false;
    g.align();
}

void Screen::column_mode() {
    // The width stays the window's; what DECCOLM does besides is done.
    if (!departs(departure::alignment)) return;
    Grid& g = active();
    g.erase_all(erase_pen());
    g.set_scroll_region(0, static_cast<std::uint16_t>(g.rows() - 1), true);
    g.pos = {};
}

void Screen::answer(const CsiParams& params, std::string_view intermediates, char action) {
    if (!answering_) return;
    const Grid& g = active();
    std::string reply;
    if (action == 'c' && params.first() == 0) {
        // A VT220 with ANSI colour; a VT100-class secondary answer, as the
        // terminals that programs know best give.
        reply = intermediates.empty() ? "\x1b[?62;22c" : "\x1b[>1;10;0c";
    } else if (action == 'n' && intermediates.empty() && params.first() == 5) {
        reply = "\x1b[0n";
    } else if (action == 'n' && params.first() == 6) {
        const unsigned top = g.origin_mode ? g.scroll_top : 0;
        const unsigned row = g.pos.row + 1u - std::min<unsigned>(top, g.pos.row);
        const unsigned col = std::min<unsigned>(g.pos.col, g.cols() - 1u) + 1u;
        reply = "\x1b[" + std::string(intermediates) + std::to_string(row) + ";" +
                std::to_string(col) + (intermediates.empty() ? "R" : ";1R");
    }
    // An application that asks and never reads is not given unbounded memory.
    if (answers_.size() + reply.size() <= 4096) answers_ += reply;
}

void Screen::esc_dispatch(std::string_view intermediates, std::uint8_t byte) {
    last_char_ = 0;
    if (intermediates == "(" || intermediates == ")") return designate(intermediates, byte);
    if (intermediates == "#") {
        if (byte == '8') align();
        return;
    }
    if (!intermediates.empty()) return;
    Grid& g = active();
    switch (byte) {
        case 'D':
            if (!departs(departure::index_next_line)) break;
            settle_pending_wrap(g);
            g.row_inc_scroll(1);
            break;
        case 'E':
            if (!departs(departure::index_next_line)) break;
            g.col_set(0);
            g.row_inc_scroll(1);
            break;
        case 'H':
            set_tab_stop(g);
            break;
        case '7':
            save_cursor();
            break;
        case '8':
            restore_cursor();
            break;
        case '=':
            set_mode(k_application_keypad);
            break;
        case '>':
            clear_mode(k_application_keypad);
            break;
        case 'M':
            settle_pending_wrap(g);
            g.row_dec_scroll(1);
            break;
        case 'c':
            reset();
            break;
        default:
            break;
    }
}

namespace {

// Missing and zero parameters take the default.
std::uint16_t param_or(std::uint16_t v, std::uint16_t fallback) {
    return v == 0 ? fallback : v;
}

}  // namespace

void Screen::csi_dispatch(const CsiParams& params, std::string_view intermediates, char action) {
    if (action == 'm' && intermediates.empty()) {
        // Colours and attributes, the commonest sequence by far.
        sgr(params);
        pen_changed();
        return;
    }
    Grid& g = active();
    if (intermediates.empty()) {
        const std::uint16_t n = param_or(params.first(), 1);
        switch (action) {
            case '@':
                g.insert_cells(n);
                break;
            case 'A':
                settle_pending_wrap(g);
                g.row_dec_clamp(n);
                break;
            case 'B':
                settle_pending_wrap(g);
                g.row_inc_clamp(n);
                break;
            case 'C':
                g.col_inc_clamp(n);
                break;
            case 'D':
                settle_pending_wrap(g);
                g.col_dec(n);
                break;
            case 'G':
                g.col_set(static_cast<std::uint16_t>(n - 1));
                break;
            case 'E':
            case 'F':
                // CNL and CPL: CUD and CUU, then to the first column.
                if (!departs(departure::cursor_moves)) break;
                action == 'E' ? g.row_inc_clamp(n) : g.row_dec_clamp(n);
                g.col_set(0);
                break;
            case '`':  // HPA, as CHA
                if (departs(departure::cursor_moves)) g.col_set(static_cast<std::uint16_t>(n - 1));
                break;
            case 'a':  // HPR, as CUF
                if (departs(departure::cursor_moves)) g.col_inc_clamp(n);
                break;
            case 'e':  // VPR, as CUD
                if (!departs(departure::cursor_moves)) break;
                settle_pending_wrap(g);
                g.row_inc_clamp(n);
                break;
            case 'I':
            case 'Z':
                // CHT and CBT; a row has no more stops than columns.
                if (!departs(departure::cursor_moves)) break;
                for (unsigned i = std::min<unsigned>(n, g.cols()); i > 0; --i) {
                    action == 'I' ? tab_forward(g) : tab_back(g);
                }
                break;
            case 'f':
                if (!departs(departure::hvp)) break;
                [[fallthrough]];
            case 'H':
                g.set_pos({static_cast<std::uint16_t>(n - 1),
                           static_cast<std::uint16_t>(param_or(params.second(), 1) - 1)});
                break;
            case 'J':
                switch (params.first()) {
                    case 0:
                        g.erase_all_forward(erase_pen());
                        break;
                    case 1:
                        g.erase_all_backward(erase_pen());
                        break;
                    case 2:
                        g.erase_all(erase_pen());
                        break;
                    case 3:
                        // Erase saved lines, as xterm does; the reference
                        // ignores it.
                        clear_scrollback();
                        break;
                    default:
                        break;
                }
                break;
            case 'K':
                switch (params.first()) {
                    case 0:
                        g.erase_row_forward(erase_pen());
                        break;
                    case 1:
                        g.erase_row_backward(erase_pen());
                        break;
                    case 2:
                        g.erase_row(erase_pen());
                        break;
                    default:
                        break;
                }
                break;
            case 'L':
                g.insert_lines(n);
                break;
            case 'M':
                g.delete_lines(n);
                break;
            case 'P':
                g.delete_cells(n);
                break;
            case 'S':
                g.scroll_up(n);
                break;
            case 'T':
                g.scroll_down(n);
                break;
            case 'X':
                g.erase_cells(n, erase_pen());
                break;
            case 'b':
                repeat(n);
                break;
            case 'c':
            case 'n':
                answer(params, intermediates, action);
                break;
            case 'd':
                settle_pending_wrap(g);
                if (g.origin_mode && departs(departure::origin_addressing)) {
                    // Counted from the region's top and kept in it, as CUP is.
                    g.set_pos({static_cast<std::uint16_t>(n - 1), g.pos.col});
                } else {
                    g.row_set(static_cast<std::uint16_t>(n - 1));
                }
                break;
            case 'g':
                clear_tab_stops(params.first(), g);
                break;
            case 'h':
            case 'l': {
                CsiParams::Cursor c;
                CsiParams::Group group;
                while (params.next(c, group)) {
                    if (group.is(4)) insert_mode_ = action == 'h';
                    if (group.is(20)) new_line_mode_ = action == 'h';
                    update_text_path();
                }
                break;
            }
            case 'r': {
                const std::uint16_t top = param_or(params.first(), 1);
                const std::uint16_t bottom = param_or(params.second(), g.rows());
                g.set_scroll_region(static_cast<std::uint16_t>(top - 1),
                                    static_cast<std::uint16_t>(bottom - 1),
                                    departs(departure::region_home));
                break;
            }
            default:
                break;
        }
        return;
    }
    if (intermediates == " ") {
        // DECSCUSR; without the space, CSI Ps q is DECLL, which the model
        // does not act on.
        if (action == 'q') set_cursor_style(params.first());
        return;
    }
    if (intermediates == ">") {
        if (action == 'c') answer(params, intermediates, action);
        return;
    }
    if (intermediates[0] != '?') return;
    switch (action) {
        case 'n':
            answer(params, intermediates, action);
            break;
        case 'J':
            csi_dispatch(params, {}, 'J');
            break;
        case 'K':
            csi_dispatch(params, {}, 'K');
            break;
        case 'h':
            decset(params, true);
            break;
        case 'l':
            decset(params, false);
            break;
        default:
            break;
    }
}

void Screen::decset(const CsiParams& params, bool on) {
    const auto set_mouse = [&](MouseMode m) {
        if (on) {
            mouse_mode_ = m;
        } else if (mouse_mode_ == m) {
            mouse_mode_ = MouseMode::None;
        }
    };
    const auto set_encoding = [&](MouseEncoding e) {
        if (on) {
            mouse_encoding_ = e;
        } else if (mouse_encoding_ == e) {
            mouse_encoding_ = MouseEncoding::Default;
        }
    };
    const auto flag = [&](std::uint8_t m, bool value) { value ? set_mode(m) : clear_mode(m); };
    CsiParams::Cursor c;
    CsiParams::Group group;
    while (params.next(c, group)) {
        if (group.count != 1) continue;
        switch (group[0]) {
            case 1:
                flag(k_application_cursor, on);
                break;
            case 3:
                column_mode();
                break;
            case 5:
                reverse_video_ = on;
                break;
            case 6:
                active().set_origin_mode(on);
                break;
            case 7:
                auto_wrap_ = on;
                break;
            case 9:
                set_mouse(MouseMode::Press);
                break;
            case 25:
                flag(k_hide_cursor, !on);
                break;
            case 47:
                on ? enter_alternate_grid() : clear_mode(k_alternate_screen);
                break;
            case 1048:
                if (departs(departure::save_cursor_mode)) on ? save_cursor() : restore_cursor();
                break;
            case 1000:
                set_mouse(MouseMode::PressRelease);
                break;
            case 1002:
                set_mouse(MouseMode::ButtonMotion);
                break;
            case 1003:
                set_mouse(MouseMode::AnyMotion);
                break;
            case 1004:
                flag(k_focus_events, on);
                break;
            case 1005:
                set_encoding(MouseEncoding::Utf8);
                break;
            case 1006:
                set_encoding(MouseEncoding::Sgr);
                break;
            case 1049:
                if (on) {
                    save_cursor();
                    alternate_.clear();
                    enter_alternate_grid();
                } else {
                    clear_mode(k_alternate_screen);
                    restore_cursor();
                }
                break;
            case 2004:
                flag(k_bracketed_paste, on);
                break;
            default:
                break;
        }
    }
}

namespace {

// Colour values past 255 are unusable.
bool indexed(std::uint16_t i, Color& out) {
    if (i > 255) return false;
    out = Color::indexed(static_cast<std::uint8_t>(i));
    return true;
}

bool rgb(std::uint16_t r, std::uint16_t g, std::uint16_t b, Color& out) {
    if (r > 255 || g > 255 || b > 255) return false;
    out = Color::rgb(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                     static_cast<std::uint8_t>(b));
    return true;
}

}  // namespace

void Screen::set_underline_color(Color color) {
    if (color == Color()) {
        attrs_.underline_color = 0;
        return;
    }
    const auto it = std::find(underline_colors_.begin(), underline_colors_.end(), color);
    if (it != underline_colors_.end()) {
        attrs_.underline_color = static_cast<std::uint16_t>(it - underline_colors_.begin() + 1);
    } else if (underline_colors_.size() < k_max_underline_colors) {
        underline_colors_.push_back(color);
        attrs_.underline_color = static_cast<std::uint16_t>(underline_colors_.size());
    } else {
        // The table is full: the underline takes the text colour, which is
        // what a terminal without underline colours shows anyway.
        attrs_.underline_color = 0;
    }
}

void Screen::set_cursor_style(std::uint16_t ps) {
    static constexpr CursorShape shapes[] = {CursorShape::Block, CursorShape::Underline,
                                             CursorShape::Bar};
    if (ps == 0) {
        cursor_style_ = {};
    } else if (ps <= 6) {
        cursor_style_ = {shapes[(ps - 1) / 2], ps % 2 == 1};
    }
}

void Screen::sgr(const CsiParams& params) {
    CsiParams::Cursor c;
    CsiParams::Group g;
    const auto set_underline = [this](std::uint16_t style) {
        if (style == 0) {
            attrs_.mode &= ~k_underline;
            attrs_.underline_style = 0;
        } else {
            attrs_.mode |= k_underline;
            attrs_.underline_style = static_cast<std::uint8_t>(style - 1);
        }
    };
    Color color;
    // "38;5;n" and "38;2;r;g;b": the colour comes in the following
    // parameters, each a single value. Anything unusable ends the whole
    // sequence, as in the reference.
    const auto next_value = [&](std::uint16_t& v) {
        CsiParams::Group part;
        if (!params.next(c, part) || part.count != 1) return false;
        v = part[0];
        return true;
    };
    const auto extended = [&](Color& out) {
        std::uint16_t kind = 0, r = 0, gr = 0, b = 0;
        if (!next_value(kind)) return false;
        if (kind == 5) return next_value(r) && indexed(r, out);
        if (kind == 2)
            return next_value(r) && next_value(gr) && next_value(b) && rgb(r, gr, b, out);
        return false;
    };
    while (params.next(c, g)) {
        if (g.count == 1) {
            const std::uint16_t n = g[0];
            switch (n) {
                case 0:
                    attrs_ = Attrs{};
                    break;
                case 1:
                    attrs_.mode |= k_bold;
                    break;
                case 2:
                    attrs_.mode |= k_faint;
                    break;
                case 3:
                    attrs_.mode |= k_italic;
                    break;
                case 4:
                    set_underline(1);
                    break;
                case 7:
                    attrs_.mode |= k_inverse;
                    break;
                case 8:
                    attrs_.mode |= k_conceal;
                    break;
                case 9:
                    attrs_.mode |= k_strikethrough;
                    break;
                case 21:
                    set_underline(2);
                    break;
                case 22:
                    // As in xterm: normal intensity ends faint as well as bold.
                    attrs_.mode &= ~(k_bold | k_faint);
                    break;
                case 23:
                    attrs_.mode &= ~k_italic;
                    break;
                case 24:
                    set_underline(0);
                    break;
                case 27:
                    attrs_.mode &= ~k_inverse;
                    break;
                case 28:
                    attrs_.mode &= ~k_conceal;
                    break;
                case 29:
                    attrs_.mode &= ~k_strikethrough;
                    break;
                case 38:
                    if (!extended(attrs_.fg)) return;
                    break;
                case 39:
                    attrs_.fg = Color();
                    break;
                case 48:
                    if (!extended(attrs_.bg)) return;
                    break;
                case 49:
                    attrs_.bg = Color();
                    break;
                case 58:
                    if (!extended(color)) return;
                    set_underline_color(color);
                    break;
                case 59:
                    attrs_.underline_color = 0;
                    break;
                default:
                    if (n >= 30 && n <= 37) {
                        attrs_.fg = Color::indexed(static_cast<std::uint8_t>(n - 30));
                    } else if (n >= 40 && n <= 47) {
                        attrs_.bg = Color::indexed(static_cast<std::uint8_t>(n - 40));
                    } else if (n >= 90 && n <= 97) {
                        attrs_.fg = Color::indexed(static_cast<std::uint8_t>(n - 82));
                    } else if (n >= 100 && n <= 107) {
                        attrs_.bg = Color::indexed(static_cast<std::uint8_t>(n - 92));
                    }
                    break;
            }
        } else if (g.count == 2 && g[0] == 4) {
            // "4:0" to "4:5"; other styles are ignored.
            if (g[1] <= 5) set_underline(g[1]);
        } else if (g[0] == 58 && g.count >= 3 && g.count <= 6) {
            // "58:5:n", "58:2:r:g:b" and "58:2:id:r:g:b" (the colour space id,
            // usually empty, is ignored).
            const int at = g.count - 3;
            if (g[1] == 5 && g.count == 3) {
                if (!indexed(g[2], color)) return;
            } else if (g[1] == 2 && g.count >= 5) {
                if (!rgb(g[at], g[at + 1], g[at + 2], color)) return;
            } else {
                continue;
            }
            set_underline_color(color);
        } else if (g.count == 3 && g[1] == 5 && (g[0] == 38 || g[0] == 48)) {
            // "38:5:n"
            if (!indexed(g[2], g[0] == 38 ? attrs_.fg : attrs_.bg)) return;
        } else if (g.count == 5 && g[1] == 2 && (g[0] == 38 || g[0] == 48)) {
            // "38:2:r:g:b"
            if (!rgb(g[2], g[3], g[4], g[0] == 38 ? attrs_.fg : attrs_.bg)) return;
        } else if (g.count == 6 && g[1] == 2 && (g[0] == 38 || g[0] == 48) &&
                   departs(departure::sgr_colour_space)) {
            // "38:2:id:r:g:b", the form ITU T.416 gives, the id usually empty.
            if (!rgb(g[3], g[4], g[5], g[0] == 38 ? attrs_.fg : attrs_.bg)) return;
        }
    }
}

// ---- OSC, modes, reset ------------------------------------------------------------

void Screen::osc_dispatch(const OscParams& params) {
    if (params.count >= 1 && params.items[0] == "8") return hyperlink(params);
    if (params.count < 2) return;
    const std::string_view kind = params.items[0];
    const std::string_view value = params.items[1];
    const bool icon = kind == "0" || kind == "1";
    const bool title = kind == "0" || kind == "2";
    if (!(icon || title) || !core::is_valid_utf8(value)) return;
    if (icon) icon_name_.assign(value);
    if (title) title_.assign(value);
}

// OSC 8 ; params ; target: the text that follows links to the target, until
// an OSC 8 with an empty target. A target the parser could have cut (at its
// length or parameter limit) links nothing rather than something else.
void Screen::hyperlink(const OscParams& params) {
    link_ = 0;
    if (params.count < 3 || params.count == OscParams::k_max) return;
    const std::string_view last = params.items[params.count - 1];
    const auto raw = static_cast<std::size_t>(last.data() + last.size() - params.items[0].data());
    if (raw >= VtParser::k_max_osc_bytes) return;
    // A target may hold ';', which the parser took for separators.
    std::string target(params.items[2]);
    for (int i = 3; i < params.count; ++i) {
        target.push_back(';');
        target.append(params.items[i]);
    }
    link_ = hyperlinks_.open(params.items[1], target);
}

void Screen::enter_alternate_grid() {
    set_mode(k_alternate_screen);
    alternate_.allocate();
}

void Screen::save_cursor() {
    Grid& g = active();
    g.save_cursor();
    saved_wrap_[alternate_screen()] = g.pos.col >= g.cols();
    saved_pen() = {attrs_, charsets_};
}

void Screen::restore_cursor() {
    Grid& g = active();
    const bool onto_grid = departs(departure::restore_on_grid);
    g.restore_cursor(onto_grid);
    // In origin mode the cursor stays in the region, which may have changed
    // since the save.
    if (g.origin_mode && departs(departure::origin_addressing)) {
        g.pos.row = std::clamp(g.pos.row, g.scroll_top, g.scroll_bottom);
    }
    // The wrap comes back pending with the cursor, as in xterm: text after a
    // line that filled the row goes on on the next, not over its last cell.
    if (onto_grid && saved_wrap_[alternate_screen()]) g.pos.col = g.cols();
    const SavedPen& saved = saved_pen();
    attrs_ = saved.attrs;
    charsets_ = saved.charsets;
    update_text_path();
    pen_changed();
}

void Screen::reset() {
    // Everything but the titles starts over, the scrollback included; its
    // line numbers go on.
    primary_.clear();
    primary_.drop_scrollback();
    alternate_ = Grid(primary_.rows(), primary_.cols(), 0, false);
    attrs_ = Attrs{};
    saved_[0] = saved_[1] = SavedPen{};
    saved_wrap_[0] = saved_wrap_[1] = false;
    charsets_ = Charsets{};
    tab_stops_.clear();
    last_char_ = 0;
    // No cell names an underline colour any more.
    underline_colors_.clear();
    hyperlinks_.clear();
    link_ = 0;
    cursor_style_ = {};
    modes_ = 0;
    mouse_mode_ = MouseMode::None;
    mouse_encoding_ = MouseEncoding::Default;
    insert_mode_ = false;
    new_line_mode_ = false;
    auto_wrap_ = true;
    reverse_video_ = false;
    update_text_path();
    pen_changed();
}

}  // namespace tolvar::pty
