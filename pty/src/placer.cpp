#include "placer.hpp"

#include <algorithm>

namespace tolvar::pty {

void Placer::follow(const ScreenState& state) {
    follow_pen(state.pen(), state.protecting());
    link_ = state.link();
    line_drawing_ = state.line_drawing();
    insert_ = state.inserting();
    special_ = line_drawing_ || insert_;
    plain_ = !special_ && link_ == 0;
    pending_wrap_ = state.departs(departure::pending_wrap);
    wraps_ = state.wraps();
    settles_ = pending_wrap_ || !wraps_;
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

void Placer::place_run(Grid& g, const char* p, std::size_t n) {
    if (special_) {
        for (std::size_t i = 0; i < n; ++i) place(g, static_cast<unsigned char>(p[i]));
        return;
    }
    g.clamp_cursor_row();  // reference crashes below the grid
    const std::uint32_t pen = pen_.word;
    const CellData blank = pen_;
    while (n > 0) {
        // Each row the run reaches has its own edge.
        const std::uint32_t slot = g.slot_at(g.pos.row);
        const std::uint16_t cols = g.slot_edge(slot);
        if (g.pos.col >= cols) {
            // Wrapping, and anything unusual, takes the careful path.
            place(g, static_cast<unsigned char>(*p++));
            --n;
            continue;
        }
        g.stamp_slot(slot);
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
            place(g, static_cast<unsigned char>(*p++));
            --n;
        }
    }
    // Set after the stores, since a wrap on the way sets it through place();
    // every byte has been taken, so the last is the one before p.
    last_char_ = static_cast<unsigned char>(p[-1]);
}

void Placer::Run::begin() {
    usable_ = p_.plain_;
    if (!usable_) return;
    grid_.clamp_cursor_row();  // reference crashes below the grid
    slot_ = grid_.slot_of(grid_.pos.row);
    edge_ = grid_.slot_edge(slot_);
    row_ = grid_.slot_cells(slot_);
    pen_ = p_.pen_;
    col_ = grid_.pos.col;
    wide_ = false;
    // A cursor restored past the edge (the restore-on-grid departure off,
    // as in the reference) is Placer::place's to handle.
    if (col_ > edge_) usable_ = false;
}

void Placer::Run::end() {
    if (!usable_) return;
    if (wide_) grid_.mark_slot_special(slot_);
    grid_.pos.col = col_;
    grid_.touch_slot(slot_, col_);
}

void Placer::place_special(Grid& g, char32_t c) {
    if (c >= 0x5f && c < 0x7f && line_drawing_) c = k_dec_graphics[c - 0x5f];
    place_slow(g, c, char_width(c), insert_);
}

void Placer::place_slow(Grid& g, char32_t c, int w, bool insert) {
    if (w < 0) return;  // controls are never drawn
    if (w == 0) return place_mark(g, c);
    if (!insert && place_plain(g, c, w)) return;
    g.clamp_cursor_row();  // reference crashes below the grid
    place_repairing(g, c, w, insert);
}

void Placer::link_placed(Grid& g, int w) {
    g.link_cells(g.pos.row, g.pos.col, static_cast<std::uint16_t>(g.pos.col + w), link_);
}

void Placer::place_mark(Grid& g, char32_t c) {
    // Combining characters join the cell before the cursor, or the last
    // cell of the previous row when this row continues it; the cursor
    // stays, so nothing wraps, but for a cursor restored past the edge (the
    // restore-on-grid departure off, as in the reference): that one wraps
    // first, as before a character.
    g.clamp_cursor_row();  // reference crashes below the grid
    if (g.pos.col > edge(g)) wrap(g, 0, continues_at_edge(g));
    std::uint16_t row = g.pos.row;
    std::uint16_t col = 0;
    if (g.pos.col > 0) {
        col = static_cast<std::uint16_t>(g.pos.col - 1);
    } else if (row > 0 && g.wrapped(static_cast<std::uint16_t>(row - 1))) {
        --row;
        col = static_cast<std::uint16_t>(g.edge(row) - 1);
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
bool Placer::continues_at_edge(const Grid& g) const {
    const CellData& last = g.row(g.pos.row)[edge(g) - 1];
    return last.has_contents() || last.cont() || (g.pos.col >= edge(g) && pending_wrap_);
}

void Placer::place_repairing(Grid& g, char32_t c, int w, bool insert) {
    std::uint16_t cols = edge(g);
    // A wide character on a one-column grid is placed like a narrow one
    // (reference crashes), and so on a row of one column's double width.
    auto width = static_cast<std::uint16_t>(w > cols ? 1 : w);

    wrap(g, width, g.pos.col > static_cast<std::uint16_t>(cols - width) && continues_at_edge(g));
    // The row wrapped to may be of another width.
    cols = edge(g);
    if (width > cols) width = 1;
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
    row[pos.col].fg |= pen_.fg & CellData::k_protected_fg;
    if (link_ != 0) {
        g.link_cells(pos.row, pos.col, static_cast<std::uint16_t>(pos.col + 1), link_);
    }
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

void Placer::wrap(Grid& g, std::uint16_t width, bool continues) const {
    if (g.pos.col <= static_cast<std::uint16_t>(edge(g) - width)) return;
    if (!wraps_) {
        // xterm overwrites the last column, or the last two for a wide
        // character.
        g.pos.col = static_cast<std::uint16_t>(edge(g) - width);
        return;
    }
    Pos prev = g.pos;
    g.pos.col = 0;
    const std::uint16_t scrolled = g.row_inc_scroll(1);
    // On a one-row screen the row just left is already in the scrollback
    // (reference crashes).
    if (prev.row < scrolled) return;
    prev.row = static_cast<std::uint16_t>(prev.row - scrolled);
    g.set_wrapped(prev.row, continues && prev.row + 1 == g.pos.row);
}

void Placer::repeat(Grid& g, std::uint16_t count) {
    if (last_char_ == 0) return;
    // A screenful is the most a repeat can show.
    const unsigned n = std::min<unsigned>(count, unsigned{g.rows()} * g.cols());
    const char32_t c = last_char_;
    for (unsigned i = 0; i < n; ++i) place(g, c);
}

}  // namespace tolvar::pty
