#include "commands/commands.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "commands/menus.hpp"
#include "fakes.hpp"
#include "input/key_routing.hpp"
#include "view/help.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

constexpr Modifiers k_ctrl{.ctrl = true};
constexpr Modifiers k_shift{.shift = true};
constexpr Modifiers k_ctrl_shift{.ctrl = true, .shift = true};
constexpr Modifiers k_alt{.alt = true};

// Two groups, the second nested in the first, an ungrouped tab, a profile,
// an alias and a quick key of each kind: every command has a subject.
struct Rich {
    Rig rig;
    std::vector<proto::SshConfigHost> hosts{{"db", "db.example", std::nullopt, "22"}};
    Rich() {
        rig.ws.open_tab({.group = "Web"});
        rig.ws.open_tab({.group = "Db"});
        rig.ws.open_tab({.title = "loose"});
        rig.state().set_group_parent(rig.state().groups()[1].id(), rig.state().groups()[0].id());
        core::ConnectionProfile profile;
        profile.id = "p1";
        profile.name = "web";
        profile.kind = core::LocalShell{"cmd.exe"};
        testing::configure(rig.state(), [&](core::LoadedConfig& c) {
            c.profiles.push_back(profile);
            c.aliases.push_back({"ll", "ls -l", true});
        });
        for (const core::QuickAction& action :
             std::vector<core::QuickAction>{core::SendText{"uptime\r"}, core::RunAlias{"ll"},
                                            core::OpenProfile{"p1"}, core::RenameTab{},
                                            core::ShowHelp{}}) {
            testing::configure(rig.state(), [&](core::LoadedConfig& c) {
                c.quick_keys.push_back({"ctrl+shift+F5", action});
            });
        }
        rig.ws.set_active_tab(rig.id(0));
    }
    std::vector<Command> palette() { return palette_commands(rig.state(), hosts); }
};

std::optional<Command> key_command(const AppState& state, VirtualKey key, Modifiers m) {
    const KeyAction action = key_action(state, route_key_down(state, key, m), key, m);
    if (const auto* command = std::get_if<Command>(&action)) return *command;
    return std::nullopt;
}

bool contains(const std::vector<Command>& commands, const Command& command) {
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

// Every key chord the help screen names runs a command, and that command is
// one the palette offers under that chord; the rows without a chord are the
// mouse's and the Tab key's, which are typing.
TEST(Commands, EveryChordOfTheHelpScreenRunsAPaletteCommand) {
    Rich r;
    const AppState& state = r.rig.state();
    const TabId active = state.active();
    const GroupId web = *state.active_tab()->group();
    struct Chord {
        VirtualKey key;
        Modifiers modifiers;
        Command command;
    };
    const std::vector<std::pair<std::string, std::vector<Chord>>> table{
        {"Alt+Arrows",
         {{vk::k_left, k_alt, cmd::MoveFocus{-1, 0}},
          {vk::k_right, k_alt, cmd::MoveFocus{1, 0}},
          {vk::k_up, k_alt, cmd::MoveFocus{0, -1}},
          {vk::k_down, k_alt, cmd::MoveFocus{0, 1}}}},
        {"Ctrl+Shift+Z", {{vk::letter('Z'), k_ctrl_shift, cmd::ToggleView{ViewMode::BrowseGroups}}}},
        {"Ctrl+T / Ctrl+W",
         {{vk::letter('T'), k_ctrl, cmd::NewTab{}}, {vk::letter('W'), k_ctrl, cmd::CloseTab{active}}}},
        {"Ctrl+N", {{vk::letter('N'), k_ctrl, cmd::NewWindow{}}}},
        {"Ctrl+Tab / Ctrl+Shift+Tab",
         {{vk::k_tab, k_ctrl, cmd::CycleTab{false}}, {vk::k_tab, k_ctrl_shift, cmd::CycleTab{true}}}},
        {"Ctrl+1..9",
         {{vk::letter('1'), k_ctrl, cmd::GoToTab{r.rig.id(0)}},
          {vk::letter('3'), k_ctrl, cmd::GoToTab{r.rig.id(2)}}}},
        {"Ctrl+Shift+R", {{vk::letter('R'), k_ctrl_shift, cmd::RenameTab{active}}}},
        {"Ctrl+Shift+O", {{vk::letter('O'), k_ctrl_shift, cmd::ConnectionManager{}}}},
        {"Ctrl+Shift+P", {{vk::letter('P'), k_ctrl_shift, cmd::QuickConnect{}}}},
        {"Ctrl+Shift+H", {{vk::letter('H'), k_ctrl_shift, cmd::ShowHistory{}}}},
        {"Tab", {}},
        {"Ctrl+Shift+B", {{vk::letter('B'), k_ctrl_shift, cmd::ToggleBroadcast{web}}}},
        {"Ctrl+Shift+G / Ctrl+Shift+A",
         {{vk::letter('G'), k_ctrl_shift, cmd::ToggleView{ViewMode::TileGroup}},
          {vk::letter('A'), k_ctrl_shift, cmd::ToggleView{ViewMode::TileAll}}}},
        {"Ctrl+Shift+E", {{vk::letter('E'), k_ctrl_shift, cmd::ToggleCollapsed{web}}}},
        {"Shift+PgUp / Shift+PgDn",
         {{vk::k_prior, k_shift, cmd::Scroll{active, cmd::ScrollBy::PageBack}},
          {vk::k_next, k_shift, cmd::Scroll{active, cmd::ScrollBy::PageForward}}}},
        {"Ctrl+Shift+Up / Down",
         {{vk::k_up, k_ctrl_shift, cmd::Scroll{active, cmd::ScrollBy::LineBack}},
          {vk::k_down, k_ctrl_shift, cmd::Scroll{active, cmd::ScrollBy::LineForward}},
          {vk::k_home, k_ctrl_shift, cmd::Scroll{active, cmd::ScrollBy::Oldest}},
          {vk::k_end, k_ctrl_shift, cmd::Scroll{active, cmd::ScrollBy::Live}}}},
        {"Ctrl+Shift+F", {{vk::letter('F'), k_ctrl_shift, cmd::Find{}}}},
        {"Ctrl+Ins / Ctrl+Shift+C",
         {{vk::k_insert, k_ctrl, cmd::CopyScreen{active}},
          {vk::letter('C'), k_ctrl_shift, cmd::CopySelection{}}}},
        {"Shift+Ins / Ctrl+Shift+V",
         {{vk::k_insert, k_shift, cmd::Paste{}},
          {vk::letter('V'), k_ctrl_shift, cmd::Paste{}},
          {vk::k_insert, k_ctrl_shift, cmd::Paste{}}}},
        {"Drag / right-click", {}},
        {"Double / triple-click", {}},
        {"Shift+click / Alt+drag", {}},
        {"Ctrl+Shift+Space", {{vk::k_space, k_ctrl_shift, cmd::CommandPalette{}}}},
        {"Ctrl+F1", {{vk::k_f1, k_ctrl, cmd::ToggleHelp{}}}},
    };
    std::vector<std::string> rows;
    for (const HelpRow& row : help_rows("")) rows.emplace_back(row.key);
    std::vector<std::string> covered;
    for (const auto& [text, chords] : table) covered.push_back(text);
    // A new row of the help screen needs its chords here.
    ASSERT_EQ(rows, covered);

    std::vector<Command> palette = r.palette();
    // The palette's own chord is the one it does not list.
    palette.push_back(cmd::CommandPalette{});
    for (const auto& [text, chords] : table) {
        for (const Chord& chord : chords) {
            const std::optional<Command> got = key_command(state, chord.key, chord.modifiers);
            ASSERT_TRUE(got) << text;
            EXPECT_EQ(*got, chord.command) << text << ": " << command_name(state, *got);
            EXPECT_TRUE(contains(palette, *got)) << command_name(state, *got);
        }
    }
    EXPECT_EQ(command_chord(cmd::CommandPalette{}), "Ctrl+Shift+Space");
}

// Every item of the tab, group and tray menus carries a command the palette
// offers too, and every quick-key action is a command.
TEST(Commands, EveryMenuItemAndQuickKeyIsAPaletteCommand) {
    Rich r;
    AppState& state = r.rig.state();
    const TabId active = state.active();
    const GroupId web = *state.active_tab()->group();
    const std::vector<Command> palette = r.palette();
    std::set<std::string> missing;
    const auto check = [&](const Menu& menu) {
        for (const MenuItem* item : menu_commands(menu)) {
            ASSERT_TRUE(item->command) << item->text;
            if (!contains(palette, *item->command)) missing.insert(item->text);
        }
    };
    check(*tab_menu(state, active));
    check(*group_menu(state, web));
    check(tray_menu(state.config().settings));
    // What the menus offer that changes nothing, which the palette leaves
    // out: the tab's own group, and the top level for a group already there.
    EXPECT_EQ(missing, (std::set<std::string>{"Web", "Top level"}));

    for (const core::QuickKey& key : state.config().quick_keys) {
        const std::optional<Command> command = quick_key_command(state, key.action);
        ASSERT_TRUE(command);
        EXPECT_TRUE(contains(palette, *command)) << command_name(state, *command);
    }
}

// Every kind of command can be reached from the palette, but the palette
// itself and a link.
TEST(Commands, EveryKindOfCommandIsInThePalette) {
    Rich r;
    r.rig.state().set_view_mode(ViewMode::BrowseGroups);
    // A nested group offers the way back to the top level.
    r.rig.ws.set_active_tab(r.rig.id(1));
    std::set<std::size_t> kinds;
    for (const Command& c : r.palette()) kinds.insert(c.index());
    std::vector<std::size_t> absent;
    for (std::size_t i = 0; i < std::variant_size_v<Command>; ++i) {
        if (!kinds.contains(i)) absent.push_back(i);
    }
    EXPECT_EQ(absent, (std::vector<std::size_t>{Command(cmd::OpenLink{}).index(),
                                                Command(cmd::CommandPalette{}).index()}));
}

TEST(Commands, NamesSayWhatTheyActOn) {
    Rich r;
    const AppState& state = r.rig.state();
    EXPECT_EQ(command_name(state, cmd::GoToTab{r.rig.id(2)}), "Go to tab: loose");
    EXPECT_EQ(command_name(state, cmd::OpenProfile{"p1"}), "Open profile: web");
    EXPECT_EQ(command_name(state, cmd::OpenSshHost{"db"}), "Open SSH host: db");
    EXPECT_EQ(command_name(state, cmd::DuplicateTab{r.rig.id(0)}), "Duplicate tab");
    EXPECT_EQ(command_name(state, cmd::ToggleBroadcast{*state.active_tab()->group()}),
              "Broadcast input to group: Web");
    // A subject that is gone reads as the bare action.
    EXPECT_EQ(command_name(state, cmd::GoToTab{TabId{99}}), "Go to tab");
    // No two palette entries read alike.
    std::set<std::string> names;
    for (const Command& c : r.palette()) {
        EXPECT_TRUE(names.insert(command_name(state, c)).second) << command_name(state, c);
    }
}

// ------------------------------------------------------------ nesting

// What the rules promise, after every change.
void expect_invariants(const AppState& s) {
    if (!s.tabs().empty()) {
        EXPECT_TRUE(s.find_tab(s.active()));
    } else {
        EXPECT_EQ(s.active(), TabId{});
    }
    std::set<GroupId> used;
    for (const Tab& t : s.tabs()) {
        if (!t.group()) continue;
        EXPECT_TRUE(s.find_group(*t.group()));
        used.insert(*t.group());
    }
    // A group's tabs stay together.
    for (const GroupId g : used) {
        std::size_t first = s.tabs().size(), last = 0, count = 0;
        for (std::size_t i = 0; i < s.tabs().size(); ++i) {
            if (s.tabs()[i].group() != g) continue;
            first = std::min(first, i);
            last = i;
            ++count;
        }
        EXPECT_EQ(last - first + 1, count);
    }
    for (const TabGroup& g : s.groups()) {
        int steps = 0;
        for (std::optional<GroupId> walk = g.parent(); walk && steps < 64; ++steps) {
            EXPECT_NE(*walk, g.id());
            const TabGroup* up = s.find_group(*walk);
            ASSERT_TRUE(up);
            walk = up->parent();
        }
        EXPECT_LT(steps, 64);
        EXPECT_TRUE(!s.broadcasts(g.id()) || s.find_group(g.id()));
    }
    for (const GroupId g : s.browse_path()) EXPECT_TRUE(s.find_group(g));
    if (s.selection().state != SelectionState::None) {
        EXPECT_TRUE(s.find_tab(s.selection().tab));
    }
    if (s.find()) {
        EXPECT_TRUE(s.find_tab(s.find()->tab));
    }
}

// What a run of commands leaves, compared between a run done plainly and the
// same run with commands asked for inside changes.
std::string snapshot(const Rig& rig) {
    const AppState& s = const_cast<Rig&>(rig).state();
    std::string out = std::to_string(static_cast<int>(s.view_mode())) + "|" +
                      std::to_string(s.active_position()) + "|" +
                      std::to_string(s.tile_selection()) + "|" + (s.help_visible() ? "h" : "") +
                      s.config().settings.theme.value.value_or(core::JsonValue{}).text + "|";
    for (const Tab& t : s.tabs()) {
        out += t.title() + "#" + std::to_string(t.color().value_or(99)) + "@";
        if (t.group()) {
            const TabGroup* g = s.find_group(*t.group());
            out += g->name + (g->collapsed ? "-" : "") + (s.broadcasts(g->id()) ? "!" : "");
            if (g->parent()) out += "<" + s.find_group(*g->parent())->name;
        }
        out += t.scroll().live() ? "" : "^";
        out += ";";
    }
    return out;
}

// Commands are skipped that only reach the window or quit it.
bool runnable(const Command& c) {
    return !std::holds_alternative<cmd::Quit>(c) && !std::holds_alternative<cmd::NewWindow>(c) &&
           !std::holds_alternative<cmd::OpenSettingsFolder>(c) &&
           !std::holds_alternative<cmd::OpenLogsFolder>(c);
}

TEST(Commands, RandomRunsAskedForInsideOtherChangesLoseNothing) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        Rich plain;
        Rich nested;
        std::mt19937 pick(seed);
        for (int step = 0; step < 60; ++step) {
            std::vector<Command> offered = plain.palette();
            std::erase_if(offered, [](const Command& c) { return !runnable(c); });
            ASSERT_EQ(offered, [&] {
                auto n = nested.palette();
                std::erase_if(n, [](const Command& c) { return !runnable(c); });
                return n;
            }()) << "seed " << seed << " step " << step;
            if (offered.empty()) break;
            const Command command = offered[pick() % offered.size()];
            const unsigned how = pick() % 3;
            plain.rig.commands.execute(command);
            if (how == 0) {
                nested.rig.commands.execute(command);
            } else if (how == 1) {
                // A window message handled while a change holds the state.
                nested.rig.cell.change([&](AppState&) { nested.rig.commands.execute(command); });
            } else {
                // Two at once: the second waits behind the first.
                nested.rig.cell.change([&](AppState&) {
                    nested.rig.commands.execute(command);
                    nested.rig.commands.execute(cmd::ToggleHelp{});
                });
                plain.rig.commands.execute(cmd::ToggleHelp{});
            }
            ASSERT_FALSE(nested.rig.cell.changing());
            expect_invariants(nested.rig.state());
            ASSERT_EQ(snapshot(plain.rig), snapshot(nested.rig))
                << "seed " << seed << " step " << step << ": "
                << command_name(plain.rig.state(), command);
        }
        EXPECT_EQ(nested.rig.cell.counts().dropped, 0u);
        EXPECT_GT(nested.rig.cell.counts().deferred, 0u);
        EXPECT_EQ(nested.rig.window.reentry_refused, 0) << seed;
        EXPECT_EQ(nested.rig.port.reentry_refused, 0) << seed;
    }
}

}  // namespace
}  // namespace tolvar::app
