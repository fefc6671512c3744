// The lock a session's reader thread and the UI thread share, and its
// poisoned state: once a holder fails, nobody touches the model again.
#include "tolvar/pty/shared_model.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>

namespace tolvar::pty {
namespace {

TEST(SharedModel, RunsUnderTheLock) {
    SharedModel shared(3, 10);
    EXPECT_TRUE(shared.with([](TerminalModel& m) { m.feed("hi"); }));
    std::string text;
    const SharedModel& reader = shared;
    EXPECT_TRUE(reader.with([&](const TerminalModel& m) { text = m.visible_text(); }));
    EXPECT_EQ(text, "hi");
    EXPECT_FALSE(shared.poisoned());
}

TEST(SharedModel, AFailureWhileHoldingTheLockPoisonsIt) {
    SharedModel shared(3, 10);
    EXPECT_FALSE(shared.with([](TerminalModel& m) {
        m.feed("half");
        throw std::bad_alloc();
    }));
    EXPECT_TRUE(shared.poisoned());
    // The reader drops chunks, the painter draws nothing, the title falls
    // back: every later access is refused without running.
    bool ran = false;
    EXPECT_FALSE(shared.with([&](TerminalModel&) { ran = true; }));
    const SharedModel& reader = shared;
    EXPECT_FALSE(reader.with([&](const TerminalModel&) { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(shared.failure(), "out of memory");
}

TEST(SharedModel, AFailedReadPoisonsItToo) {
    SharedModel shared(3, 10);
    const SharedModel& reader = shared;
    EXPECT_EQ(shared.failure(), "");
    EXPECT_FALSE(reader.with([](const TerminalModel&) { throw std::runtime_error("x"); }));
    EXPECT_TRUE(shared.poisoned());
    EXPECT_EQ(shared.failure(), "x");
}

TEST(SharedModel, PoisonByHand) {
    SharedModel shared(3, 10);
    shared.poison();
    EXPECT_FALSE(shared.with([](TerminalModel&) {}));
}

TEST(SharedModel, ReaderAndPainterShareItAndTheLastOneFreesIt) {
    auto shared = std::make_shared<SharedModel>(24, 80);
    std::weak_ptr<SharedModel> watch = shared;
    std::thread reader([model = shared] {
        for (int i = 0; i < 2000; ++i) {
            model->with([i](TerminalModel& m) { m.feed("line " + std::to_string(i) + "\r\n"); });
        }
    });
    for (int i = 0; i < 200; ++i) {
        shared->with([](const TerminalModel& m) { (void)m.visible_text(); });
    }
    shared.reset();  // the UI lets go first
    reader.join();
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace tolvar::pty
