#include "commands/menus.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "fixtures.hpp"
#include "look/themes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/store.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

// Top-level entries as their text, with "*" for a check mark and "---" for a
// separator: compact enough to compare whole menus.
std::vector<std::string> outline(const Menu& menu) {
    std::vector<std::string> out;
    for (const MenuItem& item : menu) {
        if (item.kind == MenuItem::Kind::Separator) {
            out.push_back("---");
        } else if (item.kind == MenuItem::Kind::Submenu) {
            out.push_back(item.text + ">");
        } else {
            out.push_back(item.text + (item.checked ? "*" : ""));
        }
    }
    return out;
}

const Menu& submenu(const Menu& menu, std::string_view text) {
    for (const MenuItem& item : menu) {
        if (item.kind == MenuItem::Kind::Submenu && item.text == text) return item.items;
    }
    static const Menu none;
    ADD_FAILURE() << "no submenu " << text;
    return none;
}

// Runs the item at `path`, as a click on it does: "Color/Red", each step an
// item's text up to its tab.
void choose(Rig& rig, const Menu& menu, std::string_view path) {
    const Menu* level = &menu;
    for (;;) {
        const std::size_t slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        const MenuItem* found = nullptr;
        for (const MenuItem& item : *level) {
            if (std::string_view(item.text).substr(0, item.text.find('\t')) == name) found = &item;
        }
        if (!found) {
            ADD_FAILURE() << "no item " << name;
            return;
        }
        if (slash == std::string_view::npos) {
            ASSERT_TRUE(found->command) << name;
            rig.commands.execute(*found->command);
            return;
        }
        level = &found->items;
        path.remove_prefix(slash + 1);
    }
}

TEST(TabMenu, UngroupedTabShowsNoGroupEntries) {
    Rig rig;
    rig.open(2);
    auto menu = tab_menu(rig.state(), rig.id(1));
    ASSERT_TRUE(menu);
    EXPECT_EQ(
        outline(menu.value()),
        (std::vector<std::string>{"Rename\tCtrl+Shift+R", "History\xE2\x80\xA6\tCtrl+Shift+H",
                                  "Color>", "Group>", "View>", "Log to file", "Restart session",
                                  "Duplicate tab", "Save output\xE2\x80\xA6",
                                  "Clear scrollback", "---", "Close\tCtrl+Shift+W"}));
    const Menu& colors = submenu(menu.value(), "Color");
    ASSERT_EQ(colors.size(), 9u);
    EXPECT_EQ(outline(colors)[0], "Default*");
    EXPECT_EQ(outline(colors)[8], "Gray");
    EXPECT_EQ(outline(submenu(menu.value(), "Group")),
              (std::vector<std::string>{"No group*", "---", "New group"}));
    EXPECT_EQ(outline(submenu(menu.value(), "View")),
              (std::vector<std::string>{"Single*", "Tile group\tCtrl+Shift+G",
                                        "Tile all\tCtrl+Shift+A",
                                        "Browse groups\tCtrl+Shift+Z", "---", "Theme>"}));
    EXPECT_FALSE(tab_menu(rig.state(), TabId{77}));
}

TEST(TabMenu, GroupedTabInACollapsedBroadcastingGroup) {
    Rig rig;
    rig.ws.open_tab({.group = "Web"});
    rig.ws.open_tab({.group = "Db"});
    const GroupId db = rig.state().groups()[1].id();
    rig.state().find_group(db)->collapsed = true;
    rig.state().toggle_broadcast(db);
    rig.state().set_view_mode(ViewMode::TileAll);

    auto menu = tab_menu(rig.state(), rig.id(1));
    ASSERT_TRUE(menu);
    const auto items = outline(menu.value());
    EXPECT_EQ(
        std::vector<std::string>(items.begin() + 5, items.end()),
        (std::vector<std::string>{
            "New tab in group", "Rename group", "Expand group\tCtrl+Shift+E",
            "Broadcast input to group\tCtrl+Shift+B*", "Log to file", "Restart session", "Duplicate tab",
            "Save output\xE2\x80\xA6", "Clear scrollback", "---", "Close\tCtrl+Shift+W"}));
    EXPECT_EQ(outline(submenu(menu.value(), "Group")),
              (std::vector<std::string>{"No group", "Web", "Db*", "---", "New group"}));
    EXPECT_EQ(outline(submenu(menu.value(), "View"))[2], "Tile all\tCtrl+Shift+A*");

    rig.state().find_group(db)->collapsed = false;
    EXPECT_EQ(outline(tab_menu(rig.state(), rig.id(1)).value())[7],
              "Collapse group\tCtrl+Shift+E");
}

TEST(TabMenu, ColourChoicesAndTheirChecks) {
    Rig rig;
    rig.open();
    const int repaints = rig.window.invalidates;
    auto menu = *tab_menu(rig.state(), rig.id(0));
    choose(rig, menu, "Color/Red");
    EXPECT_EQ(rig.tab(0).color(), 0);
    EXPECT_EQ(outline(submenu(tab_menu(rig.state(), rig.id(0)).value(), "Color"))[1], "Red*");
    choose(rig, menu, "Color/Gray");
    EXPECT_EQ(rig.tab(0).color(), 7);
    choose(rig, menu, "Color/Default");
    EXPECT_EQ(rig.tab(0).color(), std::nullopt);
    EXPECT_EQ(rig.window.invalidates, repaints + 3);
    EXPECT_EQ(rig.window.reentry_refused, 0);

    // A stored index beyond the palette is no colour: "Default" is checked.
    rig.state().find_tab(rig.id(0))->set_color(12);
    EXPECT_EQ(outline(submenu(tab_menu(rig.state(), rig.id(0)).value(), "Color"))[0],
              "Default*");
}

TEST(TabMenu, ChoicesFindTheirSubjectAgain) {
    Rig rig;
    rig.open(3);
    const auto menu = *tab_menu(rig.state(), rig.id(2));
    // Another tab's session ended while the menu was open: positions moved.
    rig.ws.close_tab(rig.id(0));
    choose(rig, menu, "Color/Yellow");
    EXPECT_EQ(rig.tab(1).color(), 2);
    EXPECT_EQ(rig.tab(0).color(), std::nullopt);

    // The subject itself ended: the choice does nothing.
    rig.ws.close_tab(rig.id(1));
    const int invalidates = rig.window.invalidates;
    choose(rig, menu, "Close");
    choose(rig, menu, "Rename");
    EXPECT_EQ(rig.state().tabs().size(), 1u);
    EXPECT_TRUE(rig.port.renames.empty());
    EXPECT_EQ(rig.window.invalidates, invalidates);

}

TEST(TabMenu, ClearScrollbackEmptiesOnlyItsTabAndSaveOutputAsksForAFile) {
    Rig rig;
    rig.open(2);
    for (std::size_t i : {0u, 1u}) {
        rig.tab(i).session()->model().with([](pty::TerminalModel& m) {
            for (int n = 0; n < 40; ++n) m.feed("line\r\n");
        });
    }
    Tab& tab = rig.tab(1);
    tab.scroll().to_oldest(history_extent(tab));
    choose(rig, *tab_menu(rig.state(), rig.id(1)), "Clear scrollback");
    EXPECT_EQ(history_extent(tab).kept(), 0u);
    EXPECT_TRUE(tab.scroll().live());
    EXPECT_GT(history_extent(rig.tab(0)).kept(), 0u);
    choose(rig, *tab_menu(rig.state(), rig.id(0)), "Save output\xE2\x80\xA6");
    EXPECT_EQ(rig.port.saved, std::vector<TabId>{rig.id(0)});
}

TEST(TabMenu, RestartAndDuplicateActOnTheirSubject) {
    Rig rig;
    rig.ws.open_tab({.command = "pwsh", .group = "Web"});
    rig.open();
    const TabId subject = rig.id(0);
    const pty::SessionId before = rig.tab(0).session()->id();
    choose(rig, *tab_menu(rig.state(), subject), "Restart session");
    EXPECT_EQ(rig.id(0), subject);
    EXPECT_NE(rig.tab(0).session()->id(), before);
    EXPECT_EQ(rig.starter.commands.back(), "pwsh");

    choose(rig, *tab_menu(rig.state(), subject), "Duplicate tab");
    ASSERT_EQ(rig.state().tabs().size(), 3u);
    EXPECT_EQ(rig.tab(1).command(), "pwsh");
    EXPECT_EQ(rig.tab(1).group(), rig.tab(0).group());
    EXPECT_GT(rig.window.invalidates, 0);
}

TEST(TabMenu, GroupEntriesAreHeldByIdNotPosition) {
    Rig rig;
    rig.ws.open_tab({.group = "A"});
    rig.ws.open_tab({.group = "B"});
    rig.open();
    const auto menu = *tab_menu(rig.state(), rig.id(2));
    const GroupId b = rig.state().groups()[1].id();
    // Group A disappears: B is now at position 0, but 201 still means B.
    rig.ws.close_tab(rig.id(0));
    choose(rig, menu, "Group/B");
    EXPECT_EQ(rig.tab(1).group(), b);
    // A group gone by the time of the choice is not joined.
    rig.ws.close_tab(rig.id(0));
    choose(rig, *tab_menu(rig.state(), rig.id(0)), "Group/No group");
    choose(rig, menu, "Group/B");
    EXPECT_EQ(rig.tab(0).group(), std::nullopt);
}

TEST(TabMenu, GroupCommandsActOnTheTabsOwnGroup) {
    Rig rig;
    rig.open();
    auto menu = *tab_menu(rig.state(), rig.id(0));
    choose(rig, menu, "Group/New group");
    ASSERT_EQ(rig.state().groups().size(), 1u);
    const GroupId g = rig.state().groups()[0].id();
    EXPECT_EQ(rig.state().groups()[0].name, "Group 1");

    menu = *tab_menu(rig.state(), rig.id(0));
    choose(rig, menu, "Broadcast input to group");
    choose(rig, menu, "Collapse group");
    choose(rig, menu, "Rename group");
    choose(rig, menu, "Rename");
    choose(rig, menu, "History\xE2\x80\xA6");
    choose(rig, menu, "New tab in group");
    EXPECT_TRUE(rig.state().broadcasts(g));
    EXPECT_TRUE(rig.state().groups()[0].collapsed);
    EXPECT_EQ(rig.port.renames, (std::vector<RenameTarget>{g, rig.id(0)}));
    EXPECT_EQ(rig.port.dialogs, std::vector<std::string>{"history"});
    ASSERT_EQ(rig.state().tabs().size(), 2u);
    EXPECT_EQ(rig.tab(1).group(), g);
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

struct Nested {
    Rig rig;
    GroupId a, b, c;
    Nested() {
        rig.ws.open_tab({.group = "A"});
        rig.ws.open_tab({.group = "B"});
        rig.ws.open_tab({.group = "C"});
        a = rig.state().groups()[0].id();
        b = rig.state().groups()[1].id();
        c = rig.state().groups()[2].id();
        rig.state().set_group_parent(b, a);
        rig.state().set_group_parent(c, b);
    }
};

TEST(MenuLabel, AmpersandsOfGroupNamesStayVisible) {
    EXPECT_EQ(menu_label("R&D"), "R&&D");
    EXPECT_EQ(menu_label("&&x&"), "&&&&x&&");
    EXPECT_EQ(menu_label("Tile group\tCtrl+Shift+G"), "Tile group\tCtrl+Shift+G");
}

TEST(GroupMenu, MoveIntoNeverOffersTheGroupOrItsDescendants) {
    Nested n;
    auto menu_a = group_menu(n.rig.state(), n.a);
    ASSERT_TRUE(menu_a);
    EXPECT_EQ(outline(submenu(menu_a.value(), "Move group into")),
              (std::vector<std::string>{"Top level*"}));
    auto menu_c = group_menu(n.rig.state(), n.c);
    EXPECT_EQ(outline(submenu(menu_c.value(), "Move group into")),
              (std::vector<std::string>{"Top level", "A", "B*"}));
    EXPECT_EQ(
        outline(menu_c.value()),
        (std::vector<std::string>{"Expand group\tCtrl+Shift+E", "New tab in group",
                                  "Rename group", "Broadcast input to group\tCtrl+Shift+B",
                                  "Move group into>", "View>", "---", "Close group"}));
    EXPECT_FALSE(group_menu(n.rig.state(), GroupId{99}));

    choose(n.rig, *menu_c, "Move group into/A");
    EXPECT_EQ(n.rig.state().find_group(n.c)->parent(), n.a);
    choose(n.rig, *menu_c, "Move group into/Top level");
    EXPECT_EQ(n.rig.state().find_group(n.c)->parent(), std::nullopt);
}

TEST(GroupMenu, TileGroupActivatesTheGroupFirst) {
    Nested n;
    n.rig.ws.set_active_tab(n.rig.id(2));
    choose(n.rig, *group_menu(n.rig.state(), n.a), "View/Tile group");
    EXPECT_EQ(n.rig.state().active(), n.rig.id(0));
    EXPECT_EQ(n.rig.state().view_mode(), ViewMode::TileGroup);
    // The other views leave the active tab alone.
    choose(n.rig, *group_menu(n.rig.state(), n.c), "View/Browse groups");
    EXPECT_EQ(n.rig.state().active(), n.rig.id(0));
    EXPECT_EQ(n.rig.state().view_mode(), ViewMode::BrowseGroups);

    choose(n.rig, *group_menu(n.rig.state(), n.c), "Close group");
    EXPECT_EQ(n.rig.state().tabs().size(), 2u);
    EXPECT_FALSE(n.rig.state().find_group(n.c));
    EXPECT_EQ(n.rig.port.reentry_refused + n.rig.window.reentry_refused, 0);
}

TEST(ThemeMenu, ListsTheSchemesWithTheOneInUseChecked) {
    Rig rig;
    rig.open();
    const std::vector<std::string> fresh{
        "Default*",       "Solarized Dark", "Solarized Light", "One Half Dark",
        "One Half Light", "Tango Dark",     "Tango Light"};
    EXPECT_EQ(outline(submenu(submenu(tab_menu(rig.state(), rig.id(0)).value(), "View"), "Theme")),
              fresh);
    testing::configure(rig.state(), [](core::LoadedConfig& c) {
        c.settings.theme.value = core::JsonValue::string("Tango Light");
    });
    const Menu themes = submenu(view_menu(ViewMode::Single, "Tango Light", std::nullopt), "Theme");
    EXPECT_EQ(outline(themes)[0], "Default");
    EXPECT_EQ(outline(themes)[6], "Tango Light*");
    const GroupId g = rig.state().new_group_for(rig.id(0));
    EXPECT_EQ(outline(submenu(submenu(group_menu(rig.state(), g).value(), "View"), "Theme"))[6],
              "Tango Light*");
}

// Choosing a scheme writes "theme" and nothing else new, repaints, and keeps
// the user's own colours on top of the new scheme.
TEST(ThemeMenu, AChoiceIsAppliedSavedAndRepainted) {
    core::testing::ScratchDir dir;
    Rig rig;
    rig.open();
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.data_dir = dir.path();
        c.settings = core::fresh_settings();
    });
    const int repaints = rig.window.invalidates;
    choose(rig, *tab_menu(rig.state(), rig.id(0)), "View/Theme/Solarized Light");
    EXPECT_EQ(rig.window.invalidates, repaints + 1);
    EXPECT_EQ(rig.state().appearance().palette.theme(), *find_theme("Solarized Light"));
    std::string expected = std::string(core::testing::k_fresh_settings_text);
    expected.insert(expected.size() - 2, ",\n  \"theme\": \"Solarized Light\"");
    EXPECT_EQ(core::testing::read_all(dir / "settings.json"), expected);

    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.settings.colors.value = core::parse_json(R"({"background":"#202020"})").root;
    });
    const GroupId g = rig.state().new_group_for(rig.id(0));
    choose(rig, *group_menu(rig.state(), g), "View/Theme/One Half Dark");
    EXPECT_EQ(rig.window.invalidates, repaints + 2);
    const Theme& now = rig.state().appearance().palette.theme();
    EXPECT_EQ(now.name, "One Half Dark");
    EXPECT_EQ(now.background, (Rgb{0x20, 0x20, 0x20}));
    EXPECT_EQ(now.foreground, find_theme("One Half Dark")->foreground);
    auto saved = core::read_settings_file(core::platform_file_system(), dir.path());
    ASSERT_TRUE(saved && *saved);
    EXPECT_EQ((*saved)->theme.value->text, "One Half Dark");
    EXPECT_EQ((*saved)->colors, rig.state().config().settings.colors);
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(TrayMenu, TogglesAreCheckedAndSavedAtOnce) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.data_dir = dir.path();
        c.settings.close_to_tray = true;
        c.settings.track_history = false;
    });
    EXPECT_EQ(
        outline(tray_menu(rig.state().config().settings)),
        (std::vector<std::string>{"Show tolvar", "---", "Close to tray*",
                                  "Restore previous sessions on start", "Track command history",
                                  "---", "Check for updates\xE2\x80\xA6", "Open settings folder",
                                  "Open logs folder", "Remote bridge\xE2\x80\xA6", "---", "Quit"}));

    choose(rig, tray_menu(rig.state().config().settings), "Track command history");
    EXPECT_EQ(outline(tray_menu(rig.state().config().settings))[4], "Track command history*");
    auto saved = core::read_settings_file(core::platform_file_system(), dir.path());
    ASSERT_TRUE(saved && *saved);
    EXPECT_TRUE((*saved)->track_history);
    EXPECT_TRUE((*saved)->close_to_tray);

    choose(rig, tray_menu(rig.state().config().settings), "Close to tray");
    saved = core::read_settings_file(core::platform_file_system(), dir.path());
    EXPECT_FALSE((*saved)->close_to_tray);

    choose(rig, tray_menu(rig.state().config().settings), "Open settings folder");
    choose(rig, tray_menu(rig.state().config().settings), "Check for updates\xE2\x80\xA6");
    EXPECT_EQ(rig.port.opened,
              (std::vector<std::string>{core::path_to_utf8(dir.path()), k_product_page}));
}

TEST(TrayMenu, WithoutADataDirectoryNothingIsWrittenOrOpened) {
    Rig rig;
    choose(rig, tray_menu(rig.state().config().settings), "Restore previous sessions on start");
    EXPECT_TRUE(rig.state().config().settings.restore_sessions_on_start !=
                core::fresh_settings().restore_sessions_on_start);
    choose(rig, tray_menu(rig.state().config().settings), "Open settings folder");
    EXPECT_TRUE(rig.port.opened.empty());
}

TEST(TrayMenu, RemoteBridgeBox) {
    Rig rig;
    testing::configure(rig.state(),
                       [&](core::LoadedConfig& c) { c.settings.remote.bind_addr = "127.0.0.1:9"; });
    choose(rig, tray_menu(rig.state().config().settings), "Remote bridge\xE2\x80\xA6");
    ASSERT_EQ(rig.port.boxes.size(), 1u);
    EXPECT_EQ(rig.port.boxes[0],
              "Remote bridge|The remote bridge is off. Turn it on in settings.json (\"remote\": "
              "{ \"enabled\": true }) to pair a phone on your LAN.\n\nListen address: "
              "127.0.0.1:9\nControl allowed: false");
    testing::configure(rig.state(),
                       [&](core::LoadedConfig& c) { c.settings.remote.enabled = true; });
    EXPECT_EQ(remote_bridge_text(rig.state().config().settings.remote).find("enabled"), 21u);
}

}  // namespace
}  // namespace tolvar::app
