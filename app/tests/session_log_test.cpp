#include "sessions/session_log.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tolvar/core/platform.hpp"

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

// They were skipped without a word: the log read as if the session had
// printed nothing there.
TEST(SessionLog, LinesThatLeftTheHistoryUntakenAreCountedAndMarked) {
    pty::TerminalModel model(2, 10, 3);
    LogLines log(model);
    for (int i = 0; i < 10; ++i) model.feed(std::to_string(i) + "\r\n");
    EXPECT_EQ(log.scrolled(model),
              "[6 lines of output not logged: they left the history before the log took them]\n"
              "6\n7\n8\n");
    EXPECT_EQ(log.lost(), 6u);
    model.feed("10\r\n");
    EXPECT_EQ(log.scrolled(model), "9\n");
    EXPECT_EQ(log.lost(), 6u);
}

TEST(SessionLog, FileNameFromTheTitleAndTheStartTime) {
    EXPECT_EQ(log_file_name("web: prod", 2026, 12, 8, 9, 5, 3), "web_ prod 2026-12-08 09-05-03.log");
    EXPECT_EQ(log_file_name(" ", 2026, 1, 2, 23, 59, 59), "session 2026-01-02 23-59-59.log");
    EXPECT_EQ(log_file_name("nul", 2026, 1, 2, 0, 0, 0), "_nul 2026-01-02 00-00-00.log");
    // A host alias "COM1.lab" logged into the serial port.
    EXPECT_EQ(log_file_name("COM1.lab", 2026, 12, 9, 21, 0, 0),
              "_COM1.lab 2026-12-09 21-00-00.log");
    EXPECT_EQ(log_file_name("CONSOLE.lab", 2026, 12, 9, 21, 0, 0),
              "CONSOLE.lab 2026-12-09 21-00-00.log");
}

std::filesystem::path scratch_dir(const char* name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tolvar-log-" + std::to_string(core::system_time_100ns()) + name);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string read_all(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(LogWriter, WritesWithinASecondAndTheRestAtTheEnd) {
    const auto dir = scratch_dir("a");
    const auto file = dir / "s.log";
    {
        LogWriter writer(core::platform_file_system(), file, [](const std::string&) {});
        writer.write("one\n");
        // Flushed within a second without an end; polled, not slept.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (read_all(file) != "one\n" && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(read_all(file), "one\n");
        writer.write("two\n");
    }
    EXPECT_EQ(read_all(file), "one\ntwo\n");
    std::filesystem::remove_all(dir);
}

// Written once a second alone, a log lost whatever passed its queue's 16 MB
// in a second, with a line blaming the disk.
TEST(LogWriter, AFloodTheDiskKeepsUpWithIsLoggedWhole) {
    const auto dir = scratch_dir("c");
    const auto file = dir / "s.log";
    const std::string piece(64 << 10, 'x');
    constexpr int k_pieces = 512;  // 32 MiB in about a second
    {
        LogWriter writer(core::platform_file_system(), file, [](const std::string&) {});
        for (int i = 0; i < k_pieces; ++i) {
            writer.write(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    const std::string text = read_all(file);
    EXPECT_EQ(text.size(), piece.size() * k_pieces);
    EXPECT_EQ(text.find("not logged"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// Appends wait until the gate opens, as on a disk that stopped answering;
// nothing else is used.
class GatedFileSystem final : public core::FileSystem {
  public:
    void open() {
        {
            const std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    std::string appended() const {
        const std::lock_guard lock(mutex_);
        return appended_;
    }

    Expected<void, core::IoError> append_file(const core::Path&, std::string_view b) override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
        appended_.append(b);
        return {};
    }
    Expected<std::string, core::IoError> read_file(const core::Path&) override { return unused(); }
    Expected<void, core::IoError> write_file(const core::Path&, std::string_view) override {
        return unused();
    }
    std::optional<char> last_byte(const core::Path&) override { return std::nullopt; }
    Expected<void, core::IoError> create_directories(const core::Path&) override {
        return unused();
    }
    bool exists(const core::Path&) override { return false; }
    core::FileType type_of(const core::Path&) override { return core::FileType::None; }
    Expected<void, core::IoError> copy_file(const core::Path&, const core::Path&) override {
        return unused();
    }
    Expected<void, core::IoError> rename_replace(const core::Path&, const core::Path&) override {
        return unused();
    }
    Expected<void, core::IoError> remove_file(const core::Path&) override { return unused(); }
    Expected<std::vector<core::DirEntry>, core::IoError> list_directory(
        const core::Path&) override {
        return unused();
    }

  private:
    static Unexpected<core::IoError> unused() {
        return unexpected(core::IoError{0, "not used here"});
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    std::string appended_;
};

// Ending a log joined its writer on the UI thread, which then hung for as
// long as the disk did.
TEST(LogWriter, EndingALogDoesNotWaitForADiskThatHangs) {
    GatedFileSystem fs;
    const auto started = std::chrono::steady_clock::now();
    {
        LogWriter writer(fs, "s.log", [](const std::string&) {});
        writer.write("last words\n");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_FALSE(LogWriter::finish_all(std::chrono::milliseconds(50)));
    fs.open();
    EXPECT_TRUE(LogWriter::finish_all(std::chrono::seconds(10)));
    EXPECT_EQ(fs.appended(), "last words\n") << "left to finish, it still writes everything";
}

TEST(LogWriter, AFailedWriteEndsTheLogWithOneSentence) {
    // The folder is gone: every append fails.
    const auto dir = scratch_dir("b");
    std::filesystem::remove_all(dir);
    std::atomic<int> calls{0};
    std::string message;
    {
        LogWriter writer(core::platform_file_system(), dir / "s.log",
                         [&](const std::string& m) {
                             message = m;
                             ++calls;
                         });
        writer.write("lost\n");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!writer.failed() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(writer.failed());
        writer.write("more\n");  // taken and dropped, without a second notice
    }
    EXPECT_EQ(calls.load(), 1);
    EXPECT_NE(message.find("stopped"), std::string::npos) << message;
    EXPECT_NE(message.find("s.log"), std::string::npos) << message;
}

}  // namespace
}  // namespace tolvar::app
