// Keyboard input of the main window: keys become commands through the
// routing rules and run through the command runner; typed text goes to the
// active session (or to every tab of a broadcasting group), with aliases and
// completion. Not the routing decisions themselves, nor any Win32 call. UI
// thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "commands/command_runner.hpp"
#include "input/key_routing.hpp"
#include "tolvar/core/file_system.hpp"
#include "view/scrolling.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {

// Writes to the active tab's session, or to every tab of its group in tab
// order when that group broadcasts, and brings every pane written to back
// to its live screen. Write failures are silent.
void send_input(AppState& state, std::string_view bytes);

// Paste text as sent: CR LF and LF become CR; with bracketed paste, the text
// goes between ESC [200~ and ESC [201~ with every end marker it held removed,
// so pasted text can never close the bracket early and run as typed input.
std::string paste_bytes(std::string_view text, bool bracketed);

// Sends pasted text like send_input, each tab's bytes bracketed as that tab's
// own program asked.
void send_paste(AppState& state, std::string_view text);

// Copy-screen text: trailing line feeds, spaces and tabs removed.
std::string_view trim_screen_text(std::string_view text);

// The text after the line's last Unicode white space (all of it without).
std::string_view trailing_word(std::string_view line);

// The alias a Tab expands: the first named exactly like the trailing word.
const core::Alias* alias_for_line(const std::vector<core::Alias>& aliases, std::string_view line);

// What an alias sends: a DEL per character of its name, the expansion, and
// a carriage return with send_enter.
std::string alias_bytes(const core::Alias& alias);

class InputController {
  public:
    InputController(Workspace& workspace, CommandRunner& commands, core::FileSystem& fs)
        : workspace_(workspace), commands_(commands), fs_(fs) {}

    // WM_KEYDOWN with the modifiers held at the time.
    void key_down(VirtualKey key, Modifiers modifiers);
    // WM_SYSKEYDOWN: Windows reports keys pressed with Alt (and not Ctrl)
    // this way, so the default "alt" navigation arrows and Alt quick keys
    // arrive here. Takes only those two; false leaves every other system
    // key (F10, Alt+letter, Alt+F4) to the default window procedure.
    bool system_key_down(VirtualKey key, Modifiers modifiers);
    // WM_SYSCHAR: true when it belongs to a quick key just taken, and is
    // to be dropped rather than passed on to the default window procedure.
    bool system_character();
    // WM_KEYUP and WM_SYSKEYUP: true for the release of an Alt that carried
    // a key taken above. The default window procedure never saw that key,
    // so it would take the release for Alt pressed alone and enter the
    // window-menu mode, which swallows the next key typed.
    bool key_up(VirtualKey key);
    // WM_CHAR, one UTF-16 unit as Windows delivered it.
    void character(char16_t unit, Modifiers modifiers);
    // WM_MOUSEWHEEL over a pane: scrolls its history, or on the alternate
    // screen sends the application three cursor keys per notch, as `less`
    // and editors expect. `lines_per_notch` is the system's setting
    // (WheelAccumulator::k_page for a page).
    void wheel(TabId pane, int delta, unsigned lines_per_notch);

  private:
    // The routed key's command or bytes; false when it did nothing.
    bool run_route(const KeyRoute& route, VirtualKey key, Modifiers modifiers);
    void tab_key();
    void typed_text(std::string text);

    Workspace& workspace_;
    CommandRunner& commands_;
    core::FileSystem& fs_;
    SurrogateJoiner surrogates_;
    // A quick key that fired on key down: the character Windows makes of
    // the same key press (Ctrl+D's EOF, an AltGr letter) must not follow it
    // to the shell.
    bool drop_next_char_ = false;
    bool took_alt_chord_ = false;
    WheelAccumulator wheel_;
};

}  // namespace tolvar::app
