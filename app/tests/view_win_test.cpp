// The GDI side of the view under Wine: which face the font set-up settles on,
// and the pixels a pane paint leaves in a bitmap.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <set>

#include "tolvar/core/win/win32.hpp"
#include "view/pane_painter_win.hpp"
#include "view/view_win.hpp"

namespace tolvar::app::win {
namespace {

core::FontSettings faces(std::string family, std::vector<std::string> fallbacks,
                         float size = 12.0f) {
    core::FontSettings font;
    font.family = std::move(family);
    font.fallbacks = std::move(fallbacks);
    font.size_pt = size;
    return font;
}

// A face that is surely installed: the one GDI substitutes for a missing one.
std::string installed_face() {
    HDC dc = GetDC(nullptr);
    HFONT probe = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FF_MODERN,
                              L"No Such Face 0");
    HGDIOBJ old = SelectObject(dc, probe);
    wchar_t face[64] = {};
    GetTextFaceW(dc, 64, face);
    SelectObject(dc, old);
    DeleteObject(probe);
    ReleaseDC(nullptr, dc);
    return core::win::from_wide(face);
}

std::string lowercase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(FontSetup, FirstInstalledCandidateWinsElseConsolas) {
    const std::string installed = installed_face();
    ASSERT_FALSE(installed.empty());
    TerminalFont font;
    // Matched without regard to case, and kept as written.
    font.setup(nullptr, faces("No Such Face 1", {"", "No Such Face 2", lowercase(installed)}));
    EXPECT_EQ(font.family(), lowercase(installed));
    font.setup(nullptr, faces("", {"No Such Face 3"}));
    EXPECT_EQ(font.family(), "Consolas");
    EXPECT_GE(font.cell().width, 1);
    EXPECT_GE(font.cell().height, font.cell().text_height);
}

// Liberation Mono has no U+2318 (the command key sign); DejaVu Sans Mono,
// installed with it, has. A character no font has stays with the terminal
// font, for GDI's own linking to try.
TEST(FontSetup, AGlyphTheFontLacksComesFromTheFirstFallbackThatHasIt) {
    TerminalFont font;
    font.setup(nullptr, faces("Liberation Mono", {"No Such Face 4", "DejaVu Sans Mono"}));
    if (font.family() != "Liberation Mono") GTEST_SKIP() << "Liberation Mono is not installed";
    GlyphFonts& glyphs = font.glyphs();
    EXPECT_EQ(glyphs.font_for(U'\u00E9'), 0);
    const std::uint8_t command_key = glyphs.font_for(U'\u2318');
    ASSERT_NE(command_key, 0);
    EXPECT_EQ(lowercase(core::win::from_wide([&] {
                  HDC dc = CreateCompatibleDC(nullptr);
                  HGDIOBJ old = SelectObject(dc, font.face(command_key, k_face_bold));
                  wchar_t face[64] = {};
                  GetTextFaceW(dc, 64, face);
                  SelectObject(dc, old);
                  DeleteDC(dc);
                  return std::wstring(face);
              }())),
              "dejavu sans mono");
    // Asked again, the answer comes from what was found.
    EXPECT_EQ(glyphs.font_for(U'\u2318'), command_key);
    EXPECT_EQ(glyphs.font_for(U'\U0010FFFD'), 0);
}

TEST(FontSetup, SizesAreClampedTo6And72Points) {
    const auto height = [](float size) {
        TerminalFont font;
        font.setup(nullptr, faces(installed_face(), {}, size));
        return font.cell().text_height;
    };
    EXPECT_EQ(height(2.0f), height(6.0f));
    EXPECT_EQ(height(100.0f), height(72.0f));
    EXPECT_LT(height(6.0f), height(12.0f));
}

// A 32-bit bitmap filled with the window background, the terminal font
// selected, as the paint handler prepares its back buffer.
class Canvas {
  public:
    Canvas(int width, int height, HFONT font) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_bitmap_ = SelectObject(dc_, bitmap_);
        old_font_ = SelectObject(dc_, font);
        fill(dc_, {0, 0, width, height}, k_window_background);
    }
    ~Canvas() {
        SelectObject(dc_, old_font_);
        SelectObject(dc_, old_bitmap_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    Rgb at(int x, int y) const {
        GdiFlush();
        const std::uint32_t p = bits_[y * width_ + x];
        return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                static_cast<std::uint8_t>(p)};
    }
    int height() const { return height_; }

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    HGDIOBJ old_bitmap_ = nullptr;
    HGDIOBJ old_font_ = nullptr;
};

class PanePaint : public ::testing::Test {
  protected:
    void SetUp() override { font_.setup(nullptr, faces(installed_face(), {})); }
    const CellMetrics& cell() const { return font_.cell(); }
    // The default colours, drawn with the set-up's faces and lines.
    PaneLook terminal_look() const {
        PaneLook look(palette_);
        look.font = &font_;
        return look;
    }
    TerminalFont font_;
    Palette palette_;
};

TEST_F(PanePaint, RunsFillTheirCellsAndBlankRunsAreLeftAlone) {
    pty::TerminalModel model(4, 20);
    model.feed("\x1b[41mAB\x1b[0m  \x1b[44m\xE6\x97\xA5x\x1b[0m");
    Canvas canvas(400, 200, font_.font());
    const Rect text{10, 20, 10 + 20 * cell().width, 20 + 4 * cell().height};
    const PaneStats stats =
        paint_screen(canvas.dc(), Palette(), model, text, cell(), false, std::nullopt);
    EXPECT_EQ(stats.runs, 2);  // the two spaces between are blank on the default background
    const int w = cell().width;
    const auto cell_corner = [&](int col) { return canvas.at(text.left + col * w, text.top); };
    EXPECT_EQ(cell_corner(0), (Rgb{197, 15, 31}));
    EXPECT_EQ(cell_corner(1), (Rgb{197, 15, 31}));
    EXPECT_EQ(cell_corner(2), default_theme().background);
    // The wide character fills two cells; the x after it starts two further.
    EXPECT_EQ(cell_corner(4), (Rgb{0, 55, 218}));
    EXPECT_EQ(cell_corner(5), (Rgb{0, 55, 218}));
    EXPECT_EQ(cell_corner(6), (Rgb{0, 55, 218}));
    EXPECT_EQ(cell_corner(7), default_theme().background);
    EXPECT_EQ(canvas.at(text.left + 7 * w - 1, text.top + cell().height - 1), (Rgb{0, 55, 218}));
    EXPECT_EQ(canvas.at(text.left, text.top + cell().height), default_theme().background);
}

TEST_F(PanePaint, CursorBarAndSelectionColours) {
    pty::TerminalModel model(4, 20);
    model.feed("abc\r\nde");
    Canvas canvas(400, 200, font_.font());
    const Rect text{0, 0, 20 * cell().width, 4 * cell().height};
    paint_screen(canvas.dc(), Palette(), model, text, cell(), true, SelectionSpan({0, 1}, {0, 1}));
    const int w = cell().width;
    const int h = cell().height;
    EXPECT_EQ(canvas.at(w + 1, 0), default_theme().selection_background);
    EXPECT_EQ(canvas.at(2 * w + 1, 0), default_theme().background);
    // The cursor after "de": a 2-pixel bar along the bottom of cell (1, 2).
    EXPECT_EQ(canvas.at(2 * w, 2 * h - 1), default_theme().cursor);
    EXPECT_EQ(canvas.at(3 * w - 1, 2 * h - 2), default_theme().cursor);
    EXPECT_EQ(canvas.at(2 * w, 2 * h - 3), default_theme().background);
}

// Cells' backgrounds show the palette exactly; blanks make the glyphs drop
// out of the picture.
TEST_F(PanePaint, TheWholePaletteAndBoldBrightColoursAsPixels) {
    pty::TerminalModel model(2, 20);
    model.feed(
        "\x1b[48;5;16m \x1b[48;5;196m \x1b[48;5;231m \x1b[48;5;232m \x1b[48;5;255m "
        "\x1b[48;2;10;200;30m \x1b[0;1;31;7m \x1b[0m");
    Canvas canvas(400, 100, font_.font());
    const Rect text{0, 0, 20 * cell().width, 2 * cell().height};
    PaneLook look = terminal_look();
    paint_screen(canvas.dc(), look, model, text, cell(), false, std::nullopt);
    const auto at = [&](int col) {
        return canvas.at(col * cell().width + cell().width / 2, cell().height / 2);
    };
    EXPECT_EQ(at(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(at(1), (Rgb{255, 0, 0}));
    EXPECT_EQ(at(2), (Rgb{255, 255, 255}));
    EXPECT_EQ(at(3), (Rgb{8, 8, 8}));
    EXPECT_EQ(at(4), (Rgb{238, 238, 238}));
    EXPECT_EQ(at(5), (Rgb{10, 200, 30}));
    // Bold red, inverse: the bright red becomes the background.
    EXPECT_EQ(at(6), default_theme().ansi[9]);
}

TEST_F(PanePaint, UnderlinesAndTheStrikeSitOnTheFontsLines) {
    pty::TerminalModel model(3, 20);
    model.feed("\x1b[4m    \x1b[0m\r\n\x1b[9m    \x1b[0m\r\n\x1b[4:3;58;2;0;255;0m    \x1b[0m");
    Canvas canvas(400, 100, font_.font());
    const int h = cell().height;
    const Rect text{0, 0, 20 * cell().width, 3 * h};
    PaneLook look = terminal_look();
    paint_screen(canvas.dc(), look, model, text, cell(), false, std::nullopt);
    const LineMetrics& lines = font_.lines();
    const Rgb fg = default_theme().foreground;
    const Rgb bg = default_theme().background;
    const int y = std::min(lines.underline_top, h - lines.underline_thickness);
    for (int x = 0; x < 4 * cell().width; ++x) ASSERT_EQ(canvas.at(x, y), fg) << x;
    EXPECT_EQ(canvas.at(4 * cell().width + 1, y), bg);
    EXPECT_EQ(canvas.at(1, 1), bg);
    const int strike = h + lines.strike_top;
    for (int x = 0; x < 4 * cell().width; ++x) ASSERT_EQ(canvas.at(x, strike), fg) << x;
    EXPECT_EQ(canvas.at(1, h + 1), bg);
    // The curl is drawn in the underline colour, in every column and over
    // more than one pixel row, inside its cell row.
    std::set<int> rows;
    for (int x = 0; x < 4 * cell().width; ++x) {
        bool found = false;
        for (int yy = 2 * h; yy < 3 * h; ++yy) {
            if (canvas.at(x, yy) == Rgb{0, 255, 0}) {
                found = true;
                rows.insert(yy);
            }
        }
        ASSERT_TRUE(found) << x;
    }
    EXPECT_GE(rows.size(), 3u);
}

TEST_F(PanePaint, BlockAndBarCursorsAndAHollowOneWithoutFocus) {
    pty::TerminalModel model(2, 20);
    model.feed("ab\x1b[2 q");
    Canvas canvas(400, 100, font_.font());
    const int w = cell().width;
    const int h = cell().height;
    const Rect text{0, 0, 20 * w, 2 * h};
    PaneLook look = terminal_look();
    const Rgb cursor = default_theme().cursor;
    const Rgb bg = default_theme().background;
    paint_screen(canvas.dc(), look, model, text, cell(), true, std::nullopt);
    EXPECT_EQ(canvas.at(2 * w, 0), cursor);
    EXPECT_EQ(canvas.at(3 * w - 1, h - 1), cursor);
    EXPECT_EQ(canvas.at(3 * w, 0), bg);

    model.feed("\x1b[6 q");
    look.cursor_thickness = 2;
    paint_screen(canvas.dc(), look, model, text, cell(), true, std::nullopt);
    EXPECT_EQ(canvas.at(2 * w, h / 2), cursor);
    EXPECT_EQ(canvas.at(2 * w + 1, h / 2), cursor);
    EXPECT_EQ(canvas.at(2 * w + 2, h / 2), bg);

    look.window_focused = false;
    paint_screen(canvas.dc(), look, model, text, cell(), true, std::nullopt);
    EXPECT_EQ(canvas.at(2 * w + w / 2, 0), cursor);
    EXPECT_EQ(canvas.at(2 * w + w / 2, h - 1), cursor);
    EXPECT_EQ(canvas.at(2 * w + w / 2, h / 2), bg);
}

TEST_F(PanePaint, BoxDrawingJoinsAcrossCells) {
    pty::TerminalModel model(3, 20);
    // A corner, a line to its right and a line under it.
    model.feed("\xE2\x94\x8C\xE2\x94\x80\r\n\xE2\x94\x82");
    Canvas canvas(400, 100, font_.font());
    const int w = cell().width;
    const int h = cell().height;
    const Rect text{0, 0, 20 * w, 3 * h};
    PaneLook look = terminal_look();
    look.box_stroke = 1;
    paint_screen(canvas.dc(), look, model, text, cell(), false, std::nullopt);
    const Rgb fg = default_theme().foreground;
    const int row = (h - 1) / 2;
    const int col = (w - 1) / 2;
    // The horizontal line runs unbroken from the corner's middle through the
    // next cell; the vertical one from the corner's middle down the next row.
    for (int x = col; x < 2 * w; ++x) ASSERT_EQ(canvas.at(x, row), fg) << x;
    for (int y = row; y < 2 * h; ++y) ASSERT_EQ(canvas.at(col, y), fg) << y;
    EXPECT_NE(canvas.at(col - 1, row), fg);
    EXPECT_NE(canvas.at(col, row - 1), fg);
}

TEST_F(PanePaint, PaneNarrowerThanACellDrawsNothing) {
    pty::TerminalModel model(4, 20);
    model.feed("\x1b[41mred");
    Canvas canvas(100, 100, font_.font());
    const Rect text{5, 5, 5 + cell().width - 1, 5 + 4 * cell().height};
    const PaneStats stats =
        paint_screen(canvas.dc(), Palette(), model, text, cell(), true, std::nullopt);
    EXPECT_EQ(stats.runs, 0);
    for (int y = 0; y < canvas.height(); y += 3) {
        for (int x = 0; x < 100; x += 3) ASSERT_EQ(canvas.at(x, y), default_theme().background);
    }
}

}  // namespace
}  // namespace tolvar::app::win
