#include "view/scrolling.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tolvar::app {
namespace {

// A history of lines 100..1100 under a 24-row screen.
constexpr HistoryExtent k_history{100, 1100, 24, false};

TEST(ScrollView, OutputWhileScrolledBackMovesNothingInView) {
    ScrollView view;
    view.scroll(k_history, 30);
    EXPECT_EQ(view.offset(k_history), 30u);
    EXPECT_EQ(view.top_line(k_history), 1070u);
    HistoryExtent later = k_history;
    later.end += 500;  // 500 lines pushed meanwhile
    EXPECT_EQ(view.top_line(later), 1070u);
    EXPECT_EQ(view.offset(later), 530u);
    // A resize changes the screen, not the lines in history.
    later.rows = 10;
    EXPECT_EQ(view.top_line(later), 1070u);
}

TEST(ScrollView, EvictionStopsTheViewAtTheOldestLine) {
    ScrollView view;
    view.to_oldest(k_history);
    EXPECT_EQ(view.top_line(k_history), 100u);
    HistoryExtent later{300, 1300, 24, false};  // the first 200 aged out
    EXPECT_EQ(view.top_line(later), 300u);
    EXPECT_EQ(view.offset(later), 1000u);
    view.settle(later);
    later = {400, 1400, 24, false};
    EXPECT_EQ(view.top_line(later), 400u);
}

TEST(ScrollView, ClampsAtBothEndsAndLiveIsZero) {
    ScrollView view;
    view.scroll(k_history, -5);
    EXPECT_TRUE(view.live());
    view.scroll(k_history, 5000);
    EXPECT_EQ(view.offset(k_history), 1000u);
    view.scroll(k_history, -1000);
    EXPECT_TRUE(view.live());
    view.scroll(k_history, 3);
    view.to_live();
    EXPECT_TRUE(view.live());
    EXPECT_EQ(view.top_line(k_history), 1100u);
}

TEST(ScrollView, TheAlternateScreenShowsLiveAndThePlaceIsKept) {
    ScrollView view;
    view.scroll(k_history, 40);
    HistoryExtent alternate = k_history;
    alternate.alternate = true;
    EXPECT_EQ(view.offset(alternate), 0u);
    view.scroll(alternate, 10);  // nothing to scroll there
    view.settle(alternate);
    EXPECT_FALSE(view.live());
    EXPECT_EQ(view.offset(k_history), 40u);  // back on the primary screen
}

TEST(ScrollView, AClearedHistoryIsLiveAgain) {
    ScrollView view;
    view.scroll(k_history, 40);
    const HistoryExtent cleared{1100, 1100, 24, false};
    EXPECT_EQ(view.offset(cleared), 0u);
    view.settle(cleared);
    EXPECT_TRUE(view.live());
    view.to_oldest(cleared);
    EXPECT_TRUE(view.live());
}

TEST(ScrollView, RevealScrollsAsLittleAsNeeded) {
    ScrollView view;
    view.reveal(k_history, 1110);  // on the live screen already
    EXPECT_TRUE(view.live());
    view.reveal(k_history, 500);
    EXPECT_EQ(view.top_line(k_history), 500u);
    view.reveal(k_history, 510);  // in view
    EXPECT_EQ(view.top_line(k_history), 500u);
    view.reveal(k_history, 600);  // below: the page ends on it
    EXPECT_EQ(view.top_line(k_history), 577u);
    view.reveal(k_history, 50);  // gone: the oldest line
    EXPECT_EQ(view.top_line(k_history), 100u);
    view.reveal(k_history, 1099);
    EXPECT_EQ(view.top_line(k_history), 1076u);
}

// The same rules over a real model: its line numbers carry the anchor
// through output, eviction, a resize and the alternate screen.
TEST(ScrollView, AnchoredToTheLinesOfARealModel) {
    pty::TerminalModel model(4, 20, 50);
    for (int i = 0; i < 30; ++i) model.feed("line " + std::to_string(i) + "\r\n");
    ScrollView view;
    view.scroll(HistoryExtent::of(model), 10);
    const pty::LineNumber top = view.top_line(HistoryExtent::of(model));
    pty::LineCells line;
    const auto text_at = [&](pty::LineNumber n) {
        model.line(n, line);
        std::string text;
        for (const pty::Cell& c : line.cells) text += c.contents.empty() ? " " : c.contents;
        return text.substr(0, text.find_last_not_of(' ') + 1);
    };
    const std::string shown = text_at(top);
    for (int i = 30; i < 50; ++i) model.feed("line " + std::to_string(i) + "\r\n");
    EXPECT_EQ(view.top_line(HistoryExtent::of(model)), top);
    EXPECT_EQ(text_at(view.top_line(HistoryExtent::of(model))), shown);
    model.set_size(6, 20);
    EXPECT_EQ(text_at(view.top_line(HistoryExtent::of(model))), shown);
    model.feed("\x1b[?1049h");
    EXPECT_EQ(view.offset(HistoryExtent::of(model)), 0u);
    model.feed("\x1b[?1049l");
    EXPECT_EQ(text_at(view.top_line(HistoryExtent::of(model))), shown);
    // 50 more lines push the shown one out of the 50 kept: the oldest shows.
    for (int i = 50; i < 100; ++i) model.feed("line " + std::to_string(i) + "\r\n");
    EXPECT_EQ(view.top_line(HistoryExtent::of(model)), model.history_begin());
    model.feed("\x1b[3J");  // erase saved lines
    view.settle(HistoryExtent::of(model));
    EXPECT_TRUE(view.live());
}

TEST(Wheel, NotchesPartialDeltasPagesAndDirection) {
    WheelAccumulator wheel;
    EXPECT_EQ(wheel.add(120, 3), (WheelAccumulator::Step{3, 0}));
    EXPECT_EQ(wheel.add(-240, 3), (WheelAccumulator::Step{-6, 0}));
    // A high-resolution wheel: eighths of a notch add up.
    int lines = 0;
    for (int i = 0; i < 8; ++i) lines += wheel.add(15, 3).lines;
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(wheel.add(30, 3).lines, 0);   // 90 of 120 carried
    EXPECT_EQ(wheel.add(-30, 3).lines, 0);  // turning back drops them: -90
    EXPECT_EQ(wheel.add(-30, 3).lines, -1);
    EXPECT_EQ(wheel.add(-20, 3).lines, -1);
    EXPECT_EQ(wheel.add(120, WheelAccumulator::k_page), (WheelAccumulator::Step{0, 1}));
    EXPECT_EQ(wheel.add(120, 0), (WheelAccumulator::Step{}));
}

TEST(ScrollIndicator, ThumbSizeAndPlaceFollowTheView) {
    const Rect pane{0, 34, 1000, 650};
    const Rect text{6, 40, 994, 648};
    const Scale scale{96};
    // Live: the thumb is at the bottom.
    ScrollIndicator bar = scroll_indicator(pane, text, k_history, 0, scale);
    EXPECT_EQ(bar.track, (Rect{995, 40, 999, 648}));
    EXPECT_EQ(bar.thumb.bottom, 648);
    EXPECT_EQ(bar.thumb.height(), 14);  // 608 x 24 / 1024
    // At the oldest line: at the top.
    bar = scroll_indicator(pane, text, k_history, 1000, scale);
    EXPECT_EQ(bar.thumb.top, 40);
    EXPECT_EQ(offset_at(bar, k_history, bar.thumb.top), 1000u);
    EXPECT_EQ(offset_at(bar, k_history, 10000), 0u);
    // A short history still gives a thumb one can grab.
    const HistoryExtent short_history{0, 1, 24, false};
    EXPECT_EQ(scroll_indicator(pane, text, short_history, 1, scale).thumb.height(), 583);
    const HistoryExtent huge{0, 1000000, 24, false};
    EXPECT_EQ(scroll_indicator(pane, text, huge, 10, scale).thumb.height(), 8);
}

}  // namespace
}  // namespace tolvar::app
