#include "tolvar/pty/session_events.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tolvar::pty {
namespace {

TEST(OutputSignal, OneNotificationUntilAcknowledged) {
    OutputSignal signal;
    EXPECT_TRUE(signal.raise());
    EXPECT_FALSE(signal.raise());
    EXPECT_FALSE(signal.raise());
    signal.acknowledge();
    EXPECT_TRUE(signal.raise());
    // A notification that could not be delivered is owed by the next raise.
    signal.withdraw();
    EXPECT_TRUE(signal.raise());
    signal.acknowledge();
    signal.acknowledge();
    EXPECT_TRUE(signal.raise());
}

// Pins the order the owner must keep: acknowledge, then read. Whatever the
// interleaving, the last value fed is always read by a later paint.
TEST(OutputSignal, NoFeedIsLeftUnpaintedAcrossThreads) {
    for (int round = 0; round < 50; ++round) {
        constexpr int k_feeds = 2000;
        OutputSignal signal;
        std::mutex model;
        int fed = 0;
        std::atomic<int> messages{0};
        std::atomic<bool> reader_done{false};

        std::thread reader([&] {
            for (int i = 1; i <= k_feeds; ++i) {
                {
                    std::lock_guard lock(model);
                    fed = i;
                }
                if (signal.raise()) messages.fetch_add(1);
            }
            reader_done = true;
        });
        int painted = 0;
        int paints = 0;
        for (;;) {
            const bool done = reader_done.load();
            if (messages.load() > 0) {
                messages.fetch_sub(1);
                signal.acknowledge();
                std::lock_guard lock(model);
                painted = fed;
                ++paints;
            } else if (done) {
                break;
            }
        }
        reader.join();
        ASSERT_EQ(painted, k_feeds) << "round " << round << ": the last output was never painted";
        EXPECT_LE(paints, k_feeds);
    }
}

// Records what the reader reported, in order.
class RecordingEvents final : public SessionEvents {
  public:
    bool output(SessionId id) override {
        calls.push_back("output " + std::to_string(id));
        if (throw_on_output) throw std::runtime_error("owner broke its contract");
        if (refusals > 0) {
            --refusals;
            return false;
        }
        return true;
    }
    void ended(SessionId id, SessionEnd end) override {
        calls.push_back("ended " + std::to_string(id));
        ends.push_back(end);
    }

    std::vector<std::string> calls;
    std::vector<SessionEnd> ends;
    int refusals = 0;
    bool throw_on_output = false;
};

// Hands out `chunks` one read at a time, then the end. `before_read` runs
// ahead of each read, as the UI thread's work would between two chunks.
struct FakeSource {
    std::vector<std::string> chunks;
    std::size_t next = 0;
    std::size_t throw_at = SIZE_MAX;
    std::function<void()> before_read = [] {};
    std::vector<std::size_t> buffer_sizes;

    ReadOutput reader() {
        return [this](std::span<char> buffer) -> std::size_t {
            before_read();
            buffer_sizes.push_back(buffer.size());
            if (next == throw_at) throw std::runtime_error("read failed");
            if (next == chunks.size()) return 0;
            const std::string& chunk = chunks[next++];
            std::memcpy(buffer.data(), chunk.data(), chunk.size());
            return chunk.size();
        };
    }
};

std::string screen(const SharedModel& model) {
    std::string text;
    model.with([&](const TerminalModel& m) { text = m.visible_text(); });
    return text;
}

class Pump : public ::testing::Test {
  protected:
    void run() { pump_output(source.reader(), model, signal, events, 7, how_it_ended); }

    SharedModel model{4, 20};
    OutputSignal signal;
    RecordingEvents events;
    FakeSource source{{"one ", "two ", "three ", "four ", "five"}};
    ReadEnd how_it_ended = [] { return SessionEnd{0}; };
};

TEST_F(Pump, FloodNotifiesOnceWhileNobodyAcknowledges) {
    run();
    EXPECT_EQ(events.calls, (std::vector<std::string>{"output 7", "ended 7"}));
    EXPECT_NE(screen(model).find("one two three four five"), std::string::npos) << screen(model);
    for (std::size_t size : source.buffer_sizes) EXPECT_EQ(size, k_output_chunk);
}

TEST_F(Pump, EveryChunkTakenInNotifiesAgain) {
    source.before_read = [this] { signal.acknowledge(); };
    run();
    EXPECT_EQ(events.calls, (std::vector<std::string>{"output 7", "output 7", "output 7",
                                                      "output 7", "output 7", "ended 7"}));
}

TEST_F(Pump, RefusedNotificationIsRetriedByTheNextChunk) {
    events.refusals = 2;
    run();
    EXPECT_EQ(events.calls,
              (std::vector<std::string>{"output 7", "output 7", "output 7", "ended 7"}));
}

// Regression: a dropped chunk must still be announced and the end still
// reported, or a poisoned session's tab never closes.
TEST_F(Pump, PoisonedModelDropsOutputButStillReportsAndEnds) {
    model.poison();
    run();
    EXPECT_EQ(events.calls, (std::vector<std::string>{"output 7", "ended 7"}));
    EXPECT_EQ(source.next, source.chunks.size()) << "every chunk was read";
}

TEST_F(Pump, EndsExactlyOnceAfterAFailure) {
    source.throw_at = 2;
    source.before_read = [this] { signal.acknowledge(); };
    run();
    EXPECT_EQ(events.calls, (std::vector<std::string>{"output 7", "output 7", "ended 7"}));

    RecordingEvents throwing;
    throwing.throw_on_output = true;
    FakeSource other{{"a", "b"}};
    OutputSignal fresh;
    pump_output(other.reader(), model, fresh, throwing, 8, nullptr);
    EXPECT_EQ(throwing.calls.back(), "ended 8");
    EXPECT_EQ(std::count(throwing.calls.begin(), throwing.calls.end(), "ended 8"), 1);
    EXPECT_EQ(throwing.ends, (std::vector<SessionEnd>{{}}));
}

// The exit code is what keeps a failed session's tab open, so it is read
// once the output is over (the program has gone by then) and carried to the
// owner; a read that fails makes an unknown end, not a lost one.
TEST_F(Pump, TheEndCarriesTheExitCodeReadAfterTheLastOutput) {
    std::size_t reads_when_asked = 0;
    how_it_ended = [&] {
        reads_when_asked = source.buffer_sizes.size();
        return SessionEnd{3};
    };
    run();
    EXPECT_EQ(reads_when_asked, source.chunks.size() + 1) << "asked before the output ended";
    EXPECT_EQ(events.ends, (std::vector<SessionEnd>{{3}}));

    RecordingEvents other_events;
    FakeSource other{{"a"}};
    OutputSignal fresh;
    pump_output(other.reader(), model, fresh, other_events, 9,
                []() -> SessionEnd { throw std::runtime_error("no code"); });
    EXPECT_EQ(other_events.calls, (std::vector<std::string>{"output 9", "ended 9"}));
    EXPECT_EQ(other_events.ends, (std::vector<SessionEnd>{{}}));
}

// Output after a pause (a typed key's echo) is read at once; a writer ahead
// of the reader has its pieces gathered for a moment, unless they fill the
// buffer.
TEST(ReadPacing, OnlyAReaderBehindItsWriterWaits) {
    using namespace std::chrono_literals;
    constexpr std::size_t room = k_output_chunk;
    EXPECT_EQ(ReadPacing::after(40ms, 3, room), 0ms);
    EXPECT_EQ(ReadPacing::after(ReadPacing::k_found_waiting, 653, room), 0ms);
    EXPECT_EQ(ReadPacing::after(100us, 653, room), ReadPacing::k_gather);
    EXPECT_EQ(ReadPacing::after(0us, 0, room), ReadPacing::k_gather);
    EXPECT_EQ(ReadPacing::after(100us, room, room), 0ms);
    // Whatever arrives meanwhile waits less than a frame of a fast display.
    EXPECT_LT(ReadPacing::k_gather, 6ms);
}

TEST(SessionEndWord, EveryCodeAndTheUnknownEndRoundTrip) {
    for (const SessionEnd end : {SessionEnd{}, SessionEnd{0}, SessionEnd{3}, SessionEnd{259},
                                 SessionEnd{0xC000013Au}, SessionEnd{0xFFFFFFFFu}}) {
        EXPECT_EQ(end_from_word(end_word(end)), end) << end_word(end);
    }
    EXPECT_NE(end_word(SessionEnd{0}), end_word(SessionEnd{}));
    // A word no session sent (a stray message) reads as an unknown end.
    EXPECT_EQ(end_from_word(7), SessionEnd{});
    EXPECT_EQ(end_from_word(std::uint64_t{3} << 32), SessionEnd{});
}

// A serial session's application asks for the cursor position and the
// device attributes; the replies go back in order, one write per chunk, and
// a pseudo console's session (no writer) answers nothing.
TEST_F(Pump, AnswersGoBackWhenTheSessionHasAWriter) {
    source.chunks = {"ab\x1b[6n", "\x1b[c\x1b[5", "n"};
    std::vector<std::string> written;
    pump_output(source.reader(), model, signal, events, 7, nullptr, [&](std::string_view bytes) {
        written.emplace_back(bytes);
        return true;
    });
    EXPECT_EQ(written, (std::vector<std::string>{"\x1b[1;3R", "\x1b[?62;22c", "\x1b[0n"}));
    EXPECT_EQ(events.calls.back(), "ended 7");

    FakeSource quiet{{"\x1b[6n"}};
    SharedModel other(4, 20);
    OutputSignal fresh;
    pump_output(quiet.reader(), other, fresh, events, 8, nullptr);
    other.with([](TerminalModel& m) { EXPECT_EQ(m.take_answers(), ""); });
}

}  // namespace
}  // namespace tolvar::pty
