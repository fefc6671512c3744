// console-shim <command line>: runs the command line with CONIN$ and CONOUT$
// as its standard handles and returns its exit code.
//
// Under Wine a child started in a pseudo console gets no standard handles
// (Windows gives it the console's), so a shell started directly writes
// nothing. Tests set COMSPEC to this program followed by the shell.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The command line after the program's own name, split by the same rule the
// C runtime uses for argv[0]: a quoted name ends at the next quote, an
// unquoted one at the first blank.
const wchar_t* rest_of_command_line(const wchar_t* line) {
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

HANDLE open_console(const wchar_t* name) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, OPEN_EXISTING, 0, nullptr);
}

// Plain ASCII through WriteFile: works on a console, a pipe or a file.
void complain(HANDLE out, const char* what, DWORD error) {
    char text[256];
    const int n = std::snprintf(text, sizeof text, "console-shim: %s (error %lu)\r\n", what,
                                static_cast<unsigned long>(error));
    DWORD written = 0;
    if (n > 0) WriteFile(out, text, static_cast<DWORD>(n), &written, nullptr);
}

// Ctrl+C reaches every process of the console; the shell decides what it
// means, the shim must simply stay alive and keep waiting. A handler, unlike
// ignoring the signal, is not inherited by the command.
BOOL WINAPI ignore_ctrl(DWORD) {
    return TRUE;
}

}  // namespace

int wmain() {
    // Without a console (run from a pipe, say) the inherited handles stay.
    const HANDLE console_in = open_console(L"CONIN$");
    const HANDLE console_out = open_console(L"CONOUT$");
    const bool has_in = console_in != INVALID_HANDLE_VALUE;
    const bool has_out = console_out != INVALID_HANDLE_VALUE;
    const HANDLE in = has_in ? console_in : GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE out = has_out ? console_out : GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = has_out ? console_out : GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, in);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);

    const wchar_t* rest = rest_of_command_line(GetCommandLineW());
    if (!*rest) {
        complain(err, "usage: console-shim <command line>", ERROR_BAD_ARGUMENTS);
        return 2;
    }
    // CreateProcessW may write into the command line it is given.
    std::wstring command(rest);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    // The command dies with the shim, as a shell started directly dies when
    // its session ends it: left running, it would hold the console and the
    // test's output pipes. The shim joins the job itself, so that whatever it
    // starts is in it from birth; the job ends when its one handle closes.
    // Best effort: without a job the command simply runs.
    if (const HANDLE job = CreateJobObjectW(nullptr, nullptr)) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits) ||
            !AssignProcessToJobObject(job, GetCurrentProcess())) {
            CloseHandle(job);
        }
    }
    PROCESS_INFORMATION pi{};
    // Under Wine a start now and then fails with an internal error (the new
    // process died before it ran); another try starts it.
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &si, &pi);
        if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (!started) {
        complain(err, "cannot start the command", GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    SetConsoleCtrlHandler(ignore_ctrl, TRUE);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}
