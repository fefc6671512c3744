// Where the next character goes and what it overwrites: the one owner of the
// rules for the edge, the pending wrap, wide characters, combining marks,
// links, insert mode and line drawing. Internal to the terminal model;
// single-threaded; it acts on the grid it is handed and reads the screen's
// state through follow().
//
// The fast paths (a character alone, a run of ASCII, a run of decoded text)
// check their preconditions and store; every other character goes to
// place(), so that no two paths can disagree on a rule.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cells.hpp"
#include "char_width.hpp"
#include "grid.hpp"
#include "screen_state.hpp"

namespace tolvar::pty {

class Placer {
  public:
    // Takes what placing reads from the state: the pen, the link, line
    // drawing, insert mode and the departures it follows. The screen calls
    // it after any of them changes.
    void follow(const ScreenState& state);
    // The pen alone, as SGR changes it: the commonest change by far. Text
    // takes the protection too; the blanks made from attrs_ do not.
    void follow_pen(const Attrs& pen, bool protecting) {
        attrs_ = pen;
        pen_ = CellData::blank(pen);
        if (protecting) pen_.fg |= CellData::k_protected_fg;
    }

    // The column past the last one that text may take on the cursor's row;
    // the cursor there has a wrap pending. Every rule asks here, so that a
    // line's own width or a margin would change them all at once. The fast
    // paths read the same from the row's slot, which they look up anyway.
    static std::uint16_t edge(const Grid& g) { return g.edge(g.pos.row); }
    // xterm keeps the cursor on the last column with the wrap pending; a
    // move starts from there and forgets the wrap. Without auto-wrap the
    // cursor past the edge is on the last column too.
    void settle_pending_wrap(Grid& g) const {
        if (settles_ && g.pos.col >= g.least_edge()) [[unlikely]]
            settle_at_edge(g);
    }
    // Without auto-wrap, text that reaches the edge leaves the cursor past
    // it, as with a wrap pending, so that the fast paths need no test of
    // their own; it is on the last column for the user and for every edit.
    void settle_unwrapped(Grid& g) const {
        if (!wraps_ && g.pos.col >= g.least_edge()) settle_at_edge(g);
    }
    std::uint16_t shown_col(const Grid& g) const {
        return !wraps_ && g.pos.col >= edge(g) ? static_cast<std::uint16_t>(edge(g) - 1)
                                               : g.pos.col;
    }

    // Any character, by every rule.
    void place(Grid& g, char32_t c) {
        if (special_) [[unlikely]]
            return place_special(g, c);
        const int w = char_width(c);
        if (w > 0 && place_plain(g, c, w)) return;
        place_slow(g, c, w, false);
    }
    // Printable ASCII.
    void place_ascii(Grid& g, const char* p, std::size_t n) {
        if (n == 1 && plain_ && place_one(g, *p)) return;
        place_run(g, p, n);
    }
    // REP: the last character again, at most a screenful.
    void repeat(Grid& g, std::uint16_t count);
    // The last character drawn, which REP repeats; 0 after a control.
    void forget_last() { last_char_ = 0; }

    // Characters of a run of text, placed as the parser decodes them, with
    // the row and the pen looked up once. place() is false for a character
    // that needs more than storing (a wrap, a wide character's half, a mark
    // at a row's start, a link, insert mode, line drawing): then end() puts
    // the cursor where the run got to, the character goes to Placer::place,
    // and begin() goes on from there. Only for printable ASCII and
    // characters from U+00A0 on, whose widths the plane's table gives.
    class Run {
      public:
        Run(Placer& p, Grid& g) : p_(p), grid_(g) { begin(); }
        void begin();
        void end();
        [[gnu::always_inline]] bool place(char32_t c) {
            if (!usable_) return false;
            const int w = c < 0x10000 ? static_cast<int>(bmp_width(c)) : char_width(c);
            if (w > 0) {
                if (col_ + w > edge_) return false;
                CellData* const cell = row_ + col_;
                if (((cell[0].word | cell[w - 1].word) & CellData::k_special) != 0) return false;
                const bool two = w == 2;
                // The continuation, or the cell itself again, before the
                // cell: wide and narrow alike, with no branch to mispredict.
                cell[two] = two ? CellData{CellData::k_cont, 0, 0} : cell[0];
                cell[0] = CellData{pen_.word | c | (two ? CellData::k_wide : 0), pen_.fg, pen_.bg};
                wide_ |= two;
                col_ = static_cast<std::uint16_t>(col_ + w);
                p_.last_char_ = c;
                return true;
            }
            if (w < 0 || col_ == 0) return false;
            // As place_mark, on this row.
            std::uint16_t at = static_cast<std::uint16_t>(col_ - 1);
            if (row_[at].cont()) {
                if (at == 0) return false;
                --at;
            }
            grid_.append_mark(slot_, at, c);
            return true;
        }
        // The first of n copies of a narrow character that place() would
        // store, stored: up to the edge or a cell that needs repairs.
        std::size_t fill(char32_t c, std::size_t n) {
            if (!usable_) return 0;
            const std::size_t room = col_ < edge_ ? std::size_t{edge_} - col_ : 0;
            const CellData cell{pen_.word | c, pen_.fg, pen_.bg};
            CellData* const at = row_ + col_;
            std::size_t i = 0;
            for (; i < n && i < room && (at[i].word & CellData::k_special) == 0; ++i) at[i] = cell;
            if (i > 0) {
                col_ = static_cast<std::uint16_t>(col_ + i);
                p_.last_char_ = c;
            }
            return i;
        }

      private:
        Placer& p_;
        Grid& grid_;
        CellData* row_ = nullptr;
        CellData pen_;
        std::uint32_t slot_ = 0;
        std::uint16_t col_ = 0;
        std::uint16_t edge_ = 0;
        bool wide_ = false;
        bool usable_ = false;
    };
    Run run(Grid& g) { return Run(*this, g); }

  private:
    [[gnu::noinline]] static void settle_at_edge(Grid& g) {
        const std::uint16_t e = edge(g);
        if (g.pos.col >= e) g.pos.col = static_cast<std::uint16_t>(e - 1);
    }
    // A character alone (after a cursor move or a colour change) where
    // storing it is all there is to do; false when it needs more.
    bool place_one(Grid& g, char c) {
        g.clamp_cursor_row();  // reference crashes below the grid
        const std::uint32_t slot = g.slot_at(g.pos.row);
        if (g.pos.col >= g.slot_edge(slot)) return false;
        g.stamp_slot(slot);
        CellData* cell = g.slot_cells(slot) + g.pos.col;
        if (g.slot_special(slot) && (cell->word & CellData::k_special) != 0) return false;
        *cell = CellData{pen_.word | static_cast<unsigned char>(c), pen_.fg, pen_.bg};
        last_char_ = static_cast<unsigned char>(c);
        g.pos.col = static_cast<std::uint16_t>(g.pos.col + 1);
        g.touch_slot(slot, g.pos.col);
        return true;
    }
    void place_run(Grid& g, const char* p, std::size_t n);
    // Puts a character of width w (1 or 2) at the cursor when it fits there
    // over plain cells: the usual case, small enough to inline into the
    // parser. False when it needs place_slow() instead.
    bool place_plain(Grid& g, char32_t c, int w) {
        g.clamp_cursor_row();  // reference crashes below the grid
        const std::uint32_t slot = g.slot_at(g.pos.row);
        if (g.pos.col + w > g.slot_edge(slot)) return false;
        g.stamp_slot(slot);
        CellData* cell = g.slot_cells(slot) + g.pos.col;
        if (((cell[0].word | cell[w - 1].word) & CellData::k_special) != 0) return false;
        CellData first = pen_;
        first.word |= static_cast<std::uint32_t>(c);
        if (w == 2) {
            first.word |= CellData::k_wide;
            cell[1] = CellData{CellData::k_cont, 0, 0};
            g.mark_slot_special(slot);
        }
        cell[0] = first;
        last_char_ = c;
        if (link_ != 0) link_placed(g, w);
        g.pos.col = static_cast<std::uint16_t>(g.pos.col + w);
        g.touch_slot(slot, g.pos.col);
        return true;
    }
    void link_placed(Grid& g, int w);
    // Line drawing and insert mode.
    void place_special(Grid& g, char32_t c);
    // A character of width w (char_width's) by every rule; `insert` shifts
    // the row right first.
    void place_slow(Grid& g, char32_t c, int w, bool insert);
    // A combining character, which joins the cell before the cursor.
    void place_mark(Grid& g, char32_t c);
    // Where the cell needs wrapping, inserting or a wide character's
    // repairs; kept apart so that the usual path stays small.
    void place_repairing(Grid& g, char32_t c, int w, bool insert);
    // Whether leaving the cursor's row at its edge continues the row.
    bool continues_at_edge(const Grid& g) const;
    // Takes the cursor to the next line's start when `width` columns do not
    // fit before the edge; `continues`: the row left goes on in the next.
    // Without auto-wrap, back to where they end at the edge instead.
    void wrap(Grid& g, std::uint16_t width, bool continues) const;

    // The pen as a blank cell.
    CellData pen_;
    Attrs attrs_;
    std::uint32_t link_ = 0;  // the link text is written into now; 0 for none
    char32_t last_char_ = 0;
    // Text needs more than storing: line drawing or insert mode.
    bool special_ = false;
    // Neither special_ nor a link: what the fast paths ask, in one flag.
    bool plain_ = true;
    bool line_drawing_ = false;
    bool insert_ = false;
    bool pending_wrap_ = true;
    bool wraps_ = true;  // auto-wrap, as text obeys it
    // A cursor past the edge is on the last column: with the wrap pending
    // as xterm has it, or without auto-wrap.
    bool settles_ = true;
};

}  // namespace tolvar::pty
