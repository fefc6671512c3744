#include "tolvar/app/help.hpp"

#include <gtest/gtest.h>

namespace tolvar::app {
namespace {

TEST(HelpRows, FirstKeyIsTheNavigationSettingAsWritten) {
    const auto rows = help_rows("alt");
    EXPECT_EQ(rows[0].key, "alt+Arrows");
    EXPECT_EQ(rows[0].description, "Move selection (wraps; 4-way tiled)");
    EXPECT_EQ(help_rows("Ctrl+Shift")[0].key, "Ctrl+Shift+Arrows");
    EXPECT_EQ(help_rows("")[0].key, "Alt+Arrows");
    EXPECT_EQ(rows[15].key, "Shift+Ins / Ctrl+Shift+Ins");
    EXPECT_EQ(rows[17].key, "Ctrl+F1");
    EXPECT_EQ(rows[17].description, "This help (Esc closes)");
}

TEST(HelpLayout, CentredPanelOfNineteenRows) {
    // 1000 x 616 client, 16-pixel cells: r = 22, pw = 560, t = (616 - 418 - 58) / 2 = 70.
    const HelpLayout l = help_layout(1000, 616, 16, Scale{96});
    EXPECT_EQ(l.row_height, 22);
    EXPECT_EQ(l.panel, (Rect{220, 104, 780, 546}));
    EXPECT_EQ(l.title, (Rect{236, 116, 764, 138}));
    EXPECT_EQ(l.key_width, 252);
    EXPECT_EQ(l.key_cell(0), (Rect{236, 138, 488, 160}));
    EXPECT_EQ(l.description_cell(17), (Rect{488, 512, 764, 534}));
}

TEST(HelpLayout, SmallCellsAndSmallWindows) {
    // Rows are at least 20 high; the top never rises above 8 + 34.
    const HelpLayout tiny = help_layout(200, 100, 5, Scale{96});
    EXPECT_EQ(tiny.row_height, 20);
    EXPECT_EQ(tiny.panel, (Rect{-40, 42, 240, 8 + 19 * 20 + 58}));
    // 45 % of 281 truncates twice: 45 * 281 / 4 = 3161, / 25 = 126.
    EXPECT_EQ(help_layout(341, 600, 16, Scale{96}).key_width, 126);
}

TEST(HelpLayout, At144DpiTheChromeGrowsByHalfAndRowsFollowTheFont) {
    // A 24-pixel cell (the terminal font at 144 DPI): r = 24 + 9 = 33,
    // pw = 840, t = (924 - 627 - 87) / 2 = 105.
    const HelpLayout l = help_layout(1500, 924, 24, Scale{144});
    EXPECT_EQ(l.row_height, 33);
    EXPECT_EQ(l.panel, (Rect{330, 156, 1170, 819}));
    EXPECT_EQ(l.title, (Rect{354, 174, 1146, 207}));
}

}  // namespace
}  // namespace tolvar::app
