// The screen behind TerminalModel: the parser's performer, the two grids, the
// pen, the modes and the titles. Internal to the terminal model.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cells.hpp"
#include "grid.hpp"
#include "hyperlinks.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "vt_parser.hpp"

namespace tolvar::pty {

class Screen {
  public:
    Screen(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback);

    void feed(std::string_view bytes) { parser_.advance(*this, bytes); }
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
    void print(char32_t c) { text(c); }
    void print_ascii(const char* p, std::size_t n);
    void execute(std::uint8_t byte);
    void esc_dispatch(std::string_view intermediates, std::uint8_t byte);
    void csi_dispatch(const CsiParams& params, std::string_view intermediates, char action);
    void osc_dispatch(const OscParams& params);

  private:
    Grid& active() { return alternate_screen() ? alternate_ : primary_; }
    void text(char32_t c);
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
    Attrs saved_attrs_;
    std::string title_;
    std::string icon_name_;
    std::uint8_t modes_ = 0;
    MouseMode mouse_mode_ = MouseMode::None;
    MouseEncoding mouse_encoding_ = MouseEncoding::Default;
    // Tracked for applications that ask; the screen behaves as the reference
    // does, which acts on neither.
    bool insert_mode_ = false;
    bool auto_wrap_ = true;
    CursorStyle cursor_style_;
    // Distinct underline colours in order of first use. Cells hold 1 + the
    // place; entries stay for the life of the model (until a reset), since
    // any cell or history line may still name them.
    std::vector<Color> underline_colors_;
    Hyperlinks hyperlinks_;
    std::uint32_t link_ = 0;  // the link text is written into now; 0 for none
};

}  // namespace tolvar::pty
