#include "sessions/session_end.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "view/tab_bar.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {
namespace {

using pty::SessionEnd;
using testing::Rig;

constexpr char k_dash[] = "\xE2\x80\x94";

core::JsonValue json_of(core::JsonValue::Kind kind, bool flag = false) {
    core::JsonValue v;
    v.kind = kind;
    v.boolean = flag;
    return v;
}

core::Settings with_close_on_exit(std::optional<core::JsonValue> value) {
    core::Settings settings;
    settings.close_on_exit.value = std::move(value);
    return settings;
}

// ------------------------------------------------------------ the setting

TEST(CloseOnExitSetting, TheThreeValuesInAnyCaseAndTheDefault) {
    using core::JsonValue;
    const struct {
        std::optional<JsonValue> value;
        CloseOnExit rule;
    } cases[] = {
        {std::nullopt, CloseOnExit::Graceful},
        {json_of(JsonValue::Kind::Null), CloseOnExit::Graceful},
        {JsonValue::string("graceful"), CloseOnExit::Graceful},
        {JsonValue::string("always"), CloseOnExit::Always},
        {JsonValue::string("Never"), CloseOnExit::Never},
        {JsonValue::string("ALWAYS"), CloseOnExit::Always},
    };
    for (const auto& c : cases) {
        const CloseOnExitRead read = read_close_on_exit(with_close_on_exit(c.value));
        EXPECT_EQ(read.rule, c.rule);
        EXPECT_FALSE(read.notice) << *read.notice;
    }
}

TEST(CloseOnExitSetting, AnUnusableValueFallsBackToGracefulWithANotice) {
    using core::JsonValue;
    const CloseOnExitRead typo = read_close_on_exit(with_close_on_exit(JsonValue::string("nver")));
    EXPECT_EQ(typo.rule, CloseOnExit::Graceful);
    EXPECT_EQ(typo.notice,
              "settings.json: \"close_on_exit\" is \"nver\", not \"graceful\", "
              "\"always\" or \"never\"; \"graceful\" is used");
    for (const JsonValue& value : {json_of(JsonValue::Kind::Bool, true), JsonValue::string(""),
                                   JsonValue::string(" never")}) {
        const CloseOnExitRead read = read_close_on_exit(with_close_on_exit(value));
        EXPECT_EQ(read.rule, CloseOnExit::Graceful);
        EXPECT_TRUE(read.notice);
    }
}

TEST(CloseOnExitRule, WhichEndsCloseTheTab) {
    const SessionEnd clean{0}, failed{3}, unknown{};
    EXPECT_TRUE(closes_tab(CloseOnExit::Graceful, clean));
    EXPECT_FALSE(closes_tab(CloseOnExit::Graceful, failed));
    EXPECT_FALSE(closes_tab(CloseOnExit::Graceful, unknown));
    EXPECT_FALSE(closes_tab(CloseOnExit::Graceful, SessionEnd{0xC000013Au}));
    for (const SessionEnd end : {clean, failed, unknown}) {
        EXPECT_TRUE(closes_tab(CloseOnExit::Always, end));
        EXPECT_FALSE(closes_tab(CloseOnExit::Never, end));
    }
}

// ------------------------------------------------------------ the exit line

TEST(ExitLine, TellsTheCodeAndTheKeys) {
    EXPECT_EQ(exit_line(SessionEnd{3}),
              std::string("[exited with code 3 ") + k_dash + " Enter restarts, Esc closes]");
    EXPECT_EQ(exit_line(SessionEnd{255}),
              std::string("[exited with code 255 ") + k_dash + " Enter restarts, Esc closes]");
    EXPECT_EQ(exit_line(SessionEnd{0xC000013Au}), std::string("[exited with code 3221225786 "
                                                              "(0xC000013A) ") +
                                                      k_dash + " Enter restarts, Esc closes]");
    EXPECT_EQ(exit_line(SessionEnd{}),
              std::string("[ended ") + k_dash + " Enter restarts, Esc closes]");
}

std::string row(const pty::TerminalModel& model, std::uint16_t r) {
    return model.text_between({r, 0}, {static_cast<std::uint16_t>(r + 1), 0});
}

TEST(ExitLine, GoesOnALineOfItsOwnUnderWhatTheProgramLeft) {
    const std::string line = exit_line(SessionEnd{3});
    {
        // A shell that echoed its exit and a new line: the line follows at once.
        pty::TerminalModel model(5, 80);
        model.feed("C:\\>exit 3\r\n");
        write_exit_line(model, SessionEnd{3});
        EXPECT_EQ(row(model, 0), "C:\\>exit 3\n");
        EXPECT_EQ(row(model, 1).substr(0, line.size()), line);
    }
    {
        // Mid-line, and at the start of a line a progress bar returned to:
        // neither is overwritten.
        for (const std::string_view left : {"C:\\>", "progress 50%\r"}) {
            pty::TerminalModel model(5, 80);
            model.feed(left);
            write_exit_line(model, SessionEnd{3});
            EXPECT_EQ(row(model, 0).substr(0, 4), std::string(left.substr(0, 4))) << left;
            EXPECT_EQ(row(model, 1).substr(0, line.size()), line) << left;
        }
    }
    {
        // On the last row the screen scrolls; the line still shows whole.
        pty::TerminalModel model(3, 80);
        model.feed("a\r\nb\r\nc");
        write_exit_line(model, SessionEnd{3});
        EXPECT_EQ(row(model, 1), "c\n");
        EXPECT_EQ(row(model, 2).substr(0, line.size()), line);
    }
}

// Regression guard: a program that died inside a full-screen mode would
// otherwise leave the line in its colours and the pane reporting the mouse
// to nobody.
TEST(ExitLine, IsInTheDefaultLookWithTheReportsOffAndTheCursorHidden) {
    pty::TerminalModel model(5, 80);
    model.feed("\x1b[31;44;7mred\x1b[?1002h\x1b[?1006h\x1b[?1004h\x1b[4h");
    write_exit_line(model, SessionEnd{1});
    const pty::Cell cell = model.cell(1, 1);
    EXPECT_EQ(cell.fg, pty::Cell{}.fg);
    EXPECT_EQ(cell.bg, pty::Cell{}.bg);
    EXPECT_FALSE(cell.inverse);
    EXPECT_EQ(model.mouse_mode(), pty::MouseMode::None);
    EXPECT_FALSE(model.focus_reporting());
    EXPECT_TRUE(model.hide_cursor());
    EXPECT_EQ(row(model, 1).substr(0, 19), "[exited with code 1");
}

// ------------------------------------------------------------ the workspace

struct Ended : ::testing::Test {
    Rig rig;
    void set_rule(std::string_view rule) {
        testing::configure(rig.state(), [&](core::LoadedConfig& c) {
            c.settings.close_on_exit.value = core::JsonValue::string(std::string(rule));
        });
    }
    std::string screen(std::size_t position) {
        std::string text;
        rig.tab(position).session()->model().with(
            [&](const pty::TerminalModel& m) { text = m.visible_text(); });
        return text;
    }
    ~Ended() override { EXPECT_EQ(rig.window.reentry_refused, 0); }
};

TEST_F(Ended, GracefulClosesACleanExitAndKeepsAFailedOneUnderItsLine) {
    rig.open(3);
    const pty::SessionId first = rig.tab(0).session()->id();
    const pty::SessionId second = rig.tab(1).session()->id();
    rig.ws.session_ended(first, SessionEnd{0});
    ASSERT_EQ(rig.state().tabs().size(), 2u);
    EXPECT_EQ(rig.starter.closed, std::vector<pty::SessionId>{first});

    const int invalidates = rig.window.invalidates;
    rig.ws.session_ended(second, SessionEnd{3});
    ASSERT_EQ(rig.state().tabs().size(), 2u);
    const Tab& kept = rig.tab(0);
    EXPECT_EQ(kept.ended(), SessionEnd{3});
    EXPECT_NE(screen(0).find(exit_line(SessionEnd{3})), std::string::npos) << screen(0);
    EXPECT_GT(rig.window.invalidates, invalidates);
    EXPECT_EQ(marked_title(rig.state(), kept), "[ended] Terminal 2");
    EXPECT_EQ(bar_item_look(rig.state(), BarItem{kept.id()}).text, "[ended] Terminal 2");
    // The rename editor and saved files still see the plain title.
    EXPECT_EQ(display_title(rig.state(), kept), "Terminal 2");

    // A second end for it, and one for a session nobody holds, change nothing.
    rig.ws.session_ended(second, SessionEnd{0});
    rig.ws.session_ended(99, SessionEnd{0});
    EXPECT_EQ(rig.state().tabs().size(), 2u);
    EXPECT_EQ(rig.tab(0).ended(), SessionEnd{3});
}

TEST_F(Ended, AlwaysClosesEveryEndAndNeverNone) {
    rig.open(2);
    set_rule("always");
    rig.ws.session_ended(rig.tab(0).session()->id(), SessionEnd{3});
    EXPECT_EQ(rig.state().tabs().size(), 1u);
    rig.ws.session_ended(rig.tab(0).session()->id(), SessionEnd{});
    EXPECT_TRUE(rig.state().tabs().empty());
    EXPECT_EQ(rig.window.destroyed, 1) << "the last tab closed ends the program";

    Rig other;
    other.open();
    testing::configure(other.state(), [&](core::LoadedConfig& c) {
        c.settings.close_on_exit.value = core::JsonValue::string("never");
    });
    other.ws.session_ended(other.tab(0).session()->id(), SessionEnd{0});
    ASSERT_EQ(other.state().tabs().size(), 1u);
    EXPECT_EQ(other.tab(0).ended(), SessionEnd{0});
    EXPECT_EQ(other.window.destroyed, 0);
}

TEST_F(Ended, AMalformedRuleKeepsAFailedTabAsGracefulDoes) {
    rig.open();
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.settings.close_on_exit.value = json_of(core::JsonValue::Kind::Bool, true);
    });
    rig.ws.session_ended(rig.tab(0).session()->id(), SessionEnd{2});
    EXPECT_EQ(rig.state().tabs().size(), 1u);
}

// A model poisoned by a failure left a blank pane and said nothing.
TEST_F(Ended, ATabWhoseTerminalFailedEndsWithTheReasonAndRestarts) {
    rig.open(2);
    const TabId id = rig.id(1);
    const pty::SessionId failed = rig.tab(1).session()->id();
    rig.tab(1).typed().set_text("half typed");
    rig.tab(1).session()->model().with([](pty::TerminalModel&) { throw std::bad_alloc(); });
    rig.ws.session_output(failed);
    const Tab& tab = rig.tab(1);
    EXPECT_EQ(tab.ended(), SessionEnd{});
    EXPECT_FALSE(tab.session());
    EXPECT_EQ(tab.typed().text(), "");
    EXPECT_EQ(rig.starter.closed, std::vector<pty::SessionId>{failed});
    ASSERT_EQ(rig.notices().size(), 1u);
    EXPECT_EQ(rig.notices()[0],
              "Session \"Terminal 2\" ended: its terminal failed (out of memory). Enter "
              "restarts, Esc closes.");
    EXPECT_EQ(marked_title(rig.state(), tab), "[ended] Terminal 2");
    // A paint finds it too, for a model that failed on the window's side
    // with no output to tell it; it is told once.
    rig.tab(0).session()->model().poison();
    rig.ws.take_logs();
    EXPECT_TRUE(rig.tab(0).ended());
    EXPECT_EQ(rig.notices().size(), 2u);
    rig.ws.take_logs();
    EXPECT_EQ(rig.notices().size(), 2u);

    rig.ws.restart_tab(id);
    ASSERT_TRUE(rig.tab(1).session());
    EXPECT_FALSE(rig.tab(1).ended());
    EXPECT_FALSE(rig.tab(1).session()->model().poisoned());
}

TEST_F(Ended, RestartKeepsTheTabsIdentityAndStartsItsCommandAgain) {
    rig.ws.open_tab({.color = 4,
                     .command = "cmd.exe /c build.cmd",
                     .title = "Build",
                     .group = "Web",
                     .record_id = "s-1-2"});
    rig.open();
    Tab& tab = rig.tab(0);
    const TabId id = tab.id();
    const GroupId group = *tab.group();
    tab.typed() = TypedLine({"make", "make test"});
    const pty::SessionId old_session = tab.session()->id();
    rig.ws.session_ended(old_session, SessionEnd{1});
    ASSERT_TRUE(tab.ended());

    rig.ws.restart_tab(id);
    ASSERT_EQ(rig.state().tabs().size(), 2u);
    const Tab& again = rig.tab(0);
    EXPECT_EQ(again.id(), id);
    EXPECT_EQ(again.title(), "Build");
    EXPECT_TRUE(again.custom_title());
    EXPECT_EQ(again.color(), 4);
    EXPECT_EQ(again.group(), group);
    EXPECT_EQ(again.record_id(), "s-1-2");
    EXPECT_EQ(again.typed().history(), (std::vector<std::string>{"make", "make test"}));
    EXPECT_FALSE(again.ended());
    EXPECT_NE(again.session()->id(), old_session);
    EXPECT_EQ(rig.starter.commands.back(), "cmd.exe /c build.cmd");
    EXPECT_EQ(rig.starter.closed, std::vector<pty::SessionId>{old_session});
    EXPECT_EQ(screen(0), "") << "a fresh screen";
    EXPECT_EQ(marked_title(rig.state(), again), "Build");

    // The old session's late end names nobody now.
    rig.ws.session_ended(old_session, SessionEnd{1});
    EXPECT_FALSE(rig.tab(0).ended());
}

TEST_F(Ended, RestartTakesTheProfileAsItIsNow) {
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.profiles.push_back({"p-1", "web01", core::Ssh{"web01"}, "Web", 5});
    });
    rig.ws.open_profile(rig.state().config().profiles[0]);
    const TabId id = rig.id(0);
    // Mended after the failed connection.
    testing::configure(rig.state(), [](core::LoadedConfig& c) {
        std::get<core::Ssh>(c.profiles[0].kind).host = "web02";
    });
    rig.ws.restart_tab(id);
    EXPECT_EQ(rig.starter.commands.back(), "C:\\Windows\\System32\\OpenSSH\\ssh.exe web02");
    EXPECT_EQ(rig.tab(0).title(), "web01") << "the tab's title, not the profile's";

    // Broken: the tab stays as it was and the user is told.
    testing::configure(rig.state(), [](core::LoadedConfig& c) {
        std::get<core::Ssh>(c.profiles[0].kind).host = "";
    });
    const pty::SessionId running = rig.tab(0).session()->id();
    rig.ws.restart_tab(id);
    EXPECT_EQ(rig.tab(0).session()->id(), running);
    EXPECT_EQ(rig.notices(),
              std::vector<std::string>{"Cannot connect: invalid profile: host is empty"});

    // Deleted: the command the tab ran.
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.profiles.clear(); });
    rig.ws.restart_tab(id);
    EXPECT_EQ(rig.starter.commands.back(), "C:\\Windows\\System32\\OpenSSH\\ssh.exe web02");
}

// A serial tab runs no program: its port is what opens, reopens on Enter and
// is duplicated, always from the profile as it is now.
TEST_F(Ended, ASerialTabOpensItsPortAgainAndALostPortKeepsTheTab) {
    testing::configure(rig.state(),
                       [&](core::LoadedConfig& c) { c.settings.default_working_dir = "C:\\"; });
    core::Serial stored{"COM3"};
    stored.baud.value = core::JsonValue::string("fast");
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.profiles.push_back({"p-s", "Switch", stored, "Lab", {}});
    });
    rig.ws.open_profile(rig.state().config().profiles[0]);
    ASSERT_EQ(rig.state().tabs().size(), 1u);
    EXPECT_EQ(rig.starter.serials.back(), proto::SerialLine{"COM3"});
    EXPECT_EQ(rig.starter.commands.back(), std::nullopt);
    EXPECT_EQ(rig.starter.working_dirs.back(), std::nullopt);
    EXPECT_EQ(rig.tab(0).title(), "Switch");
    EXPECT_EQ(rig.tab(0).serial(), proto::SerialLine{"COM3"});
    ASSERT_EQ(rig.notices().size(), 1u);
    EXPECT_EQ(rig.notices()[0].rfind("profiles.json: COM3: \"baud\" is \"fast\"", 0), 0u);

    // The port went away: an end with no code, which graceful keeps.
    rig.ws.session_ended(rig.tab(0).session()->id(), SessionEnd{});
    ASSERT_TRUE(rig.tab(0).ended());
    core::JsonValue fast;
    fast.kind = core::JsonValue::Kind::Uint;
    fast.uint_value = 115200;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        std::get<core::Serial>(c.profiles[0].kind).baud.value = fast;
    });
    rig.ws.restart_tab(rig.id(0));
    EXPECT_FALSE(rig.tab(0).ended());
    ASSERT_TRUE(rig.starter.serials.back());
    EXPECT_EQ(rig.starter.serials.back()->baud, 115200u);

    ASSERT_TRUE(rig.ws.duplicate_tab(rig.id(0)));
    EXPECT_EQ(rig.starter.serials.back()->baud, 115200u);
    EXPECT_EQ(rig.tab(1).serial(), rig.starter.serials.back());

    // Deleted: the port the tab had open; refused: the user is told.
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.profiles[0].kind = core::Serial{"\\\\server\\share"};
    });
    const pty::SessionId running = rig.tab(0).session()->id();
    rig.ws.restart_tab(rig.id(0));
    EXPECT_EQ(rig.tab(0).session()->id(), running);
    EXPECT_EQ(rig.notices().back(), "Cannot connect: invalid profile: port must be a name like "
                                    "COM3 or \\\\.\\COM10, not a path");
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.profiles.clear(); });
    rig.ws.restart_tab(rig.id(0));
    EXPECT_EQ(rig.starter.serials.back()->baud, 115200u);
}

TEST_F(Ended, AFailedRestartKeepsTheEndedTab) {
    rig.open();
    rig.ws.session_ended(rig.tab(0).session()->id(), SessionEnd{3});
    rig.starter.fail_next = "Cannot start cmd.exe: access is denied";
    rig.ws.restart_tab(rig.id(0));
    EXPECT_EQ(rig.tab(0).ended(), SessionEnd{3});
    EXPECT_EQ(rig.notices(), std::vector<std::string>{"Cannot start cmd.exe: access is denied"});
    rig.ws.restart_tab(TabId{77});  // gone: nothing
    EXPECT_EQ(rig.state().tabs().size(), 1u);
}

TEST_F(Ended, DuplicateOpensTheSameRightAfterInTheSameGroup) {
    rig.ws.open_tab({.command = "pwsh", .group = "Web"});
    rig.ws.open_tab({.group = "Web"});
    rig.open();  // no group, last
    const TabId original = rig.id(0);
    rig.tab(0).set_color(2);
    rig.tab(0).typed() = TypedLine({"ls"});

    const std::optional<TabId> copy = rig.ws.duplicate_tab(original);
    ASSERT_TRUE(copy);
    ASSERT_EQ(rig.state().tabs().size(), 4u);
    EXPECT_EQ(rig.id(0), original);
    EXPECT_EQ(rig.id(1), *copy);
    const Tab& dup = rig.tab(1);
    EXPECT_EQ(dup.group(), rig.tab(0).group());
    EXPECT_EQ(rig.tab(2).group(), rig.tab(0).group()) << "the group's tabs stay together";
    EXPECT_EQ(dup.color(), 2);
    EXPECT_EQ(rig.starter.commands.back(), "pwsh");
    EXPECT_EQ(dup.command(), "pwsh");
    EXPECT_NE(dup.record_id(), rig.tab(0).record_id());
    EXPECT_TRUE(dup.typed().history().empty());
    EXPECT_EQ(dup.title(), "Terminal 4");
    EXPECT_FALSE(dup.custom_title());
    EXPECT_EQ(rig.state().active(), *copy);

    // A profile's tab: the profile again, with the tab's title.
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.profiles.push_back({"p-1", "web01", core::Ssh{"web01"}, std::nullopt, 5});
    });
    rig.ws.open_profile(rig.state().config().profiles[0]);
    const TabId profiled = rig.state().active();
    const std::optional<TabId> second = rig.ws.duplicate_tab(profiled);
    ASSERT_TRUE(second);
    const Tab& twin = *rig.state().find_tab(*second);
    EXPECT_EQ(twin.profile_id(), "p-1");
    EXPECT_EQ(twin.title(), "web01");
    EXPECT_EQ(rig.starter.commands.back(), "C:\\Windows\\System32\\OpenSSH\\ssh.exe web01");
    EXPECT_EQ(rig.state().position_of(*second), *rig.state().position_of(profiled) + 1);

    EXPECT_FALSE(rig.ws.duplicate_tab(TabId{77}));
}

}  // namespace
}  // namespace tolvar::app
