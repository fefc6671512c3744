#include "tolvar/app/session_log.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/app/menus.hpp"
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

// The files in a folder.
std::vector<std::filesystem::path> files_in(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> out;
    if (!std::filesystem::exists(dir)) return out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path());
    return out;
}

TEST(LogToFile, TheTabMenuStartsAndEndsALogOfWhatTheSessionShowed) {
    core::testing::ScratchDir data;
    testing::Rig rig;
    rig.state().config.data_dir = data.path();
    rig.ws.open_tab({.title = "build: web"});
    const auto feed = [&](std::string_view bytes) {
        rig.tab(0).session->model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
        rig.ws.take_logs();  // as a paint does
    };
    feed("before the log\r\n");
    rig.commands.execute(cmd::ToggleLog{rig.id(0)});
    ASSERT_TRUE(rig.tab(0).log);
    // Held: a loop over the items of the returned menu itself read freed memory.
    const auto menu = tab_menu(rig.state(), rig.id(0));
    ASSERT_TRUE(menu);
    for (const MenuItem& item : *menu) {
        if (item.command == Command(cmd::ToggleLog{rig.id(0)})) {
            EXPECT_TRUE(item.checked);
        }
    }
    for (int i = 0; i < 30; ++i) feed("\x1b[32mline " + std::to_string(i) + "\x1b[0m\r\n");
    feed("50%\r100%");
    rig.commands.execute(cmd::ToggleLog{rig.id(0)});
    EXPECT_FALSE(rig.tab(0).log);

    const auto logs = files_in(data.path() / "logs");
    ASSERT_EQ(logs.size(), 1u);
    const std::string name = logs[0].filename().string();
    EXPECT_TRUE(name.starts_with("build_ web ")) << name;
    EXPECT_TRUE(name.ends_with(".log")) << name;
    const std::string text = read_all(logs[0]);
    // The screen at the start is part of the log; the history before it not.
    EXPECT_TRUE(text.starts_with("before the log\n")) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_NE(text.find("line 0\nline 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("line 29\n100%\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("50%"), std::string::npos);
}

TEST(LogToFile, AllSessionsLogFromTheStartAndATabClosedEndsItsLog) {
    core::testing::ScratchDir data;
    testing::Rig rig;
    rig.state().config.data_dir = data.path();
    rig.state().appearance.log_all_sessions = true;
    rig.ws.open_tab({.title = "one"});
    ASSERT_TRUE(rig.tab(0).log);
    rig.tab(0).session->model().with([](pty::TerminalModel& m) { m.feed("echoed\r\n"); });
    rig.ws.close_tab(rig.id(0));
    const auto logs = files_in(data.path() / "logs");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(read_all(logs[0]), "echoed\n");
}

TEST(LogToFile, ARestartEndsTheLogAndStartsAnotherForTheNewSession) {
    core::testing::ScratchDir data;
    testing::Rig rig;
    rig.state().config.data_dir = data.path();
    rig.open();
    rig.ws.toggle_log(rig.id(0));
    rig.tab(0).session->model().with([](pty::TerminalModel& m) { m.feed("first run\r\n"); });
    rig.ws.restart_tab(rig.id(0));
    ASSERT_TRUE(rig.tab(0).log);
    rig.tab(0).session->model().with([](pty::TerminalModel& m) { m.feed("second run\r\n"); });
    rig.ws.toggle_log(rig.id(0));
    // One file per start, even within one second.
    std::vector<std::string> texts;
    for (const auto& f : files_in(data.path() / "logs")) texts.push_back(read_all(f));
    ASSERT_EQ(texts.size(), 2u);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts[0], "first run\n");
    EXPECT_EQ(texts[1], "second run\n");
}

// The window's end dropped every session before the tabs, and each log then
// read its model through a reference the closed session no longer kept
// alive: the log's last screen was lost or garbage.
TEST(LogToFile, TheWindowsEndLeavesEveryLogWithItsLastScreen) {
    core::testing::ScratchDir data;
    testing::Rig rig;
    rig.state().config.data_dir = data.path();
    rig.state().appearance.log_all_sessions = true;
    rig.ws.open_tab({.title = "one"});
    rig.ws.open_tab({.title = "two"});
    rig.tab(0).session->model().with([](pty::TerminalModel& m) { m.feed("first\r\nscreen"); });
    rig.tab(1).session->model().with([](pty::TerminalModel& m) { m.feed("second screen"); });
    rig.ws.end_all_tabs();
    EXPECT_TRUE(rig.state().tabs().empty());
    EXPECT_EQ(rig.starter.closed, (std::vector<pty::SessionId>{1, 2}));
    std::vector<std::string> texts;
    for (const auto& f : files_in(data.path() / "logs")) texts.push_back(read_all(f));
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"first\nscreen\n", "second screen\n"}));
}

TEST(LogToFile, ALogEndingAfterItsSessionClosedStillReadsItsScreen) {
    core::testing::ScratchDir data;
    testing::Rig rig;
    rig.state().config.data_dir = data.path();
    rig.state().appearance.log_all_sessions = true;
    rig.ws.open_tab({.title = "one"});
    rig.tab(0).session->model().with([](pty::TerminalModel& m) { m.feed("kept"); });
    std::optional<Tab> tab = rig.state().remove_tab(rig.id(0));
    ASSERT_TRUE(tab && tab->log);
    const std::weak_ptr<pty::SharedModel> model = tab->session->shared_model();
    tab->session.reset();
    EXPECT_FALSE(model.expired());
    tab->log.reset();
    EXPECT_TRUE(model.expired());
    const auto logs = files_in(data.path() / "logs");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(read_all(logs[0]), "kept\n");
}

// Logs were taken only when the window painted, and a window hidden in the
// tray does not: lines that aged out of the history meanwhile were lost.
TEST(LogToFile, EachOutputNoticeTakesItsTabsLinesWithoutAPaint) {
    core::testing::ScratchDir data;
    testing::Rig rig;
    rig.state().config.data_dir = data.path();
    rig.state().appearance.log_all_sessions = true;
    rig.ws.open_tab({.title = "busy"});
    auto& session = static_cast<testing::FakeSession&>(*rig.tab(0).session);
    // 30 000 lines through a 10 000-line history, a notice per chunk.
    std::string expected;
    for (int chunk = 0; chunk < 300; ++chunk) {
        std::string bytes;
        for (int i = 0; i < 100; ++i) {
            const std::string line = std::to_string(chunk * 100 + i);
            bytes += line + "\r\n";
            expected += line + "\n";
        }
        session.model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
        rig.ws.session_output(session.id());
    }
    EXPECT_EQ(session.acknowledged, 300);
    rig.ws.session_output(999);  // no tab holds it: nothing happens
    rig.ws.close_tab(rig.id(0));
    const auto logs = files_in(data.path() / "logs");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(read_all(logs[0]), expected);
}

TEST(LogToFile, ALogThatCannotStartIsTold) {
    core::testing::ScratchDir data;
    testing::Rig rig;
    // A file where the logs folder would be.
    std::ofstream(data.path() / "logs") << "in the way";
    rig.state().config.data_dir = data.path();
    rig.open();
    rig.ws.toggle_log(rig.id(0));
    EXPECT_FALSE(rig.tab(0).log);
    ASSERT_EQ(rig.notices().size(), 1u);
    EXPECT_TRUE(rig.notices()[0].starts_with("Cannot log to ")) << rig.notices()[0];
}

}  // namespace
}  // namespace tolvar::app
