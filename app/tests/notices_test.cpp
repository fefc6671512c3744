#include "workspace/notices.hpp"

#include <gtest/gtest.h>

namespace tolvar::app {
namespace {

TEST(Notices, ARepeatedTextIsShownOnceAndTheOldestMakeRoom) {
    Notices notices;
    const std::uint64_t first = notices.add("disk full");
    EXPECT_EQ(notices.add("disk full"), first);
    for (int i = 0; i < 4; ++i) notices.add("n" + std::to_string(i));
    ASSERT_EQ(notices.shown().size(), k_max_notices);
    EXPECT_EQ(notices.shown().front().text, "n0");
    EXPECT_NE(notices.add("disk full"), first);  // gone, so new again
    notices.dismiss(notices.shown().front().id);
    notices.dismiss(12345);
    EXPECT_EQ(notices.shown().size(), 3u);
}

TEST(NoticeRows, BelowTheTabBarAtEveryScaleAndHitByRow) {
    Notices notices;
    const std::uint64_t a = notices.add("a");
    const std::uint64_t b = notices.add("b");
    const Rect client{0, 0, 1000, 650};
    const auto rows = notice_rows(notices, client, Scale{96});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].row, (Rect{0, 60, 1000, 86}));
    EXPECT_EQ(rows[1].text, (Rect{10, 60, 970, 86}));
    EXPECT_EQ(rows[1].close_mark, (Rect{974, 60, 996, 86}));
    EXPECT_EQ(notice_rows(notices, {0, 0, 1500, 975}, Scale{144})[0].row, (Rect{0, 51, 1500, 90}));

    EXPECT_EQ(notice_hit(notices, client, 500, 40, Scale{96}), (NoticeHit{a, false}));
    EXPECT_EQ(notice_hit(notices, client, 975, 70, Scale{96}), (NoticeHit{b, true}));
    EXPECT_EQ(notice_hit(notices, client, 500, 86, Scale{96}), std::nullopt);
    EXPECT_EQ(notice_hit(notices, client, 500, 20, Scale{96}), std::nullopt);
}

}  // namespace
}  // namespace tolvar::app
