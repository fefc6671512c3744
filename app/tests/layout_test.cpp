#include "view/layout.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "states.hpp"
#include "workspace/browser.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {
namespace {

constexpr Rect k_client{0, 0, 1000, 650};
constexpr CellMetrics k_cell{8, 16, 15};
constexpr Scale k_96{96};
constexpr Scale k_144{144};

using testing::make_group;
using testing::tab_at;
using testing::with_tabs;

TEST(Grid, FivePanesOnThreeColumnsWrapWithinRowsAndColumns) {
    EXPECT_EQ(grid_shape(5).cols, 3u);
    EXPECT_EQ(grid_shape(5).rows, 2u);
    EXPECT_EQ(grid_shape(4).cols, 2u);
    EXPECT_EQ(grid_shape(10).cols, 4u);
    const Rect area{0, 34, 1000, 650};
    EXPECT_EQ(grid_cell(area, 5, 0), (Rect{0, 34, 333, 342}));
    EXPECT_EQ(grid_cell(area, 5, 4), (Rect{333, 342, 666, 650}));

    EXPECT_EQ(grid_move(5, 4, 1, 0), 3u);   // Right on the fifth wraps to the fourth
    EXPECT_EQ(grid_move(5, 3, -1, 0), 4u);  // Left wraps within the short row
    EXPECT_EQ(grid_move(5, 2, 0, 1), 2u);   // the third's column holds only itself
    EXPECT_EQ(grid_move(5, 0, 0, -1), 3u);
    EXPECT_EQ(grid_move(5, 1, 0, 1), 4u);
    EXPECT_EQ(grid_move(5, 2, 1, 0), 0u);
    EXPECT_EQ(grid_move(5, 9, 0, 0), 4u);  // an index past the end is clamped first
    EXPECT_EQ(grid_move(0, 7, 1, 0), 7u);
    EXPECT_EQ(grid_move(1, 0, -1, 0), 0u);
}

TEST(Grid, TinyAreasStillGiveOnePixelCells) {
    const Rect cell = grid_cell({10, 10, 11, 10}, 4, 3);
    EXPECT_EQ(cell.width(), 1);
    EXPECT_EQ(cell.height(), 1);
}

TEST(VisibleTabs, PerViewMode) {
    AppState s = with_tabs(4);
    const TabId a = tab_at(s, 0), b = tab_at(s, 1), c = tab_at(s, 2), d = tab_at(s, 3);
    make_group(s, "G", {b, d});  // d moves next to b
    s.set_active(d);
    EXPECT_EQ(visible_tabs(s), (std::vector<TabId>{d}));
    s.set_view_mode(ViewMode::TileGroup);
    EXPECT_EQ(visible_tabs(s), (std::vector<TabId>{b, d}));
    s.set_active(c);  // no group: only the active tab
    EXPECT_EQ(visible_tabs(s), (std::vector<TabId>{c}));
    s.set_view_mode(ViewMode::TileAll);
    EXPECT_EQ(visible_tabs(s), (std::vector<TabId>{a, b, d, c}));
    s.set_view_mode(ViewMode::BrowseGroups);
    EXPECT_TRUE(visible_tabs(s).empty());
    EXPECT_TRUE(visible_tabs(AppState{}).empty());
}

TEST(Panes, OneTiledPaneIsDrawnLikeSingle) {
    AppState s = with_tabs(1);
    const std::vector<Pane> single = panes(s, k_client, k_96);
    s.set_view_mode(ViewMode::TileAll);
    const std::vector<Pane> tiled = panes(s, k_client, k_96);
    ASSERT_EQ(single.size(), 1u);
    ASSERT_EQ(tiled.size(), 1u);
    EXPECT_EQ(tiled[0].rect, single[0].rect);
    EXPECT_EQ(single[0].rect, (Rect{0, 34, 1000, 650}));
    EXPECT_FALSE(tiled[0].caption);
}

TEST(Panes, CaptionsAndTextRectangles) {
    const Rect pane{0, 34, 500, 650};
    EXPECT_EQ(text_rect(pane, true, k_96), (Rect{6, 62, 494, 648}));
    EXPECT_EQ(text_rect(pane, false, k_96), (Rect{6, 40, 494, 648}));
    EXPECT_EQ(caption_rect(pane, k_96), (Rect{1, 35, 499, 56}));
    EXPECT_EQ(caption_color_block(pane, k_96), (Rect{1, 35, 5, 56}));
    EXPECT_EQ(caption_title_rect(pane, k_96), (Rect{11, 35, 493, 56}));
}

// The 1000 x 650 window of 96 DPI is 1500 x 975 at 144 DPI, and its cell
// grows with the font: the same rows and columns fit.
TEST(LayoutPass, At144DpiTheInsetsScaleWithTheFont) {
    constexpr Rect client{0, 0, 1500, 975};
    constexpr CellMetrics cell{12, 24, 22};
    EXPECT_EQ(terminal_area(client, k_144), (Rect{0, 51, 1500, 975}));
    const Rect pane{0, 51, 750, 975};
    EXPECT_EQ(text_rect(pane, true, k_144), (Rect{9, 93, 741, 972}));
    EXPECT_EQ(text_rect(pane, false, k_144), (Rect{9, 60, 741, 972}));
    EXPECT_EQ(caption_rect(pane, k_144), (Rect{1, 52, 749, 84}));
    EXPECT_EQ(caption_color_block(pane, k_144), (Rect{1, 52, 7, 84}));
    EXPECT_EQ(caption_title_rect(pane, k_144), (Rect{16, 52, 740, 84}));
    EXPECT_EQ(single_view_size(client, cell, k_144), (pty::GridSize{38, 123}));
    EXPECT_EQ(single_view_size(k_client, k_cell, k_96), (pty::GridSize{38, 123}));

    AppState s = with_tabs(3);
    s.set_view_mode(ViewMode::TileAll);
    EXPECT_EQ(layout_sizes(s, client, cell, k_144)[0].size, (pty::GridSize{17, 61}));
    s.set_view_mode(ViewMode::BrowseGroups);
    EXPECT_EQ(card_area(client, k_144), (Rect{0, 96, 1500, 975}));
    EXPECT_EQ(up_button(client, k_144), (Rect{1386, 55, 1491, 91}));
    EXPECT_EQ(breadcrumb_text_rect(client, k_144), (Rect{15, 51, 1374, 96}));
}

TEST(LayoutPass, SingleSizesEveryTabToTheFullArea) {
    AppState s = with_tabs(3);
    s.set_view_mode(ViewMode::TileAll);
    const auto tiled = layout_sizes(s, k_client, k_cell, k_96);
    ASSERT_EQ(tiled.size(), 3u);
    // 2 x 2 grid of 500 x 308 cells, each with a caption.
    EXPECT_EQ(tiled[0].size, (pty::GridSize{17, 61}));
    s.set_view_mode(ViewMode::Single);
    const auto single = layout_sizes(s, k_client, k_cell, k_96);
    ASSERT_EQ(single.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(single[i], (SessionSize{tab_at(s, i), {38, 123}}));  // 988 x 608 pixels
    }
}

TEST(LayoutPass, TiledGroupSizesOnlyItsTabs) {
    AppState s = with_tabs(3);
    const TabId first = tab_at(s, 0), third = tab_at(s, 2);
    make_group(s, "G", {first, third});
    s.set_view_mode(ViewMode::TileGroup);
    const auto sizes = layout_sizes(s, k_client, k_cell, k_96);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].tab, first);
    EXPECT_EQ(sizes[1].tab, third);
    EXPECT_EQ(sizes[1].size, (pty::GridSize{36, 61}));
}

TEST(LayoutPass, SizesStayWithinOneAnd32767) {
    AppState s = with_tabs(1);
    EXPECT_EQ(layout_sizes(s, {0, 0, 3, 20}, k_cell, k_96)[0].size, (pty::GridSize{1, 1}));
    EXPECT_EQ(layout_sizes(s, {0, 0, 1000, 650}, {0, 0, 0}, k_96)[0].size,
              (pty::GridSize{608, 988}));
    EXPECT_EQ(layout_sizes(s, {0, 0, 60000, 650}, {1, 1, 1}, k_96)[0].size.cols, 32767);
    EXPECT_TRUE(layout_sizes(AppState{}, k_client, k_cell, k_96).empty());
}

// Pins the loss of every tab's screen when the window was minimized.
TEST(LayoutPass, AnEmptyClientAreaResizesNothing) {
    AppState s = with_tabs(2);
    for (const ViewMode mode : {ViewMode::Single, ViewMode::TileAll, ViewMode::BrowseGroups}) {
        s.set_view_mode(mode);
        EXPECT_TRUE(layout_sizes(s, {0, 0, 0, 0}, k_cell, k_96).empty());
        EXPECT_FALSE(layout_sizes(s, {0, 0, 1, 1}, k_cell, k_96).empty());
    }
}

TEST(LayoutPass, BrowserSizesTabCardsOnly) {
    AppState s = with_tabs(2);
    make_group(s, "G", {tab_at(s, 0)});
    s.set_view_mode(ViewMode::BrowseGroups);
    // Entries: group G, tab 1; two cards of 500 x 586 below the breadcrumb.
    const auto sizes = layout_sizes(s, k_client, k_cell, k_96);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0], (SessionSize{tab_at(s, 1), {34, 61}}));
}

TEST(ViewModes, SetAndToggle) {
    AppState s;
    set_view_mode(s, ViewMode::TileGroup, true);
    EXPECT_EQ(s.view_mode(), ViewMode::TileGroup);
    set_view_mode(s, ViewMode::TileGroup, true);
    EXPECT_EQ(s.view_mode(), ViewMode::Single);
    set_view_mode(s, ViewMode::TileGroup, true);
    set_view_mode(s, ViewMode::TileAll, true);
    EXPECT_EQ(s.view_mode(), ViewMode::TileAll);
    set_view_mode(s, ViewMode::TileAll, false);
    EXPECT_EQ(s.view_mode(), ViewMode::TileAll);
}

TEST(AreaHits, PanesOnlyCountWithTwoOrMore) {
    AppState s = with_tabs(3);
    EXPECT_FALSE(pane_hit(s, k_client, 100, 100, k_96));
    EXPECT_EQ(pane_at(s, k_client, 100, 100, k_96)->tab, tab_at(s, 0));
    s.set_view_mode(ViewMode::TileAll);
    EXPECT_EQ(pane_hit(s, k_client, 600, 100, k_96), tab_at(s, 1));
    EXPECT_EQ(pane_hit(s, k_client, 100, 400, k_96), tab_at(s, 2));
    EXPECT_FALSE(pane_hit(s, k_client, 600, 400, k_96));  // the empty cell
    EXPECT_FALSE(pane_hit(s, k_client, 100, 20, k_96));   // the tab bar
    EXPECT_EQ(terminal_area_hit(s, k_client, 100, 100, k_96).kind, AreaHit::Kind::PaneArea);
}

// ------------------------------------------------------------ browser

// Top holds tab 0 and the groups Sub1 (tab 1) and Sub2 (tab 2); tab 3 is
// ungrouped.
struct Tree {
    AppState s = with_tabs(4);
    TabId t0 = tab_at(s, 0), t1 = tab_at(s, 1), t2 = tab_at(s, 2), t3 = tab_at(s, 3);
    GroupId top, sub1, sub2;
    Tree() {
        top = make_group(s, "Top", {t0});
        sub1 = make_group(s, "Sub1", {t1});
        sub2 = make_group(s, "Sub2", {t2});
        s.set_group_parent(sub1, top);
        s.set_group_parent(sub2, top);
        s.set_view_mode(ViewMode::BrowseGroups);
    }
};

TEST(Browser, EntriesGroupsFirstThenTabs) {
    Tree t;
    EXPECT_EQ(browser_entries(t.s), (std::vector<BrowserEntry>{t.top, t.t3}));
    t.s.enter_group(t.top);
    EXPECT_EQ(browser_entries(t.s), (std::vector<BrowserEntry>{t.sub1, t.sub2, t.t0}));
}

TEST(Browser, CardTexts) {
    Tree t;
    EXPECT_EQ(group_card_title(*t.s.find_group(t.top)), "▸ Top");
    EXPECT_EQ(group_card_counts(t.s, t.top), "1 tab · 2 groups");
    t.s.set_tab_group(t.t0, std::nullopt);
    t.s.set_group_parent(t.sub2, std::nullopt);
    EXPECT_EQ(group_card_counts(t.s, t.top), "0 tabs · 1 group");
    EXPECT_EQ(group_card_counts(t.s, t.sub1), "1 tab · 0 groups");
}

TEST(Browser, BreadcrumbNamesEveryBrowsedLevel) {
    Tree t;
    t.s.enter_group(t.top);
    t.s.enter_group(t.sub1);
    EXPECT_EQ(breadcrumb_text(t.s), "All groups  ›  Top  ›  Sub1");
    t.s.leave_group();
    t.s.leave_group();
    EXPECT_EQ(breadcrumb_text(t.s), "All groups");
}

TEST(Browser, OpenEnterGoUpAndToggle) {
    Tree t;
    EXPECT_FALSE(browser_go_up(t.s));  // nothing above the top level
    EXPECT_TRUE(browser_open(t.s));    // selection 0: group Top
    EXPECT_EQ(t.s.browse_path(), (std::vector<GroupId>{t.top}));
    EXPECT_TRUE(browser_select(t.s, 99));
    EXPECT_EQ(t.s.tile_selection(), 2u);
    EXPECT_TRUE(browser_go_up(t.s));
    EXPECT_TRUE(t.s.browse_path().empty());
    EXPECT_EQ(t.s.tile_selection(), 0u);

    browser_move(t.s, 1, 0);
    EXPECT_EQ(t.s.tile_selection(), 1u);
    EXPECT_TRUE(browser_open(t.s));  // tab 3
    EXPECT_EQ(t.s.active(), t.t3);
    EXPECT_EQ(t.s.view_mode(), ViewMode::Single);

    toggle_browser(t.s);
    EXPECT_EQ(t.s.view_mode(), ViewMode::BrowseGroups);
    EXPECT_EQ(t.s.tile_selection(), 1u);  // still a valid entry: kept
    toggle_browser(t.s);
    EXPECT_EQ(t.s.view_mode(), ViewMode::Single);
}

TEST(Browser, NothingToOpenOrSelectWhenEmpty) {
    AppState s;
    s.set_view_mode(ViewMode::BrowseGroups);
    EXPECT_FALSE(browser_open(s));
    EXPECT_FALSE(browser_select(s, 0));
    browser_move(s, 1, 0);
    EXPECT_EQ(s.tile_selection(), 0u);
}

TEST(Browser, HitTestUpButtonAndCards) {
    Tree t;
    // Two cards: 0..500 and 500..1000, 64..650.
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 950, 40, k_96).kind, AreaHit::Kind::PaneArea);
    t.s.enter_group(t.top);  // three cards now
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 924, 37, k_96).kind, AreaHit::Kind::UpButton);
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 993, 50, k_96).kind, AreaHit::Kind::UpButton);
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 994, 50, k_96).kind, AreaHit::Kind::PaneArea);
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 950, 61, k_96).kind, AreaHit::Kind::PaneArea);
    const AreaHit card = terminal_area_hit(t.s, k_client, 100, 400, k_96);
    EXPECT_EQ(card.kind, AreaHit::Kind::Card);
    EXPECT_EQ(card.card, 2u);
    EXPECT_EQ(up_button({0, 0, 50, 100}, k_96).left, 0);
}

// A session that ends while its group is browsed takes its card; the
// selection stays on an entry that exists.
TEST(Browser, ClosingTheSelectedCardsTabKeepsASelection) {
    Tree t;
    t.s.enter_group(t.top);
    t.s.select_entry(2);  // tab 0
    t.s.remove_tab(t.t0);
    EXPECT_EQ(t.s.tile_selection(), 1u);
    EXPECT_EQ(browser_entries(t.s).size(), 2u);
}

TEST(Browser, OpeningATabFromTheWorkspaceSwitchesToSingle) {
    testing::Rig rig;
    rig.open(2);
    AppState& s = rig.state();
    s.set_view_mode(ViewMode::BrowseGroups);
    s.select_entry(0);
    EXPECT_TRUE(browser_open(s));
    EXPECT_EQ(s.active(), rig.id(0));
    EXPECT_EQ(s.view_mode(), ViewMode::Single);
}

}  // namespace
}  // namespace tolvar::app
