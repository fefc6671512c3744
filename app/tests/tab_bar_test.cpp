#include "view/tab_bar.hpp"

#include <gtest/gtest.h>

#include "states.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {
namespace {

using testing::tab_at;
using testing::with_tabs;

constexpr Scale k_96{96};
constexpr Scale k_144{144};

GroupId add_group(AppState& s, std::string name, std::initializer_list<std::size_t> members,
                  bool collapsed = false) {
    std::vector<TabId> ids;
    for (const std::size_t i : members) ids.push_back(tab_at(s, i));
    const GroupId id = s.new_group_for(ids.at(0));
    for (const TabId t : ids) s.set_tab_group(t, id);
    s.find_group(id)->name = std::move(name);
    s.find_group(id)->collapsed = collapsed;
    return id;
}

TEST(BarGeometry, ItemWidthsAtFourAndTwentyTabs) {
    EXPECT_EQ(bar_item_width(1000, 0, k_96), 180);
    EXPECT_EQ(bar_item_width(1000, 4, k_96), 180);
    EXPECT_EQ(bar_item_width(1000, 20, k_96), 72);
    EXPECT_EQ(bar_item_width(1000, 8, k_96), 120);
    EXPECT_EQ(bar_item_width(10, 3, k_96), 72);  // narrower than the "+" button

    // 20 tabs: only those starting left of 960 show, the last one cut there.
    std::size_t shown = 0;
    for (std::size_t i = 0; i < 20; ++i) {
        if (!bar_item_box(1000, 20, i, k_96).visible()) break;
        ++shown;
    }
    EXPECT_EQ(shown, 14u);
    EXPECT_EQ(bar_item_box(1000, 20, 13, k_96).item, (Rect{936, 0, 960, 34}));
}

TEST(BarGeometry, RectanglesInsideAnItem) {
    const BarItemBox box = bar_item_box(1000, 4, 1, k_96);
    EXPECT_EQ(box.item, (Rect{180, 0, 360, 34}));
    EXPECT_EQ(box.title, (Rect{188, 0, 334, 34}));
    EXPECT_EQ(box.close_mark, (Rect{338, 0, 356, 34}));
    EXPECT_EQ(box.top_stripe, (Rect{180, 0, 360, 3}));
    EXPECT_EQ(box.bottom_stripe, (Rect{180, 32, 360, 34}));
    EXPECT_EQ(plus_button_box(1000, k_96), (Rect{960, 0, 1000, 34}));
    EXPECT_EQ(rename_editor_box(1000, 4, 2, k_96), (Rect{366, 5, 514, 29}));
}

// A window of 1500 pixels at 144 DPI is the 1000 pixels of 96 DPI: every
// measure grows by half, and the bar takes 51 pixels.
TEST(BarGeometry, At144DpiEveryMeasureScales) {
    EXPECT_EQ(tab_bar_height(k_144), 51);
    EXPECT_EQ(bar_item_width(1500, 4, k_144), 270);
    EXPECT_EQ(bar_item_width(1500, 20, k_144), 108);
    const BarItemBox box = bar_item_box(1500, 4, 1, k_144);
    EXPECT_EQ(box.item, (Rect{270, 0, 540, 51}));
    EXPECT_EQ(box.title, (Rect{282, 0, 501, 51}));
    EXPECT_EQ(box.close_mark, (Rect{507, 0, 534, 51}));
    EXPECT_EQ(box.top_stripe, (Rect{270, 0, 540, 4}));
    EXPECT_EQ(box.bottom_stripe, (Rect{270, 48, 540, 51}));
    EXPECT_EQ(plus_button_box(1500, k_144), (Rect{1440, 0, 1500, 51}));
    EXPECT_EQ(rename_editor_box(1500, 4, 2, k_144), (Rect{549, 7, 771, 43}));
    EXPECT_EQ(bar_item_box(1500, 20, 13, k_144).item, (Rect{1404, 0, 1440, 51}));
    EXPECT_FALSE(bar_item_box(1500, 20, 14, k_144).visible());

    const AppState s = with_tabs(4);
    const auto hit = [&](int x, int y) { return bar_hit_test(s, 1500, x, y, k_144); };
    EXPECT_EQ(hit(520, 50)->part, BarHit::Part::CloseMark);
    EXPECT_EQ(hit(495, 10)->part, BarHit::Part::Body);
    EXPECT_EQ(hit(495, 10)->item, BarItem(tab_at(s, 1)));
    EXPECT_EQ(hit(1445, 10)->part, BarHit::Part::Plus);
    EXPECT_FALSE(hit(495, 51));
}

TEST(BarHitTest, CloseMarkBodyPlusAndOutside) {
    const AppState s = with_tabs(4);
    const auto hit = [&](int x, int y) { return bar_hit_test(s, 1000, x, y, k_96); };
    // 10 pixels left of tab 1's right edge closes it; 30 pixels left selects it.
    EXPECT_EQ(hit(350, 10)->part, BarHit::Part::CloseMark);
    EXPECT_EQ(hit(350, 10)->item, BarItem(tab_at(s, 1)));
    EXPECT_EQ(hit(330, 10)->part, BarHit::Part::Body);
    EXPECT_EQ(hit(330, 10)->item, BarItem(tab_at(s, 1)));
    EXPECT_EQ(hit(960, 0)->part, BarHit::Part::Plus);
    EXPECT_FALSE(hit(800, 10));  // past the last item
    EXPECT_FALSE(hit(10, 34));
    EXPECT_FALSE(hit(10, -1));  // captured pointer above the window
    EXPECT_FALSE(hit(-5, 10));
    EXPECT_EQ(bar_hit_test(AppState{}, 1000, 5, 5, k_96), std::nullopt);
}

// Pins the close mark of an item the "+" button cuts short: at 1010 pixels
// item 13 of 20 shows 936..970 with its "x" at 948..966, but clicks there
// only activated the tab, because the close area was measured on the uncut
// 936..1008.
TEST(BarHitTest, TheCloseMarkOfACutItemClosesWhereItIsDrawn) {
    const AppState s = with_tabs(20);
    const auto part = [&](int x) { return bar_hit_test(s, 1010, x, 5, k_96)->part; };
    EXPECT_EQ(bar_item_box(1010, 20, 13, k_96).close_mark, (Rect{948, 0, 966, 34}));
    EXPECT_EQ(part(950), BarHit::Part::CloseMark);
    EXPECT_EQ(bar_hit_test(s, 1010, 950, 5, k_96)->item, BarItem(tab_at(s, 13)));
    EXPECT_EQ(part(940), BarHit::Part::Body);
    EXPECT_EQ(part(975), BarHit::Part::Plus);
    // A sliver narrower than the mark is all mark, and the mark stays in it.
    const BarItemBox sliver = bar_item_box(1000, 20, 13, k_96);  // 936..960
    EXPECT_EQ(sliver.close_mark, (Rect{938, 0, 956, 34}));
    EXPECT_EQ(bar_hit_test(s, 1000, 937, 5, k_96)->part, BarHit::Part::CloseMark);
}

TEST(BarItems, CollapsedGroupShowsOneLabelAtItsFirstTab) {
    AppState s = with_tabs(5);
    const GroupId web = add_group(s, "Web", {1, 2, 3}, true);
    EXPECT_EQ(bar_items(s), (std::vector<BarItem>{tab_at(s, 0), web, tab_at(s, 4)}));
    EXPECT_EQ(bar_item_look(s, web).text, "▸ Web (3)");
    s.toggle_broadcast(web);
    EXPECT_EQ(bar_item_look(s, web).text, "▸ » Web (3)");
    EXPECT_EQ(item_position_of_tab(s, tab_at(s, 3)), 1u);
    EXPECT_EQ(item_position_of_tab(s, tab_at(s, 4)), 2u);
    EXPECT_EQ(item_position_of_tab(s, TabId{99}), 0u);
    EXPECT_EQ(item_position_of_group(s, web), 1u);
}

TEST(BarItems, CollapsedParentDoesNotHideAnExpandedChild) {
    AppState s = with_tabs(2);
    const GroupId outer = add_group(s, "Outer", {0}, true);
    const GroupId inner = add_group(s, "Inner", {1});
    s.set_group_parent(inner, outer);
    EXPECT_EQ(bar_items(s), (std::vector<BarItem>{outer, tab_at(s, 1)}));
}

TEST(BarLook, StripesFollowOwnAndGroupColours) {
    AppState s = with_tabs(3);
    const GroupId red = add_group(s, "R", {0, 1});  // first group: Red
    s.find_tab(tab_at(s, 0))->set_color(5);         // Blue
    s.find_tab(tab_at(s, 2))->set_color(5);
    s.set_active(tab_at(s, 1));
    const BarItemLook own = bar_item_look(s, tab_at(s, 0));
    EXPECT_EQ(own.top_stripe, (Rgb{59, 120, 255}));
    EXPECT_EQ(own.bottom_stripe, (Rgb{231, 72, 86}));
    EXPECT_EQ(own.background, k_bar_item_background);
    const BarItemLook grouped = bar_item_look(s, tab_at(s, 1));
    EXPECT_EQ(grouped.top_stripe, (Rgb{231, 72, 86}));
    EXPECT_EQ(grouped.bottom_stripe, (Rgb{231, 72, 86}));
    EXPECT_EQ(grouped.background, k_bar_item_active_background);
    const BarItemLook alone = bar_item_look(s, tab_at(s, 2));
    EXPECT_EQ(alone.top_stripe, (Rgb{59, 120, 255}));
    EXPECT_EQ(alone.bottom_stripe, std::nullopt);
    EXPECT_EQ(bar_item_look(s, red).background, k_bar_item_active_background);
}

TEST(BarLook, ColourIndexesAboveSevenDrawNoColour) {
    AppState s = with_tabs(2);
    s.find_tab(tab_at(s, 0))->set_color(100);
    s.find_tab(tab_at(s, 1))->set_color(8);
    EXPECT_EQ(bar_item_look(s, tab_at(s, 0)).top_stripe, std::nullopt);
    EXPECT_EQ(bar_item_look(s, tab_at(s, 0)).bottom_stripe, std::nullopt);
    EXPECT_EQ(bar_item_look(s, tab_at(s, 1)).top_stripe, std::nullopt);
}

// The press a double-click follows is held as the item it hit. After the
// bar changes under it (a regroup moves tabs, a close shifts them), that
// item still names the tab that was pressed.
TEST(BarHitTest, APressedItemKeepsNamingItsTab) {
    AppState s = with_tabs(4);
    const BarHit pressed = *bar_hit_test(s, 1000, 200, 10, k_96);  // the second tab
    const TabId second = tab_at(s, 1);
    ASSERT_EQ(pressed.item, BarItem(second));
    const GroupId g = s.new_group_for(tab_at(s, 3));
    s.set_tab_group(tab_at(s, 0), g);  // the first tab moves to the end
    s.remove_tab(tab_at(s, 1));
    EXPECT_EQ(pressed.item, BarItem(second));
    EXPECT_EQ(item_position_of_tab(s, second), 0u);
    EXPECT_EQ(bar_item_look(s, *pressed.item).text, "T1");
}

}  // namespace
}  // namespace tolvar::app
