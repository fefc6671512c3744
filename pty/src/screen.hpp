// The screen behind TerminalModel: the parser's performer, the two grids, the
// pen, the modes and the titles. Internal to the terminal model.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cells.hpp"
#include "char_width.hpp"
#include "grid.hpp"
#include "hyperlinks.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "vt_parser.hpp"

namespace tolvar::pty {

class Screen {
  public:
    Screen(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback);

    void feed(std::string_view bytes) { parser_.advance(*this, bytes); }
    void set_answering(bool on) { answering_ = on; }
    std::string take_answers() { return std::exchange(answers_, {}); }
    void set_departures(std::uint32_t mask);
    void set_size(std::uint16_t rows, std::uint16_t cols);
    void clear_scrollback() { primary_.drop_scrollback(); }

    const Grid& grid() const { return alternate_screen() ? alternate_ : primary_; }
    const Grid& primary() const { return primary_; }
    bool alternate_screen() const { return (modes_ & k_alternate_screen) != 0; }
    bool mode(std::uint8_t m) const { return (modes_ & m) != 0; }
    MouseMode mouse_mode() const { return mouse_mode_; }
    MouseEncoding mouse_encoding() const { return mouse_encoding_; }
    const std::string& title() const { return title_; }
    const std::string& icon_name() const { return icon_name_; }
    bool insert_mode() const { return insert_mode_; }
    bool auto_wrap() const { return auto_wrap_; }
    bool reverse_video() const { return reverse_video_; }
    CursorStyle cursor_style() const { return cursor_style_; }
    // The colour behind a cell's underline colour index; the default (the
    // text colour) for 0.
    Color underline_color(std::uint16_t index) const {
        return index == 0 || index > underline_colors_.size() ? Color()
                                                              : underline_colors_[index - 1];
    }
    // The target of a cell's link; empty when it has none or it was dropped.
    std::string_view hyperlink_target(std::uint32_t id) const { return hyperlinks_.target(id); }
    std::size_t memory_bytes() const {
        return primary_.memory_bytes() + alternate_.memory_bytes() +
               underline_colors_.capacity() * sizeof(Color) + hyperlinks_.memory_bytes();
    }

    static constexpr std::uint8_t k_application_keypad = 1;
    static constexpr std::uint8_t k_application_cursor = 2;
    static constexpr std::uint8_t k_hide_cursor = 4;
    static constexpr std::uint8_t k_alternate_screen = 8;
    static constexpr std::uint8_t k_bracketed_paste = 16;
    static constexpr std::uint8_t k_focus_events = 32;

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
        if (n == 1 && !text_special_ && link_ == 0 && print_one(*p)) return;
        print_run(p, n);
    }
    void execute(std::uint8_t byte);
    void esc_dispatch(std::string_view intermediates, std::uint8_t byte);
    void csi_dispatch(const CsiParams& params, std::string_view intermediates, char action);
    void osc_dispatch(const OscParams& params);

  private:
    // The character sets G0 and G1 and which of them is in use; ASCII or
    // DEC special graphics (line drawing).
    struct Charsets {
        bool graphics[2] = {false, false};
        std::uint8_t shift = 0;  // 0: G0 (SI), 1: G1 (SO)
        bool in_graphics() const { return graphics[shift]; }
    };
    // What DECSC keeps beside the grid's position.
    struct SavedPen {
        Attrs attrs;
        Charsets charsets;
    };

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
    bool departs(std::uint32_t d) const { return (departures_ & d) != 0; }
    void text(char32_t c) {
        if (text_special_) [[unlikely]] return special_text(c);
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
        if (link_ != 0) link_placed(w);
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
    void update_text_path() {
        text_special_ =
            charsets_.in_graphics() || (insert_mode_ && departs(departure::insert_mode));
    }
    void settle_pending_wrap(Grid& g);
    void keep_cursor_row(Grid& g, std::uint16_t rows);
    // The pen erased and scrolled-in cells take.
    Attrs erase_pen() const {
        if (!departs(departure::background_erase)) return attrs_;
        Attrs a;
        a.bg = attrs_.bg;
        return a;
    }
    void pen_changed();
    void designate(std::string_view intermediates, std::uint8_t final);
    void tab_forward(Grid& g);
    void tab_back(Grid& g);
    std::vector<bool>::reference tab_stop_at_cursor(const Grid& g);
    void set_tab_stop(Grid& g);
    void clear_tab_stops(std::uint16_t ps, Grid& g);
    void repeat(std::uint16_t count);
    void align();
    void column_mode();
    void answer(const CsiParams& params, std::string_view intermediates, char action);
    SavedPen& saved_pen() {
        return saved_[departs(departure::saved_cursor_per_screen) && alternate_screen() ? 1 : 0];
    }
    void set_mode(std::uint8_t m) { modes_ |= m; }
    void clear_mode(std::uint8_t m) { modes_ &= static_cast<std::uint8_t>(~m); }
    void enter_alternate_grid();
    void save_cursor();
    void restore_cursor();
    void reset();
    void decset(const CsiParams& params, bool on);
    void sgr(const CsiParams& params);
    void set_underline_color(Color c);
    void set_cursor_style(std::uint16_t ps);
    void hyperlink(const OscParams& params);

    VtParser parser_;
    Grid primary_;
    Grid alternate_;
    Attrs attrs_;
    // attrs_ as a blank cell, kept by pen_changed for the text paths.
    CellData pen_;
    Charsets charsets_;
    // DECSC's pen for the primary and the alternate screen, as xterm keeps
    // one per screen; the reference shares the first.
    SavedPen saved_[2];
    // Whether each grid's saved cursor had its wrap pending.
    bool saved_wrap_[2] = {false, false};
    std::uint32_t departures_ = departure::all;
    // Tab stops by column, made at the first ESC H or CSI g; empty means
    // every eighth column.
    std::vector<bool> tab_stops_;
    // The last character drawn, for REP; 0 after a control.
    char32_t last_char_ = 0;
    bool text_special_ = false;
    bool answering_ = false;
    std::string answers_;
    std::string title_;
    std::string icon_name_;
    std::uint8_t modes_ = 0;
    MouseMode mouse_mode_ = MouseMode::None;
    MouseEncoding mouse_encoding_ = MouseEncoding::Default;
    // Insert mode is acted on; auto-wrap only tracked.
    bool insert_mode_ = false;
    // LNM: a line feed returns the carriage as well.
    bool new_line_mode_ = false;
    bool auto_wrap_ = true;
    bool reverse_video_ = false;
    CursorStyle cursor_style_;
    // Distinct underline colours in order of first use. Cells hold 1 + the
    // place; entries stay for the life of the model (until a reset), since
    // any cell or history line may still name them.
    std::vector<Color> underline_colors_;
    Hyperlinks hyperlinks_;
    std::uint32_t link_ = 0;  // the link text is written into now; 0 for none
};

}  // namespace tolvar::pty
