#include "workspace/resume.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "input/input.hpp"
#include "workspace/tab_view.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/formats.hpp"
#include "tolvar/core/store.hpp"

namespace tolvar::app {
namespace {

using testing::FakeStarter;
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

TEST(Resume, FailedStartsTakeTheirTabAwayAndAreTold) {
    Rig rig;
    ASSERT_TRUE(resume_sessions(rig.ws, {core::SessionRecord{"a"}, core::SessionRecord{"b"}}));
    EXPECT_FALSE(resume_sessions(rig.ws, {}));
    const pty::SessionId first = rig.starter.background.at(1).id;  // "a", started second
    rig.starter.finish(rig.ws, first, "Cannot start ssh.exe: access is denied (os error 5)");
    ASSERT_EQ(rig.state().tabs().size(), 1u);
    EXPECT_EQ(rig.tab(0).record_id(), "b");
    EXPECT_EQ(rig.notices(),
              (std::vector<std::string>{"Cannot start ssh.exe: access is denied (os error 5)"}));
    // The last tab failing leaves the window a fresh tab, as a resume that
    // starts nothing does.
    rig.starter.finish(rig.ws, rig.starter.background.at(0).id, "Cannot start cmd.exe: gone");
    ASSERT_EQ(rig.state().tabs().size(), 1u);
    EXPECT_NE(rig.tab(0).record_id(), "b");
    EXPECT_FALSE(rig.tab(0).session()->starting());
    EXPECT_EQ(rig.window.destroyed, 0);
}

std::string written(Rig& rig, pty::SessionId id) {
    return rig.starter.running_sessions.at(id)->written;
}

// Ten resumed tabs once started one after another on the window's thread,
// and the first prompt waited for all of them.
TEST(Resume, TabsStartInTheBackgroundTheShownOneFirst) {
    Rig rig;
    std::vector<core::SessionRecord> records;
    for (int i = 0; i < 4; ++i) records.push_back({"s-" + std::to_string(i), {}, "T" + std::to_string(i)});
    ASSERT_TRUE(resume_sessions(rig.ws, records));
    ASSERT_EQ(rig.state().tabs().size(), 4u);
    ASSERT_EQ(rig.starter.background.size(), 4u);
    // The shown tab is the last; its start was asked for first.
    EXPECT_EQ(rig.state().active_tab()->record_id(), "s-3");
    EXPECT_EQ(rig.tab(3).session()->id(), rig.starter.background[0].id);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(rig.tab(i).session()->starting());
        EXPECT_EQ(marked_title(rig.state(), rig.tab(i)), "[starting\xE2\x80\xA6] T" + std::to_string(i));
    }

    // Typed into a starting tab: kept in order, sent once it runs; the size
    // the layout asked for meanwhile is the model's and the session's.
    const pty::SessionId shown = rig.tab(3).session()->id();
    send_input(rig.state(), "dir");
    send_input(rig.state(), "\r");
    rig.tab(3).session()->resize(30, 100);
    const int invalidated = rig.window.invalidates;
    rig.starter.finish(rig.ws, shown);
    EXPECT_FALSE(rig.tab(3).session()->starting());
    EXPECT_EQ(written(rig, shown), "dir\r");
    EXPECT_EQ(rig.starter.running_sessions.at(shown)->size, (pty::GridSize{30, 100}));
    EXPECT_EQ(marked_title(rig.state(), rig.tab(3)), "T3");
    EXPECT_GT(rig.window.invalidates, invalidated);
    send_input(rig.state(), "x");
    EXPECT_EQ(written(rig, shown), "dir\rx");
    EXPECT_TRUE(rig.notices().empty());

    // A start that comes again, or for a session nobody holds, changes nothing.
    rig.starter.finish(rig.ws, shown);
    EXPECT_EQ(rig.state().tabs().size(), 4u);
}

TEST(Resume, BroadcastReachesStartingTabsOnceTheyRun) {
    Rig rig;
    ASSERT_TRUE(resume_sessions(rig.ws, {core::SessionRecord{"a", {}, {}, "G"},
                                         core::SessionRecord{"b", {}, {}, "G"}}));
    const GroupId group = rig.state().groups().at(0).id();
    rig.ws.toggle_group_broadcast(group);
    const pty::SessionId a = rig.tab(0).session()->id();
    const pty::SessionId b = rig.tab(1).session()->id();
    rig.starter.finish(rig.ws, b);
    send_input(rig.state(), "ls\r");
    EXPECT_EQ(written(rig, b), "ls\r");
    rig.starter.finish(rig.ws, a);
    EXPECT_EQ(written(rig, a), "ls\r");
}

TEST(Resume, AStartingTabClosedNeverRunsItsSession) {
    Rig rig;
    ASSERT_TRUE(resume_sessions(rig.ws, {core::SessionRecord{"a"}, core::SessionRecord{"b"}}));
    const FakeStarter::Background first = rig.starter.background.at(1);  // tab "a"
    EXPECT_TRUE(first.wanted->load());
    rig.ws.close_tab(rig.id(0));
    // The starter's thread sees that no start is wanted any more...
    EXPECT_FALSE(first.wanted->load());
    // ...and a start already under way ends its session when it comes.
    rig.starter.finish(rig.ws, first.id);
    EXPECT_EQ(rig.state().tabs().size(), 1u);
    EXPECT_EQ(rig.starter.closed, (std::vector<pty::SessionId>{first.id}));
    EXPECT_TRUE(rig.notices().empty());
}

// Input waits whole: a key's sequence is never cut, and what does not fit
// is told rather than lost without a word.
TEST(Resume, TypingBeyondWhatAStartingTabKeepsIsTold) {
    Rig rig;
    ASSERT_TRUE(resume_sessions(rig.ws, {core::SessionRecord{"a", {}, "Build"}}));
    const pty::SessionId id = rig.tab(0).session()->id();
    const std::string most(StartingSession::k_max_waiting - 2, 'x');
    send_input(rig.state(), most);
    send_input(rig.state(), "\x1b[A");  // does not fit: dropped whole
    send_input(rig.state(), "ab");       // fits exactly
    rig.starter.finish(rig.ws, id);
    EXPECT_EQ(written(rig, id), most + "ab");
    EXPECT_EQ(rig.notices(),
              (std::vector<std::string>{
                  "3 bytes typed into \"Build\" while it started did not fit and were not sent."}));
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
