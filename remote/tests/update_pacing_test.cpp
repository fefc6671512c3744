#include "tolvar/remote/update_pacing.hpp"

#include <gtest/gtest.h>

namespace tolvar::remote {
namespace {

using namespace std::chrono_literals;
using Send = UpdatePacing::Send;

TEST(UpdatePacing, AScreenFirstThenAtMostThirtyUpdatesASecond) {
    UpdatePacing pacing;
    const Clock::time_point t0{};
    EXPECT_EQ(pacing.due(t0, 0), Send::Screen);
    pacing.sent(t0);
    int updates = 0;
    // A change every millisecond for a second.
    for (int ms = 1; ms <= 1000; ++ms) {
        const auto now = t0 + std::chrono::milliseconds(ms);
        if (pacing.due(now, 0) != Send::Update) {
            EXPECT_GT(pacing.wait(now), 0ms);
            continue;
        }
        ++updates;
        pacing.sent(now);
    }
    EXPECT_EQ(updates, 29);  // the screen at 0 was the first of thirty
    EXPECT_LE(pacing.wait(t0 + 1000ms), UpdatePacing::k_interval);
}

TEST(UpdatePacing, ABehindConnectionSkipsToAFreshScreenOnceDrained) {
    UpdatePacing pacing;
    const Clock::time_point t0{};
    pacing.sent(t0);
    EXPECT_EQ(pacing.due(t0 + 1s, Limits::k_send_queue_bytes + 1), Send::Nothing);
    // Still behind while the queue drains, however long it takes.
    EXPECT_EQ(pacing.due(t0 + 5s, UpdatePacing::k_drained + 1), Send::Nothing);
    EXPECT_EQ(pacing.due(t0 + 6s, UpdatePacing::k_drained), Send::Screen);
    pacing.sent(t0 + 6s);
    EXPECT_EQ(pacing.due(t0 + 7s, 1000), Send::Update);
}

}  // namespace
}  // namespace tolvar::remote
