#include "tolvar/app/session_log.hpp"

#include <gtest/gtest.h>

namespace tolvar::app {
namespace {

// A model of three rows whose log starts now.
struct Logged {
    pty::TerminalModel model{3, 10, 100};
    LogLines log{model};
    std::string all;

    void feed(std::string_view bytes) {
        model.feed(bytes);
        all += log.scrolled(model);
    }
};

TEST(SessionLog, LinesAsTheyAppearedWithoutEscapesAndInTheirLastState) {
    Logged s;
    // Colours, a progress bar redrawn with carriage returns, a title, wide
    // characters and a combining mark.
    s.feed("\x1b[1;31mred\x1b[0m plain\r\n10%\r50%\r100%\r\n\x1b]2;title\x07\xe4\xb8\xad\xe6\x96\x87 e\xcc\x81\r\n");
    EXPECT_EQ(s.all, "red plain\n");  // the first line has left the screen
    s.feed("x\r\ny\r\nz");
    EXPECT_EQ(s.all, "red plain\n100%\n\xe4\xb8\xad\xe6\x96\x87 e\xcc\x81\n");
    EXPECT_EQ(s.log.rest(s.model), "x\ny\nz\n");
    EXPECT_EQ(s.log.rest(s.model), "");
}

TEST(SessionLog, AWrappedLineIsTakenWholeOnceItEnds) {
    Logged s;
    s.feed("abcdefghijklmn\r\n");  // two rows, one line
    s.feed("\r\n");                // the first row leaves; its line goes on below
    EXPECT_EQ(s.all, "");
    s.feed("\r\n");
    EXPECT_EQ(s.all, "abcdefghijklmn\n");
}

TEST(SessionLog, TheAlternateScreenIsNotLoggedLineByLine) {
    Logged s;
    s.feed("before\r\n");
    s.feed("\x1b[?1049h");
    for (int i = 0; i < 20; ++i) s.feed("full screen " + std::to_string(i) + "\r\n");
    EXPECT_EQ(s.log.rest(s.model), "");  // only the history counts while it is on
    s.feed("\x1b[?1049lafter\r\n\r\n\r\n");
    EXPECT_EQ(s.all, "before\nafter\n");
    EXPECT_EQ(s.all.find("full screen"), std::string::npos);
}

TEST(SessionLog, TheEndTakesTheScreenToItsLastRowWithText) {
    Logged s;
    s.feed("one\r\n\r\nthree");
    EXPECT_EQ(s.log.rest(s.model), "one\n\nthree\n");
    Logged blank;
    EXPECT_EQ(blank.log.rest(blank.model), "");
}

TEST(SessionLog, LinesThatLeftTheHistoryUntakenAreCounted) {
    pty::TerminalModel model(2, 10, 3);
    LogLines log(model);
    for (int i = 0; i < 10; ++i) model.feed(std::to_string(i) + "\r\n");
    const std::string text = log.scrolled(model);
    EXPECT_EQ(text, "6\n7\n8\n");
    EXPECT_EQ(log.lost(), 6u);
}

TEST(SessionLog, FileNameFromTheTitleAndTheStartTime) {
    EXPECT_EQ(log_file_name("web: prod", 2026, 12, 8, 9, 5, 3), "web_ prod 2026-12-08 09-05-03.log");
    EXPECT_EQ(log_file_name(" ", 2026, 1, 2, 23, 59, 59), "session 2026-01-02 23-59-59.log");
    EXPECT_EQ(log_file_name("nul", 2026, 1, 2, 0, 0, 0), "_nul 2026-01-02 00-00-00.log");
}

}  // namespace
}  // namespace tolvar::app
