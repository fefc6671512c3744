// Program entry: DPI awareness, the five window classes, the main window and
// the message loop.
#include <windows.h>

#include <chrono>

#include "dialogs/dialog_frame_win.hpp"
#include "sessions/session_log.hpp"
#include "window/host_window_win.hpp"

using namespace tolvar::app::win;

namespace {

bool register_class(HINSTANCE instance, HCURSOR cursor, const wchar_t* name, UINT style,
                    WNDPROC proc, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

// The main window and its message loop; everything it owns is gone when
// this returns.
int run_window(HINSTANCE instance) {
    // Outlives the window: operations still on the stack when the window is
    // destroyed (closing the last tab) keep a valid object.
    HostWindow host;
    // 1000 x 650 at 100 %; the window opens on the primary monitor, whose
    // scale the system DPI is.
    const tolvar::app::Scale scale{GetDpiForSystem()};
    HWND hwnd =
        CreateWindowExW(0, k_host_class, L"tolvar", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                        CW_USEDEFAULT, scale(1000), scale(650), nullptr, nullptr, instance, &host);
    if (!hwnd) return 1;
    ShowWindow(hwnd, SW_SHOW);
    // The first paint now, ahead of the start of the sessions the window
    // posted to itself (a posted message would come before the paint).
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HCURSOR cursor = LoadCursorW(nullptr, IDC_ARROW);
    if (!instance || !cursor) return 1;

    if (!register_class(instance, cursor, k_host_class, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
                        HostWindow::window_proc, nullptr)) {
        return 1;
    }
    const auto face = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    for (const wchar_t* dialog :
         {k_connections_class, k_profile_editor_class, k_prompt_class, k_history_class}) {
        register_class(instance, cursor, dialog, CS_VREDRAW | CS_HREDRAW, dialog_frame_proc, face);
    }

    const int code = run_window(instance);
    // A log whose disk was slow to take its last lines is still writing.
    tolvar::app::LogWriter::finish_all(std::chrono::seconds(10));
    return code;
}
