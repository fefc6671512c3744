// Box drawing through real GDI under Wine: the pixels a frame of cells leaves
// in a bitmap, so the joins are checked where the user sees them.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "view/box_drawing_win.hpp"
#include "view/gdi_win.hpp"

namespace tolvar::app::win {
namespace {

constexpr Rgb k_fg{230, 220, 40};
constexpr Rgb k_bg{10, 20, 90};

// A top-down 32-bit DIB section selected into a memory DC, filled with k_bg.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const std::uint32_t*>(bits);
        selected_.emplace(dc_.get(), bitmap_.get());
        fill(dc_.get(), {0, 0, width, height}, k_bg);
    }
    HDC dc() const { return dc_.get(); }
    bool ready() const { return bits_ != nullptr; }
    Rgb at(int x, int y) const {
        GdiFlush();
        const std::uint32_t p = bits_[y * width_ + x];
        return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                static_cast<std::uint8_t>(p)};
    }

  private:
    int width_;
    MemoryDc dc_;
    Bitmap bitmap_;
    const std::uint32_t* bits_ = nullptr;
    std::optional<Selected> selected_;
};

std::string at(int x, int y) {
    return "at " + std::to_string(x) + "," + std::to_string(y);
}

// Where the light lines lie in a cell, read from the portable pieces.
int line_row(int w, int h, int stroke) {
    return box_glyph(U'─', w, h, stroke).fills.at(0).rect.top;
}
int line_column(int w, int h, int stroke) {
    return box_glyph(U'│', w, h, stroke).fills.at(0).rect.left;
}

TEST(BoxDrawingGdi, AFrameOfCellsIsOneUnbrokenLine) {
    struct Case {
        int w, h, stroke;
    };
    for (const Case c : {Case{9, 19, 1}, Case{8, 16, 1}, Case{12, 24, 2}}) {
        // ┌─┐
        // │ │
        Canvas canvas(3 * c.w, 2 * c.h);
        ASSERT_TRUE(canvas.ready());
        const char32_t frame[2][3] = {{U'┌', U'─', U'┐'}, {U'│', U' ', U'│'}};
        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < 3; ++col) {
                const Rect cell{col * c.w, row * c.h, (col + 1) * c.w, (row + 1) * c.h};
                draw_box_glyph(canvas.dc(), frame[row][col], cell, k_fg, k_bg, c.stroke);
            }
        }
        const int y = line_row(c.w, c.h, c.stroke);
        const int x = line_column(c.w, c.h, c.stroke);
        const int right_x = 2 * c.w + x;
        for (int s = 0; s < c.stroke; ++s) {
            // The top line runs from the left corner's post to the right one's
            // through both cell boundaries, and no further.
            for (int px = x; px < right_x + c.stroke; ++px) {
                ASSERT_EQ(canvas.at(px, y + s), k_fg) << at(px, y + s);
            }
            EXPECT_EQ(canvas.at(x - 1, y + s), k_bg);
            EXPECT_EQ(canvas.at(right_x + c.stroke, y + s), k_bg);
            // The posts run from the top line down through the row boundary.
            for (int py = y; py < 2 * c.h; ++py) {
                ASSERT_EQ(canvas.at(x + s, py), k_fg) << at(x + s, py);
                ASSERT_EQ(canvas.at(right_x + s, py), k_fg) << at(right_x + s, py);
            }
            EXPECT_EQ(canvas.at(x + s, y - 1), k_bg);
        }
        // Nothing else: just outside the lines, and the empty cell.
        EXPECT_EQ(canvas.at(x + c.stroke, y + c.stroke), k_bg);
        EXPECT_EQ(canvas.at(c.w + c.w / 2, c.h + c.h / 2), k_bg);
        EXPECT_EQ(canvas.at(c.w, y - 1), k_bg);
        EXPECT_EQ(canvas.at(c.w, y + c.stroke), k_bg);
    }
}

TEST(BoxDrawingGdi, FullBlockFillsExactlyItsCellAndShadesBlend) {
    Canvas canvas(40, 40);
    ASSERT_TRUE(canvas.ready());
    const Rect cell{10, 5, 19, 24};
    draw_box_glyph(canvas.dc(), U'█', cell, k_fg, k_bg, 1);
    for (int y = cell.top - 1; y <= cell.bottom; ++y) {
        for (int x = cell.left - 1; x <= cell.right; ++x) {
            ASSERT_EQ(canvas.at(x, y), cell.contains(x, y) ? k_fg : k_bg) << at(x, y);
        }
    }
    const Rect shaded{20, 5, 29, 24};
    draw_box_glyph(canvas.dc(), U'▒', shaded, k_fg, k_bg, 1);
    const Rgb half = blend(k_fg, k_bg, 50);
    EXPECT_EQ(half, (Rgb{120, 120, 65}));
    for (int y = shaded.top; y < shaded.bottom; ++y) {
        for (int x = shaded.left; x < shaded.right; ++x) {
            ASSERT_EQ(canvas.at(x, y), half) << at(x, y);
        }
    }
    EXPECT_EQ(canvas.at(shaded.right, shaded.top), k_bg);
    // Outside the range nothing is drawn, so the font's glyph stands alone.
    draw_box_glyph(canvas.dc(), U'A', {30, 5, 39, 24}, k_fg, k_bg, 1);
    EXPECT_EQ(canvas.at(34, 14), k_bg);
}

}  // namespace
}  // namespace tolvar::app::win
