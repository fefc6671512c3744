#include "workspace/startup.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/formats.hpp"
#include "tolvar/core/platform.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

TEST(Startup, WithoutADataFolderTheUserIsToldNothingIsSaved) {
    Rig rig;
    load_configuration(
        rig.cell, rig.notifier, rig.fs,
        unexpected(core::StoreError::message("APPDATA environment variable is not set")));
    EXPECT_EQ(rig.notices(), (std::vector<std::string>{
                                 "Cannot use the data folder: APPDATA environment variable is not "
                                 "set. Nothing is saved during this run."}));
    open_first_tabs(rig.ws, rig.saves, rig.notifier, rig.fs);
    EXPECT_EQ(rig.state().tabs().size(), 1u);
    EXPECT_EQ(rig.fs.writes, 0);
}

TEST(Startup, UnreadableFilesAreToldWithTheReasonAndTheCopy) {
    core::testing::ScratchDir dir;
    core::testing::write_all(dir / "profiles.json", "{");
    Rig rig;
    load_configuration(rig.cell, rig.notifier, rig.fs, core::Path(dir.path()));
    ASSERT_EQ(rig.notices().size(), 1u);
    const std::string text = rig.notices()[0];
    EXPECT_EQ(text.rfind("Cannot read profiles.json: ", 0), 0u) << text;
    EXPECT_EQ(text.find("profiles.json: ", 13), std::string::npos) << text;  // named once
    EXPECT_NE(
        text.find("a copy is kept as " + core::path_to_utf8(dir / "profiles.json.unreadable")),
        std::string::npos)
        << text;
    EXPECT_EQ(rig.state().config().data_dir, dir.path());
}

// The file keeps reading, and the value stays in it for the user to mend.
TEST(Startup, AnUnusableCloseOnExitIsToldAndTheFileStillApplies) {
    core::testing::ScratchDir dir;
    core::testing::write_all(dir / "settings.json",
                             R"({"close_to_tray":false,"restore_sessions_on_start":false,)"
                             R"("track_history":true,"sync_mode":"local","close_on_exit":"nevr"})");
    Rig rig;
    load_configuration(rig.cell, rig.notifier, rig.fs, core::Path(dir.path()));
    EXPECT_EQ(rig.notices(), (std::vector<std::string>{
                                 "settings.json: \"close_on_exit\" is \"nevr\", not "
                                 "\"graceful\", \"always\" or \"never\"; \"graceful\" is used"}));
    EXPECT_TRUE(rig.state().config().settings.track_history);
    rig.saves.save(ConfigFile::Settings);
    EXPECT_NE(core::testing::read_all(dir / "settings.json").find(R"("close_on_exit": "nevr")"),
              std::string::npos);
}

TEST(Startup, ProblemTexts) {
    EXPECT_EQ(load_problem_text({core::LoadProblem::Kind::NotWritten, "aliases.json",
                                 core::StoreError::message("disk full"), std::nullopt}),
              "Cannot write aliases.json: disk full.");
    EXPECT_EQ(load_problem_text({core::LoadProblem::Kind::Unreadable, "aliases.json",
                                 core::StoreError::message("aliases.json: trailing characters"),
                                 std::nullopt}),
              "Cannot read aliases.json: trailing characters. Its defaults are used until it is "
              "mended.");
}

TEST(Startup, TheLastRunsTabsReopenOrOneShellDoes) {
    core::testing::ScratchDir dir;
    ASSERT_TRUE(core::save_sessions(core::platform_file_system(), dir.path(), {{"s-1"}, {"s-2"}}));
    Rig resuming;
    testing::configure(resuming.state(), [&](core::LoadedConfig& c) {
        c.data_dir = dir.path();
        c.settings.restore_sessions_on_start = true;
    });
    open_first_tabs(resuming.ws, resuming.saves, resuming.notifier, resuming.fs);
    ASSERT_EQ(resuming.state().tabs().size(), 2u);
    EXPECT_EQ(resuming.tab(1).record_id(), "s-2");

    Rig off;  // resuming is off: the file is not read, one shell opens
    testing::configure(off.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    open_first_tabs(off.ws, off.saves, off.notifier, off.fs);
    ASSERT_EQ(off.state().tabs().size(), 1u);
    EXPECT_NE(off.tab(0).record_id(), "s-1");

    core::testing::write_all(dir / "sessions.json", "nonsense");
    Rig broken;
    testing::configure(broken.state(), [&](core::LoadedConfig& c) {
        c.data_dir = dir.path();
        c.settings.restore_sessions_on_start = true;
    });
    open_first_tabs(broken.ws, broken.saves, broken.notifier, broken.fs);
    EXPECT_EQ(broken.state().tabs().size(), 1u);
    ASSERT_EQ(broken.notices().size(), 1u);
    EXPECT_EQ(broken.notices()[0].rfind("Cannot read sessions.json: ", 0), 0u);
}

std::vector<std::string> saved_ids(const core::testing::ScratchDir& dir) {
    auto file = core::parse_sessions_file(core::testing::read_all(dir / "sessions.json"));
    std::vector<std::string> ids;
    if (file) {
        for (const core::SessionRecord& record : file->sessions) ids.push_back(record.id);
    }
    return ids;
}

// The window paints before its first tabs open; a close in between (the
// window destroyed, the session ending) saved the empty tab list over the
// last run's, and every tab to resume was lost.
TEST(Startup, AListHeldUntilTheFirstTabsKeepsTheLastRunsTabs) {
    core::testing::ScratchDir dir;
    ASSERT_TRUE(core::save_sessions(core::platform_file_system(), dir.path(), {{"s-1"}, {"s-2"}}));
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.data_dir = dir.path();
        c.settings.restore_sessions_on_start = true;
    });
    rig.saves.hold_session_list(true);
    rig.saves.save_session_list();  // the close's save
    rig.saves.save(ConfigFile::Settings);
    EXPECT_EQ(saved_ids(dir), (std::vector<std::string>{"s-1", "s-2"}));
    EXPECT_TRUE(std::filesystem::exists(dir / "settings.json"));  // only the list waits

    open_first_tabs(rig.ws, rig.saves, rig.notifier, rig.fs);  // ends the hold
    ASSERT_EQ(rig.state().tabs().size(), 2u);
    rig.ws.close_tab(rig.id(0));
    EXPECT_EQ(saved_ids(dir), (std::vector<std::string>{"s-2"}));
}

TEST(Startup, EachTraceMarkIsWrittenOnceAndOnlyWithAFile) {
    core::testing::ScratchDir dir;
    core::FileSystem& fs = core::platform_file_system();
    StartupTrace trace(fs, dir / "trace.txt");
    EXPECT_TRUE(trace.wants(StartupMark::PromptPainted));
    trace.record(StartupMark::WindowPainted, 81234, 40000);
    trace.record(StartupMark::WindowPainted, 99999, 50000);  // a later paint
    trace.record(StartupMark::PromptPainted, 190001, 60000);
    EXPECT_FALSE(trace.wants(StartupMark::WindowPainted));
    EXPECT_TRUE(trace.wants(StartupMark::TabsOpening));
    EXPECT_EQ(core::testing::read_all(dir / "trace.txt"),
              "window_painted 81234 40000\nprompt_painted 190001 60000\n");

    StartupTrace off(fs, std::nullopt);
    EXPECT_FALSE(off.wants(StartupMark::WindowPainted));
    off.record(StartupMark::WindowPainted, 1, 1);
}

}  // namespace
}  // namespace tolvar::app
