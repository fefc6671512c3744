#include "view/pane_painter.hpp"

#include <gtest/gtest.h>

#include "look/fonts.hpp"

namespace tolvar::app {
namespace {

constexpr CellMetrics k_cell{8, 16, 14};
constexpr Rgb k_red{197, 15, 31};

struct Drawn {
    std::uint16_t first_col;
    int cells;
    Rgb fg;
    Rgb bg;
    std::u16string text;
    std::vector<int> advances;
    RunStyle style{};
    std::vector<std::uint16_t> box_cols{};
};

struct Collect final : RunSink {
    std::vector<Drawn> runs;
    void draw(const TextRun& run) override {
        std::vector<std::uint16_t> boxes;
        for (const BoxCell& b : run.boxes) boxes.push_back(b.col);
        runs.push_back({run.first_col, run.cells, run.fg, run.bg, std::u16string(run.text),
                        std::vector<int>(run.advances.begin(), run.advances.end()), run.style,
                        boxes});
    }
};

// Font 1 has the Greek letters, font 2 the rest past ASCII.
struct FakeFonts final : GlyphFonts {
    int asked = 0;
    std::uint8_t font_for(char32_t cp) override {
        ++asked;
        return cp >= 0x370 && cp < 0x400 ? 1 : 2;
    }
};

std::vector<Drawn> styled_runs(std::string_view bytes, GlyphFonts* fonts = nullptr,
                               std::optional<std::uint16_t> block_cursor = std::nullopt) {
    pty::TerminalModel model(2, 12);
    model.feed(bytes);
    Collect sink;
    const Palette palette;
    RunBuilder builder(palette, k_cell.width, 12, fonts);
    pty::LineCells line;
    model.line(model.history_end(), line);
    builder.row(line, model.history_end(), 12, std::nullopt, {}, sink, block_cursor);
    return sink.runs;
}

// The runs of line `number` (the live screen's row 0 is history_end()).
std::vector<Drawn> line_runs(const pty::TerminalModel& model, pty::LineNumber number,
                             std::optional<SelectionSpan> selection = std::nullopt,
                             std::optional<std::uint16_t> cols = std::nullopt,
                             std::vector<MatchSpan> matches = {}) {
    Collect sink;
    const std::uint16_t visible = cols.value_or(model.cols());
    const Palette palette;
    RunBuilder builder(palette, k_cell.width, visible);
    pty::LineCells line;
    model.line(number, line);
    builder.row(line, number, visible, selection, matches, sink);
    return sink.runs;
}

std::vector<Drawn> row_runs(const pty::TerminalModel& model, std::uint16_t row,
                            std::optional<SelectionSpan> selection = std::nullopt,
                            std::optional<std::uint16_t> cols = std::nullopt) {
    return line_runs(model, model.history_end() + row, selection, cols);
}

pty::TerminalModel screen(std::string_view bytes, std::uint16_t rows = 4, std::uint16_t cols = 20) {
    pty::TerminalModel model(rows, cols);
    model.feed(bytes);
    return model;
}

TEST(Palette, TheCubeAndTheGreyRampFollowXtermAndRgbIsKept) {
    const Palette palette;
    EXPECT_EQ(palette.indexed(15), (Rgb{242, 242, 242}));
    EXPECT_EQ(palette.indexed(16), (Rgb{0, 0, 0}));
    EXPECT_EQ(palette.indexed(21), (Rgb{0, 0, 255}));
    EXPECT_EQ(palette.indexed(196), (Rgb{255, 0, 0}));
    EXPECT_EQ(palette.indexed(102), (Rgb{135, 135, 135}));
    EXPECT_EQ(palette.indexed(231), (Rgb{255, 255, 255}));
    EXPECT_EQ(palette.indexed(232), (Rgb{8, 8, 8}));
    EXPECT_EQ(palette.indexed(255), (Rgb{238, 238, 238}));
    EXPECT_EQ(palette.foreground(pty::Color::rgb(1, 2, 3)), (Rgb{1, 2, 3}));
    EXPECT_EQ(palette.background(pty::Color::rgb(1, 2, 3)), (Rgb{1, 2, 3}));
    EXPECT_EQ(palette.foreground(pty::Color()), default_theme().foreground);
    EXPECT_EQ(palette.background(pty::Color()), default_theme().background);
}

TEST(Palette, BoldBrightensOnlyTheEightBasicForegroundsUnlessTurnedOff) {
    const Palette bright;
    EXPECT_EQ(bright.foreground(pty::Color::indexed(1), true), default_theme().ansi[9]);
    EXPECT_EQ(bright.foreground(pty::Color::indexed(1), false), default_theme().ansi[1]);
    EXPECT_EQ(bright.foreground(pty::Color::indexed(9), true), default_theme().ansi[9]);
    EXPECT_EQ(bright.foreground(pty::Color::indexed(100), true), bright.indexed(100));
    EXPECT_EQ(bright.foreground(pty::Color(), true), default_theme().foreground);
    EXPECT_EQ(bright.background(pty::Color::indexed(1)), default_theme().ansi[1]);
    const Palette plain(default_theme(), false);
    EXPECT_EQ(plain.foreground(pty::Color::indexed(1), true), default_theme().ansi[1]);
}

TEST(Runs, ColourChangesSplitRunsAndTrailingBlanksAreSkipped) {
    const auto model = screen("\x1b[31mred\x1b[0m plain");
    const auto runs = row_runs(model, 0);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].first_col, 0);
    EXPECT_EQ(runs[0].text, u"red");
    EXPECT_EQ(runs[0].fg, k_red);
    EXPECT_EQ(runs[0].bg, default_theme().background);
    EXPECT_EQ(runs[0].advances, (std::vector<int>{8, 8, 8}));
    // The default-coloured rest of the row is one run, trailing blanks included.
    EXPECT_EQ(runs[1].first_col, 3);
    EXPECT_EQ(runs[1].cells, 17);
    EXPECT_EQ(runs[1].text.substr(0, 6), u" plain");
    EXPECT_TRUE(row_runs(model, 1).empty());  // blank on the default background
}

TEST(Runs, BlankRunsOnAColouredBackgroundAreDrawn) {
    const auto runs = row_runs(screen("\x1b[44m  \x1b[0m"), 0);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].bg, (Rgb{0, 55, 218}));
    EXPECT_EQ(runs[0].cells, 2);
}

TEST(Runs, CubeColoursBoldBrightAndRgbAsGiven) {
    const auto runs = row_runs(screen("\x1b[38;5;100mA\x1b[1;31mB\x1b[38;2;255;0;0mC\x1b[0m"), 0);
    ASSERT_GE(runs.size(), 3u);
    EXPECT_EQ(runs[0].fg, (Rgb{135, 135, 0}));
    EXPECT_EQ(runs[1].fg, (Rgb{231, 72, 86}));
    EXPECT_EQ(runs[2].fg, (Rgb{255, 0, 0}));
}

TEST(Runs, FacesAndFontsSplitRunsButSpacesAndBoxesJoinTheRunTheyAreIn) {
    FakeFonts fonts;
    const auto runs =
        styled_runs("a \x1b[1mb c\x1b[3md\x1b[0m \xCE\xB1\xE2\x94\x80\xE2\x82\xAC", &fonts);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].text, u"a ");
    EXPECT_EQ(runs[0].style.face, 0);
    // The space after the bold b stays bold, so "b c" is one run.
    EXPECT_EQ(runs[1].text, u"b c");
    EXPECT_EQ(runs[1].style.face, k_face_bold);
    // The plain space after d keeps its face; the box after alpha keeps
    // alpha's font and holds a space where the program draws it.
    EXPECT_EQ(runs[2].text, u"d ");
    EXPECT_EQ(runs[2].style.face, k_face_bold | k_face_italic);
    EXPECT_EQ(runs[3].text, u"\u03B1 ");
    EXPECT_EQ(runs[3].style.font, 1);
    EXPECT_EQ(runs[3].box_cols, (std::vector<std::uint16_t>{8}));
    EXPECT_EQ(runs[4].text, u"\u20AC  ");
    EXPECT_EQ(runs[4].style.font, 2);
    EXPECT_EQ(fonts.asked, 2);  // ASCII, spaces and boxes never ask
}

TEST(Runs, LinesFaintConcealAndTheBlockCursor) {
    const Theme& theme = default_theme();
    auto runs =
        styled_runs("\x1b[4:3;58;5;196mx\x1b[24;9my\x1b[0;2mz\x1b[0;8msecret\x1b[0;4m \x1b[0m ");
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].style.underline, pty::Underline::Curly);
    EXPECT_EQ(runs[0].style.underline_color, (Rgb{255, 0, 0}));
    EXPECT_TRUE(runs[1].style.strikethrough);
    EXPECT_EQ(runs[1].style.underline, pty::Underline::None);
    // Faint: halfway to the background.
    EXPECT_EQ(runs[2].fg, (Rgb{116, 118, 123}));
    // Concealed text is blank, so on the default background nothing is
    // drawn; an underlined blank is, its line in the text colour.
    EXPECT_EQ(runs[3].first_col, 9);
    EXPECT_EQ(runs[3].text, u" ");
    EXPECT_EQ(runs[3].style.underline, pty::Underline::Single);
    EXPECT_EQ(runs[3].style.underline_color, theme.foreground);

    runs = styled_runs("ab", nullptr, 1);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].text, u"b");
    EXPECT_EQ(runs[1].fg, theme.background);
    EXPECT_EQ(runs[1].bg, theme.cursor);
}

TEST(Decorations, LinesStayInTheCellAndWavesJoinAtCellEdges) {
    const LineMetrics lines{12, 13, 1, 8, 1};
    const Rect box{16, 32, 40, 48};  // three cells of 8 x 16
    Decoration d;
    RunStyle style;
    style.underline = pty::Underline::Double;
    style.strikethrough = true;
    decorate(style, box, 8, lines, d);
    // The double underline does not fit under 13: it moves up to end at the bottom.
    EXPECT_EQ(d.underline, (std::vector<Rect>{{16, 45, 40, 46}, {16, 47, 40, 48}}));
    EXPECT_EQ(d.strike, (Rect{16, 40, 40, 41}));
    style = {};
    style.underline = pty::Underline::Curly;
    decorate(style, box, 8, lines, d);
    EXPECT_TRUE(d.underline.empty());
    EXPECT_FALSE(d.strike);
    ASSERT_EQ(d.wave.size(), 10u);
    // Every cell starts its wave on the middle line, so runs join up.
    EXPECT_EQ(d.wave[0], (Decoration::Point{16, 45}));
    EXPECT_EQ(d.wave[3], (Decoration::Point{24, 45}));
    EXPECT_EQ(d.wave[9], (Decoration::Point{40, 45}));
    for (const auto& p : d.wave) EXPECT_TRUE(p.y >= 32 && p.y < 48);
    style.underline = pty::Underline::Dashed;
    decorate(style, box, 8, lines, d);
    EXPECT_EQ(d.underline.size(), 3u);
    style.underline = pty::Underline::Dotted;
    decorate(style, box, 8, lines, d);
    EXPECT_EQ(d.underline.size(), 12u);
}

TEST(Runs, InverseSwapsDefaultColoursToo) {
    const auto runs = row_runs(screen("\x1b[7mX \x1b[0m"), 0);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].fg, (Rgb{12, 14, 18}));
    EXPECT_EQ(runs[0].bg, (Rgb{220, 223, 228}));
    EXPECT_EQ(runs[0].cells, 2);
}

TEST(Runs, AReverseVideoScreenSwapsTheDefaultColoursOnly) {
    // A visual bell (tput flash) and vttest set DECSCNM: default text is
    // drawn dark on light, explicit colours stay, inverse cells turn back.
    const auto model = screen("\x1b[?5hab\x1b[31mc\x1b[0m\x1b[7md\x1b[0m");
    const Theme& normal = default_theme();
    const Palette palette = screen_palette(Palette(), model.reverse_video());
    EXPECT_EQ(palette.theme().background, normal.foreground);
    EXPECT_EQ(palette.theme().cursor, normal.cursor);
    Collect sink;
    RunBuilder builder(palette, k_cell.width, 20);
    pty::LineCells line;
    model.line(model.history_end(), line);
    builder.row(line, model.history_end(), 20, std::nullopt, {}, sink);
    ASSERT_EQ(sink.runs.size(), 3u);
    EXPECT_EQ(sink.runs[0].text, u"ab");
    EXPECT_EQ(sink.runs[0].fg, normal.background);
    EXPECT_EQ(sink.runs[0].bg, normal.foreground);
    EXPECT_EQ(sink.runs[1].fg, k_red);
    EXPECT_EQ(sink.runs[1].bg, normal.foreground);
    EXPECT_EQ(sink.runs[2].fg, normal.foreground);
    EXPECT_EQ(sink.runs[2].bg, normal.background);
    // The blank rest of the row is left to the pane's fill, in the reversed
    // background; without the mode the palette is the theme's.
    EXPECT_EQ(sink.runs[2].cells, 1);
    EXPECT_EQ(screen_palette(Palette(), false), Palette());
}

TEST(Runs, WideCharactersTakeTwoCellsAndOneUnitAdvance) {
    const auto runs = row_runs(screen("日本\x1b[31mx"), 0);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, u"日本");
    EXPECT_EQ(runs[0].cells, 4);
    EXPECT_EQ(runs[0].advances, (std::vector<int>{16, 16}));
    EXPECT_EQ(runs[1].first_col, 4);  // the next character starts two cells further
    EXPECT_EQ(runs[1].text, u"x");
}

TEST(Runs, CombiningMarksAndAstralCharactersStayOnTheCellGrid) {
    const auto runs = row_runs(screen("e\xCC\x81\xF0\x9D\x90\x80z"), 0, std::nullopt, 3);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, u"e\u0301\U0001D400z");
    EXPECT_EQ(runs[0].advances, (std::vector<int>{0, 8, 0, 8, 8}));
    EXPECT_EQ(runs[0].cells, 3);
}

TEST(Runs, SelectionColoursCoverTheSpanInReadingOrder) {
    const auto model = screen("abcdef\r\nghijkl");
    // Dragged backwards from (1,1) to (0,4): the same cells as forwards.
    const SelectionSpan span({1, 1}, {0, 4});
    const auto first = row_runs(model, 0, span);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].text, u"abcd");
    EXPECT_EQ(first[1].first_col, 4);
    EXPECT_EQ(first[1].fg, default_theme().selection_foreground);
    EXPECT_EQ(first[1].bg, default_theme().selection_background);
    EXPECT_EQ(first[1].cells, 16);  // to the row's end, blanks drawn in selection colour
    const auto second = row_runs(model, 1, span);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].text, u"gh");
    EXPECT_EQ(second[0].bg, default_theme().selection_background);
    EXPECT_EQ(second[1].text.substr(0, 4), u"ijkl");
}

TEST(Runs, FindMatchesUnderTheSelectionAndTheCurrentOneDistinct) {
    const auto model = screen("find me, find me");
    const auto runs = line_runs(model, 0, SelectionSpan({0, 14}, {0, 15}), std::nullopt,
                                {{0, 4, false}, {9, 13, true}});
    // The lone blank between the last two is left to the frame's fill.
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].text, u"find");
    EXPECT_EQ(runs[0].bg, k_match_background);
    EXPECT_EQ(runs[0].fg, k_match_foreground);
    EXPECT_EQ(runs[1].text, u" me, ");
    EXPECT_EQ(runs[1].bg, default_theme().background);
    EXPECT_EQ(runs[2].text, u"find");
    EXPECT_EQ(runs[2].bg, k_current_match_background);
    EXPECT_EQ(runs[3].first_col, 14);
    EXPECT_EQ(runs[3].text, u"me");
    EXPECT_EQ(runs[3].bg, default_theme().selection_background);
}

// A page of history is drawn as the lines looked on screen, colours and
// wide characters included; a line stored narrower than the pane is blank
// past its end.
TEST(Runs, HistoryLinesLookAsTheyDidOnScreen) {
    pty::TerminalModel model(2, 10, 100);
    model.feed("\x1b[31mred\x1b[0m \xE6\x97\xA5\r\nplain\r\nthree\r\nfour");
    ASSERT_EQ(model.history_end(), 2u);
    const auto first = line_runs(model, 0);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].text, u"red");
    EXPECT_EQ(first[0].fg, k_red);
    EXPECT_EQ(first[1].text.substr(0, 2), u" 日");
    EXPECT_EQ(first[1].advances[1], 16);
    model.set_size(2, 20);
    EXPECT_EQ(line_runs(model, 1).at(0).cells, 20);  // "plain" and blanks to the new width
    EXPECT_TRUE(line_runs(model, 999).empty());
}

TEST(Panes, NarrowerThanACellDrawsNothingAndNoCursor) {
    const auto model = screen("hello");
    const Rect text{10, 10, 17, 100};  // 7 pixels wide
    const VisibleGrid grid = visible_grid(model, text, k_cell);
    EXPECT_EQ(grid.cols, 0);
    EXPECT_TRUE(row_runs(model, 0, std::nullopt, grid.cols).empty());
    EXPECT_FALSE(cursor_cell(text, k_cell, {0, 0}));
    const Rect upside_down{10, 10, 5, 5};
    EXPECT_EQ(visible_grid(model, upside_down, k_cell).rows, 0);
    // A pane larger than the screen reads no cell past it.
    const VisibleGrid whole = visible_grid(model, {0, 0, 10000, 10000}, k_cell);
    EXPECT_EQ(whole.rows, model.rows());
    EXPECT_EQ(whole.cols, model.cols());
}

TEST(Cursor, ShapesDrawnOverTheirCellAndHollowWithoutFocus) {
    const Rect text{6, 40, 806, 360};  // 100 x 20 cells
    const Rect cell{30, 72, 38, 88};
    EXPECT_EQ(cursor_cell(text, k_cell, {2, 3}), cell);
    EXPECT_FALSE(cursor_cell(text, k_cell, {20, 0}));
    EXPECT_FALSE(cursor_cell(text, k_cell, {0, 100}));
    using pty::CursorShape;
    // The underline is the bar the program always drew: 2 pixels at 96 DPI.
    EXPECT_EQ(cursor_rects(CursorShape::Underline, false, cell, 2),
              (std::vector<Rect>{{30, 86, 38, 88}}));
    EXPECT_EQ(cursor_rects(CursorShape::Bar, false, cell, 3),
              (std::vector<Rect>{{30, 72, 33, 88}}));
    EXPECT_TRUE(cursor_rects(CursorShape::Block, false, cell, 2).empty());
    // A thickness past half the cell is held to it.
    EXPECT_EQ(cursor_rects(CursorShape::Bar, false, cell, 50),
              (std::vector<Rect>{{30, 72, 34, 88}}));
    const auto hollow = cursor_rects(CursorShape::Bar, true, cell, 2);
    ASSERT_EQ(hollow.size(), 4u);
    EXPECT_EQ(hollow[0], (Rect{30, 72, 38, 73}));
    EXPECT_EQ(hollow[1], (Rect{30, 87, 38, 88}));
    EXPECT_EQ(hollow[2], (Rect{30, 73, 31, 87}));
    EXPECT_EQ(hollow[3], (Rect{37, 73, 38, 87}));
}

TEST(DoubledLines, PixelColumnsMapToHalfAsManyCells) {
    // Selection, links and mouse reports on a double-width or double-height
    // line: two screen columns are one of its cells, rounding down.
    const int single[] = {-3, -1, 0, 1, 7};
    for (int col : single) EXPECT_EQ(line_column(col, false), col);
    const std::pair<int, int> doubled[] = {{0, 0},   {1, 0},   {2, 1},  {7, 3},
                                           {-1, -1}, {-2, -1}, {-3, -2}};
    for (const auto& [col, cell] : doubled) EXPECT_EQ(line_column(col, true), cell) << col;
    EXPECT_EQ(shown_cells(pty::LineSize::Single, 81), 81);
    EXPECT_EQ(shown_cells(pty::LineSize::DoubleWidth, 81), 41);
    EXPECT_EQ(shown_cells(pty::LineSize::DoubleHeightBottom, 1), 1);
}

TEST(DoubledLines, StretchedOverTheRowFromTheScratchImage) {
    const Rect text{6, 40, 806, 360};
    const CellMetrics odd{8, 17, 14};
    // Double width: the whole row, twice as wide.
    DoubledRow row = doubled_row(text, odd, 2, pty::LineSize::DoubleWidth, 40);
    EXPECT_EQ(row.width, 320);
    EXPECT_EQ(row.source_top, 0);
    EXPECT_EQ(row.source_height, 17);
    EXPECT_EQ(row.target, (Rect{6, 74, 646, 91}));
    // Double height: the top half, then the bottom half, each over a row;
    // together they take every pixel row once.
    row = doubled_row(text, odd, 2, pty::LineSize::DoubleHeightTop, 40);
    EXPECT_EQ(row.source_top, 0);
    EXPECT_EQ(row.source_height, 9);
    row = doubled_row(text, odd, 3, pty::LineSize::DoubleHeightBottom, 40);
    EXPECT_EQ(row.source_top, 9);
    EXPECT_EQ(row.source_height, 8);
    EXPECT_EQ(row.target.top, 91);
    // The cursor's cell on such a row is two cells wide.
    EXPECT_EQ(cursor_cell(text, k_cell, {2, 3}, pty::LineSize::DoubleWidth),
              (Rect{54, 72, 70, 88}));
    EXPECT_FALSE(cursor_cell(text, k_cell, {2, 50}, pty::LineSize::DoubleWidth));
}

TEST(DoubledLines, OverlayDrawsTheCursorDoubledAndNoGhost) {
    Tab tab;
    tab.typed() = TypedLine({"git status"});
    tab.typed().set_text("git st");
    tab.typed().suggest(true);
    const Rect text{0, 0, 160, 64};  // 20 x 4 cells
    auto model = screen("\x1b#6$ git st", 4, 20);
    PaneOverlay overlay = pane_overlay(model, tab, text, k_cell, true);
    EXPECT_TRUE(overlay.ghost.empty());
    EXPECT_EQ(overlay.cursor_cell, (Rect{128, 0, 144, 16}));
    // Moved onto the row from past its half, the cursor waits at the edge,
    // out of view, as after the last column.
    model.feed("\x1b[2;1H\x1b#6\x1b[3;15H\x1b[A");
    EXPECT_FALSE(pane_overlay(model, tab, text, k_cell, true).cursor_cell);
}

TEST(Cursor, TheApplicationsShapeWinsAndBlinkingFollowsTheUsersChoice) {
    using pty::CursorShape;
    const pty::CursorStyle none{};
    const pty::CursorStyle blinking_bar{CursorShape::Bar, true};
    const pty::CursorStyle steady_block{CursorShape::Block, false};
    const CursorPrefs as_asked{};
    EXPECT_EQ(cursor_look(none, as_asked).shape, CursorShape::Underline);
    EXPECT_FALSE(cursor_look(none, as_asked).blinks);
    EXPECT_EQ(cursor_look(blinking_bar, as_asked).shape, CursorShape::Bar);
    EXPECT_TRUE(cursor_look(blinking_bar, as_asked).blinks);
    EXPECT_FALSE(cursor_look(steady_block, as_asked).blinks);
    const CursorPrefs never{CursorShape::Block, false};
    EXPECT_EQ(cursor_look(none, never).shape, CursorShape::Block);
    EXPECT_FALSE(cursor_look(blinking_bar, never).blinks);
    const CursorPrefs always{CursorShape::Bar, true};
    EXPECT_TRUE(cursor_look(none, always).blinks);
    EXPECT_FALSE(cursor_look(steady_block, always).blinks);
}

TEST(Overlay, GhostOnlyOnThePrimaryScreenCursorUnlessHidden) {
    Tab tab;
    tab.typed() = TypedLine({"git status"});
    tab.typed().set_text("git st");
    tab.typed().suggest(true);
    const Rect text{0, 0, 80, 64};  // 10 x 4 cells
    auto model = screen("$ git st", 4, 10);
    PaneOverlay overlay = pane_overlay(model, tab, text, k_cell, true);
    ASSERT_EQ(overlay.ghost.size(), 2u);  // "atus" stops at the last column
    EXPECT_EQ(overlay.ghost[0].text, u"a");
    EXPECT_EQ(overlay.ghost[0].cell, (Rect{64, 0, 72, 16}));
    EXPECT_EQ(overlay.ghost[1].text, u"t");
    EXPECT_EQ(overlay.cursor_cell, (Rect{64, 0, 72, 16}));

    EXPECT_TRUE(pane_overlay(model, tab, text, k_cell, false).ghost.empty());
    EXPECT_FALSE(pane_overlay(model, tab, text, k_cell, false).cursor);

    // Scrolled back two lines, the cursor's row is two rows lower; scrolled
    // further than the page, it is out of view.
    overlay = pane_overlay(model, tab, text, k_cell, true, 2);
    EXPECT_EQ(overlay.cursor_cell, (Rect{64, 32, 72, 48}));
    EXPECT_EQ(overlay.ghost.at(0).cell.top, 32);
    overlay = pane_overlay(model, tab, text, k_cell, true, 4);
    EXPECT_FALSE(overlay.cursor);
    EXPECT_TRUE(overlay.ghost.empty());

    model.feed("\x1b[?1049h");
    overlay = pane_overlay(model, tab, text, k_cell, true);
    EXPECT_TRUE(overlay.ghost.empty());
    EXPECT_TRUE(overlay.cursor);
    model.feed("\x1b[?25l");
    EXPECT_FALSE(pane_overlay(model, tab, text, k_cell, true).cursor);
}

TEST(Overlay, NoGhostAfterTextTheSessionDidNotEcho) {
    Tab tab;
    tab.typed() = TypedLine({"git status"});
    tab.typed().set_text("g");
    tab.typed().suggest(true);
    const Rect text{0, 0, 160, 64};
    auto model = screen("Password: ", 4, 20);
    EXPECT_TRUE(pane_overlay(model, tab, text, k_cell, true).ghost.empty());
    model.feed("*");  // echoed, but not as typed
    EXPECT_TRUE(pane_overlay(model, tab, text, k_cell, true).ghost.empty());
}

TEST(Overlay, SuggestionMustExtendTheTypedLine) {
    const Rect text{0, 0, 800, 160};
    EXPECT_TRUE(ghost_cells("ls", std::string("ls"), text, k_cell, {0, 2}, 100).empty());
    EXPECT_TRUE(ghost_cells("ls", std::string("cd x"), text, k_cell, {0, 2}, 100).empty());
    EXPECT_TRUE(ghost_cells("ls", std::nullopt, text, k_cell, {0, 2}, 100).empty());
    EXPECT_TRUE(ghost_cells("l", std::string("ls"), text, k_cell, {10, 1}, 100).empty());
    const auto wide = ghost_cells("", std::string("é\xF0\x9F\x98\x80"), text, k_cell, {0, 0}, 100);
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[1].text, u"\U0001F600");
}

TEST(Fonts, CandidatesSizesAndFaceMatching) {
    core::FontSettings font;
    font.family = "Cascadia Mono";
    font.fallbacks = {"", "A", "B"};
    EXPECT_EQ(font_candidates(font), (std::vector<std::string>{"Cascadia Mono", "A", "B"}));
    font.family.clear();
    EXPECT_EQ(font_candidates(font), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(same_face("consolas", "Consolas"));
    EXPECT_FALSE(same_face("Consolas", "Consolas2"));
    EXPECT_EQ(font_pixel_height(96, 2.0f), 8);     // drawn as 6 points
    EXPECT_EQ(font_pixel_height(96, 100.0f), 96);  // drawn as 72 points
    EXPECT_EQ(font_pixel_height(72, 12.0f), 16);   // DPI raised to 96
    EXPECT_EQ(font_pixel_height(144, 10.5f), 21);
}

}  // namespace
}  // namespace tolvar::app
