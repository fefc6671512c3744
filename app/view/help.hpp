// The help screen: its rows of keys and their descriptions, and where the
// panel, title and columns go. Pure functions; drawing is Win32.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "view/geometry.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

inline constexpr std::size_t k_help_rows = 24;
inline constexpr std::string_view k_help_title = "tolvar (network) keys";

struct HelpRow {
    std::string key;
    std::string_view description;
};

// The first row names the nav_modifier setting as written ("Alt" when empty).
std::array<HelpRow, k_help_rows> help_rows(std::string_view nav_modifier);

struct HelpLayout {
    Rect panel;
    Rect title;
    int row_height = 0;
    int key_width = 0;

    Rect key_cell(std::size_t row) const;
    Rect description_cell(std::size_t row) const;
};

// Centred in the client area; at least 280 pixels (at 96 DPI) wide even when
// that overhangs a narrow window.
HelpLayout help_layout(int client_width, int client_height, int cell_height, Scale scale);

inline constexpr Rgb k_help_background{24, 28, 36};
inline constexpr Rgb k_help_frame{86, 156, 214};
inline constexpr Rgb k_help_title_color{240, 244, 250};
inline constexpr Rgb k_help_key_color{120, 180, 240};
inline constexpr Rgb k_help_description_color{210, 214, 222};

}  // namespace tolvar::app
