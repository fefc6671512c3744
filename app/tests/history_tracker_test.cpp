#include "tolvar/app/history_tracker.hpp"

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

TEST(RecomputeSuggestion, NewestStrictlyLongerMatch) {
    Tab tab;
    tab.history = {"git status", "git stash", "ls"};
    tab.input_line = "git st";
    recompute_suggestion(tab, true);
    EXPECT_EQ(tab.suggestion, "git stash");
    tab.input_line = "git stash";
    recompute_suggestion(tab, true);
    EXPECT_EQ(tab.suggestion, std::nullopt);
    tab.input_line = "Git";  // case-sensitive
    recompute_suggestion(tab, true);
    EXPECT_EQ(tab.suggestion, std::nullopt);
    tab.input_line = "git s";
    recompute_suggestion(tab, false);
    EXPECT_EQ(tab.suggestion, std::nullopt);
    tab.input_line = "";
    recompute_suggestion(tab, true);
    EXPECT_EQ(tab.suggestion, std::nullopt);
}

struct Recording : ::testing::Test {
    testing::Rig rig;
    core::testing::ScratchDir dir;
    Recording() {
        rig.state().config.data_dir = dir.path();
        rig.state().config.settings.track_history = true;
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
        append_history_line(rig.state(), core::platform_file_system(), text, ts);
    }
};

TEST_F(Recording, LineEndsGoBlankLinesAreSkippedSpacesStay) {
    tab().suggestion = "x";
    record("ls -la\r\n");
    record("   ");
    record("\r\n");
    record("  echo hi  ");
    EXPECT_EQ(tab().history, (Lines{"ls -la", "  echo hi  "}));
    EXPECT_EQ(tab().suggestion, std::nullopt);
    EXPECT_EQ(file_lines(), (Lines{"ls -la", "  echo hi  "}));
    auto entries = core::read_history(core::platform_file_system(), dir.path(), "s-1");
    EXPECT_EQ(entries->at(0).ts, 1700000000u);
}

TEST_F(Recording, WithoutTrackingOnlyTheCommandListGrows) {
    rig.state().config.settings.track_history = false;
    record("make");
    EXPECT_EQ(tab().history, (Lines{"make"}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "history" / "s-1.jsonl"));
}

TEST_F(Recording, AFileThatCannotBeWrittenKeepsTheLineInMemory) {
    tab().record_id = "bad/id";
    record("make");
    EXPECT_EQ(tab().history, (Lines{"make"}));
}

TEST_F(Recording, AcceptSendsNothingItselfButReturnsTheTail) {
    tab().input_line = "git st";
    tab().suggestion = "git stash";
    EXPECT_EQ(accept_suggestion(rig.state()), "ash");
    EXPECT_EQ(tab().input_line, "git stash");
    EXPECT_EQ(tab().suggestion, std::nullopt);
    // A stale suggestion that no longer extends the line is dropped.
    tab().input_line = "ls";
    tab().suggestion = "git stash";
    EXPECT_EQ(accept_suggestion(rig.state()), std::nullopt);
    EXPECT_EQ(tab().suggestion, std::nullopt);
    tab().suggestion = "ls";
    EXPECT_EQ(accept_suggestion(rig.state()), std::nullopt);
    tab().suggestion = "ls -la";
    rig.state().config.settings.autocomplete_history = false;
    EXPECT_EQ(accept_suggestion(rig.state()), std::nullopt);
    EXPECT_EQ(tab().suggestion, "ls -la");  // left for when completion returns
}

}  // namespace
}  // namespace tolvar::app
