#include "workspace/app_state.hpp"

#include <gtest/gtest.h>

#include <random>

#include "workspace/browser.hpp"

namespace tolvar::app {
namespace {

// Every rule AppState owns, checked from the outside.
// `seen` holds every group id handed out so far.
::testing::AssertionResult rules_hold(const AppState& s, const std::set<GroupId>& seen) {
    const auto fail = [](const std::string& what) { return ::testing::AssertionFailure() << what; };
    std::set<TabId> tab_ids;
    for (const Tab& t : s.tabs()) {
        if (!tab_ids.insert(t.id()).second) return fail("two tabs share an id");
        if (t.group() && !s.find_group(*t.group())) return fail("a tab is in a group that is gone");
    }
    if (s.tabs().empty() != (s.active() == TabId{})) return fail("active tab and tabs disagree");
    if (!s.tabs().empty() && !s.find_tab(s.active())) return fail("the active tab is gone");
    std::set<GroupId> needed;
    for (const Tab& t : s.tabs()) {
        for (std::optional<GroupId> g = t.group(); g && needed.insert(*g).second;) {
            const TabGroup* group = s.find_group(*g);
            g = group ? group->parent() : std::nullopt;
        }
    }
    std::set<GroupId> group_ids;
    for (const TabGroup& g : s.groups()) {
        if (!group_ids.insert(g.id()).second) return fail("two groups share an id");
        if (!needed.contains(g.id())) return fail("a group no tab needs survived");
        std::size_t steps = 0;
        for (std::optional<GroupId> up = g.parent(); up; up = s.find_group(*up)->parent()) {
            if (!s.find_group(*up)) return fail("a parent is gone");
            if (++steps > s.groups().size()) return fail("groups nest in a cycle");
        }
    }
    for (const GroupId g : s.browse_path()) {
        if (!s.find_group(g)) return fail("the browse path names a group that is gone");
    }
    for (const GroupId g : seen) {
        if (s.broadcasts(g) && !s.find_group(g)) return fail("a group that is gone broadcasts");
    }
    if (s.view_mode() == ViewMode::BrowseGroups) {
        const std::size_t n = browser_entries(s).size();
        if (n == 0 ? s.tile_selection() != 0 : s.tile_selection() >= n) {
            return fail("the browser selection is past its entries");
        }
    }
    if (s.selection().state != SelectionState::None && !s.find_tab(s.selection().tab)) {
        return fail("the mouse selection is on a tab that is gone");
    }
    if (s.hovered_link() && !s.find_tab(s.hovered_link()->tab)) {
        return fail("the hovered link is on a tab that is gone");
    }
    if (s.find() && !s.find_tab(s.find()->tab))
        return fail("the find box is over a tab that is gone");
    return ::testing::AssertionSuccess();
}

// Random sequences of every change, with ids that exist, ids that are gone
// and ids that never were.
TEST(AppStateRules, HoldAfterEveryChangeOfRandomSequences) {
    std::mt19937 random(20261208);
    const auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    for (int run = 0; run < 300; ++run) {
        AppState s;
        std::set<GroupId> seen;
        const auto any_tab = [&] {
            if (s.tabs().empty() || pick(8) == 0) return TabId{1000 + pick(5)};
            return s.tabs()[pick(s.tabs().size())].id();
        };
        const auto any_group = [&] {
            if (s.groups().empty() || pick(8) == 0) return GroupId{1000 + pick(5)};
            return s.groups()[pick(s.groups().size())].id();
        };
        for (int step = 0; step < 120; ++step) {
            switch (pick(16)) {
                case 0:
                case 1: {
                    Tab tab({.title = "t" + std::to_string(step)});
                    std::optional<std::string> group;
                    if (pick(2)) group = std::string(1, static_cast<char>('a' + pick(4)));
                    s.add_tab(std::move(tab), group);
                    break;
                }
                case 2: {
                    const TabId gone = any_tab();
                    const std::size_t active_at = s.active_position();
                    const std::size_t before = s.tabs().size();
                    const bool removed = s.remove_tab(gone).has_value();
                    ASSERT_EQ(s.tabs().size(), before - (removed ? 1 : 0));
                    if (removed && !s.tabs().empty()) {
                        ASSERT_EQ(s.active_position(), std::min(active_at, s.tabs().size() - 1));
                    }
                    break;
                }
                case 3:
                    s.set_active(any_tab());
                    break;
                case 4:
                    s.cycle_active(pick(2) == 0);
                    break;
                case 5:
                    s.set_tab_group(any_tab(), pick(3) ? std::optional(any_group()) : std::nullopt);
                    break;
                case 6:
                    s.new_group_for(any_tab());
                    break;
                case 7:
                    s.set_group_parent(any_group(),
                                       pick(3) ? std::optional(any_group()) : std::nullopt);
                    break;
                case 8:
                    s.toggle_broadcast(any_group());
                    break;
                case 9:
                    s.activate_first_of(any_group());
                    break;
                case 10:
                    s.set_view_mode(static_cast<ViewMode>(pick(4)));
                    break;
                case 11:
                    s.enter_group(any_group());
                    break;
                case 12:
                    s.leave_group();
                    break;
                case 13:
                    s.select_entry(pick(12));
                    break;
                case 14:  // as a drag starts it: on a tab that is shown
                    if (!s.tabs().empty()) {
                        s.start_selection({s.active(), {0, 0}, {0, 2}});
                        s.finish_selection_drag();
                        s.set_hovered_link({any_tab(), {}, {}});
                        s.open_find();
                    }
                    break;
                case 15: {  // a duplicate, beside a tab or one that closed meanwhile
                    const TabId original = any_tab();
                    const TabId copy = s.insert_tab_after(Tab{}, original);
                    ASSERT_EQ(s.active(), copy);
                    if (const auto at = s.position_of(original)) {
                        ASSERT_EQ(s.position_of(copy), *at + 1);
                        ASSERT_EQ(s.find_tab(copy)->group(), s.find_tab(original)->group());
                    } else {
                        ASSERT_EQ(s.position_of(copy), s.tabs().size() - 1);
                        ASSERT_FALSE(s.find_tab(copy)->group());
                    }
                    break;
                }
            }
            for (const TabGroup& g : s.groups()) seen.insert(g.id());
            ASSERT_TRUE(rules_hold(s, seen)) << "run " << run << ", step " << step;
        }
    }
}

TEST(AppStateRules, IdsAreNeverReused) {
    AppState s;
    const TabId first = s.add_tab({});
    s.remove_tab(first);
    const TabId second = s.add_tab({});
    EXPECT_NE(first, second);
    EXPECT_EQ(s.active(), second);
}

TEST(AppStateRules, EnteringTheBrowserResetsASelectionPastItsEntries) {
    AppState s;
    for (int i = 0; i < 4; ++i) s.add_tab({});
    s.set_view_mode(ViewMode::BrowseGroups);
    s.select_entry(3);
    s.set_view_mode(ViewMode::Single);
    s.remove_tab(s.tabs()[0].id());
    s.remove_tab(s.tabs()[0].id());
    s.set_view_mode(ViewMode::BrowseGroups);
    EXPECT_EQ(s.tile_selection(), 0u);
    s.select_entry(9);  // clamped while browsing
    EXPECT_EQ(s.tile_selection(), 1u);
    s.remove_tab(s.tabs()[1].id());
    EXPECT_EQ(s.tile_selection(), 0u);
}

// Two tabs, the pointer's marks and the find box on the second one.
struct Marked {
    AppState s;
    TabId first = s.add_tab({});
    TabId second = s.add_tab({});  // active
    Marked() {
        s.start_selection({second, {0, 0}, {0, 4}});
        s.finish_selection_drag();
        s.set_hovered_link({second, {{0, 0}, {0, 4}}, "tip"});
        s.open_find();
    }
    bool marks_on(TabId id) const {
        return s.selection().state == SelectionState::Finished && s.selection().tab == id &&
               s.hovered_link() && s.hovered_link()->tab == id;
    }
};

TEST(AppStateMarks, GoWithTheTabTheyAreOn) {
    Marked m;
    ASSERT_TRUE(m.marks_on(m.second));
    ASSERT_TRUE(m.s.find());
    m.s.remove_tab(m.second);
    EXPECT_EQ(m.s.selection().state, SelectionState::None);
    EXPECT_FALSE(m.s.hovered_link());
    EXPECT_FALSE(m.s.find());
}

TEST(AppStateMarks, ClosingAnotherTabEndsOnlyTheSelection) {
    Marked m;
    m.s.remove_tab(m.first);
    EXPECT_EQ(m.s.selection().state, SelectionState::None);
    ASSERT_TRUE(m.s.hovered_link());
    EXPECT_EQ(m.s.hovered_link()->tab, m.second);
    ASSERT_TRUE(m.s.find());
    EXPECT_EQ(m.s.find()->tab, m.second);
}

TEST(AppStateMarks, ARestartOrAFailedTerminalDropsTheMarksOnItsTabAlone) {
    Marked restarted;
    restarted.s.restart_tab(restarted.first, nullptr, "cmd.exe", std::nullopt);
    EXPECT_TRUE(restarted.marks_on(restarted.second));
    restarted.s.restart_tab(restarted.second, nullptr, "cmd.exe", std::nullopt);
    EXPECT_EQ(restarted.s.selection().state, SelectionState::None);
    EXPECT_FALSE(restarted.s.hovered_link());
    EXPECT_TRUE(restarted.s.find());  // it searches the new session

    Marked failed;
    failed.s.end_failed_session(failed.first);
    EXPECT_TRUE(failed.marks_on(failed.second));
    failed.s.end_failed_session(failed.second);
    EXPECT_EQ(failed.s.selection().state, SelectionState::None);
    EXPECT_FALSE(failed.s.hovered_link());
    EXPECT_TRUE(failed.s.find_tab(failed.second)->ended());
}

TEST(AppStateMarks, ATabThatDoesNotExistGetsNone) {
    AppState s;
    const TabId tab = s.add_tab({});
    s.start_selection({TabId{99}, {0, 0}, {0, 4}});
    EXPECT_EQ(s.selection().state, SelectionState::None);
    s.set_hovered_link({tab, {}, {}});
    s.set_hovered_link({TabId{99}, {}, {}});
    EXPECT_FALSE(s.hovered_link());
    s.remove_tab(tab);
    EXPECT_FALSE(s.open_find());
}

TEST(TabChanges, AnEndOrARestartForgetsWhatBelongedToTheOldSession) {
    Tab tab({.title = "Terminal 1", .history = {"make"}});
    tab.typed().set_text("ma");
    tab.typed().suggest(true);
    ASSERT_EQ(tab.typed().suggestion(), "make");
    tab.program_ended(pty::SessionEnd{2});
    EXPECT_EQ(tab.ended(), pty::SessionEnd{2});
    EXPECT_EQ(tab.typed().text(), "");
    EXPECT_EQ(tab.typed().suggestion(), std::nullopt);

    tab.typed().wait_for_echo(SubmittedLine{"make", 0, false});
    EXPECT_EQ(tab.restart(nullptr, "pwsh", std::nullopt), nullptr);
    EXPECT_FALSE(tab.ended());
    EXPECT_FALSE(tab.typed().submitted());
    EXPECT_EQ(tab.command(), "pwsh");
    EXPECT_EQ(tab.typed().history(), (std::vector<std::string>{"make"}));

    EXPECT_FALSE(tab.custom_title());
    tab.rename("Build");
    EXPECT_EQ(tab.title(), "Build");
    EXPECT_TRUE(tab.custom_title());

    const Tab::Dropped dropped = tab.fail();
    EXPECT_EQ(tab.ended(), pty::SessionEnd{});
    EXPECT_FALSE(tab.session());
    EXPECT_FALSE(tab.log());
}

TEST(AppStateConfig, TheAppearanceFollowsTheSettings) {
    AppState s;
    core::LoadedConfig config;
    config.settings.theme.value = core::JsonValue::string("Tango Light");
    config.settings.log_all_sessions.value = core::JsonValue::string("yes");
    const std::vector<std::string> told = s.load_config(config);
    EXPECT_EQ(s.appearance().palette.theme().name, "Tango Light");
    ASSERT_EQ(told.size(), 1u);  // "yes" is not true or false
    EXPECT_FALSE(s.appearance().log_all_sessions);

    core::Settings settings = s.config().settings;
    settings.theme.value = core::JsonValue::string("Solarized Dark");
    s.replace_settings(settings);
    EXPECT_EQ(s.appearance().palette.theme().name, "Solarized Dark");
    settings.theme.value.reset();
    s.replace_settings(settings);
    EXPECT_EQ(s.appearance(), read_appearance(core::fresh_settings()).appearance);
}

}  // namespace
}  // namespace tolvar::app
