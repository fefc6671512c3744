// Output no program should send, which a hostile or broken one does: the
// model's memory stays within its caps, each feed stays quick, and the
// session's text goes on afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tolvar/core/platform.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {
namespace {

// The thread's own processor time: a feed's cost, not how long the
// machine's other work kept it waiting.
std::chrono::nanoseconds cpu_now() {
    return std::chrono::nanoseconds(core::thread_cpu_time_100ns() * 100);
}

// A screen of 50 x 200 with the default history, as a tab has; what any
// stream may make it hold: the grids, a full history of full-width lines of
// the widest cells, and the bounded stores beside them.
constexpr std::uint16_t k_rows = 50;
constexpr std::uint16_t k_cols = 200;
constexpr std::size_t k_bound = 64u << 20;

// Feeds `total` bytes made by `chunk` in pieces, checking memory and the time
// of each piece as it goes; then ordinary text must still appear.
template <class Chunk>
void expect_bounded(const char* what, std::size_t total, Chunk chunk) {
    SCOPED_TRACE(what);
    TerminalModel m(k_rows, k_cols);
    std::size_t fed = 0;
    std::chrono::nanoseconds slowest{};
    std::size_t peak = 0;
    for (std::size_t i = 0; fed < total; ++i) {
        const std::string bytes = chunk(i);
        const auto start = cpu_now();
        m.feed(bytes);
        slowest = std::max(slowest, cpu_now() - start);
        fed += bytes.size();
        if (i % 64 == 0) peak = std::max(peak, m.memory_bytes());
    }
    peak = std::max(peak, m.memory_bytes());
    EXPECT_LT(peak, k_bound);
    // A UI thread waits for the model's lock for at most one feed.
    EXPECT_LT(slowest, std::chrono::milliseconds(250));
    m.feed("\x1b[?1049l\x1b]8;;\x1b\\\x1b[m\r\nstill here");
    EXPECT_NE(m.visible_text().find("still here"), std::string::npos);
}

TEST(HostileOutput, EachStaysWithinTheModelsCaps) {
    const std::string mb(1u << 20, 'x');
    expect_bounded("1 GB without a line feed", 1u << 30, [&](std::size_t) { return mb; });

    expect_bounded("a CSI with a million parameters", 4u << 20, [](std::size_t i) {
        std::string s = i == 0 ? "\x1b[" : "";
        for (int k = 0; k < 100000; ++k) s += "1;";
        return s;
    });
    expect_bounded("an OSC string of 100 MB", 100u << 20,
                   [&](std::size_t i) { return i == 0 ? "\x1b]2;" + mb : mb; });
    expect_bounded("a million combining marks on one cell", 2u << 20, [](std::size_t i) {
        std::string s = i == 0 ? "e" : "";
        for (int k = 0; k < 100000; ++k) s += "\xCC\x81";
        return s;
    });
    expect_bounded("alternate screen switches in a tight loop", 64u << 20, [](std::size_t) {
        std::string s;
        for (int k = 0; k < 10000; ++k) s += "\x1b[?1049hx\x1b[?1049l";
        return s;
    });
    expect_bounded("a title change per byte", 16u << 20, [](std::size_t i) {
        std::string s;
        for (int k = 0; k < 20000; ++k) s += "\x1b]0;" + std::to_string(i * 20000 + k) + "\x07";
        return s;
    });
    expect_bounded("a new hyperlink per character", 32u << 20, [](std::size_t i) {
        std::string s;
        for (int k = 0; k < 5000; ++k)
            s += "\x1b]8;;https://h.test/" + std::to_string(i * 5000 + k) + "\x1b\\y";
        return s;
    });
    // The widest history: every cell its own colour, attributes and marks.
    expect_bounded("a full history of the widest cells", 200u << 20, [](std::size_t i) {
        std::string s;
        for (int k = 0; k < 2000; ++k) {
            s += "\x1b[1;3;4;9;38;2;" + std::to_string((i + k) % 256) + ";1;2;48;5;" +
                 std::to_string(k % 256) + "m\xe7\x95\x8c\xCC\x81\xCC\x82";
        }
        return s;
    });
}

}  // namespace
}  // namespace tolvar::pty
