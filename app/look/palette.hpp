// The colours a pane is drawn in: a theme's sixteen colours and its
// foreground, background, cursor and selection, and the rest of the 256 the
// xterm way. Portable; built once per theme change and read by every paint.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "tolvar/pty/terminal_model.hpp"
#include "view/geometry.hpp"

namespace tolvar::app {

struct Theme {
    std::string_view name;  // as the Theme menu shows it
    Rgb foreground;
    Rgb background;
    Rgb cursor;
    Rgb selection_foreground;
    Rgb selection_background;
    std::array<Rgb, 16> ansi;
    friend constexpr bool operator==(const Theme&, const Theme&) = default;
};

// The colours the program had before themes existed.
const Theme& default_theme();

class Palette {
  public:
    Palette();
    // `bold_is_bright`: bold text in one of the eight basic colours is drawn
    // in its bright variant, as most terminals do.
    explicit Palette(const Theme& theme, bool bold_is_bright = true);

    // 0-15 the theme's, 16-231 the 6 x 6 x 6 cube (levels 0, 95, 135, 175,
    // 215, 255), 232-255 the grey ramp 8 + 10 n.
    Rgb indexed(std::uint8_t index) const { return table_[index]; }
    Rgb foreground(pty::Color color, bool bold = false) const;
    Rgb background(pty::Color color) const;

    const Theme& theme() const { return theme_; }
    bool bold_is_bright() const { return bold_is_bright_; }
    friend bool operator==(const Palette&, const Palette&) = default;

  private:
    Theme theme_;
    bool bold_is_bright_ = true;
    std::array<Rgb, 256> table_{};
};

}  // namespace tolvar::app
