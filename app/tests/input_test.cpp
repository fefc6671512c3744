#include "input/input.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/history.hpp"

namespace tolvar::app {
namespace {

using Lines = std::vector<std::string>;

constexpr Modifiers k_none{};
constexpr Modifiers k_ctrl{.ctrl = true};
constexpr Modifiers k_shift{.shift = true};
constexpr Modifiers k_ctrl_shift{.ctrl = true, .shift = true};

struct Input : ::testing::Test {
    testing::Rig rig;
    testing::FakeCommandPort& port = rig.port;
    InputController input{rig.ws, rig.commands, rig.fs};

    Input() { rig.open(); }
    ~Input() override {
        EXPECT_EQ(rig.window.reentry_refused, 0);
        EXPECT_EQ(port.reentry_refused, 0);
    }

    AppState& state() { return rig.state(); }
    Tab& tab(std::size_t i = 0) { return rig.tab(i); }
    std::string& written(std::size_t i = 0) {
        return static_cast<testing::FakeSession&>(*tab(i).session()).written;
    }
    void type(std::u16string_view text, Modifiers m = k_none) {
        for (char16_t unit : text) input.character(unit, m);
    }
    void press(VirtualKey key, Modifiers m = k_none) { input.key_down(key, m); }
    void alias(std::string name, std::string expansion, bool enter) {
        testing::configure(state(), [&](core::LoadedConfig& c) {
            c.aliases.push_back({std::move(name), std::move(expansion), enter});
        });
    }
    // The tab's session echoes what it is sent, as a shell's prompt does.
    void echo(std::size_t i = 0) {
        static_cast<testing::FakeSession&>(*tab(i).session()).echo = true;
    }
    // The output notice of the tab's session.
    void output(std::size_t i = 0) { rig.ws.session_output(tab(i).session()->id()); }
    void feed(std::string_view bytes, std::size_t i = 0) {
        tab(i).session()->model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
    }
};

// ------------------------------------------------------------ typing

TEST_F(Input, TypedTextIsTrackedRecordedThenSent) {
    echo();
    type(u"echo hi\r");
    EXPECT_EQ(written(), "echo hi\r");
    EXPECT_EQ(tab().typed().history(), (Lines{"echo hi"}));
    EXPECT_EQ(tab().typed().text(), "");
}

TEST_F(Input, BackspaceAndControlCharacters) {
    type(u"ab\b");  // Windows' Backspace character
    EXPECT_EQ(written(), "ab\x7f");
    EXPECT_EQ(tab().typed().text(), "a");
    type(u"\x7f", k_ctrl);  // Windows' Ctrl+Backspace
    EXPECT_EQ(written(), "ab\x7f\x08");
    type(u"xyz");
    type(u"\x03", k_ctrl);
    EXPECT_EQ(tab().typed().text(), "");
    type(u"\x03", k_ctrl_shift);
    EXPECT_EQ(written(), "ab\x7f\x08xyz\x03");
    type(u"\r");
    EXPECT_TRUE(tab().typed().history().empty());
}

TEST_F(Input, SurrogatePairsAreSentAsOneCharacter) {
    type(u"\xD83D");
    EXPECT_EQ(written(), "");
    type(u"\xDE00");
    EXPECT_EQ(written(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(tab().typed().text(), "\xF0\x9F\x98\x80");
}

TEST_F(Input, TypingEndsTheMouseSelection) {
    state().start_selection({tab().id(), {0, 0}, {0, 2}});
    state().finish_selection_drag();
    const int before = rig.window.invalidates;
    type(u"a");
    EXPECT_EQ(state().selection().state, SelectionState::None);
    EXPECT_GT(rig.window.invalidates, before);
}

TEST_F(Input, ChromeTabKeysDecideWhetherCtrlTReachesTheShell) {
    press(vk::letter('T'), k_ctrl);
    type(u"\x14", k_ctrl);
    EXPECT_EQ(state().tabs().size(), 2u);
    EXPECT_EQ(written(0) + written(1), "");

    testing::configure(state(),
                       [&](core::LoadedConfig& c) { c.settings.keys.chrome_tab_keys = false; });
    press(vk::letter('T'), k_ctrl);
    type(u"\x14", k_ctrl);
    EXPECT_EQ(state().tabs().size(), 2u);
    EXPECT_EQ(written(1), "\x14");
    press(vk::letter('T'), k_ctrl_shift);
    EXPECT_EQ(state().tabs().size(), 3u);
}

TEST_F(Input, KeysFromTheTableReachTheSessionWhateverItsModes) {
    feed("\x1b[?1h");  // application cursor keys
    press(vk::k_up);
    press(vk::k_f1 + 4);
    press(vk::k_tab, k_shift);
    type(u"\t", k_shift);
    press(vk::letter('A'));  // its character comes as WM_CHAR
    EXPECT_EQ(written(), "\x1b[A\x1b[15~\x1b[Z");
}

TEST_F(Input, BroadcastingGroupsReceiveEveryKeystroke) {
    rig.open(3);
    const TabId second = rig.id(1);
    const GroupId web = state().new_group_for(rig.id(0));
    for (std::size_t i : {2, 3}) state().set_tab_group(rig.id(i), web);
    state().set_active(rig.id(0));  // tabs are now 0, 2, 3 in Web, then 1 alone
    ASSERT_EQ(rig.id(3), second);
    rig.ws.toggle_group_broadcast(web);
    echo();
    type(u"ls\r");
    press(vk::k_up);
    for (std::size_t i : {0, 1, 2}) EXPECT_EQ(written(i), "ls\r\x1b[A") << i;
    EXPECT_EQ(written(3), "");
    // Only the active tab tracks and records.
    EXPECT_EQ(tab(0).typed().history(), (Lines{"ls"}));
    EXPECT_TRUE(tab(1).typed().history().empty());
}

// ------------------------------------------------------------ a tab whose program ended

TEST_F(Input, AnEndedTabSendsNothingAnywhereAndTracksNothing) {
    rig.open(2);
    const GroupId web = state().new_group_for(rig.id(0));
    for (std::size_t i : {1, 2}) state().set_tab_group(rig.id(i), web);
    state().set_active(rig.id(1));
    rig.ws.toggle_group_broadcast(web);
    rig.ws.session_ended(tab(1).session()->id(), pty::SessionEnd{3});
    ASSERT_TRUE(tab(1).ended());
    testing::configure(state(), [&](core::LoadedConfig& c) {
        c.quick_keys.push_back({"Ctrl+Shift+F9", core::SendText{"deploy\r"}});
    });
    port.clipboard = "rm -rf build\n";

    type(u"ls\tx");
    press(vk::k_up);
    press(vk::k_f1 + 8, k_ctrl_shift);  // the quick key
    rig.commands.execute(cmd::Paste{});
    type(u"\x7f");
    for (std::size_t i : {0, 1, 2}) EXPECT_EQ(written(i), "") << i;
    EXPECT_TRUE(tab(1).typed().history().empty());
    EXPECT_EQ(tab(1).typed().text(), "");

    // From a live tab of the group, the ended one is left out.
    state().set_active(rig.id(0));
    type(u"pwd\r");
    EXPECT_EQ(written(0), "pwd\r");
    EXPECT_EQ(written(1), "");
    EXPECT_EQ(written(2), "pwd\r");
}

TEST_F(Input, EnterRestartsAnEndedTabAndEscClosesIt) {
    rig.open();
    const TabId first = rig.id(0);
    rig.ws.session_ended(tab(0).session()->id(), pty::SessionEnd{3});
    const pty::SessionId ended_session = tab(0).session()->id();
    state().set_active(first);
    type(u"\r", k_shift);  // modifiers do not matter to Enter but Ctrl and Alt
    ASSERT_EQ(rig.id(0), first);
    EXPECT_FALSE(tab(0).ended());
    EXPECT_NE(tab(0).session()->id(), ended_session);
    type(u"dir\r");
    EXPECT_EQ(written(0), "dir\r") << "the new session takes input";

    rig.ws.session_ended(tab(1).session()->id(), pty::SessionEnd{1});
    state().set_active(rig.id(1));
    type(u"\x1b");
    ASSERT_EQ(state().tabs().size(), 1u);
    EXPECT_EQ(rig.id(0), first);
    // Esc on a live tab is the shell's.
    type(u"\x1b");
    EXPECT_EQ(written(0), "dir\r\x1b");
}

// ------------------------------------------------------------ Tab: aliases and completion

TEST_F(Input, AliasExpandsOnTabReplacingItsNameAndRecordsTheLine) {
    alias("gs", "git status", true);
    echo();
    type(u"sudo gs\t");
    EXPECT_EQ(written(), "sudo gs\x7f\x7fgit status\r");
    EXPECT_EQ(tab().typed().text(), "");
    // Sent with its Enter: recorded once its echo arrives.
    EXPECT_TRUE(tab().typed().history().empty());
    output();
    EXPECT_EQ(tab().typed().history(), (Lines{"sudo git status"}));
}

TEST_F(Input, AliasWithoutEnterLeavesTheExpandedLine) {
    alias("\xC3\xA9t", "etcd", false);  // two characters, three bytes: two DELs
    alias("ll", "first", false);
    alias("ll", "second", false);
    type(u"\u00E9t\t");
    EXPECT_EQ(written(),
              "\xC3\xA9t\x7f\x7f"
              "etcd");
    EXPECT_EQ(tab().typed().text(), "etcd");
    type(u" ll\t");
    EXPECT_EQ(tab().typed().text(), "etcd first");
    EXPECT_TRUE(tab().typed().history().empty());
}

TEST_F(Input, TabWithoutAnAliasCompletesThenSendsATab) {
    alias("gs", "git status", true);
    echo();
    tab().typed() = TypedLine({"git status", "git stash"});
    type(u"gs \t");  // the line ends in white space: no alias
    EXPECT_EQ(written(), "gs \t");
    written().clear();
    type(u"\x03", k_ctrl);
    type(u"git st\t");
    EXPECT_EQ(written(), "\x03git stash");
    EXPECT_EQ(tab().typed().text(), "git stash");
    type(u"\t");
    EXPECT_EQ(written(), "\x03git stash\t");
}

TEST_F(Input, AliasTriggerOffGoesToCompletion) {
    testing::configure(state(),
                       [&](core::LoadedConfig& c) { c.settings.alias_trigger_tab = false; });
    alias("gs", "git status", true);
    echo();
    tab().typed() = TypedLine({"gs -v"});
    type(u"gs\t");
    EXPECT_EQ(written(), "gs -v");
}

// ------------------------------------------------------------ paste and copy

TEST_F(Input, PasteTurnsLineEndsIntoCarriageReturns) {
    port.clipboard = "a\r\nb\nc\r\r\n";
    press(vk::k_insert, k_shift);
    EXPECT_EQ(written(), "a\rb\rc\r\r");
    EXPECT_EQ(tab().typed().text(), "");  // paste is not tracked
}

TEST_F(Input, BracketedPasteWrapsAndCannotBeClosedEarly) {
    feed("\x1b[?2004h");
    port.clipboard = "a\r\nb\nc";
    rig.commands.execute(cmd::Paste{});
    EXPECT_EQ(written(), "\x1b[200~a\rb\rc\x1b[201~");
    written().clear();
    // The fault pinned: an end marker inside the text ended the bracket and
    // ran the rest as typed commands. Removing one may form another.
    port.clipboard = "x\x1b[201~rm -rf ~\n\x1b[20\x1b[201~1~y";
    rig.commands.execute(cmd::Paste{});
    EXPECT_EQ(written(), "\x1b[200~xrm -rf ~\ry\x1b[201~");
    EXPECT_EQ(paste_bytes("\x1b[201~", false), "\x1b[201~");  // only brackets are guarded
}

TEST_F(Input, ABroadcastPasteIsBracketedAsEachTabAsked) {
    rig.open(1);
    const GroupId web = state().new_group_for(rig.id(0));
    state().set_tab_group(rig.id(1), web);
    state().set_active(rig.id(0));
    rig.ws.toggle_group_broadcast(web);
    feed("\x1b[?2004h", 1);  // only the background tab asked
    port.clipboard = "a\nb";
    rig.commands.execute(cmd::Paste{});
    EXPECT_EQ(written(0), "a\rb");
    EXPECT_EQ(written(1), "\x1b[200~a\rb\x1b[201~");
}

TEST_F(Input, PasteWithAnEmptyClipboardSendsNothing) {
    port.clipboard.reset();
    press(vk::k_insert, k_ctrl_shift);
    EXPECT_EQ(written(), "");
}

TEST_F(Input, CopyScreenTrimsTheEndAndSkipsBlankScreens) {
    press(vk::k_insert, k_ctrl);
    EXPECT_TRUE(port.copied.empty());
    feed("one\r\n  two \t \r\n\r\n");
    press(vk::k_insert, k_ctrl);
    EXPECT_EQ(port.copied, (Lines{"one\n  two"}));
}

TEST_F(Input, CtrlShiftCCopiesTheSelectionAndCtrlShiftVPastes) {
    feed("alpha beta\r\ngamma");
    press(vk::letter('C'), k_ctrl_shift);  // no selection: nothing, not the screen
    EXPECT_TRUE(port.copied.empty());
    state().start_selection({tab().id(), {0, 6}, {1, 2}});
    state().finish_selection_drag();
    press(vk::letter('C'), k_ctrl_shift);
    EXPECT_EQ(port.copied, (Lines{"beta\ngam"}));
    EXPECT_EQ(written(), "");
    // The same on the alternate screen, which has no selection keys of its own.
    feed("\x1b[?1049h");
    port.clipboard = "x\ny";
    press(vk::letter('V'), k_ctrl_shift);
    EXPECT_EQ(written(), "x\ry");
}

// ------------------------------------------------------------ scrolling back

// 100 numbered lines on a 24-row screen: 77 of them in history.
std::uint64_t offset(const Tab& tab) {
    return tab.scroll().offset(history_extent(tab));
}

TEST_F(Input, ViewKeysScrollWithoutSendingAndTypingReturnsToLive) {
    for (int i = 0; i < 100; ++i) feed("L" + std::to_string(i) + "\r\n");
    press(vk::k_prior, k_shift);
    EXPECT_EQ(offset(tab()), 24u);
    press(vk::k_up, k_ctrl_shift);
    EXPECT_EQ(offset(tab()), 25u);
    press(vk::k_down, k_ctrl_shift);
    press(vk::k_home, k_ctrl_shift);
    EXPECT_EQ(offset(tab()), 77u);
    press(vk::k_prior, k_shift);  // clamped at the oldest line
    EXPECT_EQ(offset(tab()), 77u);
    press(vk::k_next, k_shift);
    EXPECT_EQ(offset(tab()), 53u);
    EXPECT_EQ(written(), "");
    type(u"x");
    EXPECT_TRUE(tab().scroll().live());
    EXPECT_EQ(written(), "x");
    press(vk::k_home, k_ctrl_shift);
    press(vk::k_end, k_ctrl_shift);
    EXPECT_TRUE(tab().scroll().live());
}

TEST_F(Input, TheWheelScrollsItsPaneOrSendsCursorKeysOnTheAlternateScreen) {
    rig.open();
    state().set_active(rig.id(0));
    for (int i = 0; i < 100; ++i) feed("L\r\n", 1);
    input.wheel(rig.id(1), 120, 3);  // the pane under the pointer, not the active one
    EXPECT_EQ(offset(tab(1)), 3u);
    EXPECT_TRUE(tab(0).scroll().live());
    input.wheel(rig.id(1), -60, 3);  // half a notch is a line and a half: one now
    EXPECT_EQ(offset(tab(1)), 2u);
    input.wheel(rig.id(1), -60, 3);
    EXPECT_TRUE(tab(1).scroll().live());
    input.wheel(rig.id(1), 120, WheelAccumulator::k_page);
    EXPECT_EQ(offset(tab(1)), 24u);
    EXPECT_EQ(written(1), "");

    feed("\x1b[?1049h", 1);
    input.wheel(rig.id(1), 120, 3);
    EXPECT_EQ(written(1), "\x1b[A\x1b[A\x1b[A");
    feed("\x1b[?1h", 1);  // application cursor keys
    written(1).clear();
    input.wheel(rig.id(1), -120, 1);  // three a notch whatever the setting
    EXPECT_EQ(written(1), "\x1bOB\x1bOB\x1bOB");
    feed("\x1b[?1049l", 1);
    EXPECT_EQ(offset(tab(1)), 24u);  // the place in history was kept
}

// ------------------------------------------------------------ quick keys

TEST_F(Input, QuickKeysSendRecordAndReportDeletedTargets) {
    testing::configure(state(), [](core::LoadedConfig& c) {
        auto& keys = c.quick_keys;
        keys.push_back({"ctrl+shift+1", core::SendText{"uptime"}});
        keys.push_back({"ctrl+shift+2", core::RunAlias{"gone"}});
        keys.push_back({"ctrl+shift+3", core::RunAlias{"gs"}});
        keys.push_back({"ctrl+shift+4", core::OpenProfile{"p-gone"}});
        keys.push_back({"ctrl+shift+5", core::OpenProfile{"p-1"}});
        keys.push_back({"alt+h", core::ShowHelp{}});
        keys.push_back({"ctrl+alt+r", core::RenameTab{}});
    });
    alias("gs", "git status", true);
    testing::configure(state(), [&](core::LoadedConfig& c) {
        c.profiles.push_back({"p-1", "box", core::LocalShell{"pwsh"}});
    });

    echo();
    press('1', k_ctrl_shift);
    EXPECT_EQ(written(), "uptime");
    output();
    EXPECT_EQ(tab().typed().history(), (Lines{"uptime"}));
    press('2', k_ctrl_shift);
    EXPECT_EQ(rig.window.errors, (Lines{"Quick key points to a deleted alias"}));
    press('3', k_ctrl_shift);
    EXPECT_EQ(written(), "uptimegit status\r");
    output();
    EXPECT_EQ(tab().typed().history(), (Lines{"uptime", "git status"}));
    press('4', k_ctrl_shift);
    EXPECT_EQ(rig.window.errors.back(), "Quick key points to a deleted profile");
    press('5', k_ctrl_shift);
    ASSERT_EQ(state().tabs().size(), 2u);
    EXPECT_EQ(tab(1).title(), "box");
    // Windows reports Alt+letter as a system key; its character follows as
    // a system character, which the quick key takes too.
    EXPECT_TRUE(input.system_key_down(vk::letter('H'), {.alt = true}));
    EXPECT_TRUE(state().help_visible());
    EXPECT_TRUE(input.system_character());
    EXPECT_FALSE(input.system_character());
    press(vk::letter('R'), {.ctrl = true, .alt = true});
    EXPECT_EQ(port.renames, (std::vector<RenameTarget>{tab(1).id()}));
}

// Pins a fault: a Ctrl+letter quick key also sent the control character
// Windows makes of the same key press, so "ctrl+d" ended the shell.
TEST_F(Input, AQuickKeysOwnCharacterNeverReachesTheShell) {
    testing::configure(state(), [&](core::LoadedConfig& c) {
        c.quick_keys.push_back({"ctrl+d", core::SendText{"date\r"}});
    });
    press(vk::letter('D'), k_ctrl);
    type(u"\x04", k_ctrl);
    EXPECT_EQ(written(), "date\r");
    // Only that one character: the next key press types as usual.
    press(vk::letter('D'), k_ctrl);
    press(vk::letter('X'), k_ctrl);
    type(u"\x18", k_ctrl);
    EXPECT_EQ(written(), "date\rdate\r\x18");
    press(vk::letter('A'));
    type(u"a");
    EXPECT_EQ(written(), std::string("date\rdate\r\x18") + "a");
}

// ------------------------------------------------------------ shortcuts

TEST_F(Input, HelpTogglesAndEscapeClosesItWithoutSending) {
    press(vk::k_f1, k_ctrl);
    EXPECT_TRUE(state().help_visible());
    type(u"\x1b");
    EXPECT_FALSE(state().help_visible());
    EXPECT_EQ(written(), "");
    type(u"\x1b");
    EXPECT_EQ(written(), "\x1b");
}

TEST_F(Input, ViewModeToggles) {
    press(vk::letter('G'), k_ctrl_shift);
    EXPECT_EQ(state().view_mode(), ViewMode::TileGroup);
    press(vk::letter('G'), k_ctrl_shift);
    EXPECT_EQ(state().view_mode(), ViewMode::Single);
    press(vk::letter('G'), k_ctrl_shift);
    press(vk::letter('A'), k_ctrl_shift);
    EXPECT_EQ(state().view_mode(), ViewMode::TileAll);
    press(vk::letter('Z'), k_ctrl_shift);
    EXPECT_EQ(state().view_mode(), ViewMode::BrowseGroups);
    type(u"x");
    EXPECT_EQ(written(), "");  // the browser takes no characters
    press(vk::letter('Z'), k_ctrl_shift);
    EXPECT_EQ(state().view_mode(), ViewMode::Single);
}

TEST_F(Input, TabSwitchingAndClosing) {
    rig.open(2);
    press('5', k_ctrl);  // past the last tab
    EXPECT_EQ(state().active_position(), 2u);
    press('1', k_ctrl);
    EXPECT_EQ(state().active_position(), 0u);
    press(vk::k_tab, k_ctrl_shift);
    EXPECT_EQ(state().active_position(), 2u);
    press(vk::k_tab, k_ctrl);
    EXPECT_EQ(state().active_position(), 0u);
    press(vk::letter('W'), k_ctrl_shift);
    EXPECT_EQ(state().tabs().size(), 2u);
    EXPECT_EQ(rig.window.destroyed, 0);
}

TEST_F(Input, GroupShortcutsNeedAGroup) {
    press(vk::letter('B'), k_ctrl_shift);
    press(vk::letter('E'), k_ctrl_shift);
    EXPECT_TRUE(state().groups().empty());
    const GroupId id = state().new_group_for(rig.id(0));
    press(vk::letter('B'), k_ctrl_shift);
    press(vk::letter('E'), k_ctrl_shift);
    EXPECT_TRUE(state().broadcasts(id));
    EXPECT_TRUE(state().find_group(id)->collapsed);
}

TEST_F(Input, WindowAndDialogShortcutsGoToTheirEntryPoints) {
    press(vk::letter('N'), k_ctrl);
    type(u"\x0e", k_ctrl);
    press(vk::letter('O'), k_ctrl_shift);
    press(vk::letter('P'), k_ctrl_shift);
    press(vk::letter('H'), k_ctrl_shift);
    press(vk::letter('R'), k_ctrl_shift);
    EXPECT_EQ(port.new_windows, 1);
    EXPECT_EQ(port.dialogs, (Lines{"connections", "quick connect", "history"}));
    EXPECT_EQ(port.renames, (std::vector<RenameTarget>{tab().id()}));
    EXPECT_EQ(written(), "");
}

TEST_F(Input, NavigationArrowsWrapInSingleViewAndMoveOnTheGrid) {
    rig.open(2);
    press(vk::k_right, {.alt = true});
    EXPECT_EQ(state().active_position(), 0u);  // from the last of three to the first
    press(vk::k_left, {.alt = true});
    EXPECT_EQ(state().active_position(), 2u);
    press(vk::k_up, {.alt = true});
    EXPECT_EQ(state().active_position(), 2u);
    EXPECT_EQ(written(2), "");

    rig.open(2);  // five tabs on a 3 x 2 grid, the fifth active
    press(vk::letter('A'), k_ctrl_shift);
    press(vk::k_right, {.alt = true});
    EXPECT_EQ(state().active_position(), 3u);  // wraps within the short last row
    state().set_active(rig.id(2));
    press(vk::k_down, {.alt = true});
    EXPECT_EQ(state().active_position(), 2u);  // its column holds one item
}

TEST_F(Input, SystemKeysTakeOnlyNavigationArrowsAndQuickKeys) {
    rig.open(1);
    ASSERT_EQ(state().active_position(), 1u);
    // Windows reports Alt+arrow as a system key.
    EXPECT_TRUE(input.system_key_down(vk::k_left, {.alt = true}));
    EXPECT_EQ(state().active_position(), 0u);
    // Everything else stays with the default window procedure, unsent.
    EXPECT_FALSE(input.system_key_down(vk::letter('T'), {.alt = true}));
    EXPECT_FALSE(input.system_character());
    EXPECT_FALSE(input.system_key_down(static_cast<VirtualKey>(vk::k_f1 + 9), {}));  // F10
    EXPECT_FALSE(input.system_key_down(vk::k_left, {.shift = true, .alt = true}));
    EXPECT_EQ(state().tabs().size(), 2u);
    EXPECT_EQ(written(0) + written(1), "");
    // The Alt that carried a taken arrow is released without the window
    // menu; one that carried nothing taken is the default procedure's.
    EXPECT_TRUE(input.key_up(vk::k_menu));
    EXPECT_FALSE(input.key_up(vk::k_menu));
    input.system_key_down(vk::k_menu, {.alt = true});
    EXPECT_FALSE(input.system_key_down(vk::letter('T'), {.alt = true}));
    EXPECT_FALSE(input.key_up(vk::letter('T')));
    EXPECT_FALSE(input.key_up(vk::k_menu));
    testing::configure(state(),
                       [&](core::LoadedConfig& c) { c.settings.keys.nav_modifier = "ctrl"; });
    EXPECT_FALSE(input.system_key_down(vk::k_left, {.alt = true}));
    EXPECT_EQ(state().active_position(), 0u);
}

TEST_F(Input, BrowserKeysMoveCycleAndOpen) {
    rig.open(3);
    press(vk::letter('Z'), k_ctrl_shift);
    ASSERT_EQ(state().tile_selection(), 0u);
    press(vk::k_tab, k_ctrl_shift);
    EXPECT_EQ(state().tile_selection(), 3u);  // the fourth of four entries
    press(vk::k_tab, k_ctrl);
    EXPECT_EQ(state().tile_selection(), 0u);
    press(vk::k_right);
    press(vk::k_return);
    EXPECT_EQ(state().view_mode(), ViewMode::Single);
    EXPECT_EQ(state().active_position(), 1u);
    press(vk::letter('Z'), k_ctrl_shift);
    press(vk::k_escape);
    EXPECT_EQ(state().view_mode(), ViewMode::Single);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(written(i), "") << i;
}

// Keys pressed while a change holds the state (a window message handled
// inside it) are not lost: they run right after it, in order.
TEST_F(Input, KeysDuringAChangeRunAfterIt) {
    echo();
    rig.cell.change([&](AppState&) {
        input.key_down(vk::letter('T'), k_ctrl);
        type(u"ab");
        EXPECT_EQ(written(), "");
    });
    EXPECT_EQ(state().tabs().size(), 2u);
    // The new tab is active once its change ran; the letters were asked for
    // after it, so they went there.
    EXPECT_EQ(written(1), "ab");
    EXPECT_EQ(written(0), "");
    EXPECT_GE(rig.cell.counts().deferred, 3u);
    EXPECT_EQ(rig.cell.counts().dropped, 0u);
}

}  // namespace
}  // namespace tolvar::app
