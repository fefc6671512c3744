#include "workspace/resume.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/formats.hpp"
#include "tolvar/core/store.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

core::ConnectionProfile ssh_profile() {
    return {"p-ssh", "web01", core::Ssh{"web01"}, "Web", 4};
}

TEST(Resume, DeletedProfileReopensAsALocalShellKeepingTheRecord) {
    Rig rig;
    ASSERT_TRUE(resume_sessions(rig.ws, {core::SessionRecord{"s-1", "p-gone", "old", "Ops", 2}}));
    const Tab& tab = rig.tab(0);
    EXPECT_EQ(rig.starter.commands[0], std::nullopt);
    EXPECT_EQ(tab.title(), "old");
    EXPECT_EQ(tab.record_id(), "s-1");
    EXPECT_EQ(tab.color(), 2);
    EXPECT_FALSE(tab.profile_id());
    EXPECT_EQ(rig.state().groups().at(0).name, "Ops");
}

TEST(Resume, ProfileFillsWhatTheRecordLacks) {
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.profiles = {ssh_profile()}; });
    ASSERT_TRUE(resume_sessions(rig.ws, {core::SessionRecord{"s-1", "p-ssh"}}));
    const Tab& tab = rig.tab(0);
    EXPECT_EQ(rig.starter.commands[0], "C:\\Windows\\System32\\OpenSSH\\ssh.exe web01");
    EXPECT_EQ(tab.title(), "web01");
    EXPECT_TRUE(tab.custom_title());  // saved from now on as an explicit title
    EXPECT_EQ(tab.color(), 4);
    EXPECT_EQ(tab.profile_id(), "p-ssh");
    EXPECT_EQ(rig.state().groups().at(0).name, "Web");
}

// Planning a remote-desktop profile writes its connection file: resuming
// one used to leave that file behind in the temporary folder at every start.
TEST(Resume, OutsideClientsAndBrokenPlansAreSkippedWithoutLeavingFiles) {
    Rig rig;
    rig.state().replace_profiles({{"p-rdp", "desk", core::Rdp{"h"}},
                                  {"p-vnc", "view", core::Vnc{"h"}},
                                  {"p-bad", "b", core::Ssh{""}}});
    EXPECT_FALSE(resume_sessions(
        rig.ws, {core::SessionRecord{"s-1", "p-rdp"}, core::SessionRecord{"s-2", "p-vnc"},
                 core::SessionRecord{"s-3", "p-bad"}}));
    EXPECT_TRUE(rig.state().tabs().empty());
    EXPECT_TRUE(rig.externals.started.empty());
    EXPECT_TRUE(rig.system.written.empty());
    EXPECT_TRUE(rig.window.errors.empty());
}

TEST(Resume, ASerialProfileOpensItsPortAgain) {
    Rig rig;
    core::Serial stored{"COM9"};
    stored.parity.value = core::JsonValue::string("EVEN");
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.profiles = {{"p-s", "Board", stored}};
    });
    ASSERT_TRUE(resume_sessions(rig.ws, {core::SessionRecord{"s-1", "p-s"}}));
    proto::SerialLine line{"COM9"};
    line.parity = proto::Parity::Even;
    EXPECT_EQ(rig.starter.serials.at(0), line);
    EXPECT_EQ(rig.tab(0).profile_id(), "p-s");
    EXPECT_EQ(rig.tab(0).title(), "Board");
}

TEST(Resume, SharedGroupNamesShareOneGroupAndSitTogether) {
    Rig rig;
    resume_sessions(rig.ws, {core::SessionRecord{"a", {}, {}, "G"}, core::SessionRecord{"b"},
                             core::SessionRecord{"c", {}, {}, "G"}});
    AppState& s = rig.state();
    ASSERT_EQ(s.groups().size(), 1u);
    EXPECT_EQ(rig.tab(0).record_id(), "a");
    EXPECT_EQ(rig.tab(1).record_id(), "c");
    EXPECT_EQ(rig.tab(2).record_id(), "b");
    EXPECT_EQ(s.active_tab()->record_id(), "c");  // the last one opened
}

TEST(Resume, FailedStartsCountAsNothingAndAreTold) {
    Rig rig;
    rig.starter.fail_next = "Cannot start ssh.exe: access is denied (os error 5)";
    EXPECT_FALSE(resume_sessions(rig.ws, {core::SessionRecord{"a"}}));
    EXPECT_FALSE(resume_sessions(rig.ws, {}));
    EXPECT_EQ(rig.notices(),
              (std::vector<std::string>{"Cannot start ssh.exe: access is denied (os error 5)"}));
}

// Pins a resume of 30 tabs that wrote the list, its flush and its backup
// 30 times: a crash in the middle left both sessions.json and its backup
// holding part of the list, and the remembered tabs were lost.
TEST(Resume, TheListIsSavedOnceAndTheBackupKeepsThePreviousList) {
    core::testing::ScratchDir dir;
    std::vector<core::SessionRecord> records;
    for (int i = 0; i < 30; ++i) records.push_back({"s-" + std::to_string(i)});
    ASSERT_TRUE(core::save_sessions(core::platform_file_system(), dir.path(), records));
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    ASSERT_TRUE(resume_sessions(rig.ws, core::load_sessions(rig.fs, dir.path()).sessions));
    EXPECT_EQ(rig.state().tabs().size(), 30u);
    EXPECT_EQ(rig.fs.writes, 1);
    EXPECT_EQ(rig.window.relayouts, 1);
    const auto backup =
        core::parse_sessions_file(core::testing::read_all(dir / "sessions.json.bak"));
    ASSERT_TRUE(backup);
    EXPECT_EQ(backup->sessions.size(), 30u);
}

}  // namespace
}  // namespace tolvar::app
