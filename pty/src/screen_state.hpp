// What the screen keeps beside its grids and reads to place text: the pen,
// the modes, the character sets, the tab stops, the titles, the answers and
// the links. Values and their rules only; it touches no cell. Internal to
// the terminal model; single-threaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cells.hpp"
#include "hyperlinks.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "vt_parser.hpp"

namespace tolvar::pty {

// The character sets G0 and G1 and which of them is in use; ASCII or DEC
// special graphics (line drawing).
struct Charsets {
    bool graphics[2] = {false, false};
    std::uint8_t shift = 0;  // 0: G0 (SI), 1: G1 (SO)
    bool in_graphics() const { return graphics[shift]; }
};

class ScreenState {
  public:
    static constexpr std::uint8_t k_application_keypad = 1;
    static constexpr std::uint8_t k_application_cursor = 2;
    static constexpr std::uint8_t k_hide_cursor = 4;
    static constexpr std::uint8_t k_alternate_screen = 8;
    static constexpr std::uint8_t k_bracketed_paste = 16;
    static constexpr std::uint8_t k_focus_events = 32;

    bool departs(std::uint32_t d) const { return (departures_ & d) != 0; }
    void set_departures(std::uint32_t mask) { departures_ = mask; }

    // ---- the pen
    const Attrs& pen() const { return attrs_; }
    // The pen erased and scrolled-in cells take.
    Attrs erase_pen() const {
        if (!departs(departure::background_erase)) return attrs_;
        Attrs a;
        a.bg = attrs_.bg;
        return a;
    }
    // DECSCA: 1 protects the text written after it from DECSED and DECSEL,
    // 0 and 2 end that. Apart from the pen, since SGR neither sets nor ends
    // it, but saved with it.
    void set_protection(std::uint16_t ps);
    bool protecting() const { return protecting_; }
    // Whether DECSED and DECSEL spare protected cells: since a DECSCA, until
    // a reset, as in xterm, so that a program that never sends one erases
    // with them as with ED and EL.
    bool selective_erase() const { return selective_erase_; }
    void sgr(const CsiParams& params);
    // The colour behind a cell's underline colour index; the default (the
    // text colour) for 0.
    Color underline_color(std::uint16_t index) const {
        return index == 0 || index > underline_colors_.size() ? Color()
                                                              : underline_colors_[index - 1];
    }

    // ---- character sets
    bool line_drawing() const { return charsets_.in_graphics(); }
    // SO (1) and SI (0).
    void shift(std::uint8_t to) {
        if (to == 0 || departs(departure::charsets)) charsets_.shift = to;
    }
    void designate(std::string_view intermediates, std::uint8_t final);

    // DECSC and DECRC of the pen and the character sets; the grid keeps the
    // position. xterm keeps one per screen; the reference shares the first.
    // `wrap`: whether the cursor saved with it had its wrap pending, which
    // xterm brings back with it.
    void save_pen(bool wrap) {
        saved_pen() = {attrs_, charsets_, protecting_};
        saved_wrap_[alternate_screen()] = wrap;
    }
    bool saved_wrap() const { return saved_wrap_[alternate_screen()]; }
    void restore_pen() {
        const SavedPen& saved = saved_pen();
        attrs_ = saved.attrs;
        charsets_ = saved.charsets;
        protecting_ = saved.protecting;
    }

    // ---- modes
    bool mode(std::uint8_t m) const { return (modes_ & m) != 0; }
    void set_mode(std::uint8_t m, bool on) {
        modes_ =
            on ? static_cast<std::uint8_t>(modes_ | m) : static_cast<std::uint8_t>(modes_ & ~m);
    }
    bool alternate_screen() const { return mode(k_alternate_screen); }
    MouseMode mouse_mode() const { return mouse_mode_; }
    void set_mouse_mode(MouseMode m, bool on) {
        if (on) {
            mouse_mode_ = m;
        } else if (mouse_mode_ == m) {
            mouse_mode_ = MouseMode::None;
        }
    }
    MouseEncoding mouse_encoding() const { return mouse_encoding_; }
    void set_mouse_encoding(MouseEncoding e, bool on) {
        if (on) {
            mouse_encoding_ = e;
        } else if (mouse_encoding_ == e) {
            mouse_encoding_ = MouseEncoding::Default;
        }
    }
    bool insert_mode() const { return insert_mode_; }
    void set_insert_mode(bool on) { insert_mode_ = on; }
    // LNM: a line feed returns the carriage as well.
    bool new_line_mode() const { return new_line_mode_ && departs(departure::new_line_mode); }
    void set_new_line_mode(bool on) { new_line_mode_ = on; }
    // DECSCNM: the view draws the screen with its default colours swapped.
    bool reverse_video() const { return reverse_video_; }
    void set_reverse_video(bool on) { reverse_video_ = on; }
    // Insert mode as text obeys it.
    bool inserting() const { return insert_mode_ && departs(departure::insert_mode); }
    // DECAWM as the application set it; text obeys it with the departure.
    bool auto_wrap() const { return auto_wrap_; }
    // Whether text that reaches the edge wraps.
    bool wraps() const { return auto_wrap_ || !departs(departure::auto_wrap_off); }
    void set_auto_wrap(bool on) { auto_wrap_ = on; }
    CursorStyle cursor_style() const { return cursor_style_; }
    void set_cursor_style(std::uint16_t ps);

    // ---- tab stops, by column on a row of `cols`
    // The column a tab moves to from `col`; the last column when no stop is
    // left.
    std::uint16_t next_tab_stop(std::uint16_t col, std::uint16_t cols) const;
    // The stop before the column, or 0.
    std::uint16_t previous_tab_stop(std::uint16_t col) const;
    void set_tab_stop(std::uint16_t col, std::uint16_t cols);
    // TBC: 0 the stop at `col`, 3 all of them.
    void clear_tab_stops(std::uint16_t ps, std::uint16_t col, std::uint16_t cols);
    // New columns get the usual stops; the set ones stay.
    void resize_tab_stops(std::uint16_t cols);

    // ---- titles
    const std::string& title() const { return title_; }
    const std::string& icon_name() const { return icon_name_; }
    // OSC 0, 1 and 2.
    void set_titles(const OscParams& params);
    // How many times either was set, which tells a change.
    std::uint64_t titles_set() const { return titles_set_; }

    // ---- answers
    void set_answering(bool on) { answering_ = on; }
    std::string take_answers() { return std::exchange(answers_, {}); }
    // DA and DSR; `row` and `col` are the cursor's as reported, from 1.
    void answer(const CsiParams& params, std::string_view intermediates, char action, unsigned row,
                unsigned col);

    // ---- links
    // The link text is written into now; 0 for none.
    std::uint32_t link() const { return link_; }
    // OSC 8.
    void hyperlink(const OscParams& params);
    // The target of a cell's link; empty when it has none or it was dropped.
    std::string_view hyperlink_target(std::uint32_t id) const { return hyperlinks_.target(id); }

    std::size_t memory_bytes() const {
        return underline_colors_.capacity() * sizeof(Color) + hyperlinks_.memory_bytes();
    }
    // RIS: everything starts over but the titles, the answers and the
    // departures.
    void reset();
    // DECSTR: the pen, the character sets, the protection, the cursor and
    // keypad modes, insert and auto-wrap modes and the saved pens start
    // over, as in xterm; what is on the screen, the tab stops, the titles
    // and the mouse modes stay.
    void soft_reset();

  private:
    struct SavedPen {
        Attrs attrs;
        Charsets charsets;
        bool protecting = false;
    };
    SavedPen& saved_pen() {
        return saved_[departs(departure::saved_cursor_per_screen) && alternate_screen() ? 1 : 0];
    }
    void set_underline_color(Color c);
    std::vector<bool>::reference stop_at(std::uint16_t col, std::uint16_t cols);

    Attrs attrs_;
    Charsets charsets_;
    SavedPen saved_[2];
    // Whether each grid's saved cursor had its wrap pending.
    bool saved_wrap_[2] = {false, false};
    std::uint32_t departures_ = departure::all;
    // Tab stops by column, made at the first ESC H or CSI g; empty means
    // every eighth column.
    std::vector<bool> tab_stops_;
    bool answering_ = false;
    std::string answers_;
    std::string title_;
    std::string icon_name_;
    std::uint64_t titles_set_ = 0;
    std::uint8_t modes_ = 0;
    MouseMode mouse_mode_ = MouseMode::None;
    MouseEncoding mouse_encoding_ = MouseEncoding::Default;
    bool insert_mode_ = false;
    bool new_line_mode_ = false;
    bool auto_wrap_ = true;
    bool selective_erase_ = false;
    bool protecting_ = false;
    bool reverse_video_ = false;
    CursorStyle cursor_style_;
    // Distinct underline colours in order of first use. Cells hold 1 + the
    // place; entries stay for the life of the model (until a reset), since
    // any cell or history line may still name them.
    std::vector<Color> underline_colors_;
    Hyperlinks hyperlinks_;
    std::uint32_t link_ = 0;
};

}  // namespace tolvar::pty
