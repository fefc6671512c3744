#include "tolvar/app/layout.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "tolvar/app/browser.hpp"
#include "tolvar/app/workspace.hpp"

namespace tolvar::app {
namespace {

constexpr Rect k_client{0, 0, 1000, 650};
constexpr CellMetrics k_cell{8, 16, 15};

AppState with_tabs(std::size_t n) {
    AppState s;
    s.tabs.resize(n);
    return s;
}

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
    const GroupId g = group_by_name(s, "G");
    s.tabs[1].group = g;
    s.tabs[3].group = g;
    s.active = 3;
    EXPECT_EQ(visible_tabs(s), (std::vector<std::size_t>{3}));
    s.view_mode = ViewMode::TileGroup;
    EXPECT_EQ(visible_tabs(s), (std::vector<std::size_t>{1, 3}));
    s.active = 2;  // no group: only the active tab
    EXPECT_EQ(visible_tabs(s), (std::vector<std::size_t>{2}));
    s.view_mode = ViewMode::TileAll;
    EXPECT_EQ(visible_tabs(s), (std::vector<std::size_t>{0, 1, 2, 3}));
    s.view_mode = ViewMode::BrowseGroups;
    EXPECT_TRUE(visible_tabs(s).empty());
    EXPECT_TRUE(visible_tabs(AppState{}).empty());
}

TEST(Panes, OneTiledPaneIsDrawnLikeSingle) {
    AppState s = with_tabs(1);
    const std::vector<Pane> single = panes(s, k_client);
    s.view_mode = ViewMode::TileAll;
    const std::vector<Pane> tiled = panes(s, k_client);
    ASSERT_EQ(single.size(), 1u);
    ASSERT_EQ(tiled.size(), 1u);
    EXPECT_EQ(tiled[0].rect, single[0].rect);
    EXPECT_EQ(single[0].rect, (Rect{0, 34, 1000, 650}));
    EXPECT_FALSE(tiled[0].caption);
}

TEST(Panes, CaptionsAndTextRectangles) {
    const Rect pane{0, 34, 500, 650};
    EXPECT_EQ(text_rect(pane, true), (Rect{6, 62, 494, 648}));
    EXPECT_EQ(text_rect(pane, false), (Rect{6, 40, 494, 648}));
    EXPECT_EQ(caption_rect(pane), (Rect{1, 35, 499, 56}));
    EXPECT_EQ(caption_color_block(pane), (Rect{1, 35, 5, 56}));
    EXPECT_EQ(caption_title_rect(pane), (Rect{11, 35, 493, 56}));
}

TEST(LayoutPass, SingleSizesEveryTabToTheFullArea) {
    AppState s = with_tabs(3);
    s.view_mode = ViewMode::TileAll;
    const auto tiled = layout_sizes(s, k_client, k_cell);
    ASSERT_EQ(tiled.size(), 3u);
    // 2 x 2 grid of 500 x 308 cells, each with a caption.
    EXPECT_EQ(tiled[0].size, (pty::GridSize{17, 61}));
    s.view_mode = ViewMode::Single;
    const auto single = layout_sizes(s, k_client, k_cell);
    ASSERT_EQ(single.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(single[i], (SessionSize{i, {38, 123}}));  // 988 x 608 pixels of text
    }
}

TEST(LayoutPass, TiledGroupSizesOnlyItsTabs) {
    AppState s = with_tabs(3);
    const GroupId g = group_by_name(s, "G");
    s.tabs[0].group = g;
    s.tabs[2].group = g;
    s.view_mode = ViewMode::TileGroup;
    const auto sizes = layout_sizes(s, k_client, k_cell);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].tab, 0u);
    EXPECT_EQ(sizes[1].tab, 2u);
    EXPECT_EQ(sizes[1].size, (pty::GridSize{36, 61}));
}

TEST(LayoutPass, SizesStayWithinOneAnd32767) {
    AppState s = with_tabs(1);
    EXPECT_EQ(layout_sizes(s, {0, 0, 3, 20}, k_cell)[0].size, (pty::GridSize{1, 1}));
    EXPECT_EQ(layout_sizes(s, {0, 0, 1000, 650}, {0, 0, 0})[0].size, (pty::GridSize{608, 988}));
    EXPECT_EQ(layout_sizes(s, {0, 0, 60000, 650}, {1, 1, 1})[0].size.cols, 32767);
    EXPECT_TRUE(layout_sizes(AppState{}, k_client, k_cell).empty());
}

// Pins the loss of every tab's screen when the window was minimized.
TEST(LayoutPass, AnEmptyClientAreaResizesNothing) {
    AppState s = with_tabs(2);
    for (const ViewMode mode : {ViewMode::Single, ViewMode::TileAll, ViewMode::BrowseGroups}) {
        s.view_mode = mode;
        EXPECT_TRUE(layout_sizes(s, {0, 0, 0, 0}, k_cell).empty());
        EXPECT_FALSE(layout_sizes(s, {0, 0, 1, 1}, k_cell).empty());
    }
}

TEST(LayoutPass, BrowserSizesTabCardsOnly) {
    AppState s = with_tabs(2);
    const GroupId g = group_by_name(s, "G");
    s.tabs[0].group = g;
    s.view_mode = ViewMode::BrowseGroups;
    // Entries: group G, tab 1; two cards of 500 x 586 below the breadcrumb.
    const auto sizes = layout_sizes(s, k_client, k_cell);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0], (SessionSize{1, {34, 61}}));
}

TEST(ViewModes, SetAndToggle) {
    AppState s;
    set_view_mode(s, ViewMode::TileGroup, true);
    EXPECT_EQ(s.view_mode, ViewMode::TileGroup);
    set_view_mode(s, ViewMode::TileGroup, true);
    EXPECT_EQ(s.view_mode, ViewMode::Single);
    set_view_mode(s, ViewMode::TileGroup, true);
    set_view_mode(s, ViewMode::TileAll, true);
    EXPECT_EQ(s.view_mode, ViewMode::TileAll);
    set_view_mode(s, ViewMode::TileAll, false);
    EXPECT_EQ(s.view_mode, ViewMode::TileAll);
}

TEST(AreaHits, PanesOnlyCountWithTwoOrMore) {
    AppState s = with_tabs(3);
    EXPECT_FALSE(pane_hit(s, k_client, 100, 100));
    EXPECT_EQ(pane_at(s, k_client, 100, 100)->tab, 0u);
    s.view_mode = ViewMode::TileAll;
    EXPECT_EQ(pane_hit(s, k_client, 600, 100), 1u);
    EXPECT_EQ(pane_hit(s, k_client, 100, 400), 2u);
    EXPECT_FALSE(pane_hit(s, k_client, 600, 400));  // the empty cell
    EXPECT_FALSE(pane_hit(s, k_client, 100, 20));   // the tab bar
    EXPECT_EQ(terminal_area_hit(s, k_client, 100, 100).kind, AreaHit::Kind::PaneArea);
}

// ------------------------------------------------------------ browser

struct Tree {
    AppState s = with_tabs(4);
    GroupId top, sub1, sub2;
    Tree() {
        top = group_by_name(s, "Top");
        sub1 = group_by_name(s, "Sub1");
        sub2 = group_by_name(s, "Sub2");
        set_group_parent(s, sub1, top);
        set_group_parent(s, sub2, top);
        s.tabs[0].group = top;
        s.tabs[1].group = sub1;
        s.tabs[2].group = sub2;
        s.view_mode = ViewMode::BrowseGroups;
    }
};

TEST(Browser, EntriesGroupsFirstThenTabs) {
    Tree t;
    EXPECT_EQ(browser_entries(t.s), (std::vector<BrowserEntry>{{BrowserEntry::Kind::Group, t.top},
                                                               {BrowserEntry::Kind::Tab, 3}}));
    t.s.browse_path = {t.top};
    EXPECT_EQ(browser_entries(t.s), (std::vector<BrowserEntry>{{BrowserEntry::Kind::Group, t.sub1},
                                                               {BrowserEntry::Kind::Group, t.sub2},
                                                               {BrowserEntry::Kind::Tab, 0}}));
}

TEST(Browser, CardTexts) {
    Tree t;
    EXPECT_EQ(group_card_title(*t.s.find_group(t.top)), "▸ Top");
    EXPECT_EQ(group_card_counts(t.s, t.top), "1 tab · 2 groups");
    t.s.tabs[0].group.reset();
    set_group_parent(t.s, t.sub2, std::nullopt);
    EXPECT_EQ(group_card_counts(t.s, t.top), "0 tabs · 1 group");
    EXPECT_EQ(group_card_counts(t.s, t.sub1), "1 tab · 0 groups");
}

TEST(Browser, BreadcrumbSkipsGroupsThatNoLongerExist) {
    Tree t;
    t.s.browse_path = {t.top, 77, t.sub1};
    EXPECT_EQ(breadcrumb_text(t.s), "All groups  ›  Top  ›  Sub1");
    t.s.browse_path.clear();
    EXPECT_EQ(breadcrumb_text(t.s), "All groups");
}

TEST(Browser, OpenEnterGoUpAndToggle) {
    Tree t;
    EXPECT_FALSE(browser_go_up(t.s));  // nothing above the top level
    EXPECT_TRUE(browser_open(t.s));    // selection 0: group Top
    EXPECT_EQ(t.s.browse_path, (std::vector<GroupId>{t.top}));
    EXPECT_TRUE(browser_select(t.s, 99));
    EXPECT_EQ(t.s.tile_selection, 2u);
    EXPECT_TRUE(browser_go_up(t.s));
    EXPECT_TRUE(t.s.browse_path.empty());
    EXPECT_EQ(t.s.tile_selection, 0u);

    browser_move(t.s, 1, 0);
    EXPECT_EQ(t.s.tile_selection, 1u);
    EXPECT_TRUE(browser_open(t.s));  // tab 3
    EXPECT_EQ(t.s.active, 3u);
    EXPECT_EQ(t.s.view_mode, ViewMode::Single);

    t.s.tile_selection = 5;
    toggle_browser(t.s);
    EXPECT_EQ(t.s.view_mode, ViewMode::BrowseGroups);
    EXPECT_EQ(t.s.tile_selection, 0u);
    t.s.tile_selection = 1;
    toggle_browser(t.s);
    toggle_browser(t.s);
    EXPECT_EQ(t.s.tile_selection, 1u);  // still a valid entry: kept
}

TEST(Browser, NothingToOpenOrSelectWhenEmpty) {
    AppState s;
    s.view_mode = ViewMode::BrowseGroups;
    EXPECT_FALSE(browser_open(s));
    EXPECT_FALSE(browser_select(s, 0));
    browser_move(s, 1, 0);
    EXPECT_EQ(s.tile_selection, 0u);
}

TEST(Browser, HitTestUpButtonAndCards) {
    Tree t;
    // Two cards: 0..500 and 500..1000, 64..650.
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 950, 40).kind, AreaHit::Kind::PaneArea);
    t.s.browse_path = {t.top};  // three cards now
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 924, 37).kind, AreaHit::Kind::UpButton);
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 993, 50).kind, AreaHit::Kind::UpButton);
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 994, 50).kind, AreaHit::Kind::PaneArea);
    EXPECT_EQ(terminal_area_hit(t.s, k_client, 950, 61).kind, AreaHit::Kind::PaneArea);
    const AreaHit card = terminal_area_hit(t.s, k_client, 100, 400);
    EXPECT_EQ(card.kind, AreaHit::Kind::Card);
    EXPECT_EQ(card.card, 2u);
    EXPECT_EQ(up_button({0, 0, 50, 100}).left, 0);
}

TEST(Browser, OpeningATabFromTheWorkspaceSwitchesToSingle) {
    testing::Rig rig;
    rig.open(2);
    AppState& s = rig.state();
    s.view_mode = ViewMode::BrowseGroups;
    s.tile_selection = 0;
    EXPECT_TRUE(browser_open(s));
    EXPECT_EQ(s.active, 0u);
    EXPECT_EQ(s.view_mode, ViewMode::Single);
}

}  // namespace
}  // namespace tolvar::app
