#include "tolvar/core/formats.hpp"

#include <gtest/gtest.h>

#include "fixtures.hpp"

namespace tolvar::core {
namespace {

using testing::k_fresh_settings_text;

constexpr std::string_view k_minimal_settings =
    R"({"close_to_tray":true,"restore_sessions_on_start":false,"track_history":true,"sync_mode":"local")";

std::string settings_with(std::string_view extra) {
    return std::string(k_minimal_settings) + "," + std::string(extra) + "}";
}

std::string settings_error(std::string_view text) {
    auto r = parse_settings(text);
    return r ? "(parsed)" : r.error();
}

// ---------------------------------------------------------------- writing

TEST(SettingsFormat, FreshSettingsTextIsExact) {
    EXPECT_EQ(to_pretty_json(fresh_settings()), k_fresh_settings_text);
}

TEST(SettingsFormat, FreshTextReadsBackAsFreshSettings) {
    auto r = parse_settings(k_fresh_settings_text);
    ASSERT_TRUE(r) << r.error();
    EXPECT_EQ(*r, fresh_settings());
}

TEST(SettingsFormat, EmptyFallbacksAreWrittenOnTheKeyLine) {
    Settings s = fresh_settings();
    s.font.fallbacks.clear();
    EXPECT_NE(to_pretty_json(s).find("    \"fallbacks\": [],\n"), std::string::npos);
}

TEST(SettingsFormat, StringsUseJsonEscapes) {
    Settings s = fresh_settings();
    s.default_working_dir = std::string("C:\\a \"b\"\b\t\n\f\r\x01\x1f\x7f\xc3\xa9", 18);
    EXPECT_NE(to_pretty_json(s).find(R"("default_working_dir": "C:\\a \"b\"\b\t\n\f\r\u0001\u001f)"
                                     "\x7f\xc3\xa9\""),
              std::string::npos);
}

TEST(ProfileFormat, SshProfileWithOnlyAHostWritesEveryKey) {
    ProfilesFile file{1, {ConnectionProfile{"p-1-0", "srv", Ssh{"srv1"}, {}, {}}}};
    EXPECT_EQ(to_pretty_json(file), R"({
  "schema_version": 1,
  "profiles": [
    {
      "id": "p-1-0",
      "name": "srv",
      "kind": {
        "type": "ssh",
        "host": "srv1",
        "port": 22,
        "user": null,
        "identity_file": null,
        "extra_args": []
      },
      "group": null,
      "color": null
    }
  ]
})");
}

TEST(SessionFormat, RecordWithOnlyAnIdWritesAllFiveKeys) {
    SessionsFile file{1, {SessionRecord{"s-1-2"}}};
    EXPECT_EQ(to_pretty_json(file), R"({
  "schema_version": 1,
  "sessions": [
    {
      "id": "s-1-2",
      "profile_id": null,
      "title": null,
      "group": null,
      "color": null
    }
  ]
})");
}

TEST(AliasesFormat, SeededQuickKeysText) {
    AliasesFile file{
        1, {}, {QuickKey{"Ctrl+Alt+R", RenameTab{}}, QuickKey{"Ctrl+Alt+H", ShowHelp{}}}};
    EXPECT_EQ(to_pretty_json(file), R"({
  "schema_version": 1,
  "aliases": [],
  "quick_keys": [
    {
      "chord": "Ctrl+Alt+R",
      "action": {
        "type": "rename_tab"
      }
    },
    {
      "chord": "Ctrl+Alt+H",
      "action": {
        "type": "show_help"
      }
    }
  ]
})");
}

TEST(HistoryFormat, CompactLine) {
    EXPECT_EQ(to_compact_json(HistoryEntry{1700000000, "ls \"x\"\t"}),
              R"({"ts":1700000000,"line":"ls \"x\"\t"})");
}

// ---------------------------------------------------------------- reading

TEST(SettingsFormat, AbsentKeysTakeReaderDefaultsNotFreshValues) {
    auto r = parse_settings(std::string(k_minimal_settings) + "}");
    ASSERT_TRUE(r) << r.error();
    EXPECT_EQ(r->schema_version, 0u);
    EXPECT_FALSE(r->alias_trigger_tab);
    EXPECT_TRUE(r->autocomplete_history);
    EXPECT_FALSE(r->default_working_dir);
    EXPECT_EQ(r->font, FontSettings{});
    EXPECT_EQ(r->keys, KeySettings{});
    EXPECT_EQ(r->remote, RemoteSettings{});
}

TEST(SettingsFormat, PartialFontKeepsOtherDefaultsAndWritesSizeBack) {
    auto r = parse_settings(settings_with(R"("font":{"size_pt":10.5})"));
    ASSERT_TRUE(r) << r.error();
    EXPECT_EQ(r->font.family, "SF Mono");
    EXPECT_EQ(r->font.fallbacks.size(), 4u);
    EXPECT_NE(to_pretty_json(*r).find("\"size_pt\": 10.5\n"), std::string::npos);
}

TEST(SettingsFormat, IntegerFontSizeIsAccepted) {
    auto r = parse_settings(settings_with(R"("font":{"size_pt":14})"));
    ASSERT_TRUE(r) << r.error();
    EXPECT_EQ(r->font.size_pt, 14.0f);
}

// Regression: 1e300 read as infinity, was written back as null, and the next
// start could not read the file at all.
TEST(SettingsFormat, FontSizeBeyondFloatRangeIsRefused) {
    EXPECT_EQ(settings_error(settings_with(R"("font":{"size_pt":1e300})")),
              "invalid value: floating point `1e+300`, expected f32");
}

// The appearance keys are kept as written, whatever they hold, so neither a
// wrong type nor a typo can make the file unreadable or be lost at a save.
TEST(SettingsFormat, AppearanceKeysAreKeptAsWrittenAndWrittenBackLast) {
    const std::string text = settings_with(
        R"("cursor_blink":"often","theme":5,"colors":{"background":"#12345","ansi":[1,-2,0.5,null],"x":{}},"bold_is_bright":false,"cursor_shape":"beam","word_delimiters":[1])");
    auto r = parse_settings(text);
    ASSERT_TRUE(r) << r.error();
    ASSERT_TRUE(r->theme.value);
    EXPECT_EQ(r->theme.value->uint_value, 5u);
    EXPECT_EQ(r->bold_is_bright.value->kind, JsonValue::Kind::Bool);
    const std::string written = to_pretty_json(*r);
    EXPECT_NE(
        written.find("  },\n  \"theme\": 5,\n  \"colors\": {\n    \"background\": \"#12345\",\n"
                     "    \"ansi\": [\n      1,\n      -2,\n      0.5,\n      null\n    ],\n"
                     "    \"x\": {}\n  },\n  \"bold_is_bright\": false,\n"
                     "  \"cursor_shape\": \"beam\",\n  \"cursor_blink\": \"often\",\n"
                     "  \"word_delimiters\": [\n    1\n  ]\n}"),
        std::string::npos)
        << written;
    auto again = parse_settings(written);
    ASSERT_TRUE(again) << again.error();
    EXPECT_EQ(*again, *r);
    EXPECT_EQ(to_pretty_json(*again), written);
}

// A value the program cannot use must not make the file unreadable either.
TEST(SettingsFormat, CloseOnExitAndSummonKeyAreKeptAsWrittenWhateverTheyHold) {
    const struct {
        std::string key;
        RawJson Settings::*field;
    } keys[] = {{"close_on_exit", &Settings::close_on_exit}, {"summon_key", &Settings::summon_key}};
    for (const auto& k : keys) {
        for (const std::string value : {"\"never\"", "\"ctrl+alt+t\"", "3", "[true]"}) {
            auto r = parse_settings(settings_with("\"" + k.key + "\":" + value));
            ASSERT_TRUE(r) << k.key << value << ": " << r.error();
            ASSERT_TRUE(((*r).*k.field).value) << k.key << value;
            const std::string written = to_pretty_json(*r);
            auto again = parse_settings(written);
            ASSERT_TRUE(again) << again.error();
            EXPECT_EQ(*again, *r) << written;
            EXPECT_NE(written.find("\"" + k.key + "\": "), std::string::npos) << written;
        }
    }
}

TEST(SettingsFormat, WithoutAppearanceKeysNothingNewIsWritten) {
    auto r = parse_settings(k_fresh_settings_text);
    ASSERT_TRUE(r) << r.error();
    EXPECT_FALSE(r->theme.value || r->colors.value || r->bold_is_bright.value ||
                 r->cursor_shape.value || r->cursor_blink.value || r->word_delimiters.value ||
                 r->close_on_exit.value || r->summon_key.value);
    EXPECT_EQ(to_pretty_json(*r), k_fresh_settings_text);
    // A null the user wrote is theirs too.
    auto nulled = parse_settings(settings_with(R"("theme":null)"));
    ASSERT_TRUE(nulled) << nulled.error();
    EXPECT_NE(to_pretty_json(*nulled).find("\"theme\": null"), std::string::npos);
}

TEST(ReaderMessages, AppearanceKeysCutShortReportTheSyntaxError) {
    EXPECT_NE(settings_error(std::string(k_minimal_settings) + R"(,"colors":{"ansi":["#000000")")
                  .find("at line 1"),
              std::string::npos);
    EXPECT_EQ(settings_error(settings_with(R"("theme":"a","theme":"b")")),
              "duplicate field `theme`");
}

TEST(ReaderMessages, MissingDuplicateAndUnknownVariant) {
    EXPECT_EQ(
        settings_error(
            R"({"close_to_tray":true,"restore_sessions_on_start":false,"track_history":true})"),
        "missing field `sync_mode`");
    EXPECT_EQ(settings_error(R"({"close_to_tray":true,"close_to_tray":false})"),
              "duplicate field `close_to_tray`");
    EXPECT_EQ(
        settings_error(
            R"({"close_to_tray":true,"restore_sessions_on_start":false,"track_history":true,"sync_mode":"Local"})"),
        "unknown variant `Local`, expected `local` or `cloud`");
}

TEST(ReaderMessages, RepeatedUnknownKeysAreIgnored) {
    EXPECT_TRUE(parse_settings(settings_with(R"("zz":1,"zz":[1,{"a":2}])")));
}

TEST(ReaderMessages, TypeAndRangeErrors) {
    EXPECT_EQ(settings_error(R"({"close_to_tray":"x"})"),
              "invalid type: string \"x\", expected a boolean");
    EXPECT_EQ(settings_error(R"({"close_to_tray":null})"),
              "invalid type: null, expected a boolean");
    EXPECT_EQ(settings_error(R"({"schema_version":-1})"),
              "invalid value: integer `-1`, expected u32");
    EXPECT_EQ(settings_error(R"({"schema_version":1.5})"),
              "invalid type: floating point `1.5`, expected u32");
    EXPECT_EQ(settings_error(settings_with(R"("font":[])")),
              "invalid type: sequence, expected struct FontSettings");
    EXPECT_EQ(settings_error(settings_with(R"("font":{"fallbacks":["a",2]})")),
              "invalid type: integer `2`, expected a string");
}

TEST(ReaderMessages, TrailingCharactersAfterTheValue) {
    const std::string e = settings_error(std::string(k_minimal_settings) + "} x");
    EXPECT_EQ(e.rfind("trailing characters", 0), 0u) << e;
    EXPECT_TRUE(parse_settings(std::string(k_minimal_settings) + "}\r\n\t "));
}

TEST(ReaderMessages, ErrorsAreReportedInDocumentOrder) {
    // A type error before a syntax error wins, as a streaming reader finds it first.
    EXPECT_EQ(settings_error(R"({"close_to_tray":"x", oops)"),
              "invalid type: string \"x\", expected a boolean");
    // A syntax error before the object closes beats its missing fields.
    const std::string e = settings_error(R"({"close_to_tray":true,)");
    EXPECT_EQ(e.find("missing field"), std::string::npos) << e;
    EXPECT_NE(e.find(" at line 1 column"), std::string::npos) << e;
    // A duplicate key is found before its broken value.
    EXPECT_EQ(settings_error(R"({"track_history":true,"track_history":tru)"),
              "duplicate field `track_history`");
    // An inner object's missing field is reported when it closes, before later faults.
    EXPECT_EQ(
        parse_profiles_file(
            R"({"profiles":[{"id":"a","name":"b","kind":{"type":"ssh"}}],"schema_version":"x"})")
            .error(),
        "missing field `host`");
}

TEST(ReaderMessages, SyntaxErrorsCarryAPosition) {
    const std::string e = settings_error("{\n  \"close_to_tray\": tru\n}");
    EXPECT_NE(e.find("at line 2 column"), std::string::npos) << e;
    EXPECT_NE(settings_error("").find("at line 1 column 0"), std::string::npos);
}

TEST(ReaderMessages, DeepNestingIsRefusedNotRecursed) {
    const std::string deep = settings_with(R"("x":)" + std::string(100000, '['));
    EXPECT_EQ(settings_error(deep), "recursion limit exceeded");
}

TEST(ProfileKindFormat, RdpDefaultsAndTagInAnyPosition) {
    const auto a = parse_profiles_file(
        R"({"schema_version":1,"profiles":[{"id":"p","name":"n","kind":{"type":"rdp","host":"h"}}]})");
    const auto b = parse_profiles_file(
        R"({"schema_version":1,"profiles":[{"id":"p","name":"n","kind":{"host":"h","type":"rdp"}}]})");
    ASSERT_TRUE(a) << a.error();
    ASSERT_TRUE(b) << b.error();
    EXPECT_EQ(*a, *b);
    const ConnectionProfile& p = a->profiles.at(0);
    EXPECT_EQ(p.kind, ProfileKind(Rdp{"h", 3389, {}, {}, false, false}));
    EXPECT_FALSE(p.group);
    EXPECT_FALSE(p.color);
}

TEST(ProfileKindFormat, TagErrors) {
    const auto err = [](std::string_view kind) {
        auto r =
            parse_profiles_file(R"({"schema_version":1,"profiles":[{"id":"p","name":"n","kind":)" +
                                std::string(kind) + "}]}");
        return r ? "(parsed)" : r.error();
    };
    EXPECT_EQ(err(R"({"host":"h"})"), "missing field `type`");
    EXPECT_EQ(err(R"({"type":"telnet"})"),
              "unknown variant `telnet`, expected one of `local_shell`, `ssh`, `rdp`, `vnc`, `serial`");
    EXPECT_EQ(err(R"({"type":"ssh","type":"ssh","host":"h"})"), "duplicate field `type`");
    EXPECT_EQ(err(R"({"type":"ssh","host":"h","port":65536})"),
              "invalid value: integer `65536`, expected u16");
    EXPECT_EQ(err(R"({"type":"local_shell"})"), "missing field `command`");
    EXPECT_EQ(err(R"({"type":"serial","baud":9600})"), "missing field `port`");
}

// Only the port is the reader's business: any other value stays as written,
// for the connection to judge and the next save to keep.
TEST(ProfileKindFormat, SerialKeepsItsSettingsAsWritten) {
    const std::string text =
        R"({"schema_version":1,"profiles":[{"id":"p","name":"n","kind":{"type":"serial",)"
        R"("port":"COM3","baud":"fast","parity":"odd","stop_bits":1.5,"flow_control":null}}]})";
    auto r = parse_profiles_file(text);
    ASSERT_TRUE(r) << r.error();
    const auto& serial = std::get<Serial>(r->profiles.at(0).kind);
    EXPECT_EQ(serial.port, "COM3");
    ASSERT_TRUE(serial.baud.value);
    EXPECT_EQ(serial.baud.value->text, "fast");
    EXPECT_FALSE(serial.data_bits.value);
    EXPECT_EQ(serial.flow_control.value->kind, JsonValue::Kind::Null);
    const std::string written = to_pretty_json(*r);
    EXPECT_EQ(written.find("data_bits"), std::string::npos);
    EXPECT_NE(written.find("\"baud\": \"fast\""), std::string::npos) << written;
    EXPECT_NE(written.find("\"stop_bits\": 1.5"), std::string::npos) << written;
    EXPECT_EQ(parse_profiles_file(written).value(), *r);
}

TEST(ProfileFormat, ColourAboveByteRangeFails) {
    auto r = parse_profiles_file(
        R"({"schema_version":1,"profiles":[{"id":"p","name":"n","kind":{"type":"local_shell","command":"x"},"color":256}]})");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error(), "invalid value: integer `256`, expected u8");
}

TEST(ProfileFormat, EveryKindRoundTrips) {
    ProfilesFile file{
        1,
        {ConnectionProfile{"p1", "a", LocalShell{"pwsh -NoLogo"}, "g", 3},
         ConnectionProfile{"p2", "b", Ssh{"h", 2222, "u", "k", {"-A", "x y"}}, {}, 255},
         ConnectionProfile{"p3", "c", Rdp{"r", 3390, "u", "d", true, true}, {}, {}},
         ConnectionProfile{"p4", "d", Vnc{"v", 5901, "C:\\v.exe", {"-x"}}, {}, {}},
         ConnectionProfile{"p5", "e", Serial{"COM3", {}, {}, {JsonValue::string("even")}, {}, {}},
                           "lab", {}}}};
    auto r = parse_profiles_file(to_pretty_json(file));
    ASSERT_TRUE(r) << r.error();
    EXPECT_EQ(*r, file);
}

TEST(AliasesFormat, QuickActionsReadAndRoundTrip) {
    auto r = parse_aliases_file(
        R"({"schema_version":1,"aliases":[{"name":"ll","expansion":"ls -l"}],"quick_keys":[)"
        R"({"chord":"F5","action":{"type":"show_help","profile_id":7,"x":[]}},)"
        R"({"chord":"Ctrl+1","action":{"type":"open_profile","profile_id":"p1"}},)"
        R"({"chord":"Ctrl+2","action":{"text":"hi","type":"send_text"}},)"
        R"({"chord":"Ctrl+3","action":{"type":"run_alias","alias":"ll"}}]})");
    ASSERT_TRUE(r) << r.error();
    EXPECT_FALSE(r->aliases.at(0).send_enter);
    EXPECT_EQ(r->quick_keys.at(0).action, QuickAction(ShowHelp{}));
    EXPECT_EQ(r->quick_keys.at(1).action, QuickAction(OpenProfile{"p1"}));
    EXPECT_EQ(r->quick_keys.at(2).action, QuickAction(SendText{"hi"}));
    EXPECT_EQ(r->quick_keys.at(3).action, QuickAction(RunAlias{"ll"}));
    EXPECT_EQ(parse_aliases_file(to_pretty_json(*r)).value(), *r);
}

TEST(FileRecords, RequiredAndOptionalLists) {
    auto aliases = parse_aliases_file(R"({"schema_version":1})");
    ASSERT_TRUE(aliases);
    EXPECT_TRUE(aliases->aliases.empty());
    EXPECT_TRUE(aliases->quick_keys.empty());
    EXPECT_EQ(parse_aliases_file("{}").error(), "missing field `schema_version`");
    EXPECT_EQ(parse_profiles_file(R"({"schema_version":1})").error(), "missing field `profiles`");

    auto sessions = parse_sessions_file(R"({"schema_version":1,"sessions":[{"id":"s"}]})");
    ASSERT_TRUE(sessions);
    EXPECT_EQ(sessions->sessions.at(0), SessionRecord{"s"});
}

TEST(HistoryFormat, EntryReading) {
    EXPECT_EQ(parse_history_entry(R"({"line":"x","ts":5,"extra":true})").value(),
              (HistoryEntry{5, "x"}));
    EXPECT_EQ(parse_history_entry(R"({"ts":5})").error(), "missing field `line`");
    EXPECT_FALSE(parse_history_entry(R"({"ts":5,"line":"x"} {)"));
}

}  // namespace
}  // namespace tolvar::core
