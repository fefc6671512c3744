#include "look/appearance.hpp"

#include <array>

#include "look/themes.hpp"
#include "tolvar/core/json_text.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

using core::JsonValue;

std::string told(std::string_view key, const JsonValue& value, std::string_view expected,
                 std::string_view consequence) {
    return setting_notice(key, value, expected, consequence);
}

const JsonValue* given(const core::RawJson& raw) {
    return given_setting(raw);
}

constexpr char k_like_a_colour[] = "a colour like \"#1e1e2e\"";

std::optional<Rgb> color_of(const JsonValue& value) {
    if (value.kind != JsonValue::Kind::String) return std::nullopt;
    return parse_color(value.text);
}

std::string theme_names() {
    std::string names;
    for (const Theme& theme : builtin_themes()) {
        if (!names.empty()) names += ", ";
        names += theme.name;
    }
    return names;
}

struct ColorKey {
    std::string_view key;
    Rgb Theme::*member;
};
constexpr std::array<ColorKey, 5> k_color_keys{{
    {"foreground", &Theme::foreground},
    {"background", &Theme::background},
    {"cursor", &Theme::cursor},
    {"selection_foreground", &Theme::selection_foreground},
    {"selection_background", &Theme::selection_background},
}};

void read_ansi(const JsonValue& value, Theme& theme, std::vector<std::string>& notices) {
    constexpr char instead[] = "the theme's sixteen are used";
    if (value.kind != JsonValue::Kind::Array) {
        notices.push_back(told("colors.ansi", value, "a list of 16 colours", instead));
        return;
    }
    if (value.items.size() != 16) {
        const std::size_t count = value.items.size();
        notices.push_back("settings.json: \"colors.ansi\" holds " + std::to_string(count) +
                          (count == 1 ? " colour" : " colours") + ", not 16; " + instead);
        return;
    }
    std::array<Rgb, 16> ansi{};
    for (std::size_t i = 0; i < 16; ++i) {
        const std::optional<Rgb> color = color_of(value.items[i]);
        if (!color) {
            notices.push_back(told("colors.ansi[" + std::to_string(i) + "]", value.items[i],
                                   k_like_a_colour, instead));
            return;
        }
        ansi[i] = *color;
    }
    theme.ansi = ansi;
}

void read_colors(const JsonValue& colors, Theme& theme, std::vector<std::string>& notices) {
    if (colors.kind != JsonValue::Kind::Object) {
        notices.push_back(
            told("colors", colors, "an object of colours", "the theme's colours are used"));
        return;
    }
    for (const core::JsonMember& member : colors.members) {
        if (member.value.kind == JsonValue::Kind::Null) continue;
        if (member.key == "ansi") {
            read_ansi(member.value, theme, notices);
            continue;
        }
        const ColorKey* known = nullptr;
        for (const ColorKey& candidate : k_color_keys) {
            if (candidate.key == member.key) known = &candidate;
        }
        if (!known) {
            notices.push_back("settings.json: \"colors\" has " + core::debug_quote(member.key) +
                              ", which is none of foreground, background, cursor, "
                              "selection_foreground, selection_background and ansi; it is ignored");
            continue;
        }
        if (const std::optional<Rgb> color = color_of(member.value)) {
            theme.*(known->member) = *color;
        } else {
            notices.push_back(told("colors." + member.key, member.value, k_like_a_colour,
                                   "the theme's colour is used"));
        }
    }
}

std::optional<bool> flag(const JsonValue* value) {
    if (!value || value->kind != JsonValue::Kind::Bool) return std::nullopt;
    return value->boolean;
}

std::optional<pty::CursorShape> shape_of(const JsonValue& value) {
    if (value.kind != JsonValue::Kind::String) return std::nullopt;
    if (same_ascii_case_blind(value.text, "bar")) return pty::CursorShape::Bar;
    if (same_ascii_case_blind(value.text, "block")) return pty::CursorShape::Block;
    if (same_ascii_case_blind(value.text, "underline")) return pty::CursorShape::Underline;
    return std::nullopt;
}

}  // namespace

std::string setting_notice(std::string_view key, const core::JsonValue& value,
                           std::string_view expected, std::string_view consequence) {
    return "settings.json: \"" + std::string(key) + "\" is " + core::shown_json(value) + ", not " +
           std::string(expected) + "; " + std::string(consequence);
}

const core::JsonValue* given_setting(const core::RawJson& raw) {
    if (!raw.value || raw.value->kind == JsonValue::Kind::Null) return nullptr;
    return &*raw.value;
}

bool same_ascii_case_blind(std::string_view a, std::string_view lower) {
    if (a.size() != lower.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        if (x != lower[i]) return false;
    }
    return true;
}

std::optional<Rgb> parse_color(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    std::uint8_t channels[3]{};
    for (std::size_t i = 0; i < 6; ++i) {
        const char c = text[1 + i];
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        channels[i / 2] = static_cast<std::uint8_t>(channels[i / 2] * 16 + digit);
    }
    return Rgb{channels[0], channels[1], channels[2]};
}

const Theme& chosen_theme(const core::Settings& settings) {
    const JsonValue* name = given(settings.theme);
    if (name && name->kind == JsonValue::Kind::String) {
        if (const Theme* theme = find_theme(name->text)) return *theme;
    }
    return builtin_themes().front();
}

AppearanceRead read_appearance(const core::Settings& settings) {
    AppearanceRead read;
    std::vector<std::string>& notices = read.notices;

    Theme theme = chosen_theme(settings);
    if (const JsonValue* name = given(settings.theme)) {
        if (name->kind != JsonValue::Kind::String || !find_theme(name->text)) {
            notices.push_back(told("theme", *name, "one of " + theme_names(), "Default is used"));
        }
    }
    if (const JsonValue* colors = given(settings.colors)) read_colors(*colors, theme, notices);

    bool bold_is_bright = true;
    if (const JsonValue* value = given(settings.bold_is_bright)) {
        if (const auto bold = flag(value)) {
            bold_is_bright = *bold;
        } else {
            notices.push_back(told("bold_is_bright", *value, "true or false", "true is used"));
        }
    }
    read.appearance.palette = Palette(theme, bold_is_bright);

    if (const JsonValue* value = given(settings.log_all_sessions)) {
        if (const auto on = flag(value)) {
            read.appearance.log_all_sessions = *on;
        } else {
            notices.push_back(told("log_all_sessions", *value, "true or false", "false is used"));
        }
    }

    if (const JsonValue* value = given(settings.cursor_shape)) {
        if (const auto shape = shape_of(*value)) {
            read.appearance.cursor_shape = *shape;
        } else {
            notices.push_back(told("cursor_shape", *value, "\"bar\", \"block\" or \"underline\"",
                                   "\"underline\" is used"));
        }
    }

    if (const JsonValue* value = given(settings.cursor_blink)) {
        if (const auto blink = flag(value)) {
            read.appearance.cursor_blink = *blink;
        } else {
            notices.push_back(told("cursor_blink", *value, "true or false",
                                   "the cursor blinks when a program asks"));
        }
    }

    if (const JsonValue* value = given(settings.word_delimiters)) {
        if (value->kind == JsonValue::Kind::String && core::is_valid_utf8(value->text)) {
            std::u32string delimiters;
            for (std::size_t pos = 0; pos < value->text.size();) {
                delimiters.push_back(core::next_code_point(value->text, pos));
            }
            read.appearance.word_delimiters = std::move(delimiters);
        } else {
            notices.push_back(told("word_delimiters", *value, "a string of characters",
                                   "the usual delimiters are used"));
        }
    }
    return read;
}

}  // namespace tolvar::app
