#include "look/appearance.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "look/themes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/formats.hpp"
#include "workspace/startup.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

core::Settings settings_of(std::string_view keys) {
    auto r = core::parse_settings(
        std::string(
            R"({"close_to_tray":true,"restore_sessions_on_start":false,"track_history":true,"sync_mode":"local",)") +
        std::string(keys) + "}");
    EXPECT_TRUE(r) << r.error();
    return r ? *r : core::Settings{};
}

TEST(Themes, LookupByTheMenuNameInAnyCase) {
    const auto themes = builtin_themes();
    ASSERT_EQ(themes.size(), 7u);
    EXPECT_EQ(themes.front(), default_theme());
    for (const Theme& theme : themes) EXPECT_EQ(find_theme(theme.name), &theme);
    ASSERT_TRUE(find_theme("solarized LIGHT"));
    EXPECT_EQ(find_theme("solarized LIGHT")->name, "Solarized Light");
    EXPECT_EQ(find_theme("Solarized"), nullptr);
    EXPECT_EQ(find_theme(""), nullptr);
    EXPECT_EQ(find_theme("Solarized Light")->background, (Rgb{0xfd, 0xf6, 0xe3}));
    EXPECT_EQ(find_theme("One Half Dark")->ansi[1], (Rgb{0xe0, 0x6c, 0x75}));
}

TEST(Colors, HexInEitherCaseAndNothingElse) {
    EXPECT_EQ(parse_color("#1e1E2f"), (Rgb{0x1e, 0x1e, 0x2f}));
    EXPECT_EQ(parse_color("#FFFFFF"), (Rgb{255, 255, 255}));
    for (const char* bad : {"#12345", "#1234567", "123456", "#12345g", "", "# 12345", "#-12345"}) {
        EXPECT_FALSE(parse_color(bad)) << bad;
    }
}

TEST(Appearance, WithoutTheKeysItIsTodaysLookAndTellsNothing) {
    const AppearanceRead read = read_appearance(core::fresh_settings());
    EXPECT_TRUE(read.notices.empty());
    EXPECT_EQ(read.appearance, Appearance{});
    EXPECT_EQ(read.appearance.palette, Palette(default_theme(), true));
    EXPECT_EQ(read.appearance.cursor_shape, pty::CursorShape::Underline);
    EXPECT_FALSE(read.appearance.cursor_blink);
    // Nulls are read as absent keys.
    EXPECT_TRUE(read_appearance(settings_of(R"("theme":null,"colors":null,"cursor_blink":null)"))
                    .notices.empty());
}

TEST(Appearance, EveryKeyIsRead) {
    const AppearanceRead read = read_appearance(settings_of(
        R"("theme":"tango dark","bold_is_bright":false,"cursor_shape":"Block","cursor_blink":false,)"
        R"("log_all_sessions":true,)"
        R"("colors":{"background":"#101010","selection_foreground":"#ABCDEF"})"));
    EXPECT_TRUE(read.notices.empty()) << read.notices.front();
    const Theme& theme = read.appearance.palette.theme();
    const Theme& tango = *find_theme("Tango Dark");
    EXPECT_EQ(theme.name, "Tango Dark");
    EXPECT_EQ(theme.background, (Rgb{0x10, 0x10, 0x10}));
    EXPECT_EQ(theme.selection_foreground, (Rgb{0xab, 0xcd, 0xef}));
    // Each colour overrides alone; the rest stay the theme's.
    EXPECT_EQ(theme.foreground, tango.foreground);
    EXPECT_EQ(theme.ansi, tango.ansi);
    EXPECT_FALSE(read.appearance.palette.bold_is_bright());
    EXPECT_TRUE(read.appearance.log_all_sessions);
    EXPECT_EQ(read.appearance.cursor_shape, pty::CursorShape::Block);
    EXPECT_EQ(read.appearance.cursor_blink, false);
    EXPECT_EQ(read.appearance.word_delimiters, std::u32string(k_default_word_delimiters));
    EXPECT_EQ(
        read_appearance(settings_of(R"("word_delimiters":" /\u65e5")")).appearance.word_delimiters,
        U" /\u65e5");

    std::string ansi = R"("colors":{"ansi":[)";
    for (int i = 0; i < 16; ++i)
        ansi += std::string(i ? "," : "") + "\"#0000" + (i < 10 ? "0" : "1") +
                std::to_string(i % 10) + "\"";
    const AppearanceRead own = read_appearance(settings_of(ansi + "]}"));
    EXPECT_TRUE(own.notices.empty());
    EXPECT_EQ(own.appearance.palette.indexed(15), (Rgb{0, 0, 0x15}));
    EXPECT_EQ(own.appearance.palette.theme().background, default_theme().background);
}

// Each malformed value falls back on its own, with a notice naming the key
// and the value, and what is well formed beside it still applies.
TEST(Appearance, AMalformedValueFallsBackAloneAndIsTold) {
    struct Case {
        const char* keys;
        const char* notice;
    };
    const Case cases[] = {
        {R"("colors":{"background":"#12345"})",
         R"(settings.json: "colors.background" is "#12345", not a colour like "#1e1e2e"; the theme's colour is used)"},
        {R"("colors":{"ansi":["#000000"]})",
         R"(settings.json: "colors.ansi" holds 1 colour, not 16; the theme's sixteen are used)"},
        {R"("colors":{"ansi":"#000000"})",
         R"(settings.json: "colors.ansi" is "#000000", not a list of 16 colours; the theme's sixteen are used)"},
        {R"("colors":{"backgrund":"#000000"})",
         R"(settings.json: "colors" has "backgrund", which is none of foreground, background, cursor, selection_foreground, selection_background and ansi; it is ignored)"},
        {R"("colors":["#000000"])",
         R"(settings.json: "colors" is ["#000000"], not an object of colours; the theme's colours are used)"},
        {R"("theme":"Solarised")",
         R"(settings.json: "theme" is "Solarised", not one of Default, Solarized Dark, Solarized Light, One Half Dark, One Half Light, Tango Dark, Tango Light; Default is used)"},
        {R"("theme":7)",
         R"(settings.json: "theme" is 7, not one of Default, Solarized Dark, Solarized Light, One Half Dark, One Half Light, Tango Dark, Tango Light; Default is used)"},
        {R"("bold_is_bright":"no")",
         R"(settings.json: "bold_is_bright" is "no", not true or false; true is used)"},
        {R"("log_all_sessions":"yes")",
         R"(settings.json: "log_all_sessions" is "yes", not true or false; false is used)"},
        {R"("cursor_shape":"beam")",
         R"(settings.json: "cursor_shape" is "beam", not "bar", "block" or "underline"; "underline" is used)"},
        {R"("cursor_blink":1)",
         R"(settings.json: "cursor_blink" is 1, not true or false; the cursor blinks when a program asks)"},
        {R"("word_delimiters":[" "])",
         R"(settings.json: "word_delimiters" is [" "], not a string of characters; the usual delimiters are used)"},
    };
    for (const Case& c : cases) {
        const AppearanceRead read = read_appearance(settings_of(c.keys));
        ASSERT_EQ(read.notices.size(), 1u) << c.keys;
        EXPECT_EQ(read.notices[0], c.notice);
        EXPECT_EQ(read.appearance, Appearance{}) << c.keys;
    }

    const AppearanceRead mixed = read_appearance(
        settings_of(R"("theme":"One Half Light","cursor_shape":"BAR","bold_is_bright":"yes",)"
                    R"("colors":{"background":"#12345","foreground":"#010203","ansi":[1]})"));
    EXPECT_EQ(mixed.notices.size(), 3u);
    const Theme& theme = mixed.appearance.palette.theme();
    EXPECT_EQ(theme.name, "One Half Light");
    EXPECT_EQ(theme.background, find_theme("One Half Light")->background);
    EXPECT_EQ(theme.foreground, (Rgb{1, 2, 3}));
    EXPECT_EQ(theme.ansi, find_theme("One Half Light")->ansi);
    EXPECT_TRUE(mixed.appearance.palette.bold_is_bright());
    EXPECT_EQ(mixed.appearance.cursor_shape, pty::CursorShape::Bar);
}

TEST(Appearance, ALongValueIsCutShortInItsNotice) {
    const AppearanceRead read =
        read_appearance(settings_of(R"("theme":")" + std::string(200, 'x') + "\""));
    ASSERT_EQ(read.notices.size(), 1u);
    EXPECT_LT(read.notices[0].size(), 300u);
    EXPECT_NE(read.notices[0].find("x\xE2\x80\xA6, not"), std::string::npos);
}

// A malformed value keeps the file readable, is told at start, and stays in
// the file through a save, so a typo is never silently erased.
TEST(Appearance, StartTellsAndASaveKeepsWhatTheUserWrote) {
    core::testing::ScratchDir dir;
    const std::string text =
        R"({"close_to_tray":false,"restore_sessions_on_start":false,"track_history":true,)"
        R"("sync_mode":"local","colors":{"background":"#12345","foreground":"#00ff00"},"cursor_shape":"beam"})";
    core::testing::write_all(dir / "settings.json", text);
    Rig rig;
    load_configuration(rig.cell, rig.notifier, rig.fs, core::Path(dir.path()));
    EXPECT_EQ(rig.notices().size(), 2u);
    EXPECT_FALSE(core::platform_file_system().exists(dir / "settings.json.unreadable"));
    EXPECT_FALSE(rig.state().config().settings.close_to_tray);
    EXPECT_EQ(rig.state().appearance().palette.theme().foreground, (Rgb{0, 255, 0}));
    EXPECT_EQ(rig.state().appearance().palette.theme().background, default_theme().background);

    rig.saves.save(ConfigFile::Settings);
    const std::string saved = core::testing::read_all(dir / "settings.json");
    EXPECT_NE(saved.find(R"("background": "#12345")"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"("cursor_shape": "beam")"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("\"theme\""), std::string::npos) << saved;
}

}  // namespace
}  // namespace tolvar::app
