#include "input/chords.hpp"

#include <array>
#include <utility>

#include "tolvar/core/lowercase.hpp"

namespace tolvar::app {

namespace {

bool equals_ascii_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Sets the named flag; false for a word that names no modifier.
bool add_modifier(Modifiers& m, std::string_view word) {
    if (equals_ascii_nocase(word, "ctrl")) {
        m.ctrl = true;
    } else if (equals_ascii_nocase(word, "alt")) {
        m.alt = true;
    } else if (equals_ascii_nocase(word, "shift")) {
        m.shift = true;
    } else {
        return false;
    }
    return true;
}

// An unsigned 16-bit decimal with an optional leading '+', as chord texts
// have always been read; overflow is invalid, never wrapped.
std::optional<std::uint16_t> parse_u16(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 0xFFFF) return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// Calls f(part) for each piece of `text` split at every '+'; stops early
// when f returns false. Returns the number of parts seen.
template <class F>
std::size_t for_each_part(std::string_view text, F&& f) {
    std::size_t count = 0;
    for (;;) {
        const std::size_t plus = text.find('+');
        ++count;
        if (!f(text.substr(0, plus), plus == std::string_view::npos)) return count;
        if (plus == std::string_view::npos) return count;
        text.remove_prefix(plus + 1);
    }
}

struct NamedKey {
    std::string_view name;
    VirtualKey key;
};
// The VK_OEM_ codes are those of a US layout's keys.
constexpr NamedKey k_named_keys[] = {
    {"space", 0x20},
    {"grave", 0xC0},
    {"`", 0xC0},
    {"tab", vk::k_tab},
    {"enter", vk::k_return},
    {"escape", vk::k_escape},
    {"backspace", vk::k_back},
    {"insert", vk::k_insert},
    {"delete", vk::k_delete},
    {"home", vk::k_home},
    {"end", vk::k_end},
    {"pageup", vk::k_prior},
    {"pagedown", vk::k_next},
    {"up", vk::k_up},
    {"down", vk::k_down},
    {"left", vk::k_left},
    {"right", vk::k_right},
    {"pause", 0x13},
    {"minus", 0xBD},
    {"-", 0xBD},
    {"equals", 0xBB},
    {"=", 0xBB},
    {"comma", 0xBC},
    {",", 0xBC},
    {"period", 0xBE},
    {".", 0xBE},
    {"slash", 0xBF},
    {"/", 0xBF},
    {"semicolon", 0xBA},
    {";", 0xBA},
    {"quote", 0xDE},
    {"'", 0xDE},
    {"backslash", 0xDC},
    {"\\", 0xDC},
    {"bracketleft", 0xDB},
    {"[", 0xDB},
    {"bracketright", 0xDD},
    {"]", 0xDD},
};

std::optional<VirtualKey> parse_system_chord_key(std::string_view text) {
    for (const NamedKey& named : k_named_keys) {
        if (core::ascii_iequals(text, named.name)) return named.key;
    }
    constexpr std::string_view numpad = "numpad";
    if (text.size() == numpad.size() + 1 && core::ascii_iequals(text.substr(0, 6), numpad) &&
        text.back() >= '0' && text.back() <= '9') {
        return static_cast<VirtualKey>(0x60 + (text.back() - '0'));
    }
    if (text.size() > 1 && (text[0] == 'F' || text[0] == 'f')) {
        const auto n = parse_u16(text.substr(1));
        if (n && *n >= 13 && *n <= 24) return static_cast<VirtualKey>(0x6F + *n);
    }
    return parse_chord_key(text);
}

}  // namespace

std::optional<VirtualKey> parse_chord_key(std::string_view text) {
    if (text.size() == 1) {
        const char c = text[0];
        if (c >= 'a' && c <= 'z') return vk::letter(static_cast<char>(c - 'a' + 'A'));
        if (c >= 'A' && c <= 'Z') return vk::letter(c);
        if (c >= '0' && c <= '9') return static_cast<VirtualKey>(c);
        return std::nullopt;
    }
    if (text.size() > 1 && (text[0] == 'F' || text[0] == 'f')) {
        const auto n = parse_u16(text.substr(1));
        if (n && *n >= 1 && *n <= 12) return static_cast<VirtualKey>(0x6F + *n);
    }
    return std::nullopt;
}

std::optional<Chord> parse_chord(std::string_view text) {
    Chord chord;
    bool valid = true;
    const std::size_t parts = for_each_part(text, [&](std::string_view part, bool last) {
        if (last) {
            const auto key = parse_chord_key(part);
            valid = key.has_value();
            if (key) chord.key = *key;
            return false;
        }
        valid = add_modifier(chord.modifiers, part);
        return valid;
    });
    if (!valid || parts < 2) return std::nullopt;
    return chord;
}

std::optional<SystemChord> parse_system_chord(std::string_view text) {
    SystemChord chord;
    bool valid = true;
    const std::size_t parts = for_each_part(text, [&](std::string_view part, bool last) {
        if (last) {
            const auto key = parse_system_chord_key(part);
            valid = key.has_value();
            if (key) chord.key = *key;
            return false;
        }
        if (core::ascii_iequals(part, "win")) {
            chord.win = true;
        } else {
            valid = add_modifier(chord.modifiers, part);
        }
        return valid;
    });
    const Modifiers& held = chord.modifiers;
    if (!valid || parts < 2 || !(held.ctrl || held.alt || chord.win)) return std::nullopt;
    return chord;
}

std::uint32_t hotkey_modifiers(const SystemChord& chord) {
    std::uint32_t flags = hotkey::k_no_repeat;
    if (chord.modifiers.alt) flags |= hotkey::k_alt;
    if (chord.modifiers.ctrl) flags |= hotkey::k_control;
    if (chord.modifiers.shift) flags |= hotkey::k_shift;
    if (chord.win) flags |= hotkey::k_win;
    return flags;
}

std::optional<Modifiers> parse_modifier_set(std::string_view text) {
    Modifiers set;
    bool valid = true;
    for_each_part(text, [&](std::string_view part, bool) {
        valid = add_modifier(set, part);
        return valid;
    });
    if (!valid) return std::nullopt;
    return set;
}

std::optional<std::string_view> key_sequence(VirtualKey key, Modifiers modifiers) {
    static constexpr std::array<std::pair<VirtualKey, std::string_view>, 22> k_table{{
        {vk::k_up, "\x1b[A"},       {vk::k_down, "\x1b[B"},     {vk::k_right, "\x1b[C"},
        {vk::k_left, "\x1b[D"},     {vk::k_home, "\x1b[H"},     {vk::k_end, "\x1b[F"},
        {vk::k_insert, "\x1b[2~"},  {vk::k_delete, "\x1b[3~"},  {vk::k_prior, "\x1b[5~"},
        {vk::k_next, "\x1b[6~"},    {vk::k_f1, "\x1bOP"},       {vk::k_f1 + 1, "\x1bOQ"},
        {vk::k_f1 + 2, "\x1bOR"},   {vk::k_f1 + 3, "\x1bOS"},   {vk::k_f1 + 4, "\x1b[15~"},
        {vk::k_f1 + 5, "\x1b[17~"}, {vk::k_f1 + 6, "\x1b[18~"}, {vk::k_f1 + 7, "\x1b[19~"},
        {vk::k_f1 + 8, "\x1b[20~"}, {vk::k_f1 + 9, "\x1b[21~"}, {vk::k_f1 + 10, "\x1b[23~"},
        {vk::k_f12, "\x1b[24~"},
    }};
    if (key == vk::k_tab) {
        if (modifiers.shift) return "\x1b[Z";
        return std::nullopt;
    }
    for (const auto& [code, bytes] : k_table) {
        if (code == key) return bytes;
    }
    return std::nullopt;
}

}  // namespace tolvar::app
