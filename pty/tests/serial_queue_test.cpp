#include "tolvar/pty/serial_queue.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tolvar::pty {
namespace {

std::size_t count(const std::string& text, std::string_view piece) {
    std::size_t n = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

TEST(SerialQueue, KeysAndAnswersLeaveInTheOrderTheyCame) {
    SerialQueue queue;
    EXPECT_TRUE(queue.empty());
    queue.write("ls");
    EXPECT_TRUE(queue.answer("\x1b[1;3R"));
    queue.write("\r");
    EXPECT_EQ(queue.take(), "ls\x1b[1;3R\r");
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.take(), "");
}

// A device that held the line and kept sending ESC [ c grew the queue
// without limit until the session died.
TEST(SerialQueue, AnswersPastTheBoundAreDroppedWholeUntilTheLineMovesAgain) {
    const std::string reply = "\x1b[?62;22c";
    SerialQueue queue;
    queue.write("typed");
    std::size_t kept = 0;
    for (int i = 0; i < 100000; ++i) kept += queue.answer(reply) ? 1 : 0;
    EXPECT_EQ(kept, k_serial_answer_bound / reply.size());
    const std::string waiting = queue.take();
    EXPECT_EQ(waiting.size(), 5 + kept * reply.size());
    EXPECT_EQ(count(waiting, reply), kept);  // none cut
    EXPECT_TRUE(waiting.starts_with("typed"));
    // Once sent, the bound is free again; an answer larger than it never fits.
    EXPECT_TRUE(queue.answer(reply));
    EXPECT_FALSE(queue.answer(std::string(k_serial_answer_bound, 'x')));
    EXPECT_EQ(queue.take(), reply);
}

TEST(SerialQueue, TypedBytesAreCutAtTheirBoundAndAnswersStillFit) {
    SerialQueue queue;
    queue.write(std::string(k_serial_queue_bound - 2, 'a'));
    queue.write("bcd");
    queue.write("e");
    EXPECT_TRUE(queue.answer("\x1b[0n"));
    const std::string waiting = queue.take();
    EXPECT_EQ(waiting.size(), k_serial_queue_bound + 4);
    EXPECT_TRUE(waiting.ends_with("abc\x1b[0n"));
}

}  // namespace
}  // namespace tolvar::pty
