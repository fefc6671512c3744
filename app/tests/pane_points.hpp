// The window the pointer tests use: one pane at 96 dpi, and the pointer
// positions over its cells.
#pragma once

#include "look/fonts.hpp"
#include "view/geometry.hpp"

namespace tolvar::app::testing {

constexpr Rect k_client{0, 0, 1000, 650};
constexpr CellMetrics k_cell{8, 16, 14};
constexpr Scale k_96{96};

// A pointer position over cell (row, col) of the single pane's text.
constexpr int px(int col) {
    return 6 + 8 * col + 3;
}
constexpr int py(int row) {
    return 34 + 6 + 16 * row + 5;
}

}  // namespace tolvar::app::testing
