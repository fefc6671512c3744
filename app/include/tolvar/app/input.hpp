// Keyboard and clipboard input of the main window: carries out the routes of
// the shortcut rules, sends bytes to the active session (or to every tab of
// a broadcasting group), expands aliases, pastes and copies. Not the routing
// decisions themselves, nor any Win32 call. UI thread only; like every
// operation, it lets go of the state before anything that can re-enter.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tolvar/app/key_routing.hpp"
#include "tolvar/app/scrolling.hpp"
#include "tolvar/app/workspace.hpp"
#include "tolvar/core/file_system.hpp"

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

// What input needs from the main window beyond the workspace. Every call
// may re-enter the window procedure: never made while borrowing.
class InputPort {
  public:
    virtual ~InputPort() = default;
    // The clipboard's text as UTF-8; nothing when there is none or it is busy.
    virtual std::optional<std::string> read_clipboard() = 0;
    virtual void write_clipboard(std::string_view text) = 0;
    // Starts the program's own executable again, with no arguments.
    virtual void start_new_window() = 0;
    virtual void start_rename(RenameTarget target) = 0;
    virtual void open_connection_manager() = 0;
    virtual void open_quick_connect() = 0;
    virtual void open_history_viewer() = 0;
    // The find box over the active pane, with the focus in it.
    virtual void open_find() = 0;
};

class InputController {
  public:
    InputController(Workspace& workspace, WindowPort& window, InputPort& port, core::FileSystem& fs)
        : workspace_(workspace), window_(window), port_(port), fs_(fs) {}

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
    void paste();
    // The lines in view: the live screen, or the page of history shown.
    void copy_screen();
    // The mouse selection as the release copies it; nothing without one.
    void copy_selection();
    // WM_MOUSEWHEEL over a pane: scrolls its history, or on the alternate
    // screen sends the application three cursor keys per notch, as `less`
    // and editors expect. `lines_per_notch` is the system's setting
    // (WheelAccumulator::k_page for a page).
    void wheel(TabId pane, int delta, unsigned lines_per_notch);

  private:
    void run_shortcut(ShortcutKey shortcut);
    void run_browser_key(BrowserKey key);
    void run_nav_arrow(NavArrow arrow);
    void run_quick_key(std::size_t index);
    // A scroll key on the active pane; on the alternate screen, which has no
    // history, the key goes to the application as its bytes.
    void run_view_key(ViewKey key, VirtualKey virtual_key, Modifiers modifiers);
    void start_active_rename();
    void tab_key();
    void typed_text(std::string_view text);
    // Sends text as typed input and records it as a submitted line.
    void send_and_record(std::string_view bytes, std::string_view line);
    void toggle_help();

    Workspace& workspace_;
    WindowPort& window_;
    InputPort& port_;
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
