#include "input/key_routing.hpp"

#include <gtest/gtest.h>

#include "input/chords.hpp"
#include "states.hpp"

namespace tolvar::app {
namespace {

constexpr Modifiers k_none{};
constexpr Modifiers k_ctrl{.ctrl = true};
constexpr Modifiers k_shift{.shift = true};
constexpr Modifiers k_alt{.alt = true};
constexpr Modifiers k_ctrl_shift{.ctrl = true, .shift = true};

constexpr VirtualKey key(char c) {
    return vk::letter(c);
}

// ------------------------------------------------------------ chords

TEST(ParseChord, ModifierNamesAnyCaseThenOneKey) {
    struct Case {
        std::string_view text;
        std::optional<Chord> chord;
    };
    const Case cases[] = {
        {"ctrl+f5", Chord{0x74, k_ctrl}},
        {"CTRL+SHIFT+q", Chord{key('Q'), k_ctrl_shift}},
        {"Alt+7", Chord{key('7'), k_alt}},
        {"ctrl+ctrl+x", Chord{key('X'), k_ctrl}},  // a repeated name is harmless
        {"shift+F12", Chord{vk::k_f12, k_shift}},
        {"ctrl+F05", Chord{0x74, k_ctrl}},
        {"ctrl+f", Chord{key('F'), k_ctrl}},  // a lone F is the letter
        {"F5", std::nullopt},                 // a quick key needs a modifier
        {"ctrl+F13", std::nullopt},
        {"ctrl+F0", std::nullopt},
        {"ctrl+Home", std::nullopt},
        {"ctrl+", std::nullopt},
        {"", std::nullopt},
        {"ctrl+shift", std::nullopt},
        {"win+a", std::nullopt},
        {"ctrl++a", std::nullopt},  // an empty modifier part
        {"ctrl+F-1", std::nullopt},
        {"ctrl+é", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_chord(c.text), c.chord) << c.text;
}

TEST(ParseChord, FunctionNumbersReadAsSixteenBitsWithAnOptionalPlus) {
    EXPECT_EQ(parse_chord_key("F+5"), 0x74);
    EXPECT_EQ(parse_chord_key("f+12"), vk::k_f12);
    EXPECT_EQ(parse_chord_key("F+"), std::nullopt);
    EXPECT_EQ(parse_chord_key("F++5"), std::nullopt);
    EXPECT_EQ(parse_chord_key("F-5"), std::nullopt);
    // Wrapping at 16 bits would turn these into F1 and F12.
    EXPECT_EQ(parse_chord_key("F65537"), std::nullopt);
    EXPECT_EQ(parse_chord_key("F65548"), std::nullopt);
    EXPECT_EQ(parse_chord_key("F4294967297"), std::nullopt);
}

TEST(ParseSystemChord, WinIsAModifierAndMoreKeysHaveNames) {
    struct Case {
        std::string_view text;
        std::optional<SystemChord> chord;
    };
    const Case cases[] = {
        {"ctrl+alt+t", SystemChord{key('T'), {.ctrl = true, .alt = true}, false}},
        {"win+grave", SystemChord{0xC0, k_none, true}},
        {"WIN+`", SystemChord{0xC0, k_none, true}},
        {"Win+Shift+SPACE", SystemChord{0x20, k_shift, true}},
        {"ctrl+shift+F24", SystemChord{0x87, k_ctrl_shift, false}},
        {"alt+F1", SystemChord{vk::k_f1, k_alt, false}},
        {"ctrl+alt+numpad7", SystemChord{0x67, {.ctrl = true, .alt = true}, false}},
        {"win+pagedown", SystemChord{vk::k_next, k_none, true}},
        {"ctrl+alt+\\", SystemChord{0xDC, {.ctrl = true, .alt = true}, false}},
        {"ctrl+alt+bracketright", SystemChord{0xDD, {.ctrl = true, .alt = true}, false}},
        {"win+win+5", SystemChord{key('5'), k_none, true}},
        // Without ctrl, alt or win, or with no key that has a name.
        {"grave", std::nullopt},
        {"shift+t", std::nullopt},
        {"shift+space", std::nullopt},
        {"win", std::nullopt},
        {"win+", std::nullopt},
        {"ctrl+alt+tt", std::nullopt},
        {"ctrl+F25", std::nullopt},
        {"ctrl+numpad10", std::nullopt},
        {"super+t", std::nullopt},
        {"win++", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_system_chord(c.text), c.chord) << c.text;
    // The wider vocabulary is the system's only: quick keys stay as they were.
    for (std::string_view text : {"win+a", "ctrl+grave", "ctrl+space", "ctrl+F13", "ctrl+`"}) {
        EXPECT_EQ(parse_chord(text), std::nullopt) << text;
    }
}

TEST(ParseSystemChord, TheSystemsModifierFlagsNeverRepeat) {
    const auto flags = [](std::string_view text) {
        return hotkey_modifiers(*parse_system_chord(text));
    };
    EXPECT_EQ(flags("alt+t"), 0x4001u);  // MOD_ALT | MOD_NOREPEAT
    EXPECT_EQ(flags("ctrl+t"), 0x4002u);
    EXPECT_EQ(flags("ctrl+shift+t"), 0x4006u);
    EXPECT_EQ(flags("win+t"), 0x4008u);
    EXPECT_EQ(flags("ctrl+alt+shift+win+t"), 0x400Fu);
}

TEST(ParseModifierSet, NamesJoinedByPlusAnyCase) {
    EXPECT_EQ(parse_modifier_set("alt"), k_alt);
    EXPECT_EQ(parse_modifier_set("Ctrl+SHIFT"), k_ctrl_shift);
    EXPECT_EQ(parse_modifier_set("alt+alt"), k_alt);
    EXPECT_EQ(parse_modifier_set("alt+meta"), std::nullopt);
    EXPECT_EQ(parse_modifier_set(""), std::nullopt);
    EXPECT_EQ(parse_modifier_set("ctrl+"), std::nullopt);
}

TEST(KeySequence, FixedBytesWhateverTheModifiers) {
    EXPECT_EQ(key_sequence(vk::k_up, k_none), "\x1b[A");
    EXPECT_EQ(key_sequence(vk::k_left, k_ctrl), "\x1b[D");
    EXPECT_EQ(key_sequence(vk::k_end, k_none), "\x1b[F");
    EXPECT_EQ(key_sequence(vk::k_delete, k_none), "\x1b[3~");
    EXPECT_EQ(key_sequence(vk::k_f1, k_none), "\x1bOP");
    EXPECT_EQ(key_sequence(vk::k_f1 + 4, k_shift), "\x1b[15~");
    EXPECT_EQ(key_sequence(vk::k_f1 + 10, k_none), "\x1b[23~");
    EXPECT_EQ(key_sequence(vk::k_f12, k_none), "\x1b[24~");
    EXPECT_EQ(key_sequence(vk::k_tab, k_shift), "\x1b[Z");
    EXPECT_EQ(key_sequence(vk::k_tab, k_none), std::nullopt);
    for (VirtualKey k = 0x29; k <= 0x2C; ++k) EXPECT_EQ(key_sequence(k, k_none), std::nullopt);
    EXPECT_EQ(key_sequence(key('A'), k_none), std::nullopt);
}

// ------------------------------------------------------------ shortcut table

TEST(ShortcutFor, ChromeKeysActWithoutShiftOnlyWhenOn) {
    EXPECT_EQ(shortcut_for(key('T'), k_ctrl, true), ShortcutKey{Shortcut::NewTab});
    EXPECT_EQ(shortcut_for(key('W'), k_ctrl, true), ShortcutKey{Shortcut::CloseTab});
    EXPECT_EQ(shortcut_for(key('N'), k_ctrl, true), ShortcutKey{Shortcut::NewWindow});
    EXPECT_EQ(shortcut_for(key('T'), k_ctrl, false), std::nullopt);
    EXPECT_EQ(shortcut_for(key('N'), k_ctrl_shift, true), std::nullopt);
    EXPECT_EQ(shortcut_for(key('T'), k_ctrl_shift, false), ShortcutKey{Shortcut::NewTab});
}

TEST(ShortcutFor, TheTable) {
    EXPECT_EQ(shortcut_for(vk::k_insert, k_shift, true), ShortcutKey{Shortcut::Paste});
    EXPECT_EQ(shortcut_for(vk::k_insert, k_ctrl_shift, true), ShortcutKey{Shortcut::Paste});
    EXPECT_EQ(shortcut_for(vk::k_insert, k_ctrl, true), ShortcutKey{Shortcut::CopyScreen});
    EXPECT_EQ(shortcut_for(vk::k_insert, k_none, true), std::nullopt);
    EXPECT_EQ(shortcut_for(vk::k_f1, k_ctrl, true), ShortcutKey{Shortcut::ToggleHelp});
    EXPECT_EQ(shortcut_for(vk::k_tab, k_ctrl, true), ShortcutKey{Shortcut::NextTab});
    EXPECT_EQ(shortcut_for(vk::k_tab, k_ctrl_shift, true), ShortcutKey{Shortcut::PreviousTab});
    EXPECT_EQ(shortcut_for(key('1'), k_ctrl, true), (ShortcutKey{Shortcut::SelectTab, 0}));
    EXPECT_EQ(shortcut_for(key('9'), k_ctrl, true), (ShortcutKey{Shortcut::SelectTab, 8}));
    EXPECT_EQ(shortcut_for(key('0'), k_ctrl, true), std::nullopt);
    EXPECT_EQ(shortcut_for(key('1'), k_ctrl_shift, true), std::nullopt);
    const std::pair<char, Shortcut> letters[] = {
        {'T', Shortcut::NewTab},
        {'W', Shortcut::CloseTab},
        {'R', Shortcut::RenameTab},
        {'B', Shortcut::ToggleBroadcast},
        {'Z', Shortcut::ToggleBrowser},
        {'G', Shortcut::ToggleTileGroup},
        {'A', Shortcut::ToggleTileAll},
        {'E', Shortcut::ToggleCollapsed},
        {'O', Shortcut::ConnectionManager},
        {'P', Shortcut::QuickConnect},
        {'H', Shortcut::HistoryViewer},
    };
    for (auto [letter, action] : letters) {
        EXPECT_EQ(shortcut_for(key(letter), k_ctrl_shift, false), ShortcutKey{action}) << letter;
        EXPECT_EQ(shortcut_for(key(letter), k_shift, false), std::nullopt) << letter;
    }
    EXPECT_EQ(shortcut_for(key('C'), k_ctrl_shift, true), std::nullopt);
    // Alt turns every row off.
    EXPECT_EQ(shortcut_for(key('T'), Modifiers{true, true, true}, true), std::nullopt);
    EXPECT_EQ(shortcut_for(vk::k_insert, Modifiers{false, true, true}, true), std::nullopt);
}

TEST(ReservedChord, QuickKeysCannotTakeShortcuts) {
    EXPECT_TRUE(is_reserved_chord(key('A'), k_ctrl_shift, true));
    EXPECT_TRUE(is_reserved_chord(key('5'), k_ctrl, true));
    EXPECT_TRUE(is_reserved_chord(key('T'), k_ctrl, true));
    EXPECT_FALSE(is_reserved_chord(key('T'), k_ctrl, false));
    EXPECT_FALSE(is_reserved_chord(key('Q'), k_ctrl_shift, true));
    EXPECT_FALSE(is_reserved_chord(key('A'), Modifiers{true, true, true}, true));
    EXPECT_FALSE(is_reserved_chord(vk::k_insert, k_shift, true));  // no Ctrl
}

// ------------------------------------------------------------ key-down dispatch

struct Routing : ::testing::Test {
    AppState state;
    Routing() { state.replace_settings(core::fresh_settings()); }
    KeyRoute route(VirtualKey k, Modifiers m) { return route_key_down(state, k, m); }
    void quick(std::string chord) {
        testing::configure(state, [&](core::LoadedConfig& c) {
            c.quick_keys.push_back({std::move(chord), core::QuickAction{core::ShowHelp{}}});
        });
    }
};

TEST_F(Routing, QuickKeysMatchExactlyInStoredOrder) {
    quick("ctrl+f5");
    quick("ctrl+f5");
    quick("CTRL+SHIFT+q");
    quick("ctrl+shift+a");
    quick("F6");
    EXPECT_EQ(route(0x74, k_ctrl), (KeyRoute{QuickKeyHit{0}}));
    // Extra modifiers make a chord not match: Ctrl+Shift+F5 is the key table's.
    EXPECT_EQ(route(0x74, k_ctrl_shift), (KeyRoute{SendKey{"\x1b[15~"}}));
    EXPECT_EQ(route(key('Q'), k_ctrl_shift), (KeyRoute{QuickKeyHit{2}}));
    EXPECT_EQ(route(key('A'), k_ctrl_shift), (KeyRoute{ShortcutKey{Shortcut::ToggleTileAll}}));
    EXPECT_EQ(route(0x75, k_none), (KeyRoute{SendKey{"\x1b[17~"}}));
}

TEST_F(Routing, ChordsAreReadAfreshOnEveryPress) {
    quick("ctrl+f5");
    EXPECT_EQ(route(0x74, k_ctrl), (KeyRoute{QuickKeyHit{0}}));
    testing::configure(state, [&](core::LoadedConfig& c) { c.quick_keys[0].chord = "ctrl+f6"; });
    EXPECT_EQ(route(0x74, k_ctrl), (KeyRoute{SendKey{"\x1b[15~"}}));
}

TEST_F(Routing, NavigationArrowsNeedExactlyTheNamedModifiers) {
    testing::configure(state,
                       [&](core::LoadedConfig& c) { c.settings.keys.nav_modifier = "ctrl+shift"; });
    EXPECT_EQ(route(vk::k_right, k_ctrl_shift), (KeyRoute{NavArrow{1, 0}}));
    EXPECT_EQ(route(vk::k_right, k_ctrl), (KeyRoute{SendKey{"\x1b[C"}}));
    testing::configure(state,
                       [&](core::LoadedConfig& c) { c.settings.keys.nav_modifier = "alt+alt"; });
    EXPECT_EQ(route(vk::k_up, k_alt), (KeyRoute{NavArrow{0, -1}}));
    testing::configure(state,
                       [&](core::LoadedConfig& c) { c.settings.keys.nav_modifier = "alt+bogus"; });
    EXPECT_EQ(route(vk::k_up, k_alt), (KeyRoute{SendKey{"\x1b[A"}}));
    testing::configure(state, [&](core::LoadedConfig& c) { c.settings.keys.nav_modifier = ""; });
    EXPECT_EQ(route(vk::k_down, k_none), (KeyRoute{SendKey{"\x1b[B"}}));
}

TEST_F(Routing, BrowserKeysComeFirstAndSwallowTheRest) {
    state.set_view_mode(ViewMode::BrowseGroups);
    testing::configure(state,
                       [&](core::LoadedConfig& c) { c.settings.keys.nav_modifier = "ctrl"; });
    EXPECT_EQ(route(vk::k_left, k_none), (KeyRoute{BrowserKey{BrowserKey::Kind::Move, -1, 0}}));
    EXPECT_EQ(route(vk::k_down, k_none), (KeyRoute{BrowserKey{BrowserKey::Kind::Move, 0, 1}}));
    EXPECT_EQ(route(vk::k_return, k_none), (KeyRoute{BrowserKey{BrowserKey::Kind::Open}}));
    EXPECT_EQ(route(vk::k_back, k_none), (KeyRoute{BrowserKey{BrowserKey::Kind::Up}}));
    EXPECT_EQ(route(vk::k_escape, k_none), (KeyRoute{BrowserKey{BrowserKey::Kind::Leave}}));
    EXPECT_EQ(route(vk::k_tab, k_ctrl_shift),
              (KeyRoute{BrowserKey{BrowserKey::Kind::Cycle, 0, 0, true}}));
    // Ctrl+arrows are the navigation arrows' to take.
    EXPECT_EQ(route(vk::k_left, k_ctrl), (KeyRoute{NavArrow{-1, 0}}));
    EXPECT_EQ(route(key('G'), k_ctrl_shift), (KeyRoute{ShortcutKey{Shortcut::ToggleTileGroup}}));
    // Nothing reaches the session from the browser.
    EXPECT_EQ(route(vk::k_left, k_shift), (KeyRoute{NoKeyAction{}}));
    EXPECT_EQ(route(vk::k_f1 + 4, k_none), (KeyRoute{NoKeyAction{}}));
    quick("ctrl+f5");
    EXPECT_EQ(route(0x74, k_ctrl), (KeyRoute{QuickKeyHit{0}}));
}

// The scroll keys and the find key came after users' quick keys: a quick key
// on the same chord keeps working, and Ctrl+Shift arrows stay the navigation
// arrows when that is the navigation modifier.
TEST_F(Routing, ViewKeysGiveWayToQuickKeysAndNavigationArrows) {
    EXPECT_EQ(route(vk::k_prior, k_shift), (KeyRoute{ViewKey::PageBack}));
    EXPECT_EQ(route(vk::k_next, k_shift), (KeyRoute{ViewKey::PageForward}));
    EXPECT_EQ(route(vk::k_up, k_ctrl_shift), (KeyRoute{ViewKey::LineBack}));
    EXPECT_EQ(route(vk::k_down, k_ctrl_shift), (KeyRoute{ViewKey::LineForward}));
    EXPECT_EQ(route(vk::k_home, k_ctrl_shift), (KeyRoute{ViewKey::Oldest}));
    EXPECT_EQ(route(vk::k_end, k_ctrl_shift), (KeyRoute{ViewKey::Live}));
    EXPECT_EQ(route(key('F'), k_ctrl_shift), (KeyRoute{ViewKey::Find}));
    EXPECT_EQ(route(vk::k_prior, k_none), (KeyRoute{SendKey{"\x1b[5~"}}));
    EXPECT_TRUE(std::holds_alternative<SendKey>(route(vk::k_prior, k_ctrl_shift)));
    EXPECT_EQ(route(key('C'), k_ctrl_shift), (KeyRoute{ViewKey::Copy}));
    EXPECT_EQ(route(key('V'), k_ctrl_shift), (KeyRoute{ViewKey::Paste}));
    // Ctrl+C alone stays the character that interrupts the program.
    EXPECT_EQ(route(key('C'), k_ctrl), (KeyRoute{NoKeyAction{}}));
    EXPECT_FALSE(is_reserved_chord(key('F'), k_ctrl_shift, true));
    EXPECT_FALSE(is_reserved_chord(key('C'), k_ctrl_shift, true));
    quick("ctrl+shift+f");  // chords name letters, digits and F keys only
    EXPECT_EQ(route(key('F'), k_ctrl_shift), (KeyRoute{QuickKeyHit{0}}));
    quick("ctrl+shift+c");
    quick("ctrl+shift+v");
    EXPECT_EQ(route(key('C'), k_ctrl_shift), (KeyRoute{QuickKeyHit{1}}));
    EXPECT_EQ(route(key('V'), k_ctrl_shift), (KeyRoute{QuickKeyHit{2}}));
    testing::configure(state,
                       [&](core::LoadedConfig& c) { c.settings.keys.nav_modifier = "ctrl+shift"; });
    EXPECT_EQ(route(vk::k_up, k_ctrl_shift), (KeyRoute{NavArrow{0, -1}}));
    EXPECT_EQ(route(vk::k_home, k_ctrl_shift), (KeyRoute{ViewKey::Oldest}));
    state.set_view_mode(ViewMode::BrowseGroups);
    EXPECT_EQ(route(vk::k_end, k_ctrl_shift), (KeyRoute{NoKeyAction{}}));
}

// ------------------------------------------------------------ characters

TEST(SwapBackspace, BackspaceSendsDelAndCtrlBackspaceBs) {
    EXPECT_EQ(swap_backspace(0x08), 0x7F);  // Backspace, and Ctrl+Backspace under Wine
    EXPECT_EQ(swap_backspace(0x7F), 0x08);  // Ctrl+Backspace on Windows
    EXPECT_EQ(swap_backspace(u'a'), u'a');
}

TEST_F(Routing, CharacterRules) {
    EXPECT_EQ(route_char(state, 0x03, k_ctrl), CharRoute::Text);  // Ctrl+C
    EXPECT_EQ(route_char(state, 0x03, k_ctrl_shift), CharRoute::Ignore);
    // AltGr is Ctrl+Alt: with Shift it picks a layout's character.
    EXPECT_EQ(route_char(state, u'{', {.ctrl = true, .shift = true, .alt = true}), CharRoute::Text);
    EXPECT_EQ(route_char(state, 0x14, k_ctrl), CharRoute::Ignore);  // Ctrl+T with chrome keys
    EXPECT_EQ(route_char(state, 0x0E, k_ctrl), CharRoute::Ignore);
    EXPECT_EQ(route_char(state, 0x09, k_ctrl), CharRoute::Ignore);
    EXPECT_EQ(route_char(state, 0x09, k_none), CharRoute::TabKey);
    EXPECT_EQ(route_char(state, 0x09, k_shift), CharRoute::Ignore);  // the key table sent ESC [Z
    EXPECT_EQ(route_char(state, 0x1B, k_none), CharRoute::Text);
    testing::configure(state,
                       [&](core::LoadedConfig& c) { c.settings.keys.chrome_tab_keys = false; });
    EXPECT_EQ(route_char(state, 0x14, k_ctrl), CharRoute::Text);
    state.show_help();
    EXPECT_EQ(route_char(state, 0x1B, k_none), CharRoute::HideHelp);
    EXPECT_EQ(route_char(state, u'x', k_none), CharRoute::Text);
    state.set_view_mode(ViewMode::BrowseGroups);
    EXPECT_EQ(route_char(state, u'x', k_none), CharRoute::Ignore);
    EXPECT_EQ(route_char(state, 0x1B, k_none), CharRoute::HideHelp);
}

TEST(SurrogateJoiner, PairsBecomeOneCharacterAndHalvesBecomeReplacements) {
    SurrogateJoiner joiner;
    EXPECT_EQ(joiner.push(0xD83D), std::nullopt);
    EXPECT_EQ(joiner.push(0xDE00), "\xF0\x9F\x98\x80");  // U+1F600 as one 4-byte sequence
    EXPECT_EQ(joiner.push(0xDE00), "\xEF\xBF\xBD");      // a lone low half
    EXPECT_EQ(joiner.push(0xD83D), std::nullopt);
    EXPECT_EQ(joiner.push(u'a'),
              "\xEF\xBF\xBD"
              "a");  // a high half left waiting
    EXPECT_EQ(joiner.push(u'b'), "b");
    EXPECT_EQ(joiner.push(0xD83D), std::nullopt);
    EXPECT_EQ(joiner.push(0xD83D), "\xEF\xBF\xBD");  // the first high half, orphaned
    EXPECT_EQ(joiner.push(0xDE00), "\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace tolvar::app
