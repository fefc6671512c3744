// The screen behind TerminalModel: the parser's performer, which acts on the
// two grids and the state beside them. Internal to the terminal model;
// single-threaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "damage_log.hpp"
#include "grid.hpp"
#include "placer.hpp"
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

    const Grid& grid() const { return *active_; }
    const Grid& primary() const { return primary_; }
    const ScreenState& state() const { return state_; }
    DamageLog& damage() { return damage_; }
    // A new number for what changes next.
    void advance() {
        damage_.advance();
        primary_.follow_seq();
        alternate_.follow_seq();
    }
    const DamageLog& damage() const { return damage_; }
    bool alternate_screen() const { return state_.alternate_screen(); }
    // The cursor as the user sees it: past the edge only with a wrap pending.
    Pos cursor() const { return {grid().pos.row, placer_.shown_col(grid())}; }
    bool reverse_video() const { return state_.reverse_video(); }
    std::size_t memory_bytes() const {
        return primary_.memory_bytes() + alternate_.memory_bytes() + state_.memory_bytes();
    }

    // ---- the parser's performer; text goes to the placer
    // Out of line: the parser's actions call it for what its fast paths
    // leave, and inlined it would weigh on every one of them.
    void print(char32_t c);
    Placer::Run text_run() { return placer_.run(active()); }
    void print_ascii(const char* p, std::size_t n) { placer_.place_ascii(active(), p, n); }
    // Carriage return and line feed, a line's whole cost when lines are
    // short, inline in the parser; the other controls out of line.
    void execute(std::uint8_t byte) {
        if (byte == 13) {
            placer_.forget_last();
            active().pos.col = 0;
            return;
        }
        if (byte == 10) {
            placer_.forget_last();
            line_feed(active());
            return;
        }
        execute_other(byte);
    }
    void execute_other(std::uint8_t byte);
    void esc_dispatch(std::string_view intermediates, std::uint8_t byte);
    void csi_dispatch(const CsiParams& params, std::string_view intermediates, char action);
    void osc_dispatch(const OscParams& params);

  private:
    Grid& active() { return *active_; }
    bool departs(std::uint32_t d) const { return state_.departs(d); }
    // After a change of anything else the placer reads: the link, line
    // drawing, insert mode, the departures.
    void placing_changed() { placer_.follow(state_); }
    // After SGR: the placer's pen and the grids' fill follow the state's.
    void pen_changed();
    void line_feed(Grid& g) {
        placer_.settle_pending_wrap(g);
        g.row_inc_scroll(1);
        if (state_.new_line_mode()) g.col_set(0);
    }
    void tab_forward(Grid& g);
    void tab_back(Grid& g);
    void keep_cursor_row(Grid& g, std::uint16_t rows);
    void align();
    void column_mode();
    void answer(const CsiParams& params, std::string_view intermediates, char action);
    // A reader's copy is of one grid, and the scrolls noted are the other's.
    void set_alternate(bool on) {
        if (on != alternate_screen()) damage_.everything();
        state_.set_mode(ScreenState::k_alternate_screen, on);
        active_ = on ? &alternate_ : &primary_;
    }
    void enter_alternate_grid();
    void save_cursor();
    void restore_cursor();
    void reset();
    void soft_reset();
    // DECSED (`display`) and DECSEL: ED and EL that spare protected cells.
    void selective_erase(std::uint16_t ps, bool display);
    void decset(const CsiParams& params, bool on);

    VtParser parser_;
    DamageLog damage_;  // before the grids, which write to it
    Grid primary_;
    Grid alternate_;
    ScreenState state_;
    Placer placer_;
    // The grid that the alternate-screen mode selects, asked for by every
    // character and control: set where that mode changes.
    Grid* active_ = &primary_;
};

}  // namespace tolvar::pty
