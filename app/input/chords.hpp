// The key vocabulary of the main window: virtual-key codes, modifier sets,
// quick-key chords, the chords the system watches for in every program, the
// navigation modifier setting and the bytes that non-character keys send.
// Pure functions; no state, no Windows headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvar::app {

using VirtualKey = std::uint16_t;

// The Windows virtual-key codes the rules name.
namespace vk {
inline constexpr VirtualKey k_back = 0x08;
inline constexpr VirtualKey k_tab = 0x09;
inline constexpr VirtualKey k_return = 0x0D;
inline constexpr VirtualKey k_menu = 0x12;  // Alt
inline constexpr VirtualKey k_escape = 0x1B;
inline constexpr VirtualKey k_space = 0x20;
inline constexpr VirtualKey k_prior = 0x21;
inline constexpr VirtualKey k_next = 0x22;
inline constexpr VirtualKey k_end = 0x23;
inline constexpr VirtualKey k_home = 0x24;
inline constexpr VirtualKey k_left = 0x25;
inline constexpr VirtualKey k_up = 0x26;
inline constexpr VirtualKey k_right = 0x27;
inline constexpr VirtualKey k_down = 0x28;
inline constexpr VirtualKey k_insert = 0x2D;
inline constexpr VirtualKey k_delete = 0x2E;
inline constexpr VirtualKey k_f1 = 0x70;
inline constexpr VirtualKey k_f12 = 0x7B;
// Letters and digits are their upper-case ASCII codes.
constexpr VirtualKey letter(char c) {
    return static_cast<VirtualKey>(c);
}
}  // namespace vk

// Which of Ctrl, Shift and Alt are held; left and right are not told apart.
struct Modifiers {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    friend constexpr bool operator==(Modifiers, Modifiers) = default;
};

struct Chord {
    VirtualKey key = 0;
    Modifiers modifiers;
    friend constexpr bool operator==(Chord, Chord) = default;
};

// A quick key's chord text ("ctrl+shift+F5"): modifier names, then one
// letter, digit or F1..F12. Nothing when invalid; a chord needs a modifier.
std::optional<Chord> parse_chord(std::string_view text);

// The key part of a chord on its own.
std::optional<VirtualKey> parse_chord_key(std::string_view text);

// A chord the system watches for in every program (RegisterHotKey), such as
// the summon key: the Windows key is a modifier too.
struct SystemChord {
    VirtualKey key = 0;
    Modifiers modifiers;
    bool win = false;
    friend constexpr bool operator==(SystemChord, SystemChord) = default;
};

// "ctrl+alt+t", "win+grave": modifier names (ctrl, alt, shift, win, any
// case), then a letter, digit, F1..F24, a named key (space, grave, tab,
// enter, escape, backspace, insert, delete, home, end, pageup, pagedown, up,
// down, left, right, pause, numpad0..numpad9, minus, equals, comma, period,
// slash, semicolon, quote, backslash, bracketleft, bracketright) or one of
// the characters ` - = , . / ; ' \ [ ]. The punctuation keys are named
// by what they type on a US layout. Nothing when invalid, and nothing
// without ctrl, alt or win: shift alone would take a typed character from
// every program.
std::optional<SystemChord> parse_system_chord(std::string_view text);

// RegisterHotKey's modifier flags, as plain numbers.
namespace hotkey {
inline constexpr std::uint32_t k_alt = 0x0001;
inline constexpr std::uint32_t k_control = 0x0002;
inline constexpr std::uint32_t k_shift = 0x0004;
inline constexpr std::uint32_t k_win = 0x0008;
inline constexpr std::uint32_t k_no_repeat = 0x4000;
}  // namespace hotkey

// The chord's flags with k_no_repeat: a chord held down acts once.
std::uint32_t hotkey_modifiers(const SystemChord& chord);

// The nav_modifier setting ("alt", "ctrl+shift"): nothing when any part is
// not a modifier name, so an empty setting never matches.
std::optional<Modifiers> parse_modifier_set(std::string_view text);

// The key table: what a non-character key sends, whatever the terminal's
// cursor or keypad modes. Nothing for keys whose characters come as WM_CHAR.
std::optional<std::string_view> key_sequence(VirtualKey key, Modifiers modifiers);

}  // namespace tolvar::app
