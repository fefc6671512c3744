#include "workspace/save_schedule.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/formats.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

// A schedule on its own, over a state with a data folder: no workspace.
struct Scheduled {
    core::testing::ScratchDir dir;
    StateCell cell;
    testing::FakeWindow window{cell};
    core::testing::FaultyFileSystem fs;
    SaveSchedule saves{cell, window, fs};

    Scheduled() {
        testing::configure(state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    }
    AppState& state() { return cell.unguarded(); }
    std::size_t notices() { return state().notices().shown().size(); }
    bool saved(const char* name) { return std::filesystem::exists(dir / name); }
};

// A failed save used to vanish: the user went on believing the tabs, the
// setting or the profiles were stored.
TEST(Saving, AFailureIsToldOnceKeptAndWrittenAtTheNextSavePoint) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    rig.fs.fail_writes = 1;
    rig.open(1);
    EXPECT_EQ(rig.notices(),
              (std::vector<std::string>{"Cannot save sessions.json: injected failure. Nothing is "
                                        "lost: it is saved again at the next change."}));
    rig.fs.fail_writes = 1;
    rig.open(1);  // fails again: told already
    EXPECT_EQ(rig.notices().size(), 1u);
    EXPECT_FALSE(core::read_sessions_file(core::platform_file_system(), dir.path()).value());

    // Any later save point writes what waited, and the notice goes.
    testing::configure(rig.state(),
                       [&](core::LoadedConfig& c) { c.settings.close_to_tray = false; });
    rig.saves.save(ConfigFile::Settings);
    EXPECT_FALSE(
        core::read_settings_file(core::platform_file_system(), dir.path()).value()->close_to_tray);
    EXPECT_EQ(
        core::read_sessions_file(core::platform_file_system(), dir.path()).value()->sessions.size(),
        2u);
    EXPECT_TRUE(rig.notices().empty());
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(Saving, WithoutADataDirectoryNothingIsWrittenOrTold) {
    Rig rig;
    rig.open(1);
    rig.saves.save(ConfigFile::Profiles);
    EXPECT_EQ(rig.fs.writes, 0);
    EXPECT_TRUE(rig.notices().empty());
}

// Held, the save stays due: the next save point of any file makes it.
TEST(SaveSchedule, AHeldSaveIsMadeByTheNextSavePointAfterTheHold) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    rig.saves.hold_session_list(true);
    rig.saves.save_session_list();
    EXPECT_FALSE(std::filesystem::exists(dir / "sessions.json"));
    rig.saves.hold_session_list(false);
    rig.saves.save(ConfigFile::Settings);
    EXPECT_TRUE(std::filesystem::exists(dir / "sessions.json"));
}

// What a failure shows: one notice per file, one repaint when it comes and
// one when it goes; a save point that fails again adds neither, and the
// file is written by the next save point of any file.
TEST(SaveSchedule, EachFilesFailureIsToldOnceAndRetriedByTheNextSavePoint) {
    Scheduled s;
    s.fs.fail_writes = 2;  // settings.json now, and again at the next save point
    s.saves.save(ConfigFile::Settings);
    ASSERT_EQ(s.notices(), 1u);
    EXPECT_EQ(s.state().notices().shown()[0].text,
              "Cannot save settings.json: injected failure. Nothing is lost: it is saved again "
              "at the next change.");
    EXPECT_EQ(s.window.invalidates, 1);

    s.saves.save(ConfigFile::Profiles);
    EXPECT_TRUE(s.saved("profiles.json"));
    EXPECT_FALSE(s.saved("settings.json"));
    EXPECT_EQ(s.notices(), 1u);
    EXPECT_EQ(s.window.invalidates, 1);

    s.saves.save(ConfigFile::Sessions);
    EXPECT_TRUE(s.saved("settings.json"));
    EXPECT_TRUE(s.saved("sessions.json"));
    EXPECT_EQ(s.notices(), 0u);
    EXPECT_EQ(s.window.invalidates, 2);

    // Nothing left over: a save point writes its own file only.
    const int writes = s.fs.writes;
    s.saves.save(ConfigFile::Profiles);
    EXPECT_EQ(s.fs.writes, writes + 1);
    EXPECT_EQ(s.window.invalidates, 2);
    EXPECT_EQ(s.window.reentry_refused, 0);
}

// Asked for inside a change, the save waits for it: the file holds what the
// change left, and a failure repaints after it, never while it runs.
TEST(SaveSchedule, ASaveAskedForInsideAChangeWritesTheStateItLeaves) {
    Scheduled s;
    s.cell.change([&](AppState& state) {
        s.saves.save(ConfigFile::Settings);
        EXPECT_EQ(s.fs.writes, 0);
        testing::configure(state, [&](core::LoadedConfig& c) { c.settings.close_to_tray = false; });
    });
    EXPECT_FALSE(core::read_settings_file(core::platform_file_system(), s.dir.path())
                     .value()
                     ->close_to_tray);

    s.fs.fail_writes = 1;
    s.cell.change([&](AppState&) { s.saves.save(ConfigFile::Profiles); });
    EXPECT_EQ(s.notices(), 1u);
    EXPECT_EQ(s.window.invalidates, 1);
    EXPECT_EQ(s.window.reentry_refused, 0);
}

TEST(SessionRecords, OnlyExplicitTitlesAndLiveGroupNames) {
    Rig rig;
    rig.ws.open_tab(
        {.color = 200, .title = "t", .group = "G", .profile_id = "p", .record_id = "s-1"});
    rig.ws.open_tab({.record_id = "s-2"});
    const auto records = session_records(rig.state());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], (core::SessionRecord{"s-1", "p", "t", "G", 200}));
    EXPECT_EQ(records[1], (core::SessionRecord{"s-2"}));
}

}  // namespace
}  // namespace tolvar::app
