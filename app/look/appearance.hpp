// How panes look as settings.json asks: the theme, the user's own colours on
// top of it, the bold rule and the cursor the user prefers, read from the
// values the file held with a notice for each one that cannot be used. Not
// the drawing. Pure functions; the result lives in AppState.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "look/palette.hpp"
#include "tolvar/core/records.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "view/word_selection.hpp"

namespace tolvar::app {

struct Appearance {
    Palette palette;  // theme + user colours + bold rule
    // Never Default. The program has always drawn its cursor as a bar under
    // the cell, which is the shape applications call underline.
    pty::CursorShape cursor_shape = pty::CursorShape::Underline;
    // Nothing: the cursor blinks only when an application asks; false never,
    // true always unless an application asks for a steady one.
    std::optional<bool> cursor_blink;
    // The characters a double-click's word stops at.
    std::u32string word_delimiters{k_default_word_delimiters};
    // "log_all_sessions": every new session starts its log.
    bool log_all_sessions = false;
    friend bool operator==(const Appearance&, const Appearance&) = default;
};

struct AppearanceRead {
    Appearance appearance;
    // One per value that falls back, e.g. `settings.json: "colors.background"
    // is "#12345", not a colour like "#1e1e2e"; the theme's colour is used`.
    std::vector<std::string> notices;
};

// Each key falls back to its default on its own; absent and null keys are
// today's look and tell nothing.
AppearanceRead read_appearance(const core::Settings& settings);

// The scheme the settings name, Default when none or an unknown one.
const Theme& chosen_theme(const core::Settings& settings);

// The notice for a settings value that falls back: `settings.json: "key" is
// VALUE, not EXPECTED; CONSEQUENCE`, a long value cut short.
std::string setting_notice(std::string_view key, const core::JsonValue& value,
                           std::string_view expected, std::string_view consequence);
// The value of a key the app reads itself; nothing when absent or null,
// which both mean the default and tell nothing.
const core::JsonValue* given_setting(const core::RawJson& raw);
// Whether `a` equals `lower` (in lower case) ignoring the case of ASCII letters.
bool same_ascii_case_blind(std::string_view a, std::string_view lower);

// "#rrggbb" in either case of hex digits; nothing for anything else.
std::optional<Rgb> parse_color(std::string_view text);

}  // namespace tolvar::app
