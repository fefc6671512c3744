#include "tolvar/app/resume.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

core::ConnectionProfile ssh_profile() {
    return {"p-ssh", "web01", core::Ssh{"web01"}, "Web", 4};
}

TEST(Resume, DeletedProfileReopensAsALocalShellKeepingTheRecord) {
    Rig rig;
    ASSERT_TRUE(resume_sessions(rig.ws, rig.launcher,
                                {core::SessionRecord{"s-1", "p-gone", "old", "Ops", 2}}));
    const Tab& tab = rig.state().tabs.at(0);
    EXPECT_EQ(rig.starter.commands[0], std::nullopt);
    EXPECT_EQ(tab.title, "old");
    EXPECT_EQ(tab.record_id, "s-1");
    EXPECT_EQ(tab.color, 2);
    EXPECT_FALSE(tab.profile_id);
    EXPECT_EQ(rig.state().groups.at(0).name, "Ops");
}

TEST(Resume, ProfileFillsWhatTheRecordLacks) {
    Rig rig;
    rig.state().config.profiles = {ssh_profile()};
    ASSERT_TRUE(resume_sessions(rig.ws, rig.launcher, {core::SessionRecord{"s-1", "p-ssh"}}));
    const Tab& tab = rig.state().tabs.at(0);
    EXPECT_EQ(rig.starter.commands[0], "ssh.exe web01");
    EXPECT_EQ(tab.title, "web01");
    EXPECT_TRUE(tab.custom_title);  // saved from now on as an explicit title
    EXPECT_EQ(tab.color, 4);
    EXPECT_EQ(tab.profile_id, "p-ssh");
    EXPECT_EQ(rig.state().groups.at(0).name, "Web");
}

TEST(Resume, OutsideClientsAndBrokenPlansAreSkipped) {
    Rig rig;
    rig.state().config.profiles = {{"p-rdp", "desk", core::Rdp{"h"}},
                                   {"p-bad", "b", core::Ssh{""}}};
    EXPECT_FALSE(resume_sessions(
        rig.ws, rig.launcher,
        {core::SessionRecord{"s-1", "p-rdp"}, core::SessionRecord{"s-2", "p-bad"}}));
    EXPECT_TRUE(rig.state().tabs.empty());
    EXPECT_TRUE(rig.launcher.externals.empty());
    EXPECT_TRUE(rig.window.errors.empty());
}

TEST(Resume, SharedGroupNamesShareOneGroupAndSitTogether) {
    Rig rig;
    resume_sessions(rig.ws, rig.launcher,
                    {core::SessionRecord{"a", {}, {}, "G"}, core::SessionRecord{"b"},
                     core::SessionRecord{"c", {}, {}, "G"}});
    AppState& s = rig.state();
    ASSERT_EQ(s.groups.size(), 1u);
    EXPECT_EQ(s.tabs[0].record_id, "a");
    EXPECT_EQ(s.tabs[1].record_id, "c");
    EXPECT_EQ(s.tabs[2].record_id, "b");
    EXPECT_EQ(s.tabs[s.active].record_id, "c");  // the last one opened
}

TEST(Resume, FailedStartsCountAsNothing) {
    Rig rig;
    rig.starter.fail_next = true;
    EXPECT_FALSE(resume_sessions(rig.ws, rig.launcher, {core::SessionRecord{"a"}}));
    EXPECT_FALSE(resume_sessions(rig.ws, rig.launcher, {}));
}

}  // namespace
}  // namespace tolvar::app
