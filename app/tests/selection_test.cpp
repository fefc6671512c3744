#include "tolvar/app/selection.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "tolvar/app/workspace.hpp"

namespace tolvar::app {
namespace {

constexpr Rect k_client{0, 0, 1000, 650};
constexpr CellMetrics k_cell{8, 16, 14};
constexpr Scale k_96{96};

// A pointer position over cell (row, col) of the single pane's text.
int px(int col) {
    return 6 + 8 * col + 3;
}
int py(int row) {
    return 34 + 6 + 16 * row + 5;
}

struct Screen {
    testing::Rig rig;
    Screen() {
        rig.open(2);
        rig.state().set_active(rig.id(1));
        rig.tab(1).session->model().with(
            [](pty::TerminalModel& m) { m.feed("first line\r\nsecond  \r\nthird"); });
    }
    AppState& s() { return rig.state(); }
    std::optional<std::string> drag(int x0, int y0, int x1, int y1) {
        if (!begin_selection(s(), k_client, k_cell, k_96, x0, y0)) return std::nullopt;
        extend_selection(s(), k_client, k_cell, k_96, x1, y1);
        auto done = finish_selection(s());
        if (!done) return std::nullopt;
        std::string text;
        s().find_tab(done->tab)->session->model().with(
            [&](const pty::TerminalModel& m) { text = selection_text(m, done->span); });
        return text;
    }
};

TEST(Selection, DragCopiesTheCellsIncludingTheEndCell) {
    Screen screen;
    EXPECT_EQ(screen.drag(px(6), py(0), px(3), py(1)), "line\nseco");
    EXPECT_EQ(screen.s().selection.state, SelectionState::Finished);
    EXPECT_EQ(screen.s().selection.tab, screen.rig.id(1));
    // Dragging up and left selects the same text.
    EXPECT_EQ(screen.drag(px(3), py(1), px(6), py(0)), "line\nseco");
    EXPECT_EQ(screen.drag(px(0), py(2), px(4), py(2)), "third");
}

TEST(Selection, ClickOnOneCellSelectsNothing) {
    Screen screen;
    EXPECT_TRUE(begin_selection(screen.s(), k_client, k_cell, k_96, px(2), py(0)));
    EXPECT_FALSE(extend_selection(screen.s(), k_client, k_cell, k_96, px(2) + 2, py(0) + 3));
    EXPECT_FALSE(finish_selection(screen.s()));
    EXPECT_EQ(screen.s().selection.state, SelectionState::None);
    EXPECT_FALSE(finish_selection(screen.s()));  // a release without a press
}

TEST(Selection, PointsBeforeTheTextOriginOrOutsidePanesSelectNothing) {
    Screen screen;
    screen.s().selection.state = SelectionState::Finished;
    EXPECT_FALSE(begin_selection(screen.s(), k_client, k_cell, k_96, 5, py(0)));
    EXPECT_EQ(screen.s().selection.state, SelectionState::None);
    EXPECT_FALSE(begin_selection(screen.s(), k_client, k_cell, k_96, px(0), 39));
    screen.s().set_view_mode(ViewMode::BrowseGroups);  // no panes at all
    EXPECT_FALSE(begin_selection(screen.s(), k_client, k_cell, k_96, 300, 300));
}

TEST(Selection, PointerIsClampedToTheSelectionsPane) {
    Screen screen;
    screen.s().set_view_mode(ViewMode::TileAll);  // panes 0..500 and 500..1000
    ASSERT_TRUE(begin_selection(screen.s(), k_client, k_cell, k_96, 500 + 6 + 1, 34 + 28 + 1));
    EXPECT_EQ(screen.s().selection.tab, screen.rig.id(1));
    EXPECT_TRUE(extend_selection(screen.s(), k_client, k_cell, k_96, 5000, 5000));
    // x clamped to 1000 - 7, y to 650 - 3.
    EXPECT_EQ(screen.s().selection.end, (pty::LinePosition{(647 - 62) / 16, (993 - 506) / 8}));
    EXPECT_TRUE(extend_selection(screen.s(), k_client, k_cell, k_96, 0, 0));
    EXPECT_EQ(screen.s().selection.end, (pty::LinePosition{0, 0}));
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
    s.selection = {second, {0, 2}, {0, 5}, SelectionState::Selecting};
    EXPECT_TRUE(pane_selection(s, second));
    EXPECT_FALSE(pane_selection(s, first));
    s.selection.end = s.selection.anchor;
    EXPECT_FALSE(pane_selection(s, second));
    s.selection.end = {3, 3};
    s.set_view_mode(ViewMode::BrowseGroups);
    EXPECT_FALSE(pane_selection(s, second));
    s.set_view_mode(ViewMode::Single);
    clear_selection(s);
    EXPECT_FALSE(pane_selection(s, second));
}

TEST(Selection, ClosingATabClearsIt) {
    Screen screen;
    ASSERT_TRUE(screen.drag(px(0), py(0), px(4), py(0)));
    screen.rig.ws.close_tab(screen.rig.id(0));
    EXPECT_EQ(screen.s().selection.state, SelectionState::None);
}

// Pins a finished selection that jumped to another tab's text when a move
// into a group shifted the tab list under it: the selection names its tab.
TEST(Selection, RegroupingAndReorderingKeepItOnItsTab) {
    Screen screen;
    testing::Rig& rig = screen.rig;
    rig.open(1);
    rig.tab(2).session->model().with([](pty::TerminalModel& m) { m.feed("other text"); });
    rig.state().set_active(rig.id(1));
    ASSERT_EQ(screen.drag(px(0), py(0), px(4), py(0)), "first");
    const TabId selected = rig.id(1);
    const GroupId g = rig.state().new_group_for(rig.id(0));
    rig.state().set_tab_group(rig.id(2), g);  // the third tab moves in front of it
    ASSERT_EQ(rig.id(2), selected);
    const MouseSelection& sel = rig.state().selection;
    ASSERT_EQ(sel.state, SelectionState::Finished);
    EXPECT_EQ(sel.tab, selected);
    std::string text;
    rig.state().find_tab(sel.tab)->session->model().with([&](const pty::TerminalModel& m) {
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
        tab.session->model().with([&](pty::TerminalModel& m) {
            for (int i = 0; i < lines; ++i) m.feed("\r\nn");
        });
    };
    feed(30);
    tab.scroll.to_oldest(history_extent(tab));
    ASSERT_EQ(screen.drag(px(6), py(0), px(2), py(2)), "line\nsecond  \nthi");
    const SelectionSpan span(screen.s().selection.anchor, screen.s().selection.end);
    const auto text = [&] {
        std::string out;
        tab.session->model().with(
            [&](const pty::TerminalModel& m) { out = selection_text(m, span); });
        return out;
    };
    feed(100);
    EXPECT_EQ(text(), "line\nsecond  \nthi");
    // Until the first line is evicted.
    bool evicted = false;
    while (!evicted) {
        feed(1);
        tab.session->model().with(
            [&](const pty::TerminalModel& m) { evicted = m.history_begin() > 0; });
    }
    EXPECT_EQ(text(), "second  \nthi");
    feed(2);
    EXPECT_EQ(text(), "");
}

TEST(CopySelection, WhiteSpaceAloneIsNotCopied) {
    EXPECT_FALSE(worth_copying(""));
    EXPECT_FALSE(worth_copying("  \n\t "));
    EXPECT_FALSE(worth_copying("\xE3\x80\x80"));  // ideographic space
    EXPECT_TRUE(worth_copying(" x "));
}

}  // namespace
}  // namespace tolvar::app
