#include "view/help.hpp"

#include <gtest/gtest.h>

namespace tolvar::app {
namespace {

TEST(HelpRows, FirstKeyIsTheNavigationSettingAsWritten) {
    const auto rows = help_rows("alt");
    EXPECT_EQ(rows[0].key, "alt+Arrows");
    EXPECT_EQ(rows[0].description, "Move selection (wraps; 4-way tiled)");
    EXPECT_EQ(help_rows("Ctrl+Shift")[0].key, "Ctrl+Shift+Arrows");
    EXPECT_EQ(help_rows("")[0].key, "Alt+Arrows");
    EXPECT_EQ(rows[14].key, "Shift+PgUp / Shift+PgDn");
    EXPECT_EQ(rows[16].key, "Ctrl+Shift+F");
    EXPECT_EQ(rows[17].key, "Ctrl+Ins / Ctrl+Shift+C");
    EXPECT_EQ(rows[18].key, "Shift+Ins / Ctrl+Shift+V");
    EXPECT_EQ(rows[20].key, "Double / triple-click");
    EXPECT_EQ(rows[22].key, "Ctrl+Shift+Space");
    EXPECT_EQ(rows[22].description, "Command palette");
    EXPECT_EQ(rows[23].key, "Ctrl+F1");
    EXPECT_EQ(rows[23].description, "This help (Esc closes)");
}

TEST(HelpLayout, CentredPanelOfTheTitleAndTheRows) {
    // 1000 x 638 client, 16-pixel cells: r = 22, pw = 560, 25 lines of 22,
    // t = (638 - 550 - 58) / 2 = 15.
    const HelpLayout l = help_layout(1000, 638, 16, Scale{96});
    EXPECT_EQ(l.row_height, 22);
    EXPECT_EQ(l.panel, (Rect{220, 49, 780, 623}));
    EXPECT_EQ(l.title, (Rect{236, 61, 764, 83}));
    EXPECT_EQ(l.key_width, 252);
    EXPECT_EQ(l.key_cell(0), (Rect{236, 83, 488, 105}));
    EXPECT_EQ(l.description_cell(20), (Rect{488, 523, 764, 545}));
}

TEST(HelpLayout, SmallCellsAndSmallWindows) {
    // Rows are at least 20 high; the top never rises above 8 + 34.
    const HelpLayout tiny = help_layout(200, 100, 5, Scale{96});
    EXPECT_EQ(tiny.row_height, 20);
    EXPECT_EQ(tiny.panel, (Rect{-40, 42, 240, 8 + 25 * 20 + 58}));
    // 45 % of 281 truncates twice: 45 * 281 / 4 = 3161, / 25 = 126.
    EXPECT_EQ(help_layout(341, 600, 16, Scale{96}).key_width, 126);
}

TEST(HelpLayout, At144DpiTheChromeGrowsByHalfAndRowsFollowTheFont) {
    // A 24-pixel cell (the terminal font at 144 DPI): r = 24 + 9 = 33,
    // pw = 840, t = (957 - 825 - 87) / 2 = 22.
    const HelpLayout l = help_layout(1500, 957, 24, Scale{144});
    EXPECT_EQ(l.row_height, 33);
    EXPECT_EQ(l.panel, (Rect{330, 73, 1170, 934}));
    EXPECT_EQ(l.title, (Rect{354, 91, 1146, 124}));
}

}  // namespace
}  // namespace tolvar::app
