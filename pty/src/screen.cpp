#include "screen.hpp"

#include <algorithm>

#include "char_width.hpp"

namespace tolvar::pty {

Screen::Screen(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback)
    : primary_(rows, cols, scrollback, true), alternate_(rows, cols, 0, false) {}

void Screen::set_size(std::uint16_t rows, std::uint16_t cols) {
    primary_.set_size(rows, cols);
    alternate_.set_size(rows, cols);
    state_.resize_tab_stops(cols);
}

void Screen::set_departures(std::uint32_t mask) {
    state_.set_departures(mask);
    update_text_path();
    pen_changed();
}

void Screen::pen_changed() {
    pen_ = CellData::blank(state_.pen());
    const Attrs fill = departs(departure::background_erase) ? state_.erase_pen() : Attrs{};
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
            if (state_.link() != 0) {
                g.link_cells(g.pos.row, g.pos.col, static_cast<std::uint16_t>(g.pos.col + i),
                             state_.link());
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

void Screen::print(char32_t c) {
    text(c);
}

void Screen::TextRun::begin() {
    usable_ = !s_.text_special_ && s_.state_.link() == 0;
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
    if (c >= 0x5f && c < 0x7f && state_.line_drawing()) c = k_dec_graphics[c - 0x5f];
    place(c, char_width(c), state_.inserting());
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
    g.link_cells(g.pos.row, g.pos.col, static_cast<std::uint16_t>(g.pos.col + w), state_.link());
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
        g.clear_cell(pos.row, static_cast<std::uint16_t>(pos.col - 1), state_.pen());
    }
    if (row[pos.col].wide() && pos.col + 1 < cols) {
        g.set_cell(pos.row, static_cast<std::uint16_t>(pos.col + 1), U' ', false, state_.pen());
    }
    g.set_cell(pos.row, pos.col, c, w > 1, state_.pen());
    if (state_.link() != 0) {
        g.link_cells(pos.row, pos.col, static_cast<std::uint16_t>(pos.col + 1), state_.link());
    }
    g.col_inc(1);
    if (width > 1) {
        const Pos next = g.pos;
        if (row[next.col].wide() && next.col + 1 < cols) {
            const auto after = static_cast<std::uint16_t>(next.col + 1);
            g.clear_cell(next.row, after, state_.pen());
            if (after == cols - 1) g.set_wrapped(next.row, false);
        }
        g.clear_cell(next.row, next.col, Attrs{});
        row[next.col].word |= CellData::k_cont;
        g.mark_special(next.row);
        if (state_.link() != 0) {
            g.link_cells(next.row, next.col, static_cast<std::uint16_t>(next.col + 1),
                         state_.link());
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
            break;
        case 13:
            g.col_set(0);
            break;
        case 14:  // SO
            state_.shift(1);
            update_text_path();
            break;
        case 15:  // SI
            state_.shift(0);
            update_text_path();
            break;
        default:
            // The bell makes no sound and no flash; the other controls do
            // nothing.
            break;
    }
}

void Screen::tab_forward(Grid& g) {
    // Clamped to the last column when no stop is left.
    g.col_set(state_.next_tab_stop(g.pos.col, g.cols()));
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
    g.erase_all(state_.erase_pen());
    g.set_scroll_region(0, static_cast<std::uint16_t>(g.rows() - 1), true);
    g.pos = {};
}

void Screen::answer(const CsiParams& params, std::string_view intermediates, char action) {
    const Grid& g = active();
    const unsigned top = g.origin_mode ? g.scroll_top : 0;
    const unsigned row = g.pos.row + 1u - std::min<unsigned>(top, g.pos.row);
    const unsigned col = std::min<unsigned>(g.pos.col, g.cols() - 1u) + 1u;
    state_.answer(params, intermediates, action, row, col);
}

void Screen::esc_dispatch(std::string_view intermediates, std::uint8_t byte) {
    last_char_ = 0;
    if (intermediates == "(" || intermediates == ")") {
        state_.designate(intermediates, byte);
        return update_text_path();
    }
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
            state_.set_tab_stop(g.pos.col, g.cols());
            break;
        case '7':
            save_cursor();
            break;
        case '8':
            restore_cursor();
            break;
        case '=':
            state_.set_mode(ScreenState::k_application_keypad, true);
            break;
        case '>':
            state_.set_mode(ScreenState::k_application_keypad, false);
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
        state_.sgr(params);
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
                        g.erase_all_forward(state_.erase_pen());
                        break;
                    case 1:
                        g.erase_all_backward(state_.erase_pen());
                        break;
                    case 2:
                        g.erase_all(state_.erase_pen());
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
                        g.erase_row_forward(state_.erase_pen());
                        break;
                    case 1:
                        g.erase_row_backward(state_.erase_pen());
                        break;
                    case 2:
                        g.erase_row(state_.erase_pen());
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
                g.erase_cells(n, state_.erase_pen());
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
                g.row_set(static_cast<std::uint16_t>(n - 1));
                break;
            case 'g':
                state_.clear_tab_stops(params.first(), g.pos.col, g.cols());
                break;
            case 'h':
            case 'l': {
                CsiParams::Cursor c;
                CsiParams::Group group;
                while (params.next(c, group)) {
                    if (group.is(4)) state_.set_insert_mode(action == 'h');
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
        if (action == 'q') state_.set_cursor_style(params.first());
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
    const auto set_mouse = [&](MouseMode m) { state_.set_mouse_mode(m, on); };
    const auto set_encoding = [&](MouseEncoding e) { state_.set_mouse_encoding(e, on); };
    const auto flag = [&](std::uint8_t m, bool value) { state_.set_mode(m, value); };
    CsiParams::Cursor c;
    CsiParams::Group group;
    while (params.next(c, group)) {
        if (group.count != 1) continue;
        switch (group[0]) {
            case 1:
                flag(ScreenState::k_application_cursor, on);
                break;
            case 3:
                column_mode();
                break;
            case 6:
                active().set_origin_mode(on);
                break;
            case 7:
                state_.set_auto_wrap(on);
                break;
            case 9:
                set_mouse(MouseMode::Press);
                break;
            case 25:
                flag(ScreenState::k_hide_cursor, !on);
                break;
            case 47:
                on ? enter_alternate_grid() : set_alternate(false);
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
                flag(ScreenState::k_focus_events, on);
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
                    set_alternate(false);
                    restore_cursor();
                }
                break;
            case 2004:
                flag(ScreenState::k_bracketed_paste, on);
                break;
            default:
                break;
        }
    }
}

// ---- OSC, modes, reset ------------------------------------------------------------

void Screen::osc_dispatch(const OscParams& params) {
    if (params.count >= 1 && params.items[0] == "8") return state_.hyperlink(params);
    state_.set_titles(params);
}

void Screen::enter_alternate_grid() {
    set_alternate(true);
    alternate_.allocate();
}

void Screen::save_cursor() {
    active().save_cursor();
    state_.save_pen();
}

void Screen::restore_cursor() {
    active().restore_cursor(departs(departure::restore_on_grid));
    state_.restore_pen();
    update_text_path();
    pen_changed();
}

void Screen::reset() {
    // Everything but the titles starts over, the scrollback included; its
    // line numbers go on.
    primary_.clear();
    primary_.drop_scrollback();
    alternate_ = Grid(primary_.rows(), primary_.cols(), 0, false);
    state_.reset();
    last_char_ = 0;
    update_text_path();
    pen_changed();
}

}  // namespace tolvar::pty
