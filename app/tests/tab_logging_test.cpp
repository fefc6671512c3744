#include "sessions/tab_logging.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "commands/menus.hpp"
#include "fakes.hpp"
#include "test_dirs.hpp"

namespace tolvar::app {
namespace {

using core::testing::read_all;

// The tabs' logging on its own: no workspace, and tabs made by hand.
struct Logging {
    StateCell cell;
    testing::FakeWindow window{cell};
    Notifier notifier{cell, window};
    core::testing::FaultyFileSystem fs;
    TabLogging logs{cell, notifier, fs};

    std::vector<std::string> notices() {
        std::vector<std::string> out;
        for (const Notice& n : cell.unguarded().notices().shown()) out.push_back(n.text);
        return out;
    }
};

// A whole rig whose data folder is a scratch one; `all_sessions` turns
// log_all_sessions on.
struct LoggingRig {
    core::testing::ScratchDir data;
    testing::Rig rig;
    explicit LoggingRig(bool all_sessions = false) {
        testing::configure(rig.state(), [&](core::LoadedConfig& c) {
            c.data_dir = data.path();
            if (all_sessions) c.settings.log_all_sessions.value = core::parse_json("true").root;
        });
    }
};

Tab tab_with_session(std::string title) {
    return Tab(
        {.title = std::move(title), .session = std::make_unique<testing::FakeSession>(1, nullptr)});
}

TEST(TabLogging, TheLogsFolderIsMadeWhenMissingAndWhatStopsItIsTold) {
    Logging l;
    EXPECT_EQ(l.logs.logs_folder(), std::nullopt);  // no data folder: nothing to tell
    EXPECT_TRUE(l.notices().empty());

    core::testing::ScratchDir data;
    testing::configure(l.cell.unguarded(),
                       [&](core::LoadedConfig& c) { c.data_dir = data.path(); });
    EXPECT_EQ(l.logs.logs_folder(), data / "logs");
    EXPECT_TRUE(std::filesystem::is_directory(data / "logs"));

    core::testing::ScratchDir blocked;
    std::ofstream(blocked / "logs") << "in the way";
    testing::configure(l.cell.unguarded(),
                       [&](core::LoadedConfig& c) { c.data_dir = blocked.path(); });
    EXPECT_EQ(l.logs.logs_folder(), std::nullopt);
    ASSERT_EQ(l.notices().size(), 1u);
    EXPECT_TRUE(l.notices()[0].starts_with("Cannot open " + core::path_to_utf8(blocked / "logs")))
        << l.notices()[0];
    EXPECT_EQ(l.window.reentry_refused, 0);
}

// A start runs inside the change that makes or restarts the tab, where no
// notice may be told: its failure waits for tell_pending, and is told once.
TEST(TabLogging, ALogThatCannotStartIsToldAfterTheChangeOnly) {
    Logging l;
    core::testing::ScratchDir data;
    std::ofstream(data / "logs") << "in the way";
    Tab tab = tab_with_session("t");
    EXPECT_FALSE(l.logs.start(tab, data.path()));
    EXPECT_FALSE(tab.log());
    EXPECT_TRUE(l.notices().empty());

    l.logs.tell_pending();
    ASSERT_EQ(l.notices().size(), 1u);
    EXPECT_TRUE(l.notices()[0].starts_with("Cannot log to ")) << l.notices()[0];
    l.cell.unguarded().dismiss_notice(l.cell.unguarded().notices().shown()[0].id);
    l.logs.tell_pending();
    EXPECT_TRUE(l.notices().empty());

    Tab ended;  // no session: nothing to log, and no failure
    EXPECT_TRUE(l.logs.start(ended, data.path()));
    EXPECT_FALSE(ended.log());
}

// The writer fails on its own thread, where the state cannot be touched: it
// wakes the window, and the next take ends the log with the writer's words.
TEST(TabLogging, AFailedWriteWakesTheWindowAndTheNextTakeEndsTheLog) {
    Logging l;
    core::testing::ScratchDir data;
    std::atomic<int> wakes{0};
    l.logs.wake_from_writer = [&] { ++wakes; };
    Tab tab = tab_with_session("t");
    ASSERT_TRUE(l.logs.start(tab, data.path()));
    ASSERT_TRUE(tab.log());
    std::filesystem::remove_all(data / "logs");

    std::vector<std::string> told;
    tab.session()->model().with([](pty::TerminalModel& m) {
        for (int i = 0; i < 30; ++i) m.feed("line\r\n");
    });
    l.logs.take(tab, told);
    EXPECT_TRUE(told.empty());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (wakes.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(wakes.load(), 1);

    l.logs.take(tab, told);
    EXPECT_FALSE(tab.log());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("stopped"), std::string::npos) << told[0];
}

// The files in a folder.
std::vector<std::filesystem::path> files_in(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> out;
    if (!std::filesystem::exists(dir)) return out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path());
    return out;
}

TEST(LogToFile, TheTabMenuStartsAndEndsALogOfWhatTheSessionShowed) {
    LoggingRig logging;
    auto& [data, rig] = logging;
    rig.ws.open_tab({.title = "build: web"});
    const auto feed = [&](std::string_view bytes) {
        rig.tab(0).session()->model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
        rig.ws.take_logs();  // as a paint does
    };
    feed("before the log\r\n");
    rig.commands.execute(cmd::ToggleLog{rig.id(0)});
    ASSERT_TRUE(rig.tab(0).log());
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
    EXPECT_FALSE(rig.tab(0).log());

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
    LoggingRig logging(true);
    auto& [data, rig] = logging;
    rig.ws.open_tab({.title = "one"});
    ASSERT_TRUE(rig.tab(0).log());
    rig.tab(0).session()->model().with([](pty::TerminalModel& m) { m.feed("echoed\r\n"); });
    rig.ws.close_tab(rig.id(0));
    const auto logs = files_in(data.path() / "logs");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(read_all(logs[0]), "echoed\n");
}

TEST(LogToFile, ARestartEndsTheLogAndStartsAnotherForTheNewSession) {
    LoggingRig logging;
    auto& [data, rig] = logging;
    rig.open();
    rig.ws.toggle_log(rig.id(0));
    rig.tab(0).session()->model().with([](pty::TerminalModel& m) { m.feed("first run\r\n"); });
    rig.ws.restart_tab(rig.id(0));
    ASSERT_TRUE(rig.tab(0).log());
    rig.tab(0).session()->model().with([](pty::TerminalModel& m) { m.feed("second run\r\n"); });
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
    LoggingRig logging(true);
    auto& [data, rig] = logging;
    rig.ws.open_tab({.title = "one"});
    rig.ws.open_tab({.title = "two"});
    rig.tab(0).session()->model().with([](pty::TerminalModel& m) { m.feed("first\r\nscreen"); });
    rig.tab(1).session()->model().with([](pty::TerminalModel& m) { m.feed("second screen"); });
    rig.ws.end_all_tabs();
    EXPECT_TRUE(rig.state().tabs().empty());
    EXPECT_EQ(rig.starter.closed, (std::vector<pty::SessionId>{1, 2}));
    std::vector<std::string> texts;
    for (const auto& f : files_in(data.path() / "logs")) texts.push_back(read_all(f));
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"first\nscreen\n", "second screen\n"}));
}

TEST(LogToFile, ALogEndingAfterItsSessionClosedStillReadsItsScreen) {
    LoggingRig logging(true);
    auto& [data, rig] = logging;
    rig.ws.open_tab({.title = "one"});
    rig.tab(0).session()->model().with([](pty::TerminalModel& m) { m.feed("kept"); });
    std::optional<Tab> tab = rig.state().remove_tab(rig.id(0));
    ASSERT_TRUE(tab && tab->log());
    const std::weak_ptr<pty::SharedModel> model = tab->session()->shared_model();
    Tab::Dropped dropped = tab->fail();
    dropped.session.reset();
    EXPECT_FALSE(model.expired());
    dropped.log.reset();
    EXPECT_TRUE(model.expired());
    const auto logs = files_in(data.path() / "logs");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(read_all(logs[0]), "kept\n");
}

// Logs were taken only when the window painted, and a window hidden in the
// tray does not: lines that aged out of the history meanwhile were lost.
TEST(LogToFile, EachOutputNoticeTakesItsTabsLinesWithoutAPaint) {
    LoggingRig logging(true);
    auto& [data, rig] = logging;
    rig.ws.open_tab({.title = "busy"});
    auto& session = static_cast<testing::FakeSession&>(*rig.tab(0).session());
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
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = data.path(); });
    rig.open();
    rig.ws.toggle_log(rig.id(0));
    EXPECT_FALSE(rig.tab(0).log());
    ASSERT_EQ(rig.notices().size(), 1u);
    EXPECT_TRUE(rig.notices()[0].starts_with("Cannot log to ")) << rig.notices()[0];
}

}  // namespace
}  // namespace tolvar::app
