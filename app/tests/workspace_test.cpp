#include "workspace/workspace.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/formats.hpp"
#include "tolvar/core/history.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

// The tab's own work runs when its output arrives, painted or not: the
// window is asked to repaint only that pane, or everything when the title
// the bar shows changed, and a view on history that was cleared comes back.
TEST(SessionOutput, RepaintsThePaneOrForATitleTheWindowAndSettlesTheView) {
    Rig rig;
    rig.open(2);
    auto& session = static_cast<testing::FakeSession&>(*rig.tab(1).session());
    const auto feed = [&](const std::string& bytes) {
        session.model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
        rig.ws.session_output(session.id());
    };
    feed("first");  // the first look at a model sees its title as new
    rig.window.output_invalidated.clear();
    const int whole = rig.window.invalidates;
    feed("more");
    EXPECT_EQ(rig.window.output_invalidated, std::vector<TabId>{rig.id(1)});
    EXPECT_EQ(rig.window.invalidates, whole);
    feed("\x1b]0;build\x07");
    EXPECT_EQ(rig.window.invalidates, whole + 1);
    EXPECT_EQ(rig.window.output_invalidated.size(), 1u);

    // Scrolled back into history that a reset then cleared.
    feed(std::string(30, '\n'));
    rig.tab(1).scroll().scroll(history_extent(rig.tab(1)), 5);
    ASSERT_FALSE(rig.tab(1).scroll().live());
    feed("\x1b" "c");
    EXPECT_TRUE(rig.tab(1).scroll().live());
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

// A flood outruns the damage record, which then says everything changed,
// the title with it; the title that reads the same repaints the pane alone.
TEST(SessionOutput, AFloodThatOutranTheDamageRecordIsNoTitleChange) {
    Rig rig;
    rig.open(1);
    auto& session = static_cast<testing::FakeSession&>(*rig.tab(0).session());
    const auto feed = [&](const std::string& bytes) {
        session.model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
        rig.ws.session_output(session.id());
    };
    feed("\x1b]0;build\x07");
    const int whole = rig.window.invalidates;
    std::string flood;
    // Scrolls of regions that alternate: more than the record keeps.
    for (int i = 0; i < 200; ++i) flood += i % 2 ? "\x1b[2;10r\x1b[10H\n" : "\x1b[3;12r\x1b[12H\n";
    feed(flood);
    feed("\x1b[?1049h\x1b[?1049l");  // another screen and back: everything again
    EXPECT_EQ(rig.window.invalidates, whole);
    feed("\x1b]0;test\x07");
    EXPECT_EQ(rig.window.invalidates, whole + 1);
}

TEST(OpenTab, DefaultTitlesCountTabsAndRepeatAfterCloses) {
    Rig rig;
    rig.open(3);
    EXPECT_EQ(rig.titles(), (std::vector<std::string>{"Terminal 1", "Terminal 2", "Terminal 3"}));
    rig.ws.close_tab(rig.id(1));
    rig.open();
    EXPECT_EQ(rig.titles(), (std::vector<std::string>{"Terminal 1", "Terminal 3", "Terminal 3"}));
    EXPECT_EQ(rig.state().active(), rig.id(2));
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(OpenTab, AFailedStartAddsNothingAndSaysWhy) {
    Rig rig;
    rig.starter.fail_next = "Cannot start nope.exe: the system cannot find the file specified";
    EXPECT_FALSE(rig.ws.open_tab({}));
    EXPECT_TRUE(rig.state().tabs().empty());
    EXPECT_EQ(rig.window.relayouts, 0);
    EXPECT_EQ(rig.notices(),
              (std::vector<std::string>{
                  "Cannot start nope.exe: the system cannot find the file specified"}));
    EXPECT_GT(rig.window.invalidates, 0);
    ASSERT_TRUE(rig.ws.open_tab({}));
    EXPECT_EQ(rig.tab(0).session()->id(), 2u);
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(OpenTab, RequestFieldsAndFreshRecordIds) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.settings.default_working_dir = core::path_to_utf8(dir.path());
    });
    ASSERT_TRUE(rig.ws.open_tab({3, "pwsh", "Build", std::nullopt, "p-1-0", std::nullopt}));
    const Tab& tab = rig.tab(0);
    EXPECT_EQ(tab.title(), "Build");
    EXPECT_TRUE(tab.custom_title());
    EXPECT_EQ(tab.color(), 3);
    EXPECT_EQ(tab.profile_id(), "p-1-0");
    EXPECT_EQ(tab.record_id().rfind("s-", 0), 0u);
    EXPECT_EQ(rig.starter.commands[0], "pwsh");
    EXPECT_EQ(rig.starter.working_dirs[0], core::path_to_utf8(dir.path()));
    EXPECT_TRUE(rig.notices().empty());
}

// A mistyped default_working_dir used to start every shell elsewhere without
// a word.
TEST(OpenTab, AWorkingDirectoryThatIsNoFolderIsToldAndNotUsed) {
    core::testing::ScratchDir dir;
    Rig rig;
    const std::string missing = core::path_to_utf8(dir / "nope");
    testing::configure(rig.state(),
                       [&](core::LoadedConfig& c) { c.settings.default_working_dir = missing; });
    rig.open(2);
    EXPECT_EQ(rig.starter.working_dirs,
              (std::vector<std::optional<std::string>>{std::nullopt, std::nullopt}));
    ASSERT_EQ(rig.notices().size(), 1u);  // told once while it shows
    EXPECT_NE(rig.notices()[0].find("default_working_dir"), std::string::npos);
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
    ASSERT_EQ(rig.state().groups().size(), 2u);
    EXPECT_EQ(rig.state().groups()[1].name, "Web ");
    EXPECT_EQ(rig.state().active(), rig.id(3));
}

TEST(SetTabGroup, JoinsAfterTheGroupsLastTabAndKeepsTheActiveTab) {
    Rig rig;
    rig.ws.open_tab({.group = "Web"});  // A(Web), B, C(Web), D
    rig.open();
    rig.ws.open_tab({.group = "Web"});
    rig.open();
    AppState& s = rig.state();
    EXPECT_EQ(rig.titles(),
              (std::vector<std::string>{"Terminal 1", "Terminal 3", "Terminal 2", "Terminal 4"}));
    const GroupId web = s.groups()[0].id();
    const TabId b = rig.id(2);
    s.set_active(b);
    s.set_tab_group(rig.id(3), web);
    EXPECT_EQ(rig.titles(),
              (std::vector<std::string>{"Terminal 1", "Terminal 3", "Terminal 4", "Terminal 2"}));
    s.set_tab_group(b, std::nullopt);  // leaving never moves
    EXPECT_EQ(rig.titles().back(), "Terminal 2");
    EXPECT_EQ(s.active(), b);
    s.set_tab_group(b, GroupId{99});  // an unknown group is refused
    EXPECT_FALSE(s.find_tab(b)->group());
}

TEST(SetTabGroup, AloneInItsGroupTheTabStaysWhereItWas) {
    Rig rig;
    rig.open(3);
    rig.state().new_group_for(rig.id(1));
    EXPECT_EQ(rig.titles()[1], "Terminal 2");
    EXPECT_EQ(rig.state().groups().at(0).name, "Group 1");
}

TEST(Groups, ColoursFollowIdsAndIdsAreNeverReused) {
    Rig rig;
    rig.open(1);
    AppState& s = rig.state();
    std::vector<std::uint8_t> colours;
    for (int i = 0; i < 9; ++i)
        colours.push_back(s.find_group(s.new_group_for(rig.id(0)))->color());
    EXPECT_EQ(colours, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 0}));
    ASSERT_EQ(s.groups().size(), 1u);  // each move pruned the group left behind
    EXPECT_EQ(s.groups()[0].id(), GroupId{9});
    EXPECT_EQ(s.groups()[0].name, "Group 9");
}

TEST(Groups, EmptyParentsOfUsedGroupsSurviveAndCyclesAreRefused) {
    Rig rig;
    rig.ws.open_tab({.group = "Outer"});
    rig.ws.open_tab({.group = "Inner"});
    rig.ws.open_tab({.group = "Leaf"});
    AppState& s = rig.state();
    const GroupId outer = s.groups()[0].id();
    const GroupId inner = s.groups()[1].id();
    const GroupId leaf = s.groups()[2].id();
    s.set_group_parent(inner, outer);
    s.set_group_parent(leaf, inner);
    s.set_group_parent(outer, leaf);  // under its own grandchild
    EXPECT_FALSE(s.find_group(outer)->parent());
    s.set_group_parent(outer, outer);
    EXPECT_FALSE(s.find_group(outer)->parent());
    s.set_group_parent(leaf, GroupId{99});  // it would vanish from the browser
    EXPECT_EQ(s.find_group(leaf)->parent(), inner);

    s.toggle_broadcast(outer);
    rig.ws.close_tab(rig.id(0));  // Outer keeps no tab of its own but a nested one
    ASSERT_EQ(s.groups().size(), 3u);
    EXPECT_TRUE(s.broadcasts(outer));
    rig.ws.close_tab(rig.id(0));
    rig.ws.close_tab(rig.id(0));
    EXPECT_TRUE(s.groups().empty());
    EXPECT_FALSE(s.broadcasts(outer));
}

TEST(CloseTab, LastTabOfAGroupTakesTheGroupAndItsBrowseLevels) {
    Rig rig;
    rig.ws.open_tab({.group = "Web"});
    rig.ws.open_tab({});
    AppState& s = rig.state();
    const GroupId web = s.groups().at(0).id();
    s.toggle_broadcast(web);
    s.set_view_mode(ViewMode::BrowseGroups);
    s.enter_group(web);
    s.start_selection({rig.id(1), {0, 0}, {0, 3}});
    s.finish_selection_drag();
    rig.ws.close_tab(rig.id(0));
    EXPECT_TRUE(s.groups().empty());
    EXPECT_FALSE(s.broadcasts(web));
    EXPECT_TRUE(s.browse_path().empty());
    EXPECT_EQ(s.selection().state, SelectionState::None);
    EXPECT_EQ(rig.starter.closed, (std::vector<pty::SessionId>{1}));
}

TEST(CloseTab, TheActivePositionIsKept) {
    Rig rig;
    rig.open(4);
    AppState& s = rig.state();
    s.set_active(rig.id(2));
    rig.ws.close_tab(rig.id(0));
    EXPECT_EQ(s.active_position(), 2u);
    EXPECT_EQ(s.active_tab()->title(), "Terminal 4");
    rig.ws.close_tab(rig.id(2));
    EXPECT_EQ(s.active_position(), 1u);
    rig.ws.close_tab(TabId{77});  // gone already: nothing removed
    EXPECT_EQ(s.tabs().size(), 2u);
    EXPECT_EQ(rig.window.destroyed, 0);
}

TEST(CloseTab, ClosingTheLastTabSavesAnEmptyListThenDestroys) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    rig.open(1);
    EXPECT_EQ(
        core::read_sessions_file(core::platform_file_system(), dir.path()).value()->sessions.size(),
        1u);
    rig.ws.close_tab(rig.id(0));
    EXPECT_EQ(rig.window.destroyed, 1);
    EXPECT_TRUE(core::read_sessions_file(core::platform_file_system(), dir.path())
                    .value()
                    ->sessions.empty());
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(CloseGroup, ClosesOnlyTheGroupsOwnTabsAndSavesOnce) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    rig.ws.open_tab({.group = "A"});
    rig.ws.open_tab({.group = "B"});
    rig.ws.open_tab({.group = "A"});
    rig.ws.open_tab({.group = "A"});
    AppState& s = rig.state();
    s.set_group_parent(s.groups()[1].id(), s.groups()[0].id());
    const int writes = rig.fs.writes;
    rig.ws.close_group(s.groups()[0].id());
    ASSERT_EQ(rig.titles(), (std::vector<std::string>{"Terminal 2"}));
    EXPECT_EQ(rig.fs.writes - writes, 1);  // one temporary file for one save
    EXPECT_EQ(rig.window.destroyed, 0);
}

TEST(ActiveTab, CycleActivateAndUnknownIds) {
    Rig rig;
    rig.open(3);
    AppState& s = rig.state();
    s.set_active(rig.id(2));
    s.cycle_active(false);
    EXPECT_EQ(s.active(), rig.id(0));
    s.cycle_active(true);
    EXPECT_EQ(s.active(), rig.id(2));
    rig.ws.set_active_tab(TabId{55});
    EXPECT_EQ(s.active(), rig.id(2));

    const GroupId g = s.new_group_for(rig.id(1));
    s.find_group(g)->collapsed = true;
    rig.ws.activate_group(g);
    EXPECT_EQ(s.active(), rig.id(1));
    EXPECT_FALSE(s.find_group(g)->collapsed);
}

TEST(ToggleGroups, CollapseRepaintsOnlyBroadcastRelaysOut) {
    Rig rig;
    rig.ws.open_tab({.group = "G"});
    const GroupId g = rig.state().groups()[0].id();
    const int relayouts = rig.window.relayouts;
    rig.ws.toggle_group_collapsed(g);
    EXPECT_TRUE(rig.state().groups()[0].collapsed);
    EXPECT_EQ(rig.window.relayouts, relayouts);
    rig.ws.toggle_group_broadcast(g);
    EXPECT_TRUE(rig.state().broadcasts(g));
    rig.ws.toggle_group_broadcast(g);
    EXPECT_FALSE(rig.state().broadcasts(g));
}

TEST(NewTabInGroup, TheNewTabJoinsEvenWhenAnotherIsActive) {
    Rig rig;
    rig.ws.open_tab({.group = "G"});
    rig.open();
    const GroupId g = rig.state().groups()[0].id();
    rig.ws.new_tab_in_group(g);
    EXPECT_EQ(rig.titles(), (std::vector<std::string>{"Terminal 1", "Terminal 3", "Terminal 2"}));
    EXPECT_EQ(rig.tab(1).group(), g);
    EXPECT_EQ(rig.state().active(), rig.id(1));
}

TEST(Rename, BlankTextKeepsTheTitleAndARenameHidesTheTerminalTitle) {
    Rig rig;
    rig.open(1);
    const Tab& tab = rig.tab(0);
    tab.session()->model().with(
        [](pty::TerminalModel& m) { m.feed("\x1b]0;  remote shell \x07"); });
    EXPECT_EQ(display_title(rig.state(), tab), "remote shell");

    rig.ws.commit_rename(tab.id(), "   ");
    EXPECT_EQ(tab.title(), "Terminal 1");
    EXPECT_FALSE(tab.custom_title());

    rig.ws.commit_rename(tab.id(), " build ");
    EXPECT_EQ(display_title(rig.state(), tab), "build");
}

TEST(DisplayTitle, BroadcastPrefixAndPoisonedModel) {
    Rig rig;
    rig.ws.open_tab({.title = "db", .group = "G"});
    AppState& s = rig.state();
    s.toggle_broadcast(s.groups()[0].id());
    EXPECT_EQ(display_title(s, rig.tab(0)), "\xC2\xBB db");

    rig.ws.open_tab({});
    rig.tab(1).session()->model().poison();
    EXPECT_EQ(display_title(s, rig.tab(1)), "Terminal 2");
}

TEST(Rename, GroupsAndVanishedTargets) {
    Rig rig;
    rig.ws.open_tab({.group = "G"});
    rig.ws.commit_rename(rig.state().groups()[0].id(), "Prod");
    EXPECT_EQ(rig.state().groups()[0].name, "Prod");
    rig.ws.commit_rename(TabId{999}, "x");
    EXPECT_EQ(rig.tab(0).title(), "Terminal 1");
}

TEST(OpenProfile, PlansBecomeTabsOuterClientsOrErrors) {
    Rig rig;
    rig.ws.open_profile({"p-1", "web01", core::Ssh{"web01"}, "Web", 5});
    ASSERT_EQ(rig.state().tabs().size(), 1u);
    const Tab& tab = rig.tab(0);
    EXPECT_EQ(tab.title(), "web01");
    EXPECT_EQ(tab.color(), 5);
    EXPECT_EQ(tab.profile_id(), "p-1");
    EXPECT_EQ(rig.state().groups().at(0).name, "Web");
    EXPECT_EQ(rig.starter.commands[0], "C:\\Windows\\System32\\OpenSSH\\ssh.exe web01");

    rig.ws.open_profile({"p-2", "rdp", core::Rdp{"h"}});
    ASSERT_EQ(rig.externals.started.size(), 1u);
    EXPECT_EQ(rig.externals.started[0].program, "mstsc.exe");
    rig.ws.open_profile({"p-3", "bad", core::Ssh{""}});
    EXPECT_EQ(rig.window.errors,
              (std::vector<std::string>{"Cannot connect: invalid profile: host is empty"}));
    EXPECT_EQ(rig.state().tabs().size(), 1u);
}

TEST(OpenTab, LoadsTheLast500HistoryLinesWhenCompletionIsOn) {
    core::testing::ScratchDir dir;
    for (int i = 0; i < 502; ++i) {
        ASSERT_TRUE(core::append_history_entry(core::platform_file_system(), dir.path(), "s-h",
                                               "cmd " + std::to_string(i), 1));
    }
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    rig.ws.open_tab({.record_id = "s-h"});
    const auto& history = rig.tab(0).typed().history();
    ASSERT_EQ(history.size(), 500u);
    EXPECT_EQ(history.front(), "cmd 2");

    testing::configure(rig.state(),
                       [&](core::LoadedConfig& c) { c.settings.autocomplete_history = false; });
    rig.ws.open_tab({.record_id = "s-h"});
    EXPECT_TRUE(rig.tab(1).typed().history().empty());
}

// The faults pinned: a tab asked for inside another change started its
// child and then dropped it, and a new tab in a group was saved ungrouped.
TEST(StateCell, ATabAskedForInsideAChangeIsAddedRightAfterIt) {
    Rig rig;
    rig.ws.open_tab({.group = "Web"});
    const GroupId web = rig.state().groups()[0].id();
    std::optional<TabId> inner = TabId{99};
    rig.cell.change([&](AppState& state) {
        inner = rig.ws.open_tab({.title = "late"});
        rig.ws.new_tab_in_group(web);
        EXPECT_EQ(state.tabs().size(), 1u);
    });
    EXPECT_EQ(inner, std::nullopt);  // no id yet when it was asked for
    EXPECT_EQ(rig.titles(), (std::vector<std::string>{"Terminal 1", "Terminal 3", "late"}));
    EXPECT_EQ(rig.tab(1).group(), web);
    EXPECT_TRUE(rig.starter.closed.empty());
    EXPECT_EQ(rig.cell.counts().dropped, 0u);
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(StateCell, ReadsNestAndWaitingChangesRunInOrderAfterTheirThen) {
    StateCell cell;
    std::vector<std::string> order;
    cell.change(
        [&](AppState&) {
            cell.change([&](AppState&) { order.push_back("second"); },
                        [&] { order.push_back("second then"); });
            cell.change([&](AppState&) { order.push_back("third"); });
            EXPECT_EQ(cell.read([](const AppState& s) { return s.tabs().size(); }), 0u);
            order.push_back("first");
        },
        [&] {
            EXPECT_FALSE(cell.changing());
            order.push_back("first then");
            // Free again: this one runs at once and gives its result.
            EXPECT_EQ(cell.change([](AppState&) { return 7; }), 7);
        });
    // Each with its then, before the next that waits.
    EXPECT_EQ(order, (std::vector<std::string>{"first", "first then", "second", "second then",
                                               "third"}));
    EXPECT_EQ(cell.counts().changes, 4u);
    EXPECT_EQ(cell.counts().deferred, 2u);
    cell.close();
    cell.change([&](AppState&) { order.push_back("after the end"); });
    EXPECT_EQ(cell.counts().dropped, 1u);
    EXPECT_EQ(order.size(), 5u);
}

}  // namespace
}  // namespace tolvar::app
