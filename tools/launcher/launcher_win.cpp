// launcher [--end-with-program] NAME=VALUE ... -- program [argument ...]
//
// Starts the program with the given environment variables set ("NAME="
// removes one) and prints {"pid":N} on a line of its own. The end-to-end
// tests need it because Wine sets APPDATA, COMSPEC, TEMP and SystemRoot from
// its own profile for every process started from Unix, whatever the Unix
// environment says; a child inherits what its Windows parent sets.
//
// The program and everything it starts run in a job that lives as long as
// the launcher's standard input stays open: when it closes, or the launcher
// is killed, nothing the program started survives. When the program exits,
// the launcher prints {"exit":N}; what the program left running (a second
// instance, an outside client) goes on until the input closes.
//
// With --end-with-program the launcher also returns when the program exits,
// which ends the job: scripts/run, whose caller waits for the launcher and
// holds its input open itself, whatever the user's input is.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr const char* k_usage =
    "usage: launcher [--end-with-program] NAME=VALUE ... -- program [argument ...]\n";

// The C runtime's convention, so the program's argv is exactly ours.
std::wstring quote_argument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    out += L'"';
    return out;
}

int fail(const char* what) {
    std::fprintf(stderr, "launcher: %s (error %lu)\n", what,
                 static_cast<unsigned long>(GetLastError()));
    return 125;
}

// Ends the job when the input closes: the tests' way of saying "stop
// everything", which works even when the program ignores every message.
DWORD WINAPI watch_input(void* job) {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    TerminateJobObject(static_cast<HANDLE>(job), 1);
    return 0;
}

}  // namespace

int wmain() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return fail("cannot read the command line");

    int i = 1;
    const bool end_with_program = i < argc && std::wcscmp(argv[i], L"--end-with-program") == 0;
    if (end_with_program) ++i;
    for (; i < argc && std::wcscmp(argv[i], L"--") != 0; ++i) {
        const wchar_t* eq = std::wcschr(argv[i], L'=');
        if (!eq || eq == argv[i]) {
            std::fputs(k_usage, stderr);
            return 2;
        }
        const std::wstring name(argv[i], static_cast<std::size_t>(eq - argv[i]));
        SetEnvironmentVariableW(name.c_str(), eq[1] ? eq + 1 : nullptr);
    }
    if (i + 1 >= argc) {
        std::fputs(k_usage, stderr);
        return 2;
    }
    std::wstring command;
    for (int k = i + 1; k < argc; ++k) {
        if (!command.empty()) command += L' ';
        command += quote_argument(argv[k]);
    }
    LocalFree(argv);

    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return fail("cannot create a job");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return fail("cannot set the job's limits");

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // Suspended until it is in the job, so nothing it starts escapes. Under
    // Wine a start now and then fails with an internal error (the new process
    // died before it ran); another try starts it.
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                 nullptr, nullptr, &si, &pi);
        if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (!started) return fail("cannot start the program");
    if (!AssignProcessToJobObject(job, pi.hProcess)) {
        TerminateProcess(pi.hProcess, 1);
        return fail("cannot put the program in the job");
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);

    std::printf("{\"pid\":%lu}\n", static_cast<unsigned long>(pi.dwProcessId));
    std::fflush(stdout);

    const HANDLE watcher = CreateThread(nullptr, 0, watch_input, job, 0, nullptr);
    if (!watcher) {
        TerminateJobObject(job, 1);
        return fail("cannot watch the input");
    }

    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    std::printf("{\"exit\":%lu}\n", static_cast<unsigned long>(code));
    std::fflush(stdout);
    if (end_with_program)
        TerminateJobObject(job, 1);
    else
        WaitForSingleObject(watcher, INFINITE);
    return 0;
}
