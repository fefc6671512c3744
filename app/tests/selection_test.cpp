#include "view/selection.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "pane_points.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {
namespace {

using testing::k_96;
using testing::k_cell;
using testing::k_client;
using testing::px;
using testing::py;

struct Screen {
    testing::Rig rig;
    Screen() {
        rig.open(2);
        rig.state().set_active(rig.id(1));
        rig.tab(1).session()->model().with(
            [](pty::TerminalModel& m) { m.feed("first line\r\nsecond  \r\nthird"); });
    }
    AppState& s() { return rig.state(); }
    std::optional<std::string> drag(int x0, int y0, int x1, int y1) {
        if (!begin_selection(s(), k_client, k_cell, k_96, x0, y0)) return std::nullopt;
        extend_selection(s(), k_client, k_cell, k_96, x1, y1);
        auto done = finish_selection(s());
        if (!done) return std::nullopt;
        std::string text;
        s().find_tab(done->tab)->session()->model().with(
            [&](const pty::TerminalModel& m) { text = selection_text(m, done->span); });
        return text;
    }
    // A press of a run of clicks, an optional drag, the release: what it copies.
    std::optional<std::string> click(ClickKind kind, int x, int y, std::optional<int> to_x = {},
                                     int to_y = 0) {
        if (!begin_selection(s(), k_client, k_cell, k_96, x, y, kind)) return std::nullopt;
        if (to_x) extend_selection(s(), k_client, k_cell, k_96, *to_x, to_y);
        auto done = finish_selection(s());
        if (!done) return std::nullopt;
        return text_of(done->span);
    }
    std::string text_of(const SelectionSpan& span) {
        std::string text;
        rig.tab(1).session()->model().with(
            [&](const pty::TerminalModel& m) { text = selection_text(m, span); });
        return text;
    }
    void feed(std::string_view bytes) {
        rig.tab(1).session()->model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
    }
};

constexpr ClickKind k_double{2};
constexpr ClickKind k_triple{3};

TEST(Selection, DragCopiesTheCellsIncludingTheEndCell) {
    Screen screen;
    EXPECT_EQ(screen.drag(px(6), py(0), px(3), py(1)), "line\nseco");
    EXPECT_EQ(screen.s().selection().state, SelectionState::Finished);
    EXPECT_EQ(screen.s().selection().tab, screen.rig.id(1));
    // Dragging up and left selects the same text.
    EXPECT_EQ(screen.drag(px(3), py(1), px(6), py(0)), "line\nseco");
    EXPECT_EQ(screen.drag(px(0), py(2), px(4), py(2)), "third");
}

TEST(Selection, ClickOnOneCellSelectsNothing) {
    Screen screen;
    EXPECT_TRUE(begin_selection(screen.s(), k_client, k_cell, k_96, px(2), py(0)));
    EXPECT_FALSE(extend_selection(screen.s(), k_client, k_cell, k_96, px(2) + 2, py(0) + 3));
    EXPECT_FALSE(finish_selection(screen.s()));
    EXPECT_EQ(screen.s().selection().state, SelectionState::None);
    EXPECT_FALSE(finish_selection(screen.s()));  // a release without a press
}

TEST(Selection, PointsBeforeTheTextOriginOrOutsidePanesSelectNothing) {
    Screen screen;
    screen.s().start_selection({screen.rig.id(0), {0, 0}, {0, 2}});
    screen.s().finish_selection_drag();
    EXPECT_FALSE(begin_selection(screen.s(), k_client, k_cell, k_96, 5, py(0)));
    EXPECT_EQ(screen.s().selection().state, SelectionState::None);
    EXPECT_FALSE(begin_selection(screen.s(), k_client, k_cell, k_96, px(0), 39));
    screen.s().set_view_mode(ViewMode::BrowseGroups);  // no panes at all
    EXPECT_FALSE(begin_selection(screen.s(), k_client, k_cell, k_96, 300, 300));
}

TEST(Selection, PointerIsClampedToTheSelectionsPane) {
    Screen screen;
    screen.s().set_view_mode(ViewMode::TileAll);  // panes 0..500 and 500..1000
    ASSERT_TRUE(begin_selection(screen.s(), k_client, k_cell, k_96, 500 + 6 + 1, 34 + 28 + 1));
    EXPECT_EQ(screen.s().selection().tab, screen.rig.id(1));
    EXPECT_TRUE(extend_selection(screen.s(), k_client, k_cell, k_96, 5000, 5000));
    // x clamped to 1000 - 7, y to 650 - 3.
    EXPECT_EQ(screen.s().selection().end, (pty::LinePosition{(647 - 62) / 16, (993 - 506) / 8}));
    EXPECT_TRUE(extend_selection(screen.s(), k_client, k_cell, k_96, 0, 0));
    EXPECT_EQ(screen.s().selection().end, (pty::LinePosition{0, 0}));
    EXPECT_FALSE(extend_selection(screen.s(), k_client, k_cell, k_96, 0, 70));  // same cell
}

TEST(Selection, TinyPanesDoNotFail) {
    Screen screen;
    const Rect tiny{0, 0, 10, 44};  // the clamp range is empty across
    ASSERT_TRUE(begin_selection(screen.s(), tiny, k_cell, k_96, 6, 41));
    EXPECT_FALSE(extend_selection(screen.s(), tiny, k_cell, k_96, 500, 500));
    EXPECT_FALSE(finish_selection(screen.s()));
}

TEST(Selection, HighlightOnlyForItsTabAndNeverInTheBrowser) {
    Screen screen;
    AppState& s = screen.s();
    const TabId first = screen.rig.id(0), second = screen.rig.id(1);
    s.start_selection({second, {0, 2}, {0, 5}});
    EXPECT_TRUE(pane_selection(s, second));
    EXPECT_FALSE(pane_selection(s, first));
    s.move_selection(s.selection().anchor, s.selection().anchor);
    EXPECT_FALSE(pane_selection(s, second));
    s.move_selection(s.selection().anchor, {3, 3});
    s.set_view_mode(ViewMode::BrowseGroups);
    EXPECT_FALSE(pane_selection(s, second));
    s.set_view_mode(ViewMode::Single);
    s.clear_selection();
    EXPECT_FALSE(pane_selection(s, second));
}

TEST(Selection, ClosingATabClearsIt) {
    Screen screen;
    ASSERT_TRUE(screen.drag(px(0), py(0), px(4), py(0)));
    screen.rig.ws.close_tab(screen.rig.id(0));
    EXPECT_EQ(screen.s().selection().state, SelectionState::None);
}

// Pins a finished selection that jumped to another tab's text when a move
// into a group shifted the tab list under it: the selection names its tab.
TEST(Selection, RegroupingAndReorderingKeepItOnItsTab) {
    Screen screen;
    testing::Rig& rig = screen.rig;
    rig.open(1);
    rig.tab(2).session()->model().with([](pty::TerminalModel& m) { m.feed("other text"); });
    rig.state().set_active(rig.id(1));
    ASSERT_EQ(screen.drag(px(0), py(0), px(4), py(0)), "first");
    const TabId selected = rig.id(1);
    const GroupId g = rig.state().new_group_for(rig.id(0));
    rig.state().set_tab_group(rig.id(2), g);  // the third tab moves in front of it
    ASSERT_EQ(rig.id(2), selected);
    const MouseSelection& sel = rig.state().selection();
    ASSERT_EQ(sel.state, SelectionState::Finished);
    EXPECT_EQ(sel.tab, selected);
    std::string text;
    rig.state().find_tab(sel.tab)->session()->model().with([&](const pty::TerminalModel& m) {
        text = selection_text(m, SelectionSpan(sel.anchor, sel.end));
    });
    EXPECT_EQ(text, "first");
}

// Held in line numbers: a selection made scrolled back keeps its text while
// output pushes it further into history, and loses only what ages out.
TEST(Selection, StaysOnItsLinesThroughOutputAndIsClippedAsTheyAgeOut) {
    Screen screen;
    Tab& tab = screen.rig.tab(1);
    const auto feed = [&](int lines) {
        tab.session()->model().with([&](pty::TerminalModel& m) {
            for (int i = 0; i < lines; ++i) m.feed("\r\nn");
        });
    };
    feed(30);
    tab.scroll().to_oldest(history_extent(tab));
    ASSERT_EQ(screen.drag(px(6), py(0), px(2), py(2)), "line\nsecond  \nthi");
    const SelectionSpan span(screen.s().selection().anchor, screen.s().selection().end);
    const auto text = [&] {
        std::string out;
        tab.session()->model().with(
            [&](const pty::TerminalModel& m) { out = selection_text(m, span); });
        return out;
    };
    feed(100);
    EXPECT_EQ(text(), "line\nsecond  \nthi");
    // Until the first line is evicted.
    bool evicted = false;
    while (!evicted) {
        feed(1);
        tab.session()->model().with(
            [&](const pty::TerminalModel& m) { evicted = m.history_begin() > 0; });
    }
    EXPECT_EQ(text(), "second  \nthi");
    feed(2);
    EXPECT_EQ(text(), "");
}

TEST(SelectionUnits, DoubleClickTakesAWordAndTripleClickTheLine) {
    Screen screen;
    EXPECT_EQ(screen.click(k_double, px(7), py(0)), "line");
    EXPECT_EQ(screen.s().selection().state, SelectionState::Finished);
    EXPECT_EQ(screen.click(k_double, px(0), py(2)), "third");
    // A one-letter word is a selection too, though it covers one cell.
    screen.feed("\r\nx y");
    EXPECT_EQ(screen.click(k_double, px(2), py(3)), "y");
    EXPECT_TRUE(pane_selection(screen.s(), screen.rig.id(1)));
    // Without the blanks the shell left at its end.
    EXPECT_EQ(screen.click(k_triple, px(3), py(1)), "second");
    EXPECT_EQ(screen.click(k_triple, px(40), py(0)), "first line");
}

TEST(SelectionUnits, TripleClickTakesEveryWrappedRowOfTheLine) {
    Screen screen;
    std::uint16_t cols = 0;
    screen.rig.tab(1).session()->model().with(
        [&](const pty::TerminalModel& m) { cols = m.cols(); });
    const std::string long_line = std::string(cols, 'a') + "bbb tail";
    screen.feed("\r\n" + long_line + "\r\nnext");
    EXPECT_EQ(screen.click(k_triple, px(1), py(4)), long_line);
    EXPECT_EQ(screen.click(k_triple, px(5), py(3)), long_line);
}

TEST(SelectionUnits, DragAfterADoubleOrTripleClickExtendsByWholeUnits) {
    Screen screen;
    // "first line" / "second  " / "third": from "line" forward into "second".
    EXPECT_EQ(screen.click(k_double, px(7), py(0), px(2), py(1)), "line\nsecond");
    // Backward the clicked word stays whole and the drag takes whole words.
    EXPECT_EQ(screen.click(k_double, px(3), py(1), px(7), py(0)), "line\nsecond");
    EXPECT_EQ(screen.click(k_double, px(3), py(1), px(1), py(0)), "first line\nsecond");
    EXPECT_EQ(screen.click(k_triple, px(9), py(2), px(2), py(1)), "second  \nthird");
    EXPECT_EQ(screen.click(k_triple, px(2), py(0), px(2), py(1)), "first line\nsecond");
}

TEST(SelectionUnits, ShiftClickMovesTheFarEndOfTheSelection) {
    Screen screen;
    constexpr ClickKind shift{1, true};
    ASSERT_EQ(screen.drag(px(6), py(0), px(7), py(0)), "li");
    EXPECT_EQ(screen.click(shift, px(2), py(1)), "line\nsec");
    // The anchor stays where the first drag began, whichever side the click is.
    EXPECT_EQ(screen.click(shift, px(2), py(0)), "rst l");
    // A word selection is extended by words.
    ASSERT_EQ(screen.click(k_double, px(7), py(0)), "line");
    EXPECT_EQ(screen.click(shift, px(1), py(2)), "line\nsecond  \nthird");
    // With nothing selected it is a plain click.
    screen.s().clear_selection();
    EXPECT_FALSE(screen.click(shift, px(1), py(2)));
}

TEST(SelectionUnits, AltDragSelectsABlockCopiedAsLines) {
    Screen screen;
    constexpr ClickKind alt{1, false, true};
    EXPECT_EQ(screen.click(alt, px(4), py(2), px(1), py(0)), "irst\necon\nhird");
    const auto span = pane_selection(screen.s(), screen.rig.id(1));
    ASSERT_TRUE(span);
    EXPECT_TRUE(span->block);
    EXPECT_TRUE(span->contains(1, 1));
    EXPECT_FALSE(span->contains(1, 5));  // in a stream selection, but not the block
    EXPECT_FALSE(span->contains(0, 0));
    // Columns past short rows give the rows' text, trailing blanks trimmed.
    EXPECT_EQ(screen.click(alt, px(5), py(0), px(9), py(2)), " line\nd\n");
}

TEST(SelectionUnits, HeldSelectionIsWhatTheCopyKeyTakes) {
    Screen screen;
    EXPECT_FALSE(held_selection(screen.s()));
    ASSERT_TRUE(screen.click(k_double, px(7), py(0)));
    const auto held = held_selection(screen.s());
    ASSERT_TRUE(held);
    EXPECT_EQ(held->tab, screen.rig.id(1));
    EXPECT_EQ(screen.text_of(held->span), "line");
    screen.s().clear_selection();
    EXPECT_FALSE(held_selection(screen.s()));
}

TEST(Selection, OnADoubleWidthLineTwoColumnsAreOneCell) {
    Screen screen;
    screen.feed("\x1b[2;1H\x1b#6");
    // Columns 4 and 11 of the pane are cells 2 and 5 of "second".
    EXPECT_EQ(screen.drag(px(4), py(1), px(11), py(1)), "cond");
    EXPECT_EQ(screen.drag(px(4), py(0), px(9), py(0)), "t line");
}

TEST(CopySelection, WhiteSpaceAloneIsNotCopied) {
    EXPECT_FALSE(worth_copying(""));
    EXPECT_FALSE(worth_copying("  \n\t "));
    EXPECT_FALSE(worth_copying("\xE3\x80\x80"));  // ideographic space
    EXPECT_TRUE(worth_copying(" x "));
}

}  // namespace
}  // namespace tolvar::app
