#include "view/frame_clock.hpp"

#include <gtest/gtest.h>

#include <algorithm>


namespace tolvar::app {
namespace {

TEST(FrameInterval, FollowsTheRefreshAndTakesSixtyHertzForWhatIsNoRate) {
    EXPECT_EQ(frame_interval(60), 16'667);
    EXPECT_EQ(frame_interval(144), 6'944);
    EXPECT_EQ(frame_interval(30), 33'333);
    for (const std::uint32_t no_rate : {0u, 1u, 5000u}) EXPECT_EQ(frame_interval(no_rate), 16'667);
    FrameClock clock;
    clock.set_interval(0);
    EXPECT_EQ(clock.interval(), 16'667);
}

TEST(FrameClock, OutputAfterAQuietSpellPaintsAtOnce) {
    FrameClock clock(10'000);
    EXPECT_EQ(clock.output(5), FrameClock::Ask::Now);  // never painted
    clock.painted(100);
    EXPECT_EQ(clock.output(10'100), FrameClock::Ask::Now);
    EXPECT_EQ(clock.output(50'000), FrameClock::Ask::Now);
    EXPECT_FALSE(clock.armed());
}

TEST(FrameClock, OutputWithinAFrameWaitsForItsRestAndMoreOutputAddsNothing) {
    FrameClock clock(10'000);
    clock.painted(1'000);
    ASSERT_EQ(clock.output(4'000), FrameClock::Ask::Arm);
    EXPECT_EQ(clock.wait(), 7'000);
    EXPECT_EQ(clock.output(5'000), FrameClock::Ask::Waiting);
    EXPECT_EQ(clock.output(10'999), FrameClock::Ask::Waiting);
    clock.fired();
    clock.painted(11'000);
    EXPECT_EQ(clock.output(11'001), FrameClock::Ask::Arm);
    EXPECT_EQ(clock.wait(), 9'999);
}

TEST(FrameClock, TheEchoOfATypedKeyDoesNotWaitButWhatFollowsItDoes) {
    FrameClock clock(10'000);
    clock.painted(1'000);
    ASSERT_EQ(clock.output(2'000), FrameClock::Ask::Arm);  // output before the key
    clock.typed(3'000);
    EXPECT_EQ(clock.output(4'000), FrameClock::Ask::Now);      // its echo
    clock.painted(4'100);
    EXPECT_EQ(clock.output(4'200), FrameClock::Ask::Waiting);  // the timer still armed
    clock.fired();
    clock.painted(11'000);
    EXPECT_EQ(clock.output(12'000), FrameClock::Ask::Arm);

    // A key whose echo did not come within the window grants later output nothing.
    clock.fired();
    clock.typed(700'000);
    clock.painted(1'000'000);
    EXPECT_EQ(clock.output(1'000'500), FrameClock::Ask::Arm);
}

TEST(FrameClock, AClockThatWentBackDoesNotHoldOutput) {
    FrameClock clock(10'000);
    clock.painted(50'000);
    EXPECT_EQ(clock.output(49'000), FrameClock::Ask::Now);
}

// A flood: output every 100 us for a second, the window painting as soon as
// it is asked (invalidation or the timer). No more paints than frames, and
// no output waits longer than a frame for the paint that shows it.
TEST(FrameClock, AFloodPaintsOncePerFrameAndNoOutputWaitsLongerThanOne) {
    const Micros interval = 16'667;
    FrameClock clock(interval);
    constexpr Micros none = -1;
    Micros paint_at = none;  // an invalidation or a timer pending
    Micros oldest_unpainted = none;
    Micros longest_wait = 0;
    int paints = 0;
    const Micros step = 100;
    for (Micros now = 0; now <= 1'000'000; now += step) {
        if (paint_at != none && paint_at <= now) {
            if (clock.armed()) clock.fired();
            clock.painted(now);
            ++paints;
            longest_wait = std::max(longest_wait, now - oldest_unpainted);
            oldest_unpainted = none;
            paint_at = none;
        }
        if (oldest_unpainted == none) oldest_unpainted = now;
        switch (clock.output(now)) {
            case FrameClock::Ask::Now:
                if (paint_at == none) paint_at = now;
                break;
            case FrameClock::Ask::Arm:
                paint_at = now + clock.wait();
                break;
            case FrameClock::Ask::Waiting:
                break;
        }
    }
    EXPECT_LE(paints, 1'000'000 / interval + 1);
    EXPECT_GE(paints, 1'000'000 / interval - 1);
    EXPECT_LE(longest_wait, interval + step);  // a paint comes at the step after it is due
}

}  // namespace
}  // namespace tolvar::app
