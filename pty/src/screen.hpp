// The screen behind TerminalModel: the parser's performer, which acts on the
// two grids and the state beside them. Internal to the terminal model;
// single-threaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cells.hpp"
#include "char_width.hpp"
#include "grid.hpp"
#include "screen_state.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "vt_parser.hpp"

namespace tolvar::pty {

class Screen {
  public:
    Screen(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback);

    void feed(std::string_view bytes) { parser_.advance(*this, bytes); }
    void set_answering(bool on) { state_.set_answering(on); }
    std::string take_answers() { return state_.take_answers(); }
    void set_departures(std::uint32_t mask);
    void set_size(std::uint16_t rows, std::uint16_t cols);
    void clear_scrollback() { primary_.drop_scrollback(); }

    const Grid& grid() const { return alternate_screen() ? alternate_ : primary_; }
    const Grid& primary() const { return primary_; }
    const ScreenState& state() const { return state_; }
    bool alternate_screen() const { return state_.alternate_screen(); }
    std::size_t memory_bytes() const {
        return primary_.memory_bytes() + alternate_.memory_bytes() + state_.memory_bytes();
    }

    // ---- the parser's performer
    // Out of line: the parser's actions call it for what its fast paths
    // leave, and inlined it would weigh on every one of them.
    void print(char32_t c);
    // Characters of a run of text, placed as the parser decodes them, with
    // the row and the pen looked up once. place() is false for a character
    // that needs more than storing (a wrap, a wide character's half, a mark
    // at a row's start, a link, insert mode, line drawing): then end() puts
    // the cursor where the run got to, the character goes to print(), and
    // begin() goes on from there. Only for printable ASCII and characters
    // from U+00A0 on, whose widths the plane's table gives.
    class TextRun {
      public:
        explicit TextRun(Screen& s) : s_(s) { begin(); }
        void begin();
        void end();
        [[gnu::always_inline]] bool place(char32_t c) {
            if (!usable_) return false;
            const int w = c < 0x10000 ? static_cast<int>(bmp_width(c)) : char_width(c);
            if (w > 0) {
                if (col_ + w > cols_) return false;
                CellData* const cell = row_ + col_;
                if (((cell[0].word | cell[w - 1].word) & CellData::k_special) != 0) return false;
                const bool two = w == 2;
                // The continuation, or the cell itself again, before the
                // cell: wide and narrow alike, with no branch to mispredict.
                cell[two] = two ? CellData{CellData::k_cont, 0, 0} : cell[0];
                cell[0] = CellData{pen_.word | c | (two ? CellData::k_wide : 0), pen_.fg, pen_.bg};
                wide_ |= two;
                col_ = static_cast<std::uint16_t>(col_ + w);
                s_.last_char_ = c;
                return true;
            }
            if (w < 0 || col_ == 0) return false;
            // As place_mark, on this row.
            std::uint16_t at = static_cast<std::uint16_t>(col_ - 1);
            if (row_[at].cont()) {
                if (at == 0) return false;
                --at;
            }
            grid_->append_mark(slot_, at, c);
            return true;
        }

      private:
        Screen& s_;
        Grid* grid_ = nullptr;
        CellData* row_ = nullptr;
        CellData pen_;
        std::uint32_t slot_ = 0;
        std::uint16_t col_ = 0;
        std::uint16_t cols_ = 0;
        bool wide_ = false;
        bool usable_ = false;
    };
    TextRun text_run() { return TextRun(*this); }
    void print_ascii(const char* p, std::size_t n) {
        if (n == 1 && !text_special_ && state_.link() == 0 && print_one(*p)) return;
        print_run(p, n);
    }
    void execute(std::uint8_t byte);
    void esc_dispatch(std::string_view intermediates, std::uint8_t byte);
    void csi_dispatch(const CsiParams& params, std::string_view intermediates, char action);
    void osc_dispatch(const OscParams& params);

  private:
    Grid& active() { return alternate_screen() ? alternate_ : primary_; }
    // A character alone (after a cursor move or a colour change) where
    // storing it is all there is to do; false when it needs more.
    bool print_one(char c) {
        Grid& g = active();
        g.clamp_cursor_row();  // reference crashes below the grid
        if (g.pos.col >= g.cols()) return false;
        const std::uint32_t slot = g.slot_of(g.pos.row);
        CellData* cell = g.slot_cells(slot) + g.pos.col;
        if (g.slot_special(slot) && (cell->word & CellData::k_special) != 0) return false;
        *cell = CellData{pen_.word | static_cast<unsigned char>(c), pen_.fg, pen_.bg};
        last_char_ = static_cast<unsigned char>(c);
        g.pos.col = static_cast<std::uint16_t>(g.pos.col + 1);
        g.touch_slot(slot, g.pos.col);
        return true;
    }
    void print_run(const char* p, std::size_t n);
    bool departs(std::uint32_t d) const { return state_.departs(d); }
    void text(char32_t c) {
        if (text_special_) [[unlikely]]
            return special_text(c);
        const int w = char_width(c);
        if (w > 0 && place_plain(c, w)) return;
        place(c, w, false);
    }
    void special_text(char32_t c);
    // Puts a character of width w (1 or 2) at the cursor when it fits there
    // over plain cells: the usual case, small enough to inline into the
    // parser. False when it needs place() instead.
    bool place_plain(char32_t c, int w) {
        Grid& g = active();
        g.clamp_cursor_row();  // reference crashes below the grid
        if (g.pos.col + w > g.cols()) return false;
        const std::uint32_t slot = g.slot_of(g.pos.row);
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
        if (state_.link() != 0) link_placed(w);
        g.pos.col = static_cast<std::uint16_t>(g.pos.col + w);
        g.touch_slot(slot, g.pos.col);
        return true;
    }
    void link_placed(int w);
    // Puts a character of width w (char_width's) at the cursor; `insert`
    // shifts the row right first.
    void place(char32_t c, int w, bool insert);
    // A combining character, which joins the cell before the cursor.
    void place_mark(char32_t c);
    // place() where the cell needs wrapping, inserting or a wide character's
    // repairs; kept apart so that the usual path stays small.
    void place_repairing(char32_t c, int w, bool insert);
    // Whether leaving the cursor's row at its edge continues the row.
    bool continues_at_edge(Grid& g) const;
    // Whether text needs more than storing: line drawing or insert mode. Kept
    // in text_special_ so that the usual path tests one flag.
    void update_text_path() { text_special_ = state_.line_drawing() || state_.inserting(); }
    void settle_pending_wrap(Grid& g);
    void pen_changed();
    void tab_forward(Grid& g);
    void repeat(std::uint16_t count);
    void align();
    void column_mode();
    void answer(const CsiParams& params, std::string_view intermediates, char action);
    void set_alternate(bool on) { state_.set_mode(ScreenState::k_alternate_screen, on); }
    void enter_alternate_grid();
    void save_cursor();
    void restore_cursor();
    void reset();
    void decset(const CsiParams& params, bool on);

    VtParser parser_;
    Grid primary_;
    Grid alternate_;
    ScreenState state_;
    // The pen as a blank cell, kept by pen_changed for the text paths.
    CellData pen_;
    // The last character drawn, for REP; 0 after a control.
    char32_t last_char_ = 0;
    bool text_special_ = false;
};

}  // namespace tolvar::pty
