#include "screen.hpp"

#include <algorithm>

namespace tolvar::pty {

Screen::Screen(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback)
    : primary_(rows, cols, scrollback, true, damage_), alternate_(rows, cols, 0, false, damage_) {
    placing_changed();
}

void Screen::set_size(std::uint16_t rows, std::uint16_t cols) {
    keep_cursor_row(primary_, rows);
    keep_cursor_row(alternate_, rows);
    primary_.set_size(rows, cols);
    alternate_.set_size(rows, cols);
    state_.resize_tab_stops(cols);
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
    state_.set_departures(mask);
    parser_.set_keep_breaking_byte(departs(departure::utf8_breaking_byte));
    placing_changed();
    pen_changed();
}

void Screen::pen_changed() {
    placer_.follow_pen(state_.pen(), state_.protecting());
    const Attrs fill = departs(departure::background_erase) ? state_.erase_pen() : Attrs{};
    primary_.fill = fill;
    alternate_.fill = fill;
}

void Screen::print(char32_t c) {
    placer_.place(active(), c);
}

void Screen::execute_other(std::uint8_t byte) {
    Grid& g = active();
    placer_.forget_last();
    switch (byte) {
        case 8:
            placer_.settle_pending_wrap(g);
            g.col_dec(1);
            break;
        case 9:
            tab_forward(g);
            break;
        case 11:
        case 12:
            line_feed(g);
            break;
        case 14:  // SO
            state_.shift(1);
            placing_changed();
            break;
        case 15:  // SI
            state_.shift(0);
            placing_changed();
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

void Screen::tab_back(Grid& g) {
    placer_.settle_pending_wrap(g);
    // Past the edge only with the restore-on-grid departure off.
    g.col_set(state_.previous_tab_stop(std::min(g.pos.col, g.cols())));
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
    const unsigned col = std::min<unsigned>(g.pos.col, Placer::edge(g) - 1u) + 1u;
    state_.answer(params, intermediates, action, row, col);
}

void Screen::esc_dispatch(std::string_view intermediates, std::uint8_t byte) {
    placer_.forget_last();
    if (intermediates == "(" || intermediates == ")") {
        state_.designate(intermediates, byte);
        return placing_changed();
    }
    if (intermediates == "#") {
        if (byte == '8') align();
        if (byte >= '3' && byte <= '6' && departs(departure::line_size)) {
            static constexpr LineSize k_sizes[] = {LineSize::DoubleHeightTop,
                                                   LineSize::DoubleHeightBottom, LineSize::Single,
                                                   LineSize::DoubleWidth};
            Grid& g = active();
            g.clamp_cursor_row();
            g.set_line_size(g.pos.row, k_sizes[byte - '3']);
        }
        return;
    }
    if (!intermediates.empty()) return;
    Grid& g = active();
    switch (byte) {
        case 'D':
            if (!departs(departure::index_next_line)) break;
            placer_.settle_pending_wrap(g);
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
            placer_.settle_pending_wrap(g);
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

// Without auto-wrap the cursor past the edge is on the last column, and the
// edits there (ICH, ED, EL, DCH, ECH) act on it.
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
                placer_.settle_unwrapped(g);
                g.insert_cells(n);
                break;
            case 'A':
                placer_.settle_pending_wrap(g);
                g.row_dec_clamp(n);
                break;
            case 'B':
                placer_.settle_pending_wrap(g);
                g.row_inc_clamp(n);
                break;
            case 'C':
                g.col_inc_clamp(n);
                break;
            case 'D':
                placer_.settle_pending_wrap(g);
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
                placer_.settle_pending_wrap(g);
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
                placer_.settle_unwrapped(g);
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
                placer_.settle_unwrapped(g);
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
                placer_.settle_unwrapped(g);
                g.delete_cells(n);
                break;
            case 'S':
                g.scroll_up(n);
                break;
            case 'T':
                g.scroll_down(n);
                break;
            case 'X':
                placer_.settle_unwrapped(g);
                g.erase_cells(n, state_.erase_pen());
                break;
            case 'b':
                if (departs(departure::repeat)) placer_.repeat(g, n);
                break;
            case 'c':
            case 'n':
                answer(params, intermediates, action);
                break;
            case 'd':
                placer_.settle_pending_wrap(g);
                if (g.origin_mode && departs(departure::origin_addressing)) {
                    // Counted from the region's top and kept in it, as CUP is.
                    g.set_pos({static_cast<std::uint16_t>(n - 1), g.pos.col});
                } else {
                    g.row_set(static_cast<std::uint16_t>(n - 1));
                }
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
                    if (group.is(20)) state_.set_new_line_mode(action == 'h');
                }
                placing_changed();
                break;
            }
            case 's':
                // SCOSC whatever the parameters: with no left and right
                // margins kept, DECSLRM never applies (xterm with DECLRMM
                // reset does the same).
                if (departs(departure::save_cursor_csi)) save_cursor();
                break;
            case 'u':  // SCORC
                if (departs(departure::save_cursor_csi)) restore_cursor();
                break;
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
    if (intermediates == "\"") {
        if (action == 'q') {  // DECSCA
            state_.set_protection(params.first());
            pen_changed();
        }
        return;
    }
    if (intermediates == "!") {
        if (action == 'p' && departs(departure::soft_reset)) soft_reset();
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
        case 'K':
            if (state_.selective_erase()) {
                selective_erase(params.first(), action == 'J');
            } else {
                csi_dispatch(params, {}, action);
            }
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
            case 5:
                state_.set_reverse_video(on);
                break;
            case 6:
                active().set_origin_mode(on);
                break;
            case 7:
                state_.set_auto_wrap(on);
                placing_changed();
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
            case 1047:
                // As 47, but the alternate screen is cleared on the way out.
                if (!departs(departure::alternate_1047)) break;
                if (on) {
                    enter_alternate_grid();
                } else if (alternate_screen()) {
                    alternate_.erase_all(state_.erase_pen());
                    set_alternate(false);
                }
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
    if (params.count >= 1 && params.items[0] == "8") {
        state_.hyperlink(params);
        return placing_changed();
    }
    state_.set_titles(params);
}

void Screen::enter_alternate_grid() {
    set_alternate(true);
    alternate_.allocate();
}

void Screen::save_cursor() {
    Grid& g = active();
    g.save_cursor();
    state_.save_pen(g.pos.col >= Placer::edge(g));
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
    if (onto_grid && state_.saved_wrap()) g.pos.col = Placer::edge(g);
    state_.restore_pen();
    placing_changed();
    pen_changed();
}

void Screen::selective_erase(std::uint16_t ps, bool display) {
    Grid& g = active();
    placer_.settle_unwrapped(g);
    g.clamp_cursor_row();  // reference crashes below the grid
    const Attrs pen = state_.erase_pen();
    const std::uint16_t row = g.pos.row;
    const std::uint16_t cols = g.cols();
    const auto col = std::min(g.pos.col, cols);
    // The rows before and after the cursor's, for DECSED.
    const auto rows = [&](unsigned from, unsigned to) {
        if (!display) return;
        for (unsigned r = from; r < to; ++r)
            g.erase_unprotected(static_cast<std::uint16_t>(r), 0, cols, pen);
    };
    switch (ps) {
        case 0:
            rows(row + 1u, g.rows());
            g.erase_unprotected(row, col, cols, pen);
            break;
        case 1:
            rows(0, row);
            g.erase_unprotected(row, 0, std::min<std::uint16_t>(col + 1, cols), pen);
            break;
        case 2:
            rows(0, row);
            g.erase_unprotected(row, 0, cols, pen);
            rows(row + 1u, g.rows());
            break;
        case 3:
            // The history keeps no protection.
            if (display) clear_scrollback();
            break;
        default:
            break;
    }
}

void Screen::soft_reset() {
    state_.soft_reset();
    primary_.saved_pos = alternate_.saved_pos = {};
    primary_.saved_origin_mode = alternate_.saved_origin_mode = false;
    // The margins go, the cursor stays where it is.
    Grid& g = active();
    const Pos pos = g.pos;
    g.origin_mode = false;
    g.set_scroll_region(0, static_cast<std::uint16_t>(g.rows() - 1), true);
    g.pos = pos;
    placing_changed();
    pen_changed();
}

void Screen::reset() {
    // Everything but the titles starts over, the scrollback included; its
    // line numbers go on.
    primary_.clear();
    primary_.drop_scrollback();
    alternate_ = Grid(primary_.rows(), primary_.cols(), 0, false, damage_);
    state_.reset();
    active_ = &primary_;
    placer_.forget_last();
    placing_changed();
    pen_changed();
}

}  // namespace tolvar::pty
