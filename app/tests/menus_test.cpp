#include "tolvar/app/menus.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "fixtures.hpp"
#include "test_dirs.hpp"
#include "tolvar/app/themes.hpp"
#include "tolvar/app/workspace.hpp"
#include "tolvar/core/store.hpp"

namespace tolvar::app {
namespace {

using namespace menu_id;
using testing::Rig;

class FakeMenuPort final : public MenuPort {
  public:
    void start_rename(RenameTarget target) override { renames.push_back(target); }
    void show_history_viewer() override { ++histories; }
    void save_output(TabId tab) override { saved.push_back(tab); }
    void invalidate() override { ++invalidates; }
    void show_main_window() override { ++shows; }
    void open_in_shell(const std::string& target) override { opened.push_back(target); }
    void info_box(const std::string& caption, const std::string& text) override {
        boxes.push_back(caption + "|" + text);
    }
    void quit() override { ++quits; }

    std::vector<RenameTarget> renames;
    std::vector<TabId> saved;
    std::vector<std::string> opened;
    std::vector<std::string> boxes;
    int histories = 0, invalidates = 0, shows = 0, quits = 0;
};

// Top-level entries as "text#id", with "*" for a check mark and "---" for a
// separator: compact enough to compare whole menus.
std::vector<std::string> outline(const Menu& menu) {
    std::vector<std::string> out;
    for (const MenuItem& item : menu) {
        if (item.kind == MenuItem::Kind::Separator) {
            out.push_back("---");
        } else if (item.kind == MenuItem::Kind::Submenu) {
            out.push_back(item.text + ">");
        } else {
            out.push_back(item.text + "#" + std::to_string(item.id) + (item.checked ? "*" : ""));
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

TEST(TabMenu, UngroupedTabShowsNoGroupEntries) {
    Rig rig;
    rig.open(2);
    auto menu = tab_menu(rig.state(), rig.id(1));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->subject, rig.id(1));
    EXPECT_EQ(
        outline(menu->items),
        (std::vector<std::string>{"Rename\tCtrl+Shift+R#1", "History\xE2\x80\xA6\tCtrl+Shift+H#14",
                                  "Color>", "Group>", "View>", "Log to file#20", "Restart session#18",
                                  "Duplicate tab#19", "Save output\xE2\x80\xA6#17",
                                  "Clear scrollback#16", "---", "Close\tCtrl+Shift+W#2"}));
    const Menu& colors = submenu(menu->items, "Color");
    ASSERT_EQ(colors.size(), 9u);
    EXPECT_EQ(outline(colors)[0], "Default#100*");
    EXPECT_EQ(outline(colors)[8], "Gray#108");
    EXPECT_EQ(outline(submenu(menu->items, "Group")),
              (std::vector<std::string>{"No group#4*", "---", "New group#3"}));
    EXPECT_EQ(outline(submenu(menu->items, "View")),
              (std::vector<std::string>{"Single#11*", "Tile group\tCtrl+Shift+G#12",
                                        "Tile all\tCtrl+Shift+A#13",
                                        "Browse groups\tCtrl+Shift+Z#15", "---", "Theme>"}));
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
    const auto items = outline(menu->items);
    EXPECT_EQ(
        std::vector<std::string>(items.begin() + 5, items.end()),
        (std::vector<std::string>{
            "New tab in group#7", "Rename group#5", "Expand group\tCtrl+Shift+E#8",
            "Broadcast input to group\tCtrl+Shift+B#6*", "Log to file#20", "Restart session#18", "Duplicate tab#19",
            "Save output\xE2\x80\xA6#17", "Clear scrollback#16", "---", "Close\tCtrl+Shift+W#2"}));
    EXPECT_EQ(outline(submenu(menu->items, "Group")),
              (std::vector<std::string>{"No group#4", "Web#200", "Db#201*", "---", "New group#3"}));
    EXPECT_EQ(outline(submenu(menu->items, "View"))[2], "Tile all\tCtrl+Shift+A#13*");

    rig.state().find_group(db)->collapsed = false;
    EXPECT_EQ(outline(tab_menu(rig.state(), rig.id(1))->items)[7],
              "Collapse group\tCtrl+Shift+E#8");
}

TEST(TabMenu, ColourChoicesAndTheirChecks) {
    Rig rig;
    rig.open();
    FakeMenuPort port;
    auto menu = *tab_menu(rig.state(), rig.id(0));
    run_tab_command(rig.ws, port, menu, 101);  // Red
    EXPECT_EQ(rig.tab(0).color, 0);
    EXPECT_EQ(outline(submenu(tab_menu(rig.state(), rig.id(0))->items, "Color"))[1], "Red#101*");
    run_tab_command(rig.ws, port, menu, 108);
    EXPECT_EQ(rig.tab(0).color, 7);
    run_tab_command(rig.ws, port, menu, 100);
    EXPECT_EQ(rig.tab(0).color, std::nullopt);
    EXPECT_EQ(port.invalidates, 3);
    EXPECT_EQ(rig.window.reentry_refused, 0);

    // A stored index beyond the palette is no colour: "Default" is checked.
    rig.state().find_tab(rig.id(0))->color = 12;
    EXPECT_EQ(outline(submenu(tab_menu(rig.state(), rig.id(0))->items, "Color"))[0],
              "Default#100*");
}

TEST(TabMenu, ChoicesFindTheirSubjectAgain) {
    Rig rig;
    rig.open(3);
    FakeMenuPort port;
    const auto menu = *tab_menu(rig.state(), rig.id(2));
    // Another tab's session ended while the menu was open: positions moved.
    rig.ws.close_tab(rig.id(0));
    run_tab_command(rig.ws, port, menu, 103);
    EXPECT_EQ(rig.tab(1).color, 2);
    EXPECT_EQ(rig.tab(0).color, std::nullopt);

    // The subject itself ended: the choice does nothing.
    rig.ws.close_tab(rig.id(1));
    const int invalidates = port.invalidates;
    run_tab_command(rig.ws, port, menu, k_close);
    run_tab_command(rig.ws, port, menu, k_rename);
    EXPECT_EQ(rig.state().tabs().size(), 1u);
    EXPECT_TRUE(port.renames.empty());
    EXPECT_EQ(port.invalidates, invalidates);

    // Dismissed: nothing at all.
    const auto live = *tab_menu(rig.state(), rig.id(0));
    run_tab_command(rig.ws, port, live, 0);
    EXPECT_EQ(port.invalidates, invalidates);
}

TEST(TabMenu, ClearScrollbackEmptiesOnlyItsTabAndSaveOutputAsksForAFile) {
    Rig rig;
    rig.open(2);
    FakeMenuPort port;
    for (std::size_t i : {0u, 1u}) {
        rig.tab(i).session->model().with([](pty::TerminalModel& m) {
            for (int n = 0; n < 40; ++n) m.feed("line\r\n");
        });
    }
    Tab& tab = rig.tab(1);
    tab.scroll.to_oldest(history_extent(tab));
    run_tab_command(rig.ws, port, *tab_menu(rig.state(), rig.id(1)), k_clear_scrollback);
    EXPECT_EQ(history_extent(tab).kept(), 0u);
    EXPECT_TRUE(tab.scroll.live());
    EXPECT_GT(history_extent(rig.tab(0)).kept(), 0u);
    run_tab_command(rig.ws, port, *tab_menu(rig.state(), rig.id(0)), k_save_output);
    EXPECT_EQ(port.saved, std::vector<TabId>{rig.id(0)});
}

TEST(TabMenu, RestartAndDuplicateActOnTheirSubject) {
    Rig rig;
    rig.ws.open_tab({.command = "pwsh", .group = "Web"});
    rig.open();
    FakeMenuPort port;
    const TabId subject = rig.id(0);
    const pty::SessionId before = rig.tab(0).session->id();
    run_tab_command(rig.ws, port, *tab_menu(rig.state(), subject), k_restart);
    EXPECT_EQ(rig.id(0), subject);
    EXPECT_NE(rig.tab(0).session->id(), before);
    EXPECT_EQ(rig.starter.commands.back(), "pwsh");

    run_tab_command(rig.ws, port, *tab_menu(rig.state(), subject), k_duplicate);
    ASSERT_EQ(rig.state().tabs().size(), 3u);
    EXPECT_EQ(rig.tab(1).command, "pwsh");
    EXPECT_EQ(rig.tab(1).group(), rig.tab(0).group());
    EXPECT_GT(port.invalidates, 0);
}

TEST(TabMenu, GroupEntriesAreHeldByIdNotPosition) {
    Rig rig;
    rig.ws.open_tab({.group = "A"});
    rig.ws.open_tab({.group = "B"});
    rig.open();
    FakeMenuPort port;
    const auto menu = *tab_menu(rig.state(), rig.id(2));
    const GroupId b = rig.state().groups()[1].id();
    // Group A disappears: B is now at position 0, but 201 still means B.
    rig.ws.close_tab(rig.id(0));
    run_tab_command(rig.ws, port, menu, 201);
    EXPECT_EQ(rig.tab(1).group(), b);
    // A group gone by the time of the choice is not joined.
    rig.ws.close_tab(rig.id(0));
    run_tab_command(rig.ws, port, *tab_menu(rig.state(), rig.id(0)), k_no_group);
    run_tab_command(rig.ws, port, menu, 201);
    EXPECT_EQ(rig.tab(0).group(), std::nullopt);
}

TEST(TabMenu, GroupCommandsActOnTheTabsOwnGroup) {
    Rig rig;
    rig.open();
    FakeMenuPort port;
    auto menu = *tab_menu(rig.state(), rig.id(0));
    run_tab_command(rig.ws, port, menu, k_new_group);
    ASSERT_EQ(rig.state().groups().size(), 1u);
    const GroupId g = rig.state().groups()[0].id();
    EXPECT_EQ(rig.state().groups()[0].name, "Group 1");

    menu = *tab_menu(rig.state(), rig.id(0));
    run_tab_command(rig.ws, port, menu, k_broadcast);
    run_tab_command(rig.ws, port, menu, k_collapse_group);
    run_tab_command(rig.ws, port, menu, k_rename_group);
    run_tab_command(rig.ws, port, menu, k_rename);
    run_tab_command(rig.ws, port, menu, k_history);
    run_tab_command(rig.ws, port, menu, k_new_tab_in_group);
    EXPECT_TRUE(rig.state().broadcasts(g));
    EXPECT_TRUE(rig.state().groups()[0].collapsed);
    EXPECT_EQ(port.renames, (std::vector<RenameTarget>{g, menu.subject}));
    EXPECT_EQ(port.histories, 1);
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
    EXPECT_EQ(outline(submenu(menu_a->items, "Move group into")),
              (std::vector<std::string>{"Top level#400*"}));
    auto menu_c = group_menu(n.rig.state(), n.c);
    EXPECT_EQ(outline(submenu(menu_c->items, "Move group into")),
              (std::vector<std::string>{"Top level#400", "A#401", "B#402*"}));
    EXPECT_EQ(
        outline(menu_c->items),
        (std::vector<std::string>{"Expand group\tCtrl+Shift+E#9", "New tab in group#7",
                                  "Rename group#5", "Broadcast input to group\tCtrl+Shift+B#6",
                                  "Move group into>", "View>", "---", "Close group#10"}));
    EXPECT_FALSE(group_menu(n.rig.state(), GroupId{99}));

    FakeMenuPort port;
    run_group_command(n.rig.ws, port, *menu_c, 401);
    EXPECT_EQ(n.rig.state().find_group(n.c)->parent(), n.a);
    run_group_command(n.rig.ws, port, *menu_c, k_top_level);
    EXPECT_EQ(n.rig.state().find_group(n.c)->parent(), std::nullopt);
}

TEST(GroupMenu, TileGroupActivatesTheGroupFirst) {
    Nested n;
    n.rig.ws.set_active_tab(n.rig.id(2));
    FakeMenuPort port;
    run_group_command(n.rig.ws, port, *group_menu(n.rig.state(), n.a), k_view_tile_group);
    EXPECT_EQ(n.rig.state().active(), n.rig.id(0));
    EXPECT_EQ(n.rig.state().view_mode(), ViewMode::TileGroup);
    // The other views leave the active tab alone.
    run_group_command(n.rig.ws, port, *group_menu(n.rig.state(), n.c), k_view_browse);
    EXPECT_EQ(n.rig.state().active(), n.rig.id(0));
    EXPECT_EQ(n.rig.state().view_mode(), ViewMode::BrowseGroups);

    run_group_command(n.rig.ws, port, *group_menu(n.rig.state(), n.c), k_close_group);
    EXPECT_EQ(n.rig.state().tabs().size(), 2u);
    EXPECT_FALSE(n.rig.state().find_group(n.c));
    EXPECT_EQ(n.rig.window.reentry_refused, 0);
}

TEST(ThemeMenu, ListsTheSchemesWithTheOneInUseChecked) {
    Rig rig;
    rig.open();
    const std::vector<std::string> fresh{
        "Default#900*",       "Solarized Dark#901", "Solarized Light#902", "One Half Dark#903",
        "One Half Light#904", "Tango Dark#905",     "Tango Light#906"};
    EXPECT_EQ(outline(submenu(submenu(tab_menu(rig.state(), rig.id(0))->items, "View"), "Theme")),
              fresh);
    rig.state().appearance.palette = Palette(*find_theme("Tango Light"));
    const Menu themes = submenu(view_menu(ViewMode::Single, "Tango Light"), "Theme");
    EXPECT_EQ(outline(themes)[0], "Default#900");
    EXPECT_EQ(outline(themes)[6], "Tango Light#906*");
    const GroupId g = rig.state().new_group_for(rig.id(0));
    EXPECT_EQ(outline(submenu(submenu(group_menu(rig.state(), g)->items, "View"), "Theme"))[6],
              "Tango Light#906*");
}

// Choosing a scheme writes "theme" and nothing else new, repaints, and keeps
// the user's own colours on top of the new scheme.
TEST(ThemeMenu, AChoiceIsAppliedSavedAndRepainted) {
    core::testing::ScratchDir dir;
    Rig rig;
    rig.open();
    rig.state().config.data_dir = dir.path();
    rig.state().config.settings = core::fresh_settings();
    FakeMenuPort port;
    run_tab_command(rig.ws, port, *tab_menu(rig.state(), rig.id(0)), k_theme_first + 2);
    EXPECT_EQ(port.invalidates, 1);
    EXPECT_EQ(rig.state().appearance.palette.theme(), *find_theme("Solarized Light"));
    std::string expected = std::string(core::testing::k_fresh_settings_text);
    expected.insert(expected.size() - 2, ",\n  \"theme\": \"Solarized Light\"");
    EXPECT_EQ(core::testing::read_all(dir / "settings.json"), expected);

    rig.state().config.settings.colors.value = core::parse_json(R"({"background":"#202020"})").root;
    const GroupId g = rig.state().new_group_for(rig.id(0));
    run_group_command(rig.ws, port, *group_menu(rig.state(), g), k_theme_first + 3);
    EXPECT_EQ(port.invalidates, 2);
    const Theme& now = rig.state().appearance.palette.theme();
    EXPECT_EQ(now.name, "One Half Dark");
    EXPECT_EQ(now.background, (Rgb{0x20, 0x20, 0x20}));
    EXPECT_EQ(now.foreground, find_theme("One Half Dark")->foreground);
    auto saved = core::read_settings_file(core::platform_file_system(), dir.path());
    ASSERT_TRUE(saved && *saved);
    EXPECT_EQ((*saved)->theme.value->text, "One Half Dark");
    EXPECT_EQ((*saved)->colors, rig.state().config.settings.colors);
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(TrayMenu, TogglesAreCheckedAndSavedAtOnce) {
    core::testing::ScratchDir dir;
    Rig rig;
    rig.state().config.data_dir = dir.path();
    rig.state().config.settings.close_to_tray = true;
    rig.state().config.settings.track_history = false;
    EXPECT_EQ(outline(tray_menu(rig.state().config.settings)),
              (std::vector<std::string>{
                  "Show tolvar#1000", "---", "Close to tray#1001*",
                  "Restore previous sessions on start#1003", "Track command history#1006", "---",
                  "Check for updates\xE2\x80\xA6#1007", "Open settings folder#1008",
                  "Open logs folder#1010", "Remote bridge\xE2\x80\xA6#1009", "---", "Quit#1002"}));

    FakeMenuPort port;
    run_tray_command(rig.ws, port, k_track_history);
    EXPECT_EQ(outline(tray_menu(rig.state().config.settings))[4], "Track command history#1006*");
    auto saved = core::read_settings_file(core::platform_file_system(), dir.path());
    ASSERT_TRUE(saved && *saved);
    EXPECT_TRUE((*saved)->track_history);
    EXPECT_TRUE((*saved)->close_to_tray);

    run_tray_command(rig.ws, port, k_close_to_tray);
    saved = core::read_settings_file(core::platform_file_system(), dir.path());
    EXPECT_FALSE((*saved)->close_to_tray);

    run_tray_command(rig.ws, port, k_settings_folder);
    run_tray_command(rig.ws, port, k_check_updates);
    EXPECT_EQ(port.opened,
              (std::vector<std::string>{core::path_to_utf8(dir.path()), k_product_page}));
}

TEST(TrayMenu, WithoutADataDirectoryNothingIsWrittenOrOpened) {
    Rig rig;
    FakeMenuPort port;
    run_tray_command(rig.ws, port, k_restore_sessions);
    EXPECT_TRUE(rig.state().config.settings.restore_sessions_on_start !=
                core::fresh_settings().restore_sessions_on_start);
    run_tray_command(rig.ws, port, k_settings_folder);
    EXPECT_TRUE(port.opened.empty());
}

TEST(TrayMenu, RemoteBridgeBox) {
    Rig rig;
    FakeMenuPort port;
    rig.state().config.settings.remote.bind_addr = "127.0.0.1:9";
    run_tray_command(rig.ws, port, k_remote_bridge);
    ASSERT_EQ(port.boxes.size(), 1u);
    EXPECT_EQ(port.boxes[0],
              "Remote bridge|The remote bridge is off. Turn it on in settings.json (\"remote\": "
              "{ \"enabled\": true }) to pair a phone on your LAN.\n\nListen address: "
              "127.0.0.1:9\nControl allowed: false");
    rig.state().config.settings.remote.enabled = true;
    EXPECT_EQ(remote_bridge_text(rig.state().config.settings.remote).find("enabled"), 21u);
}

}  // namespace
}  // namespace tolvar::app
