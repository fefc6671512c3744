// The main window (class TolvarHost): start-up, shutdown, painting, the
// notification-area icon and the dispatch of every message to the rules that
// own it. One object per window, owned by the program entry for the whole
// run, reached from the window procedure through GWLP_USERDATA. UI thread.
#pragma once

#include <windows.h>

#include "commands/command_palette_win.hpp"
#include "commands/system_commands_win.hpp"
#include "dialogs/rename_editor_win.hpp"
#include "input/input.hpp"
#include "input/mouse.hpp"
#include "input/mouse_win.hpp"
#include "sessions/sessions_win.hpp"
#include "view/find_box_win.hpp"
#include "view/frame_clock.hpp"
#include "view/view_win.hpp"
#include "workspace/startup.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app::win {

inline constexpr UINT WM_APP_NEW_TAB = WM_APP + 1;
inline constexpr UINT WM_APP_TRAY = WM_APP + 2;
// Posted by the window's creation to itself: the first tabs open once the
// window has painted.
inline constexpr UINT WM_APP_FIRST_TABS = WM_APP + 4;
// From a log's writer thread: a failure to tell.
inline constexpr UINT WM_APP_LOGS = WM_APP + 5;
// From a session's reader thread, wParam = session id: output was fed to the
// model (lParam 0; one until the window takes it in), and the output
// ended (lParam the end_word of how the program ended; nothing follows).
inline constexpr UINT WM_APP_PTY_OUTPUT = WM_APP + 100;
inline constexpr UINT WM_APP_PTY_EXIT = WM_APP + 101;
// From the starter's thread, wParam = session id: a background start ended,
// its outcome kept by the starter.
inline constexpr UINT WM_APP_SESSION_STARTED = WM_APP + 102;
inline constexpr UINT k_tray_icon_id = 1;
inline constexpr int k_summon_hotkey_id = 1;
inline constexpr UINT_PTR k_drag_scroll_timer = 1;
inline constexpr UINT_PTR k_cursor_blink_timer = 2;
// One-shot: output that came within a frame of the last paint.
inline constexpr UINT_PTR k_frame_timer = 3;

inline constexpr wchar_t k_host_class[] = L"TolvarHost";
inline constexpr wchar_t k_connections_class[] = L"TolvarConnMgr";
inline constexpr wchar_t k_profile_editor_class[] = L"TolvarProfileEd";
inline constexpr wchar_t k_prompt_class[] = L"TolvarPrompt";
inline constexpr wchar_t k_history_class[] = L"TolvarHistory";

class HostWindow final : public WindowPort {
  public:
    HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // The one catch of the main window: an exception that stops a message
    // becomes a notice, and the window goes on.
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept;

    HWND hwnd() const { return hwnd_; }
    StateCell& state() { return cell_; }
    Workspace& workspace() { return workspace_; }
    SaveSchedule& saves() { return saves_; }
    Notifier& notifier() { return notifier_; }
    CommandRunner& commands() { return commands_; }
    const TerminalFont& font() const { return font_; }
    // The chrome's scale for the window's current DPI.
    Scale scale() const;
    Rect client() const;
    // The inline rename over the target's tab-bar item.
    void start_rename(RenameTarget target) { rename_.start(hwnd_, target); }
    // A click anywhere in the window ends a rename by taking the focus:
    // clicks do not move it out of a child control by themselves.
    void end_rename() {
        if (rename_.active()) SetFocus(hwnd_);
    }
    // The find box over the active pane.
    void open_find() { find_box_.open(hwnd_); }
    bool palette_open() const { return palette_.is_open(); }
    void close_palette() { palette_.close(); }
    // The save dialog for a tab's output, and the writing.
    void save_output(TabId tab);
    // The command palette over the window, with the focus in it.
    void open_palette();
    // Shown, restored when minimized, in front, with the keys going to the
    // active tab (or to the dialog that is open): from the tray or the
    // summon key.
    void show_to_front();
    // The summon key: to the front from elsewhere, away when in front.
    void summon();

    void relayout() override;
    void invalidate() override;
    void invalidate_output(TabId tab) override;
    void destroy() override;
    void error_box(const std::string& text) override;

  private:
    LRESULT handle(UINT msg, WPARAM wparam, LPARAM lparam);

    void on_create();
    // The first tabs, once: the first paint does not wait for them.
    void open_first_tabs_once();
    // The marks of the first paints, for the start-up benchmark.
    void trace_paint(bool showed_output);
    void on_destroy();
    void on_paint();
    // Whether the window's invalid area is only panes that output changed.
    bool only_output_invalid() const;
    void on_close();
    void on_tray(WPARAM icon, LPARAM mouse_message);
    void on_pty_output(pty::SessionId id);
    // The panes of output that waited for the frame clock, made invalid.
    void invalidate_waiting();
    void on_frame_timer();
    // The refresh rate of the monitor the window is on, read again when it
    // moved to another or `always`.
    void read_refresh_rate(bool always);
    // Test and benchmark counts after a paint: the panes' draws and the
    // output it showed.
    void note_paint(bool whole);
    void write_pane_draws();
    // Failures reported where nothing could show them.
    void on_failures();
    void on_dpi_changed(const RECT* suggested);
    // The fonts for the window's current DPI, and the cell they measure.
    void create_fonts();
    void on_key_down(WPARAM vk);
    bool on_system_key_down(WPARAM vk);
    void on_char(WPARAM code);
    // Ctrl went down or up with the pointer still.
    void on_link_keys();

    void on_focus(bool focused);
    // Shows the cursor and starts its blink over, as typing does.
    void restart_blink();
    void on_blink_timer();

    // The state's change counts, written for the tests when they moved.
    void note_state_counts();

    void add_tray_icon();
    void remove_tray_icon();
    // Away from the screen and the task bar, back through the tray icon.
    void hide_to_tray();

    // The summon key of the settings, registered with the system for the
    // window's life; what cannot be used is told as a notice.
    void register_summon_key();
    void unregister_summon_key();

    HWND hwnd_ = nullptr;
    StateCell cell_;
    bool first_tabs_pending_ = false;
    StateCell::Counts counts_written_;
    bool summon_registered_ = false;
    StartupTrace trace_;
    // The frame between paints. Output repaints only its panes' rectangles;
    // anything else asks for the whole frame.
    BackBuffer frame_;
    bool whole_frame_ = true;
    std::vector<TabId> output_tabs_;
    std::vector<RECT> output_rects_;
    // Output paints no more often than the display shows frames; whole
    // frames (resize, theme, focus, a title) do not wait.
    FrameClock frame_clock_;
    std::vector<TabId> waiting_tabs_;
    HMONITOR monitor_ = nullptr;
    // TOLVAR_PANE_DRAWS and TOLVAR_PAINT_TRACE: files for the tests and the
    // benchmarks, absent in use.
    std::optional<core::Path> pane_draws_file_;
    std::uint64_t whole_frames_ = 0;
    std::uint64_t output_frames_ = 0;
    std::vector<std::pair<TabId, std::uint64_t>> draws_seen_;
    std::int64_t draws_file_written_ = 0;
    struct Arrival {
        pty::SessionId session;
        std::int64_t arrived;
        std::int64_t handled;
    };
    std::vector<Arrival> arrivals_;
    std::string paint_trace_;
    TerminalFont font_;
    Font ui_font_;
    // The cursor blinks at the system's caret rate while the window has the
    // focus; without it, it is hollow and still.
    bool window_focused_ = false;
    bool blink_on_ = true;
    ConsoleStarter starter_;
    SystemExternals externals_;
    Notifier notifier_{cell_, *this};
    SaveSchedule saves_{cell_, *this, core::platform_file_system()};
    TabLogging logs_{cell_, notifier_, core::platform_file_system()};
    Workspace workspace_;
    RenameEditor rename_{workspace_, font_};
    FindBoxControls find_box_{workspace_};
    CommandPaletteBox palette_;
    SystemMouse mouse_port_{*this};
    SystemCommands command_port_{*this};
    CommandRunner commands_{workspace_, saves_,        logs_,
                            notifier_,  command_port_, core::platform_file_system()};
    InputController input_{workspace_, commands_, core::platform_file_system()};
    MouseController mouse_{workspace_, commands_, input_, mouse_port_};
};

}  // namespace tolvar::app::win
