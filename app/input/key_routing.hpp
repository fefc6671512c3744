// Where a key press or a typed character goes: the group-browser keys, the
// tab-navigation arrows, the shortcut table, quick keys, the key table, and
// the character rules that come before a character reaches a session. Pure
// decisions over AppState; carrying them out is the input controller's job.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "commands/commands.hpp"
#include "input/chords.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

enum class Shortcut {
    Paste,
    CopyScreen,
    ToggleHelp,
    NewTab,
    CloseTab,
    NewWindow,
    RenameTab,
    ToggleBroadcast,
    ToggleBrowser,
    ToggleTileGroup,
    ToggleTileAll,
    ToggleCollapsed,
    ConnectionManager,
    QuickConnect,
    HistoryViewer,
    NextTab,
    PreviousTab,
    SelectTab,
};

struct ShortcutKey {
    Shortcut action;
    std::size_t tab = 0;  // SelectTab only
    friend constexpr bool operator==(ShortcutKey, ShortcutKey) = default;
};

// The shortcut table; nothing while Alt is held.
std::optional<ShortcutKey> shortcut_for(VirtualKey key, Modifiers modifiers, bool chrome_tab_keys);

// Chords that quick keys can never take over: every Ctrl chord of the
// shortcut table.
bool is_reserved_chord(VirtualKey key, Modifiers modifiers, bool chrome_tab_keys);

// The first quick key, in stored order, whose chord is valid and equals the
// key exactly; chords are parsed on every call so edits apply at once.
std::optional<std::size_t> match_quick_key(const std::vector<core::QuickKey>& quick_keys,
                                           VirtualKey key, Modifiers modifiers);

struct BrowserKey {
    enum class Kind { Move, Open, Up, Leave, Cycle };
    Kind kind;
    int dx = 0;
    int dy = 0;
    bool backwards = false;  // Cycle
    friend constexpr bool operator==(BrowserKey, BrowserKey) = default;
};
// The keys of the group browser (the caller checks the view mode and Alt).
std::optional<BrowserKey> browser_key(VirtualKey key, Modifiers modifiers);

struct NavArrow {
    int dx = 0;
    int dy = 0;
    friend constexpr bool operator==(NavArrow, NavArrow) = default;
};
// An arrow key held with exactly the modifiers the nav_modifier setting names.
std::optional<NavArrow> nav_arrow(VirtualKey key, Modifiers modifiers, std::string_view setting);

// Keys that move the active pane through its history, the find box, and
// copying the selection (Ctrl+Shift+C) and pasting (Ctrl+Shift+V).
// They came after the shortcut table: a quick key on the same chord keeps
// working, so they are tried after quick keys and are no reserved chords.
enum class ViewKey {
    PageBack,
    PageForward,
    LineBack,
    LineForward,
    Oldest,
    Live,
    Find,
    Copy,
    Paste,
    Palette,  // Ctrl+Shift+Space: Ctrl+Shift+P was quick connect already
};
std::optional<ViewKey> view_key_for(VirtualKey key, Modifiers modifiers);

struct QuickKeyHit {
    std::size_t index = 0;
    friend constexpr bool operator==(QuickKeyHit, QuickKeyHit) = default;
};
struct SendKey {
    std::string_view bytes;
    friend constexpr bool operator==(SendKey, SendKey) = default;
};
// Nothing to do: a browser-mode key no rule took, or a key outside the table.
struct NoKeyAction {
    friend constexpr bool operator==(NoKeyAction, NoKeyAction) = default;
};
using KeyRoute =
    std::variant<NoKeyAction, BrowserKey, NavArrow, ShortcutKey, QuickKeyHit, ViewKey, SendKey>;

// The whole key-down dispatch, first taker wins: browser keys, navigation
// arrows, shortcuts, quick keys, the palette, the view keys, then the key
// table.
KeyRoute route_key_down(const AppState& state, VirtualKey key, Modifiers modifiers);

// What a routed key does: a command on the tabs and groups as they are now
// (the active tab's, its group's), the bytes it sends, or nothing (a chord
// whose subject is missing: broadcast without a group). A scroll key on the
// alternate screen, which has no history, sends its bytes to the program.
using KeyAction = std::variant<NoKeyAction, Command, SendKey>;
KeyAction key_action(const AppState& state, const KeyRoute& route, VirtualKey key,
                     Modifiers modifiers);

// A quick key's stored action as a command on the active tab.
std::optional<Command> quick_key_command(const AppState& state, const core::QuickAction& action);

// Backspace sends DEL and Ctrl+Backspace BS, as terminals expect; Windows
// delivers them the other way round.
constexpr char16_t swap_backspace(char16_t unit) {
    return unit == 0x7F ? 0x08 : unit == 0x08 ? 0x7F : unit;
}

enum class CharRoute {
    Ignore,
    HideHelp,  // Esc under the help screen
    TabKey,    // alias trigger, then completion, then a Tab byte
    Text,      // tracked and sent
    // On a tab whose program ended, where nothing else typed goes anywhere:
    Restart,     // Enter
    CloseEnded,  // Esc
};
// `unit` is the character after swap_backspace.
CharRoute route_char(const AppState& state, char16_t unit, Modifiers modifiers);

// Carries a high surrogate from one WM_CHAR to the next.
class SurrogateJoiner {
  public:
    // The UTF-8 of the unit joined with any pending one, unpaired halves as
    // U+FFFD; nothing while a high surrogate waits for its partner.
    std::optional<std::string> push(char16_t unit);

  private:
    std::optional<char16_t> pending_;
};

}  // namespace tolvar::app
