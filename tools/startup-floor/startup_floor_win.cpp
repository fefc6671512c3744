// The least a Win32 program does to show a painted window: one class, one
// window, one paint, then it closes itself. With TOLVAR_STARTUP_TRACE naming
// a file it appends "window_painted microseconds cpu" there, timed as the
// main window times its first paint, so tools/bench/startup can put the two
// side by side. Nothing of the program is linked in. With --stay it stays
// open, minimized and idle: the hostile-output test's measure of what Wine
// and the machine cost a round trip, apart from the program.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace {

void trace_paint() {
    wchar_t file[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"TOLVAR_STARTUP_TRACE", file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                      t.dwLowDateTime);
    };
    char line[80];
    const int size =
        std::snprintf(line, sizeof line, "window_painted %lld %lld\n",
                      (ticks(now) - ticks(created)) / 10, (ticks(kernel) + ticks(user)) / 10);
    HANDLE out = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(out);
}

bool stay = false;

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept {
    static bool painted = false;
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT client;
            GetClientRect(hwnd, &client);
            HBRUSH brush = CreateSolidBrush(RGB(12, 14, 18));
            FillRect(dc, &client, brush);
            DeleteObject(brush);
            EndPaint(hwnd, &ps);
            if (!painted) {
                painted = true;
                trace_paint();
                if (!stay) PostMessageW(hwnd, WM_CLOSE, 0, 0);
            }
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
    stay = std::wcscmp(command_line, L"--stay") == 0;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"TolvarStartupFloor";
    if (!RegisterClassExW(&wc)) return 1;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"startup-floor",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                1000, 650, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    // Out of the way and without the focus, which the test's keys go to.
    ShowWindow(hwnd, stay ? SW_SHOWMINNOACTIVE : SW_SHOW);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
