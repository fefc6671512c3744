#include "window/host_window_win.hpp"

#include <shellapi.h>
#include <windowsx.h>

#include "commands/summon.hpp"
#include "dialogs/connection_manager.hpp"
#include "dialogs/dialog_frame_win.hpp"
#include "dialogs/dialogs_win.hpp"
#include "input/chords.hpp"
#include "input/modifiers_win.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/launch_plan.hpp"
#include "tolvar/proto/ssh_config.hpp"
#include "view/help_win.hpp"
#include "view/layout.hpp"
#include "view/paint_plan.hpp"
#include "window/failures_win.hpp"
#include "window/paint_trace_win.hpp"
#include "workspace/startup.hpp"

namespace tolvar::app::win {

namespace {

static_assert(hotkey::k_alt == MOD_ALT && hotkey::k_control == MOD_CONTROL &&
              hotkey::k_shift == MOD_SHIFT && hotkey::k_win == MOD_WIN &&
              hotkey::k_no_repeat == MOD_NOREPEAT);

CursorPrefs cursor_prefs(const Appearance& appearance) {
    return {appearance.cursor_shape, appearance.cursor_blink};
}

std::optional<core::Path> file_named_by(std::string_view variable) {
    auto name = core::environment_variable(variable);
    if (!name || name->empty()) return std::nullopt;
    return core::path_from_utf8(*name);
}

// The system's 100 ns units. Under Wine the creation time is when the
// parent asked for the process, before Wine loads anything in it.
void mark(StartupTrace& trace, StartupMark mark) {
    if (!trace.wants(mark)) return;
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                         t.dwLowDateTime);
    };
    trace.record(mark, (ticks(now) - ticks(created)) / 10, (ticks(kernel) + ticks(user)) / 10);
}

// For the end-to-end tests: how the state's changes went, so that a run can
// show none was dropped. Written at the window's end when the variable names
// a file.
void write_state_counts(const StateCell::Counts& counts) {
    auto name = core::environment_variable("TOLVAR_STATE_COUNTS");
    if (!name || name->empty()) return;
    const std::string text = "changes " + std::to_string(counts.changes) + "\ndeferred " +
                             std::to_string(counts.deferred) + "\ndropped " +
                             std::to_string(counts.dropped) + "\n";
    // Nothing to tell anyone when it fails: the test sees no file.
    (void)core::platform_file_system().write_file(core::path_from_utf8(*name), text);
}

// The topmost enabled window of this thread that `owner` owns, directly or
// through a dialog (a dialog's message box). Not GetLastActivePopup: under
// Wine it names the owner again once the owner has been activated.
HWND enabled_popup(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            if (hwnd == s.owner || GetAncestor(hwnd, GA_ROOTOWNER) != s.owner ||
                !IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd))
                return TRUE;
            s.found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HostWindow::HostWindow()
    : trace_(core::platform_file_system(), file_named_by("TOLVAR_STARTUP_TRACE")),
      pane_draws_file_(file_named_by("TOLVAR_PANE_DRAWS")),
      starter_([this] { return hwnd_; }, font_.cell()),
      externals_([this] { return hwnd_; }),
      workspace_(cell_, starter_, *this, externals_, proto::platform_launch_system(),
                 core::platform_file_system(), notifier_, saves_, logs_) {}

LRESULT CALLBACK HostWindow::window_proc(HWND hwnd, UINT msg, WPARAM wparam,
                                         LPARAM lparam) noexcept {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<HostWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        set_failure_window(hwnd);
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wparam, lparam);
    // On an exception the change holding the state let go of it in the
    // unwinding; the notice comes with the next WM_APP_FAILURE.
    const LRESULT result =
        guarded(hwnd, msg, wparam, lparam, [&] { return self->handle(msg, wparam, lparam); });
    self->note_state_counts();
    return result;
}

LRESULT HostWindow::handle(UINT msg, WPARAM wparam, LPARAM lparam) {
    const int x = GET_X_LPARAM(lparam);
    const int y = GET_Y_LPARAM(lparam);
    switch (msg) {
        case WM_CREATE:
            on_create();
            return 0;
        case WM_DESTROY:
            on_destroy();
            return 0;
        case WM_SIZE:
            relayout();
            invalidate();
            return 0;
        case WM_SETFOCUS:
            on_focus(true);
            return 0;
        case WM_KILLFOCUS:
            on_focus(false);
            return 0;
        case WM_PAINT:
            on_paint();
            return 0;
        case WM_CLOSE:
            on_close();
            return 0;
        case WM_ENDSESSION:
            // Windows ends the process after this without WM_DESTROY: save
            // now, or the group and colour changes that wait for the next
            // save are lost at every log-off.
            if (wparam) saves_.save_session_list();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_KEYDOWN:
            restart_blink();
            // Not for the repeats while it is held.
            if (wparam == VK_CONTROL && (lparam & (1 << 30)) == 0) on_link_keys();
            // After the cursor's own repaint: the echo of the key must not wait for a frame.
            frame_clock_.typed(trace_now());
            on_key_down(wparam);
            return 0;
        case WM_SYSKEYDOWN:
            if (on_system_key_down(wparam)) return 0;
            break;
        case WM_SYSCHAR:
            if (input_.system_character()) return 0;
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            if (wparam == VK_CONTROL) on_link_keys();
            if (input_.key_up(static_cast<VirtualKey>(wparam))) return 0;
            break;
        case WM_CHAR:
            frame_clock_.typed(trace_now());
            on_char(wparam);
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lparam) == HTCLIENT && mouse_.link_cursor()) return TRUE;
            break;
        case WM_MOUSEMOVE:
            mouse_.move(pointer(x, y, wparam));
            return 0;
        case WM_MOUSEWHEEL: {
            // The pointer in screen coordinates, unlike the other mouse messages.
            POINT point{x, y};
            ScreenToClient(hwnd_, &point);
            const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
            if (palette_.on_mouse_wheel(delta, point.x, point.y)) return 0;
            UINT lines = 3;
            if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) lines = 3;
            mouse_.wheel(delta, pointer(point.x, point.y, GET_KEYSTATE_WPARAM(wparam)), lines);
            return 0;
        }
        case WM_TIMER:
            if (wparam == k_drag_scroll_timer) {
                mouse_.drag_scroll_tick();
                return 0;
            }
            if (wparam == k_cursor_blink_timer) {
                on_blink_timer();
                return 0;
            }
            if (wparam == k_frame_timer) {
                on_frame_timer();
                return 0;
            }
            break;
        case WM_COMMAND:
            if (find_box_.on_command(LOWORD(wparam), HIWORD(wparam))) return 0;
            if (palette_.on_command(LOWORD(wparam), HIWORD(wparam))) return 0;
            break;
        case WM_CTLCOLOREDIT:
            if (HBRUSH brush = palette_.on_control_color(
                    reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam),
                    cell_.view().appearance().palette.theme())) {
                return reinterpret_cast<LRESULT>(brush);
            }
            break;
        case WM_LBUTTONDOWN:
            if (palette_.on_button_down(x, y, true)) return 0;
            mouse_.press(MouseButton::Left, pointer(x, y, wparam));
            return 0;
        case WM_LBUTTONDBLCLK:
            if (palette_.on_left_double_click(x, y)) return 0;
            mouse_.double_click(MouseButton::Left, pointer(x, y, wparam));
            return 0;
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (palette_.on_button_down(x, y, false)) return 0;
            mouse_.press(button_of(msg), pointer(x, y, wparam));
            return 0;
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            if (mouse_.double_click(button_of(msg), pointer(x, y, wparam))) return 0;
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (mouse_.release(button_of(msg), pointer(x, y, wparam))) return 0;
            break;
        case WM_DPICHANGED:
            on_dpi_changed(reinterpret_cast<const RECT*>(lparam));
            return 0;
        case WM_DISPLAYCHANGE:
            read_refresh_rate(true);
            break;
        case WM_MOVE:
            read_refresh_rate(false);
            break;
        case WM_APP_NEW_TAB:
            // Sent from outside before the posted start came: the last
            // run's tabs still come first.
            open_first_tabs_once();
            commands_.execute(cmd::NewTab{});
            return 1;
        case WM_APP_FIRST_TABS:
            open_first_tabs_once();
            return 0;
        case WM_APP_TRAY:
            if (wparam != k_tray_icon_id) break;
            on_tray(wparam, lparam);
            return 0;
        case WM_HOTKEY:
            if (wparam != k_summon_hotkey_id) break;
            commands_.execute(cmd::Summon{});
            return 0;
        case WM_APP_FAILURE:
            on_failures();
            return 0;
        case WM_APP_PTY_OUTPUT:
            on_pty_output(wparam);
            return 0;
        case WM_APP_LOGS:
            workspace_.take_logs();
            return 0;
        case WM_APP_SESSION_STARTED:
            workspace_.session_started(wparam, starter_.take_started(wparam));
            return 0;
        case WM_APP_PTY_EXIT:
            workspace_.session_ended(wparam,
                                     pty::end_from_word(static_cast<std::uint64_t>(lparam)));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wparam, lparam);
}

// ------------------------------------------------------------ life cycle

void HostWindow::on_create() {
    core::FileSystem& fs = core::platform_file_system();
    // A log's writer thread asks the window to take the logs, which tells its failure.
    logs_.wake_from_writer = [hwnd = hwnd_] { PostMessageW(hwnd, WM_APP_LOGS, 0, 0); };
    load_configuration(cell_, notifier_, fs, core::resolve_data_dir());
    register_summon_key();
    // Before the window shows: under Wine the icon's window, made later,
    // took the activation from the main window, whose menus then did not open.
    add_tray_icon();
    create_fonts();
    read_refresh_rate(true);
    // Each session costs a console host and a process (under Wine 50 ms and
    // more): with ten resumed tabs the window stayed blank for half a second.
    // The entry paints before it reads this message; until then the file
    // still holds the last run's tabs, which a close must not overwrite.
    saves_.hold_session_list(true);
    first_tabs_pending_ = true;
    PostMessageW(hwnd_, WM_APP_FIRST_TABS, 0, 0);
}

void HostWindow::open_first_tabs_once() {
    if (!first_tabs_pending_) return;
    first_tabs_pending_ = false;
    mark(trace_, StartupMark::TabsOpening);
    open_first_tabs(workspace_, saves_, notifier_, core::platform_file_system());
}

void HostWindow::on_destroy() {
    // A rename still open must not commit later, into a saved empty list.
    rename_.discard();
    saves_.save_session_list();
    unregister_summon_key();
    remove_tray_icon();
    write_pane_draws();
    if (auto trace = file_named_by("TOLVAR_PAINT_TRACE")) {
        (void)core::platform_file_system().write_file(*trace, paint_trace_);
    }
    workspace_.end_all_tabs();
    cell_.close();
    write_state_counts(cell_.counts());
    counts_written_ = cell_.counts();
    set_failure_window(nullptr);
    PostQuitMessage(0);
}

void HostWindow::on_close() {
    const AppState& state = cell_.view();
    if (state.config().settings.close_to_tray && state.tray_added()) {
        hide_to_tray();
    } else {
        DestroyWindow(hwnd_);
    }
}

void HostWindow::add_tray_icon() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = hwnd_;
    data.uID = k_tray_icon_id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_APP_TRAY;
    data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wcscpy_s(data.szTip, L"tolvar");
    const bool added = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    cell_.change([added](AppState& state) { state.set_tray_added(added); });
}

void HostWindow::remove_tray_icon() {
    if (!cell_.view().tray_added()) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = hwnd_;
    data.uID = k_tray_icon_id;
    Shell_NotifyIconW(NIM_DELETE, &data);
    cell_.change([](AppState& state) { state.set_tray_added(false); });
}

void HostWindow::on_tray(WPARAM, LPARAM mouse_message) {
    switch (LOWORD(mouse_message)) {
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            commands_.execute(cmd::ShowWindow{});
            break;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU:
            show_tray_menu(*this);
            break;
        default:
            break;
    }
}

void HostWindow::hide_to_tray() {
    ShowWindow(hwnd_, SW_HIDE);
}

void HostWindow::show_to_front() {
    // SW_RESTORE would also bring a maximized window down to its normal size.
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    // While a modal dialog has disabled the window, the dialog takes the keys.
    if (const HWND dialog = IsWindowEnabled(hwnd_) ? nullptr : enabled_popup(hwnd_)) {
        SetForegroundWindow(dialog);
        return;
    }
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
}

// ------------------------------------------------------------ summon key

void HostWindow::register_summon_key() {
    SummonKeyRead read = read_summon_key(cell_.view().config().settings);
    if (read.notice) notifier_.notify(std::move(*read.notice));
    if (!read.key) return;
    summon_registered_ =
        RegisterHotKey(hwnd_, k_summon_hotkey_id, read.key->modifiers, read.key->key) != FALSE;
    if (summon_registered_) return;
    const DWORD error = GetLastError();
    notifier_.notify(summon_refused_notice(read.key->text, core::win::error_text(error)));
}

void HostWindow::unregister_summon_key() {
    if (!summon_registered_) return;
    UnregisterHotKey(hwnd_, k_summon_hotkey_id);
    summon_registered_ = false;
}

void HostWindow::summon() {
    SummonScene scene;
    scene.tray_icon = cell_.view().tray_added();
    const HWND front = GetForegroundWindow();
    scene.foreground = front && (front == hwnd_ || GetAncestor(front, GA_ROOTOWNER) == hwnd_);
    scene.shown = IsWindowVisible(hwnd_) && !IsIconic(hwnd_);
    scene.dialog_open = !IsWindowEnabled(hwnd_);
    switch (summon_action(scene)) {
        case SummonAction::ShowAndFocus:
            show_to_front();
            break;
        case SummonAction::HideToTray:
            hide_to_tray();
            break;
        case SummonAction::Minimize:
            ShowWindow(hwnd_, SW_MINIMIZE);
            break;
    }
}

// ------------------------------------------------------------ window port

Scale HostWindow::scale() const {
    return Scale{GetDpiForWindow(hwnd_)};
}

Rect HostWindow::client() const {
    RECT r{0, 0, 0, 0};
    GetClientRect(hwnd_, &r);
    return {r.left, r.top, r.right, r.bottom};
}

void HostWindow::relayout() {
    const Rect area = client();
    const Scale chrome = scale();
    const AppState& state = cell_.view();
    // Sessions skip unchanged sizes, so repeated passes cost no console calls.
    for (const SessionSize& s : layout_sizes(state, area, font_.cell(), chrome)) {
        const Tab* tab = state.find_tab(s.tab);
        if (tab && tab->session()) tab->session()->resize(s.size.rows, s.size.cols);
    }
    find_box_.place();
    palette_.place();
}

void HostWindow::invalidate() {
    whole_frame_ = true;
    waiting_tabs_.clear();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void HostWindow::invalidate_output(TabId tab) {
    if (whole_frame_) return;  // the whole client area is invalid already
    if (cell_.view().view_mode() == ViewMode::BrowseGroups) {
        invalidate();  // the cards
        return;
    }
    if (std::ranges::find(waiting_tabs_, tab) == waiting_tabs_.end()) waiting_tabs_.push_back(tab);
    switch (frame_clock_.output(trace_now())) {
        case FrameClock::Ask::Now:
            invalidate_waiting();
            break;
        case FrameClock::Ask::Arm: {
            // Rounded up: a timer that fires early would only arm again.
            const auto ms = static_cast<UINT>((frame_clock_.wait() + 999) / 1000);
            if (!SetTimer(hwnd_, k_frame_timer, std::max<UINT>(ms, 1), nullptr)) {
                frame_clock_.fired();
                invalidate_waiting();
            }
            break;
        }
        case FrameClock::Ask::Waiting:
            break;
    }
}

void HostWindow::invalidate_waiting() {
    const std::vector<TabId> tabs = std::exchange(waiting_tabs_, {});
    if (tabs.empty() || whole_frame_) return;
    for (const Pane& pane : panes(cell_.view(), client(), scale())) {
        if (std::ranges::find(tabs, pane.tab) == tabs.end()) continue;
        const RECT r{pane.rect.left, pane.rect.top, pane.rect.right, pane.rect.bottom};
        InvalidateRect(hwnd_, &r, FALSE);
        output_rects_.push_back(r);
        if (std::ranges::find(output_tabs_, pane.tab) == output_tabs_.end())
            output_tabs_.push_back(pane.tab);
    }
}

void HostWindow::on_frame_timer() {
    KillTimer(hwnd_, k_frame_timer);
    frame_clock_.fired();
    invalidate_waiting();
}

void HostWindow::read_refresh_rate(bool always) {
    const HMONITOR monitor = MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST);
    if (!always && monitor == monitor_) return;
    monitor_ = monitor;
    std::uint32_t hz = 0;  // what no answer counts as
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (monitor && GetMonitorInfoW(monitor, &info) &&
        EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode)) {
        hz = mode.dmDisplayFrequency;
    }
    frame_clock_.set_interval(frame_interval(hz));
}

void HostWindow::destroy() {
    DestroyWindow(hwnd_);
}

void HostWindow::error_box(const std::string& text) {
    win::error_box(hwnd_, text);
}

void HostWindow::note_state_counts() {
    const StateCell::Counts& now = cell_.counts();
    // Only what a test looks for; the plain count changes with every message.
    if (now.deferred == counts_written_.deferred && now.dropped == counts_written_.dropped) return;
    counts_written_ = now;
    write_state_counts(now);
}

void HostWindow::open_palette() {
    // Read at every opening, as the connection manager does.
    const std::vector<proto::SshConfigHost> hosts =
        read_ssh_hosts(notifier_, proto::platform_ssh_config_files(),
                       proto::ssh_config_locations(proto::platform_launch_system()));
    const AppState& state = cell_.view();
    std::vector<Command> commands = palette_commands(state, hosts);
    std::vector<PaletteEntry> entries;
    entries.reserve(commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        entries.push_back({command_name(state, commands[i]),
                           std::string(command_chord(commands[i])), i});
    }
    // Called once the box has closed; the command names its subjects by id,
    // so one that went meanwhile does nothing.
    palette_.open(hwnd_, std::move(entries), [this, commands = std::move(commands)](std::size_t key) {
        if (key < commands.size()) commands_.execute(commands[key]);
    });
    // The space the chord typed is already queued for this window.
    MSG pending;
    if (PeekMessageW(&pending, hwnd_, WM_CHAR, WM_CHAR, PM_NOREMOVE) && pending.wParam == L' ') {
        PeekMessageW(&pending, hwnd_, WM_CHAR, WM_CHAR, PM_REMOVE);
    }
}

// ------------------------------------------------------------ painting

bool HostWindow::only_output_invalid() const {
    if (whole_frame_ || output_rects_.empty()) return false;
    const Region update(CreateRectRgn(0, 0, 0, 0));
    if (!update || GetUpdateRgn(hwnd_, update.get(), FALSE) == ERROR) return false;
    for (const RECT& r : output_rects_) {
        const Region pane(CreateRectRgnIndirect(&r));
        if (!pane || CombineRgn(update.get(), update.get(), pane.get(), RGN_DIFF) == ERROR)
            return false;
    }
    RECT left{};
    return GetRgnBox(update.get(), &left) == NULLREGION;
}

void HostWindow::on_paint() {
    // Before BeginPaint, which empties the update region.
    const bool output_only = only_output_invalid();
    bool shows_output = false;
    // Read before drawing: output that comes during the paint may not be in it.
    if (const Tab* tab = cell_.view().active_tab();
        tab && tab->session() && trace_.wants(StartupMark::PromptPainted)) {
        tab->session()->model().with(
            [&](const pty::TerminalModel& model) { shows_output = !model.visible_text().empty(); });
    }
    frame_clock_.painted(trace_now());
    const PaintDc window_dc(hwnd_);
    RECT client{0, 0, 0, 0};
    GetClientRect(hwnd_, &client);
    const int width = std::max<int>(client.right - client.left, 1);
    const int height = std::max<int>(client.bottom - client.top, 1);
    bool remade = false;
    HDC dc = frame_.prepare(window_dc.get(), width, height, remade);
    const std::vector<TabId> tabs = std::exchange(output_tabs_, {});
    output_rects_.clear();
    whole_frame_ = false;
    if (!dc) return;
    bool whole = true;
    {
        const AppState& state = cell_.view();
        const Scale chrome = scale();
        const FrameStyle style{font_, state.appearance().palette, ui_font_.get(), chrome,
                               cursor_prefs(state.appearance()), blink_on_, window_focused_};
        if (output_only && !remade && output_paints_alone(state, palette_.is_open()) &&
            frame_.chrome() ==
                frame_chrome(state, {client.left, client.top, client.right, client.bottom}, chrome)) {
            paint_output(client, state, style, frame_, tabs);
            whole = false;
        } else {
            fill(dc, {0, 0, width, height}, state.appearance().palette.theme().background);
            paint_frame(dc, client, state, style, &frame_);
            paint_help(dc, client, state, font_, chrome);
            palette_.paint(dc, state.appearance().palette.theme());
        }
    }
    // Clipped to what was invalid.
    BitBlt(window_dc.get(), 0, 0, width, height, dc, 0, 0, SRCCOPY);
    trace_paint(shows_output);
    note_paint(whole);
}

void HostWindow::note_paint(bool whole) {
    ++(whole ? whole_frames_ : output_frames_);
    if (!pane_draws_file_ && !paint_trace_on()) return;
    const std::int64_t now = trace_now();
    const std::vector<Tab>& tabs = cell_.view().tabs();
    bool moved = false;
    for (const Tab& tab : tabs) {
        const std::uint64_t draws = frame_.draws(tab.id());
        auto seen = std::ranges::find(draws_seen_, tab.id(), &std::pair<TabId, std::uint64_t>::first);
        if (seen == draws_seen_.end()) seen = draws_seen_.insert(seen, {tab.id(), 0});
        if (draws == seen->second) continue;
        seen->second = draws;
        moved = true;
        const Session* session = tab.session();
        if (!session) continue;
        std::erase_if(arrivals_, [&](const Arrival& a) {
            if (a.session != session->id()) return false;
            paint_trace_ += "shown " + std::to_string(a.handled - a.arrived) + " " +
                            std::to_string(now - a.arrived) + "\n";
            return true;
        });
    }
    // A pane that is never shown keeps its arrivals; they must not pile up.
    if (arrivals_.size() > 4096) arrivals_.erase(arrivals_.begin(), arrivals_.begin() + 2048);
    // A few times a second at most: a test reads it while output floods.
    if (moved && pane_draws_file_ && now - draws_file_written_ >= 100'000) {
        draws_file_written_ = now;
        write_pane_draws();
    }
}

void HostWindow::write_pane_draws() {
    if (!pane_draws_file_) return;
    const std::vector<Tab>& tabs = cell_.view().tabs();
    std::string text = "whole_frames " + std::to_string(whole_frames_) + "\noutput_frames " +
                       std::to_string(output_frames_) + "\n";
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        text += "pane_draws " + std::to_string(i) + " " + std::to_string(frame_.draws(tabs[i].id())) +
                "\n";
    }
    // Replaced whole, as a test reads it while output floods. Nothing to
    // tell anyone when it fails: the test sees no file, or an older one.
    core::FileSystem& fs = core::platform_file_system();
    core::Path fresh = *pane_draws_file_;
    fresh += L".new";
    if (fs.write_file(fresh, text)) (void)fs.rename_replace(fresh, *pane_draws_file_);
}

void HostWindow::trace_paint(bool showed_output) {
    mark(trace_, StartupMark::WindowPainted);
    if (showed_output) mark(trace_, StartupMark::PromptPainted);
}

void HostWindow::on_focus(bool focused) {
    window_focused_ = focused;
    mouse_port_.focus(focused);
    if (focused) {
        restart_blink();
    } else {
        KillTimer(hwnd_, k_cursor_blink_timer);
    }
    // The cursor alone shows it: a solid or a hollow one.
    invalidate_output(cell_.view().active());
}

void HostWindow::restart_blink() {
    const bool was_off = !blink_on_;
    blink_on_ = true;
    const UINT rate = GetCaretBlinkTime();
    // INFINITE (or 0 from a failed call): the user switched blinking off.
    if (window_focused_ && rate != 0 && rate != INFINITE) {
        SetTimer(hwnd_, k_cursor_blink_timer, rate, nullptr);
    }
    // The cursor's row alone, as output.
    if (was_off) invalidate_output(cell_.view().active());
}

void HostWindow::on_blink_timer() {
    blink_on_ = !blink_on_;
    // Only a blinking cursor needs the paint.
    bool blinks = false;
    const AppState& state = cell_.view();
    if (const Tab* tab = state.active_tab(); tab && tab->session()) {
        tab->session()->model().with([&](const pty::TerminalModel& model) {
            blinks = cursor_look(model.cursor_style(), cursor_prefs(state.appearance())).blinks;
        });
    }
    if (blinks) {
        // Only the cursor's row changes.
        invalidate_output(state.active());
    } else {
        blink_on_ = true;
    }
}

void HostWindow::create_fonts() {
    font_.setup(hwnd_, cell_.view().config().settings.font);
    ui_font_ = create_ui_font(GetDpiForWindow(hwnd_));
}

void HostWindow::on_dpi_changed(const RECT* suggested) {
    create_fonts();
    // Windows suggests where the window keeps its size in physical units on
    // the new monitor; the move re-runs the layout through WM_SIZE.
    if (suggested) {
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    relayout();
    invalidate();
}

// ------------------------------------------------------------ sessions

void HostWindow::on_pty_output(pty::SessionId id) {
    // A window hidden in the tray does not paint, and its logs must not wait
    // for it: the history would age lines out before they were taken.
    // It asks for the repaint of what the output changed.
    if (auto arrived = take_output_arrival(id)) arrivals_.push_back({id, *arrived, trace_now()});
    workspace_.session_output(id);
    starter_.output_came(id);
}

void HostWindow::on_link_keys() {
    POINT p{};
    if (!GetCursorPos(&p) || !ScreenToClient(hwnd_, &p)) return;
    // A key message: the thread's keyboard state is the key's own.
    const Modifiers held = current_modifiers();
    mouse_.link_keys({p.x, p.y, held, static_cast<std::uint32_t>(GetMessageTime()), {}});
}

void HostWindow::on_failures() {
    for (std::string& text : take_failures()) notifier_.notify(std::move(text));
}

}  // namespace tolvar::app::win
