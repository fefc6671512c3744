#include "input/completion.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/history.hpp"

namespace tolvar::app {
namespace {

using Lines = std::vector<std::string>;

struct Tracked {
    std::string line;
    Lines completed;
};

Tracked track(std::string line, std::string_view text) {
    Lines completed = track_typed(line, text);
    return {line, completed};
}

TEST(TrackTyped, EditingCharacters) {
    struct Case {
        std::string_view before, typed, after;
    };
    const Case cases[] = {
        {"", "ls -la", "ls -la"},
        {"echo hi", "\x03", ""},            // Ctrl+C
        {"cd my dir  ", "\x08", "cd my "},  // Ctrl+Backspace: spaces, then a word
        {"word", "\x08", ""},
        {"a\xE3\x80\x80"
         "b",
         "\x08", "a\xE3\x80\x80"},       // an ideographic space is white space
        {"caf\xC3\xA9", "\x7F", "caf"},  // Backspace removes one scalar value
        {"", "\x7F\x7F", ""},
        {"a", "\x1B\x07\t\xC2\x85", "a"},  // other controls, Tab and C1 controls are ignored
        {"a", "\xC2\xA0\xF0\x9F\x98\x80", "a\xC2\xA0\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(track(std::string(c.before), c.typed).line, c.after) << c.typed;
    }
}

TEST(TrackTyped, EnterCompletesLinesEvenEmptyOnes) {
    const Tracked t = track("  echo", " hi\rpwd\n\rnext");
    EXPECT_EQ(t.completed, (Lines{"  echo hi", "pwd", ""}));
    EXPECT_EQ(t.line, "next");
}

TEST(Suggestion, NewestStrictlyLongerMatch) {
    TypedLine typed({"git status", "git stash", "ls"});
    typed.set_text("git st");
    typed.suggest(true);
    EXPECT_EQ(typed.suggestion(), "git stash");
    typed.set_text("git stx");  // a new text is suggested for only when asked
    EXPECT_EQ(typed.suggestion(), std::nullopt);
    typed.set_text("git stash");
    typed.suggest(true);
    EXPECT_EQ(typed.suggestion(), std::nullopt);
    typed.set_text("Git");  // case-sensitive
    typed.suggest(true);
    EXPECT_EQ(typed.suggestion(), std::nullopt);
    typed.set_text("git s");
    typed.suggest(false);
    EXPECT_EQ(typed.suggestion(), std::nullopt);
    typed.set_text("");
    typed.suggest(true);
    EXPECT_EQ(typed.suggestion(), std::nullopt);
    typed.set_text("l");
    typed.suggest(true);
    typed.remember("lsblk");  // a line run is suggested from next time
    EXPECT_EQ(typed.suggestion(), std::nullopt);
    typed.suggest(true);
    EXPECT_EQ(typed.suggestion(), "lsblk");
}

struct Recording : ::testing::Test {
    testing::Rig rig;
    core::testing::ScratchDir dir;
    Recording() {
        testing::configure(rig.state(), [&](core::LoadedConfig& c) {
            c.data_dir = dir.path();
            c.settings.track_history = true;
        });
        rig.ws.open_tab({.record_id = "s-1"});
    }
    Tab& tab() { return rig.tab(0); }
    Lines file_lines() {
        Lines lines;
        auto entries = core::read_history(core::platform_file_system(), dir.path(), "s-1");
        EXPECT_TRUE(entries);
        if (entries) {
            for (const auto& e : *entries) lines.push_back(e.line);
        }
        return lines;
    }
    void record(std::string_view text, std::uint64_t ts = 1700000000) {
        append_history_line(rig.state().config(), tab(), core::platform_file_system(), text, ts);
    }
};

TEST_F(Recording, LineEndsGoBlankLinesAreSkippedSpacesStay) {
    record("ls -la\r\n");
    record("   ");
    record("\r\n");
    record("  echo hi  ");
    EXPECT_EQ(tab().typed().history(), (Lines{"ls -la", "  echo hi  "}));
    EXPECT_EQ(tab().typed().suggestion(), std::nullopt);
    EXPECT_EQ(file_lines(), (Lines{"ls -la", "  echo hi  "}));
    auto entries = core::read_history(core::platform_file_system(), dir.path(), "s-1");
    EXPECT_EQ(entries->at(0).ts, 1700000000u);
}

TEST_F(Recording, WithoutTrackingOnlyTheCommandListGrows) {
    testing::configure(rig.state(),
                       [&](core::LoadedConfig& c) { c.settings.track_history = false; });
    record("make");
    EXPECT_EQ(tab().typed().history(), (Lines{"make"}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "history" / "s-1.jsonl"));
}

TEST_F(Recording, AFileThatCannotBeWrittenKeepsTheLineInMemory) {
    rig.ws.open_tab({.record_id = "bad/id"});
    append_history_line(rig.state().config(), rig.tab(1), core::platform_file_system(), "make",
                        1700000000);
    EXPECT_EQ(rig.tab(1).typed().history(), (Lines{"make"}));
}

TEST(EchoedBeforeCursor, TheTextBeforeTheCursorThroughItsWrappedRows) {
    struct Case {
        std::string_view shown, typed;
        bool echoed;
    };
    const std::string long_prompt(76, '>');
    const std::string wrapped = long_prompt + "echo wrapped";  // wraps after "echo"
    const std::string full = std::string(74, '>') + "ls -la";  // ends at the last column
    const std::string broken = long_prompt + "echo\r\n wrapped";  // broken at the edge by the console
    const Case cases[] = {
        {"C:\\> ls -la", "ls -la", true},
        {"$ ls ", "ls ", true},             // a typed space is a blank cell
        {"Password: ", "hunter2", false},  // read without echo
        {"$ l", "ls", false},               // the echo has not arrived yet
        {"$ ls\r\n", "ls", false},         // on the line above the cursor
        {"$ lx\x1b[Ds", "lsx", false},     // edited by the shell: not what was typed
        {wrapped, "echo wrapped", true},
        {broken, "echo wrapped", true},
        {"$ echo\r\n wrapped", "echo wrapped", false},  // a line of its own
        {full, "ls -la", true},
        {"$ ", "", false},
    };
    for (const Case& c : cases) {
        pty::TerminalModel model(24, 80);
        model.feed(c.shown);
        EXPECT_EQ(echoed_before_cursor(model, c.typed), c.echoed) << c.shown;
    }
}

struct Submitted : Recording {
    void feed(std::string_view bytes) {
        tab().session()->model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
    }
    void submit(std::string_view line) {
        submit_line(rig.state().config(), tab(), core::platform_file_system(), line, 1700000000);
    }
    void output() { rig.ws.session_output(tab().session()->id()); }
};

TEST_F(Submitted, ALineReadWithoutEchoIsNeverRecorded) {
    feed("user@host's password: ");
    submit("hunter2");
    output();
    EXPECT_TRUE(tab().typed().history().empty());
    feed("\r\nPermission denied, please try again.\r\nuser@host's password: ");
    output();
    EXPECT_TRUE(tab().typed().submitted() == std::nullopt);
    EXPECT_TRUE(tab().typed().history().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "history" / "s-1.jsonl"));
}

TEST_F(Submitted, AnEchoAtOnceLateOrWithItsLineEndIsRecorded) {
    feed("$ make");
    submit("make");
    EXPECT_EQ(tab().typed().history(), (Lines{"make"}));
    feed("\r\n$ ");
    submit("ls");  // sent with its Enter, as a quick key does
    output();
    EXPECT_TRUE(tab().typed().history().size() == 1);
    feed("ls\r\nfile\r\n$ ");
    output();
    EXPECT_EQ(file_lines(), (Lines{"make", "ls"}));
}

TEST_F(Submitted, AWaitEndsWithTheNextLineOrWhenItsScreenGoes) {
    feed("$ ");
    submit("first");
    submit("second");  // the first's echo never came
    feed("second");
    output();
    EXPECT_EQ(tab().typed().history(), (Lines{"second"}));
    feed("\r\n$ ");
    submit("vim");
    feed("\x1b[?1049hvim");  // now on the other screen
    output();
    EXPECT_EQ(tab().typed().history(), (Lines{"second"}));
    EXPECT_TRUE(tab().typed().submitted() == std::nullopt);
}

TEST_F(Recording, AcceptSendsNothingItselfButReturnsTheTail) {
    tab().session()->model().with([](pty::TerminalModel& m) { m.feed("$ git st"); });
    tab().typed() = TypedLine({"ls -la", "git stash"});
    tab().typed().set_text("git st");
    tab().typed().suggest(true);
    EXPECT_EQ(accept_suggestion(rig.state()), "ash");
    EXPECT_EQ(tab().typed().text(), "git stash");
    EXPECT_EQ(tab().typed().suggestion(), std::nullopt);
    EXPECT_EQ(accept_suggestion(rig.state()), std::nullopt);  // nothing suggested
    tab().typed().set_text("ls");
    tab().typed().suggest(true);
    testing::configure(rig.state(),
                       [&](core::LoadedConfig& c) { c.settings.autocomplete_history = false; });
    EXPECT_EQ(accept_suggestion(rig.state()), std::nullopt);
    EXPECT_EQ(tab().typed().suggestion(), "ls -la");  // left for when completion returns
}

}  // namespace
}  // namespace tolvar::app
