#include "view/find.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "view/find_box.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {
namespace {

TEST(SmartCase, OnlyAnUpperCaseLetterMakesCaseMatter) {
    EXPECT_FALSE(smart_match_case("error: 42"));
    EXPECT_TRUE(smart_match_case("Error"));
    EXPECT_TRUE(smart_match_case("\xC3\x89t\xC3\xA9"));  // É
    EXPECT_FALSE(smart_match_case("\xC3\xA9t\xC3\xA9"));
    EXPECT_FALSE(smart_match_case(""));
}

// "mark" on lines 0, 2 and 4 of a 3-row screen with history: lines 0..2
// scrolled away, 3..5 show.
pty::TerminalModel marked() {
    pty::TerminalModel model(3, 20, 100);
    model.feed("mark 0\r\nx\r\nMARK 2\r\ny\r\nmark 4\r\nz");
    return model;
}

TEST(Find, TheCurrentMatchStartsWhereTheUserReadsAndWraps) {
    const pty::TerminalModel model = marked();
    Find find;
    find.search(model, "mark", model.history_end() + model.rows());  // live view
    ASSERT_EQ(find.matches().size(), 3u);
    EXPECT_EQ(find.current()->start, (pty::LinePosition{4, 0}));
    EXPECT_EQ(find.status(), "3 of 3");
    find.previous();
    EXPECT_EQ(find.current()->start.line, 2u);
    find.next();
    find.next();
    EXPECT_EQ(find.current()->start.line, 0u);  // wrapped round
    EXPECT_EQ(find.status(), "1 of 3");
    // Scrolled back to line 1: the last match above the page's end.
    find.search(model, "mark", 2);
    EXPECT_EQ(find.current()->start.line, 0u);
    find.search(model, "Mark", 6);  // smart case: nothing matches "Mark"
    EXPECT_EQ(find.status(), "0 of 0");
    EXPECT_FALSE(find.current());
    find.next();
    find.search(model, "MARK", 6);
    EXPECT_EQ(find.status(), "1 of 1");
}

TEST(Find, RefreshKeepsTheCurrentMatchAsOutputArrives) {
    pty::TerminalModel model = marked();
    Find find;
    find.search(model, "mark", 6);
    find.previous();  // line 2
    model.feed("\r\nmark 6\r\nmark 7");
    find.refresh(model);
    EXPECT_EQ(find.matches().size(), 5u);
    EXPECT_EQ(find.current()->start.line, 2u);
    model.clear_scrollback();
    find.refresh(model);
    EXPECT_EQ(find.current()->start.line, 6u);  // the nearest one after it
}

TEST(Find, KeepsTheNewestMatchesAndNumbersThemAmongAll) {
    pty::TerminalModel model(2, 10, 20000);
    for (std::size_t i = 0; i < Find::k_kept + 5; ++i) model.feed("a\r\n");
    Find find;
    find.search(model, "a", model.history_end() + model.rows());
    EXPECT_EQ(find.matches().size(), Find::k_kept);
    EXPECT_EQ(find.status(), "10005 of 10005");
    EXPECT_EQ(find.matches().front().start.line, 5u);
    find.next();  // wraps to the oldest kept
    EXPECT_EQ(find.status(), "6 of 10005");
}

TEST(MatchSpans, VisibleLinesShowTheirPartsAndTheCurrentOne) {
    pty::TerminalModel model(3, 10, 100);
    model.feed(
        "abcdefghij"
        "klm ab ab");  // a query over the wrap: "ijkl"
    Find find;
    find.search(model, "ijkl", 10);
    ASSERT_EQ(find.matches().size(), 1u);
    const pty::LineNumber first = model.history_end();
    EXPECT_EQ(match_spans(find, first, 10), (std::vector<MatchSpan>{{8, 10, true}}));
    EXPECT_EQ(match_spans(find, first + 1, 10), (std::vector<MatchSpan>{{0, 2, true}}));
    find.search(model, "ab", 10);
    EXPECT_EQ(match_spans(find, first + 1, 10),
              (std::vector<MatchSpan>{{4, 6, false}, {7, 9, true}}));
    EXPECT_TRUE(match_spans(find, first + 2, 10).empty());
}

TEST(FindBox, ScrollsToTheMatchStaysThereWhenClosedAndGoesWithItsTab) {
    testing::Rig rig;
    EXPECT_FALSE(rig.state().open_find());  // no tab
    rig.open(2);
    rig.state().set_active(rig.id(0));
    Tab& tab = rig.tab(0);
    tab.session()->model().with([](pty::TerminalModel& m) {
        m.feed("MARKER here\r\n");
        for (int i = 0; i < 100; ++i) m.feed("n\r\n");
    });
    ASSERT_TRUE(rig.state().open_find());
    set_find_query(rig.state(), "marker");
    EXPECT_EQ(find_status(rig.state()), "1 of 1");
    const auto in_view = [&] {
        const HistoryExtent h = history_extent(tab);
        const pty::LineNumber top = tab.scroll().top_line(h);
        return top <= 0 && 0 < top + h.rows;  // the marker is line 0
    };
    EXPECT_TRUE(in_view());
    tab.scroll().to_live();
    step_find(rig.state(), false);  // wraps onto the same match, and scrolls to it again
    EXPECT_TRUE(in_view());
    rig.state().close_find();
    EXPECT_EQ(find_status(rig.state()), "");
    EXPECT_TRUE(in_view());

    ASSERT_TRUE(rig.state().open_find());
    set_find_query(rig.state(), "n");
    // The view is still on lines 0-23: the last match in it is current.
    EXPECT_EQ(find_status(rig.state()), "23 of 100");
    rig.ws.close_tab(rig.id(0));
    EXPECT_FALSE(rig.state().find());
}

TEST(FindBox, LayoutStaysInsideAPaneOfAnySize) {
    for (int width : {0, 40, 200, 1200}) {
        const Rect pane{100, 50, 100 + width, 400};
        const FindBoxLayout box = find_box_layout(pane, Scale{144});
        for (const Rect& r : {box.edit, box.status, box.previous, box.next}) {
            EXPECT_LE(r.left, r.right) << width;
            EXPECT_GE(r.top, box.frame.top) << width;
        }
        EXPECT_LE(box.frame.right, pane.right) << width;
        if (width >= 400) {
            EXPECT_GT(box.edit.width(), 0) << width;
        }
    }
}

}  // namespace
}  // namespace tolvar::app
