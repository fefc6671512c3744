#include "commands/summon.hpp"

#include <gtest/gtest.h>

namespace tolvar::app {
namespace {

using core::JsonValue;

core::Settings with_summon_key(std::optional<JsonValue> value) {
    core::Settings settings;
    settings.summon_key.value = std::move(value);
    return settings;
}

JsonValue json_of(JsonValue::Kind kind) {
    JsonValue v;
    v.kind = kind;
    return v;
}

// ------------------------------------------------------------ the setting

TEST(SummonKeySetting, AChordBecomesTheSystemsFlagsAndKey) {
    const struct {
        std::string_view text;
        std::uint32_t modifiers;
        std::uint32_t key;
    } cases[] = {
        {"ctrl+alt+t", 0x4003, 'T'},  // MOD_CONTROL | MOD_ALT | MOD_NOREPEAT
        {"win+grave", 0x4008, 0xC0},  // VK_OEM_3
        {"Win+Shift+Space", 0x400C, 0x20},
        {"alt+F12", 0x4001, 0x7B},
    };
    for (const auto& c : cases) {
        const SummonKeyRead read =
            read_summon_key(with_summon_key(JsonValue::string(std::string(c.text))));
        ASSERT_TRUE(read.key) << c.text;
        EXPECT_EQ(*read.key, (SummonKey{std::string(c.text), c.modifiers, c.key})) << c.text;
        EXPECT_FALSE(read.notice) << *read.notice;
    }
}

TEST(SummonKeySetting, AbsentAndNullAreNoKeyAndTellNothing) {
    for (const auto& value :
         {std::optional<JsonValue>{}, std::optional{json_of(JsonValue::Kind::Null)}}) {
        const SummonKeyRead read = read_summon_key(with_summon_key(value));
        EXPECT_FALSE(read.key);
        EXPECT_FALSE(read.notice);
    }
}

TEST(SummonKeySetting, AValueThatIsNoChordIsNoKeyWithANoticeNamingIt) {
    const auto notice = [](std::string_view shown) {
        return "settings.json: \"summon_key\" is " + std::string(shown) +
               ", not a chord like \"ctrl+alt+t\" or \"win+grave\"; there is no summon key";
    };
    JsonValue number = json_of(JsonValue::Kind::Uint);
    number.uint_value = 84;
    const struct {
        JsonValue value;
        std::string shown;
    } cases[] = {
        {JsonValue::string("ctrl+alt+tt"), "\"ctrl+alt+tt\""},  // an unknown key name
        {JsonValue::string("grave"), "\"grave\""},              // no modifier
        {JsonValue::string("shift+t"), "\"shift+t\""},          // would take every capital T
        {JsonValue::string("hyper+t"), "\"hyper+t\""},
        {JsonValue::string(""), "\"\""},
        {number, "84"},
        {json_of(JsonValue::Kind::Bool), "false"},
    };
    for (const auto& c : cases) {
        const SummonKeyRead read = read_summon_key(with_summon_key(c.value));
        EXPECT_FALSE(read.key) << c.shown;
        EXPECT_EQ(read.notice, notice(c.shown));
    }
}

TEST(SummonKeySetting, ARefusalNamesTheChordAndTheSystemsReason) {
    EXPECT_EQ(summon_refused_notice("ctrl+alt+t", "Hot key is already registered. (os error 1409)"),
              "Cannot use the summon key \"ctrl+alt+t\": Hot key is already registered. (os error "
              "1409). Another program may hold it; \"summon_key\" in settings.json can name "
              "another chord.");
}

// ------------------------------------------------------------ a press

TEST(SummonAction, InFrontGoesAwayAnythingElseComesToTheFront) {
    using enum SummonAction;
    const struct {
        SummonScene scene;
        SummonAction action;
    } cases[] = {
        // Behind another program, hidden in the tray, minimized.
        {{.foreground = false, .shown = true, .tray_icon = true}, ShowAndFocus},
        {{.foreground = false, .shown = false, .tray_icon = true}, ShowAndFocus},
        {{.foreground = false, .shown = false, .tray_icon = false}, ShowAndFocus},
        // Still the foreground window once minimized or hidden: it shows.
        {{.foreground = true, .shown = false, .tray_icon = true}, ShowAndFocus},
        {{.foreground = true, .shown = true, .tray_icon = true}, HideToTray},
        {{.foreground = true, .shown = true, .tray_icon = false}, Minimize},
        // A dialog goes along only with a minimized owner.
        {{.foreground = true, .shown = true, .tray_icon = true, .dialog_open = true}, Minimize},
        {{.foreground = false, .shown = true, .tray_icon = true, .dialog_open = true},
         ShowAndFocus},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(summon_action(c.scene), c.action)
            << c.scene.foreground << c.scene.shown << c.scene.tray_icon << c.scene.dialog_open;
    }
}

}  // namespace
}  // namespace tolvar::app
