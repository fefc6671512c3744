#include "tolvar/app/tab_bar.hpp"

#include <gtest/gtest.h>

#include "tolvar/app/workspace.hpp"

namespace tolvar::app {
namespace {

AppState with_tabs(std::size_t n) {
    AppState s;
    for (std::size_t i = 0; i < n; ++i) {
        Tab t;
        t.title = "T" + std::to_string(i);
        s.tabs.push_back(std::move(t));
    }
    return s;
}

GroupId add_group(AppState& s, std::string name, std::vector<std::size_t> members,
                  bool collapsed = false) {
    const GroupId id = group_by_name(s, name);
    s.find_group(id)->collapsed = collapsed;
    for (std::size_t i : members) s.tabs[i].group = id;
    return id;
}

TEST(BarGeometry, ItemWidthsAtFourAndTwentyTabs) {
    EXPECT_EQ(bar_item_width(1000, 0), 180);
    EXPECT_EQ(bar_item_width(1000, 4), 180);
    EXPECT_EQ(bar_item_width(1000, 20), 72);
    EXPECT_EQ(bar_item_width(1000, 8), 120);
    EXPECT_EQ(bar_item_width(10, 3), 72);  // narrower than the "+" button

    // 20 tabs: only those starting left of 960 show, the last one cut there.
    std::size_t shown = 0;
    for (std::size_t i = 0; i < 20; ++i) {
        if (!bar_item_box(1000, 20, i).visible()) break;
        ++shown;
    }
    EXPECT_EQ(shown, 14u);
    EXPECT_EQ(bar_item_box(1000, 20, 13).item, (Rect{936, 0, 960, 34}));
}

TEST(BarGeometry, RectanglesInsideAnItem) {
    const BarItemBox box = bar_item_box(1000, 4, 1);
    EXPECT_EQ(box.item, (Rect{180, 0, 360, 34}));
    EXPECT_EQ(box.title, (Rect{188, 0, 334, 34}));
    EXPECT_EQ(box.close_mark, (Rect{338, 0, 356, 34}));
    EXPECT_EQ(box.top_stripe, (Rect{180, 0, 360, 3}));
    EXPECT_EQ(box.bottom_stripe, (Rect{180, 32, 360, 34}));
    EXPECT_EQ(plus_button_box(1000), (Rect{960, 0, 1000, 34}));
    EXPECT_EQ(rename_editor_box(1000, 4, 2), (Rect{366, 5, 514, 29}));
}

TEST(BarHitTest, CloseMarkBodyPlusAndOutside) {
    const AppState s = with_tabs(4);
    const auto hit = [&](int x, int y) { return bar_hit_test(s, 1000, x, y); };
    // 10 pixels left of tab 1's right edge closes it; 30 pixels left selects it.
    EXPECT_EQ(hit(350, 10)->part, BarHit::Part::CloseMark);
    EXPECT_EQ(hit(350, 10)->item, (BarItem{BarItem::Kind::Tab, 1}));
    EXPECT_EQ(hit(330, 10)->part, BarHit::Part::Body);
    EXPECT_EQ(hit(330, 10)->item, (BarItem{BarItem::Kind::Tab, 1}));
    EXPECT_EQ(hit(960, 0)->part, BarHit::Part::Plus);
    EXPECT_FALSE(hit(800, 10));  // past the last item
    EXPECT_FALSE(hit(10, 34));
    EXPECT_FALSE(hit(10, -1));  // captured pointer above the window
    EXPECT_FALSE(hit(-5, 10));
    EXPECT_EQ(bar_hit_test(AppState{}, 1000, 5, 5), std::nullopt);
}

TEST(BarHitTest, CloseMarkUsesTheFullWidthOfACutItem) {
    // Item 13 of 20 is drawn cut at 960, its "x" at 938..956; the close area
    // is still the last 26 pixels of 936..1008, which the "+" button covers.
    const AppState s = with_tabs(20);
    EXPECT_EQ(bar_hit_test(s, 1000, 945, 5)->part, BarHit::Part::Body);
    EXPECT_EQ(bar_hit_test(s, 1000, 990, 5)->part, BarHit::Part::Plus);
    EXPECT_EQ(bar_hit_test(s, 1000, 935, 5)->part, BarHit::Part::CloseMark);  // item 12
}

TEST(BarItems, CollapsedGroupShowsOneLabelAtItsFirstTab) {
    AppState s = with_tabs(5);
    const GroupId web = add_group(s, "Web", {1, 2, 3}, true);
    EXPECT_EQ(bar_items(s),
              (std::vector<BarItem>{
                  {BarItem::Kind::Tab, 0}, {BarItem::Kind::Group, web}, {BarItem::Kind::Tab, 4}}));
    EXPECT_EQ(bar_item_look(s, {BarItem::Kind::Group, web}).text, "▸ Web (3)");
    s.broadcast.insert(web);
    EXPECT_EQ(bar_item_look(s, {BarItem::Kind::Group, web}).text, "▸ » Web (3)");
    EXPECT_EQ(item_position_of_tab(s, 3), 1u);
    EXPECT_EQ(item_position_of_tab(s, 4), 2u);
    EXPECT_EQ(item_position_of_tab(s, 99), 0u);
    EXPECT_EQ(item_position_of_group(s, web), 1u);
}

TEST(BarItems, CollapsedParentDoesNotHideAnExpandedChild) {
    AppState s = with_tabs(2);
    const GroupId outer = add_group(s, "Outer", {0}, true);
    const GroupId inner = add_group(s, "Inner", {1});
    set_group_parent(s, inner, outer);
    EXPECT_EQ(bar_items(s),
              (std::vector<BarItem>{{BarItem::Kind::Group, outer}, {BarItem::Kind::Tab, 1}}));
}

TEST(BarLook, StripesFollowOwnAndGroupColours) {
    AppState s = with_tabs(3);
    const GroupId red = add_group(s, "R", {0, 1});  // first group: Red
    s.tabs[0].color = 5;                            // Blue
    s.tabs[2].color = 5;
    s.active = 1;
    const BarItemLook own = bar_item_look(s, {BarItem::Kind::Tab, 0});
    EXPECT_EQ(own.top_stripe, (Rgb{59, 120, 255}));
    EXPECT_EQ(own.bottom_stripe, (Rgb{231, 72, 86}));
    EXPECT_EQ(own.background, k_bar_item_background);
    const BarItemLook grouped = bar_item_look(s, {BarItem::Kind::Tab, 1});
    EXPECT_EQ(grouped.top_stripe, (Rgb{231, 72, 86}));
    EXPECT_EQ(grouped.bottom_stripe, (Rgb{231, 72, 86}));
    EXPECT_EQ(grouped.background, k_bar_item_active_background);
    const BarItemLook alone = bar_item_look(s, {BarItem::Kind::Tab, 2});
    EXPECT_EQ(alone.top_stripe, (Rgb{59, 120, 255}));
    EXPECT_EQ(alone.bottom_stripe, std::nullopt);
    EXPECT_EQ(bar_item_look(s, {BarItem::Kind::Group, red}).background,
              k_bar_item_active_background);
}

TEST(BarLook, ColourIndexesAboveSevenDrawNoColour) {
    AppState s = with_tabs(2);
    add_group(s, "G", {0});
    s.groups[0].color = 100;
    s.tabs[0].color = 100;
    s.tabs[1].color = 8;
    EXPECT_EQ(bar_item_look(s, {BarItem::Kind::Tab, 0}).top_stripe, std::nullopt);
    EXPECT_EQ(bar_item_look(s, {BarItem::Kind::Tab, 0}).bottom_stripe, std::nullopt);
    EXPECT_EQ(bar_item_look(s, {BarItem::Kind::Tab, 1}).top_stripe, std::nullopt);
}

}  // namespace
}  // namespace tolvar::app
