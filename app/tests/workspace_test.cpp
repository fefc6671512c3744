#include "tolvar/app/workspace.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/formats.hpp"
#include "tolvar/core/history.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

TEST(OpenTab, DefaultTitlesCountTabsAndRepeatAfterCloses) {
    Rig rig;
    rig.open(3);
    EXPECT_EQ(rig.titles(), (std::vector<std::string>{"Terminal 1", "Terminal 2", "Terminal 3"}));
    rig.ws.close_tab(1);
    rig.open();
    EXPECT_EQ(rig.titles(), (std::vector<std::string>{"Terminal 1", "Terminal 3", "Terminal 3"}));
    EXPECT_EQ(rig.state().active, 2u);
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(OpenTab, FailedStartAddsNothing) {
    Rig rig;
    rig.starter.fail_next = true;
    EXPECT_FALSE(rig.ws.open_tab({}));
    EXPECT_TRUE(rig.state().tabs.empty());
    EXPECT_EQ(rig.window.relayouts, 0);
    EXPECT_TRUE(rig.ws.open_tab({}));
    EXPECT_EQ(rig.state().tabs[0].session->id(), 2u);
}

TEST(OpenTab, RequestFieldsAndFreshRecordIds) {
    Rig rig;
    rig.state().config.settings.default_working_dir = "D:\\work";
    ASSERT_TRUE(rig.ws.open_tab({3, "pwsh", "Build", std::nullopt, "p-1-0", std::nullopt}));
    const Tab& tab = rig.state().tabs[0];
    EXPECT_EQ(tab.title, "Build");
    EXPECT_TRUE(tab.custom_title);
    EXPECT_EQ(tab.color, 3);
    EXPECT_EQ(tab.profile_id, "p-1-0");
    EXPECT_EQ(tab.record_id.rfind("s-", 0), 0u);
    EXPECT_EQ(rig.starter.commands[0], "pwsh");
    EXPECT_EQ(rig.starter.working_dirs[0], "D:\\work");
}

TEST(OpenTab, NamedGroupsAreFoundByExactNameOrCreated) {
    Rig rig;
    rig.ws.open_tab({.group = "Web"});
    rig.ws.open_tab({});
    rig.ws.open_tab({.group = "Web"});
    rig.ws.open_tab({.group = "Web "});
    // The second Web tab joins the first, ahead of the ungrouped tab.
    EXPECT_EQ(rig.titles(),
              (std::vector<std::string>{"Terminal 1", "Terminal 3", "Terminal 2", "Terminal 4"}));
    ASSERT_EQ(rig.state().groups.size(), 2u);
    EXPECT_EQ(rig.state().groups[1].name, "Web ");
    EXPECT_EQ(rig.state().active, 3u);
}

TEST(SetTabGroup, JoinsAfterTheGroupsLastTabAndKeepsTheActiveTab) {
    Rig rig;
    rig.open(4);
    AppState& s = rig.state();
    const GroupId web = group_by_name(s, "Web");
    s.tabs[0].group = web;  // A(Web), B, C(Web), D
    s.tabs[2].group = web;
    s.active = 1;
    const pty::SessionId b = s.tabs[1].session->id();
    set_tab_group(s, 3, web);
    EXPECT_EQ(rig.titles(),
              (std::vector<std::string>{"Terminal 1", "Terminal 2", "Terminal 3", "Terminal 4"}));
    set_tab_group(s, 1, std::nullopt);  // clearing never moves
    set_tab_group(s, 1, web);
    EXPECT_EQ(rig.titles(),
              (std::vector<std::string>{"Terminal 1", "Terminal 3", "Terminal 4", "Terminal 2"}));
    EXPECT_EQ(s.tabs[s.active].session->id(), b);
}

// Pins a finished selection that jumped to another tab's text when a move
// into a group shifted the tab list under it.
TEST(SetTabGroup, TheMouseSelectionStaysOnItsTab) {
    Rig rig;
    rig.open(3);
    AppState& s = rig.state();
    const GroupId web = group_by_name(s, "Web");
    s.tabs[0].group = web;
    s.selection = {1, {0, 0}, {0, 5}, SelectionState::Finished};
    const pty::SessionId selected = s.tabs[1].session->id();
    set_tab_group(s, 2, web);  // the third tab moves in front of the selected one
    ASSERT_EQ(s.tabs[2].session->id(), selected);
    EXPECT_EQ(s.selection.tab, 2u);
    EXPECT_EQ(s.selection.state, SelectionState::Finished);
}

TEST(SetTabGroup, AloneInItsGroupTheTabStaysWhereItWas) {
    Rig rig;
    rig.open(3);
    new_group_for_tab(rig.state(), 1);
    EXPECT_EQ(rig.titles()[1], "Terminal 2");
    EXPECT_EQ(rig.state().groups.at(0).name, "Group 1");
}

TEST(Groups, ColoursFollowIdsAndIdsAreNeverReused) {
    Rig rig;
    rig.open(1);
    AppState& s = rig.state();
    std::vector<std::uint8_t> colours;
    for (int i = 0; i < 9; ++i) {
        new_group_for_tab(s, 0);
        colours.push_back(s.groups.back().color);
    }
    EXPECT_EQ(colours, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 0}));
    EXPECT_EQ(s.groups.size(), 1u);  // each move pruned the group left behind
    EXPECT_EQ(s.groups[0].id, 9u);
    EXPECT_EQ(s.groups[0].name, "Group 9");
}

TEST(PruneGroups, EmptyParentsOfUsedGroupsSurvive) {
    Rig rig;
    rig.open(2);
    AppState& s = rig.state();
    const GroupId outer = group_by_name(s, "Outer");
    const GroupId inner = group_by_name(s, "Inner");
    const GroupId gone = group_by_name(s, "Gone");
    set_group_parent(s, inner, outer);
    s.tabs[0].group = inner;
    s.broadcast = {outer, inner, gone};
    s.browse_path = {outer, gone, inner};
    s.tile_selection = 3;
    prune_groups(s);
    ASSERT_EQ(s.groups.size(), 2u);
    EXPECT_EQ(s.broadcast, (std::set<GroupId>{outer, inner}));
    EXPECT_EQ(s.browse_path, (std::vector<GroupId>{outer}));
    EXPECT_EQ(s.tile_selection, 0u);
}

TEST(CloseTab, LastTabOfAGroupTakesTheGroupAndItsBrowseEntries) {
    Rig rig;
    rig.ws.open_tab({.group = "Web"});
    rig.ws.open_tab({});
    AppState& s = rig.state();
    const GroupId web = s.groups.at(0).id;
    s.broadcast.insert(web);
    s.browse_path = {web};
    s.selection = MouseSelection{0, {0, 0}, {0, 3}, SelectionState::Finished};
    rig.ws.close_tab(0);
    EXPECT_TRUE(s.groups.empty());
    EXPECT_TRUE(s.broadcast.empty());
    EXPECT_TRUE(s.browse_path.empty());
    EXPECT_EQ(s.selection.state, SelectionState::None);
    EXPECT_EQ(rig.starter.closed, (std::vector<pty::SessionId>{1}));
}

TEST(CloseTab, ActiveIndexAfterCloses) {
    Rig rig;
    rig.open(4);
    AppState& s = rig.state();
    s.active = 2;
    rig.ws.close_tab(0);
    EXPECT_EQ(s.active, 2u);
    EXPECT_EQ(s.tabs[2].title, "Terminal 4");
    rig.ws.close_tab(2);
    EXPECT_EQ(s.active, 1u);
    rig.ws.close_tab(7);  // past the end: nothing removed, still saved and repainted
    EXPECT_EQ(s.tabs.size(), 2u);
    EXPECT_EQ(rig.window.destroyed, 0);
}

TEST(CloseTab, ClosingTheLastTabSavesAnEmptyListThenDestroys) {
    core::testing::ScratchDir dir;
    Rig rig;
    rig.state().config.data_dir = dir.path();
    rig.open(1);
    EXPECT_EQ(
        core::read_sessions_file(core::platform_file_system(), dir.path()).value()->sessions.size(),
        1u);
    rig.ws.close_tab(0);
    EXPECT_EQ(rig.window.destroyed, 1);
    EXPECT_TRUE(core::read_sessions_file(core::platform_file_system(), dir.path())
                    .value()
                    ->sessions.empty());
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(CloseGroup, ClosesOnlyTheGroupsOwnTabs) {
    Rig rig;
    rig.ws.open_tab({.group = "A"});
    rig.ws.open_tab({.group = "B"});
    rig.ws.open_tab({.group = "A"});
    AppState& s = rig.state();
    set_group_parent(s, s.groups[1].id, s.groups[0].id);
    rig.ws.close_group(s.groups[0].id);
    ASSERT_EQ(s.tabs.size(), 1u);
    EXPECT_EQ(s.tabs[0].title, "Terminal 2");
}

TEST(SetGroupParent, CyclesAreRefused) {
    Rig rig;
    AppState& s = rig.state();
    const GroupId a = group_by_name(s, "a");
    const GroupId b = group_by_name(s, "b");
    const GroupId c = group_by_name(s, "c");
    set_group_parent(s, b, a);
    set_group_parent(s, c, b);
    set_group_parent(s, a, c);  // a under its own grandchild
    EXPECT_FALSE(s.find_group(a)->parent);
    set_group_parent(s, a, a);
    EXPECT_FALSE(s.find_group(a)->parent);
    set_group_parent(s, c, 99);  // an unknown parent ends the walk
    EXPECT_EQ(s.find_group(c)->parent, 99u);
    set_group_parent(s, c, std::nullopt);
    EXPECT_FALSE(s.find_group(c)->parent);
}

TEST(ActiveTab, CycleAndActivate) {
    Rig rig;
    rig.open(3);
    AppState& s = rig.state();
    s.active = 2;
    cycle_tab(s, false);
    EXPECT_EQ(s.active, 0u);
    cycle_tab(s, true);
    EXPECT_EQ(s.active, 2u);
    rig.ws.set_active_tab(5);
    EXPECT_EQ(s.active, 2u);

    new_group_for_tab(s, 1);
    s.groups[0].collapsed = true;
    rig.ws.activate_group(s.groups[0].id);
    EXPECT_EQ(s.active, 1u);
    EXPECT_FALSE(s.groups[0].collapsed);
}

TEST(ToggleGroups, CollapseRepaintsOnlyBroadcastRelaysOut) {
    Rig rig;
    rig.ws.open_tab({.group = "G"});
    const GroupId g = rig.state().groups[0].id;
    const int relayouts = rig.window.relayouts;
    rig.ws.toggle_group_collapsed(g);
    EXPECT_TRUE(rig.state().groups[0].collapsed);
    EXPECT_EQ(rig.window.relayouts, relayouts);
    rig.ws.toggle_group_broadcast(g);
    EXPECT_TRUE(rig.state().broadcast.contains(g));
    rig.ws.toggle_group_broadcast(g);
    EXPECT_FALSE(rig.state().broadcast.contains(g));
}

TEST(Rename, BlankTextKeepsTheTitleAndARenameHidesTheTerminalTitle) {
    Rig rig;
    rig.open(1);
    Tab& tab = rig.state().tabs[0];
    tab.session->model().with([](pty::TerminalModel& m) { m.feed("\x1b]0;  remote shell \x07"); });
    EXPECT_EQ(display_title(rig.state(), tab), "remote shell");

    rig.ws.commit_rename({RenameTarget::Kind::Tab, tab.session->id()}, "   ");
    EXPECT_EQ(tab.title, "Terminal 1");
    EXPECT_FALSE(tab.custom_title);

    rig.ws.commit_rename({RenameTarget::Kind::Tab, tab.session->id()}, " build ");
    EXPECT_EQ(display_title(rig.state(), tab), "build");
}

TEST(DisplayTitle, BroadcastPrefixAndPoisonedModel) {
    Rig rig;
    rig.ws.open_tab({.title = "db", .group = "G"});
    AppState& s = rig.state();
    s.broadcast.insert(s.groups[0].id);
    EXPECT_EQ(display_title(s, s.tabs[0]), "\xC2\xBB db");

    rig.ws.open_tab({});
    s.tabs[1].session->model().poison();
    EXPECT_EQ(display_title(s, s.tabs[1]), "Terminal 2");
}

TEST(Rename, GroupsAndVanishedTargets) {
    Rig rig;
    rig.ws.open_tab({.group = "G"});
    rig.ws.commit_rename({RenameTarget::Kind::Group, rig.state().groups[0].id}, "Prod");
    EXPECT_EQ(rig.state().groups[0].name, "Prod");
    rig.ws.commit_rename({RenameTarget::Kind::Tab, 999}, "x");
    EXPECT_EQ(rig.state().tabs[0].title, "Terminal 1");
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

TEST(OpenProfile, PlansBecomeTabsOuterClientsOrErrors) {
    Rig rig;
    rig.ws.open_profile({"p-1", "web01", core::Ssh{"web01"}, "Web", 5});
    ASSERT_EQ(rig.state().tabs.size(), 1u);
    const Tab& tab = rig.state().tabs[0];
    EXPECT_EQ(tab.title, "web01");
    EXPECT_EQ(tab.color, 5);
    EXPECT_EQ(tab.profile_id, "p-1");
    EXPECT_EQ(rig.state().groups.at(0).name, "Web");
    EXPECT_EQ(rig.starter.commands[0], "ssh.exe web01");

    rig.ws.open_profile({"p-2", "rdp", core::Rdp{"h"}});
    EXPECT_EQ(rig.launcher.externals.size(), 1u);
    rig.ws.open_profile({"p-3", "bad", core::Ssh{""}});
    EXPECT_EQ(rig.window.errors,
              (std::vector<std::string>{"Cannot connect: invalid profile: host is empty"}));
    EXPECT_EQ(rig.state().tabs.size(), 1u);
}

TEST(OpenTab, LoadsTheLast500HistoryLinesWhenCompletionIsOn) {
    core::testing::ScratchDir dir;
    for (int i = 0; i < 502; ++i) {
        ASSERT_TRUE(core::append_history_entry(core::platform_file_system(), dir.path(), "s-h",
                                               "cmd " + std::to_string(i), 1));
    }
    Rig rig;
    rig.state().config.data_dir = dir.path();
    rig.ws.open_tab({.record_id = "s-h"});
    const auto& history = rig.state().tabs[0].history;
    ASSERT_EQ(history.size(), 500u);
    EXPECT_EQ(history.front(), "cmd 2");

    rig.state().config.settings.autocomplete_history = false;
    rig.ws.open_tab({.record_id = "s-h"});
    EXPECT_TRUE(rig.state().tabs[1].history.empty());
}

TEST(StateCell, NestedAccessIsRefused) {
    Rig rig;
    auto outer = rig.cell.borrow();
    ASSERT_TRUE(outer);
    EXPECT_FALSE(rig.cell.borrow());
    EXPECT_FALSE(rig.ws.open_tab({}));
    EXPECT_TRUE(rig.starter.commands.empty());
}

}  // namespace
}  // namespace tolvar::app
