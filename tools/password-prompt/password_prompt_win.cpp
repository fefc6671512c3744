// password-prompt: behaves as a remote login does at its console. It asks
// "user@host's password: " and reads a line with echo off, then shows the
// prompt "remote$ " and reads lines with echo on, answering each with
// "ran: <line>", until "exit".
#include <windows.h>

#include <string>

namespace {

HANDLE open_console(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

void write(HANDLE out, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// One line without its line end; nothing when the console is gone.
bool read_line(HANDLE in, bool echo, std::wstring& line) {
    SetConsoleMode(in, ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT | (echo ? ENABLE_ECHO_INPUT : 0));
    line.clear();
    wchar_t buffer[512];
    for (;;) {
        DWORD got = 0;
        if (!ReadConsoleW(in, buffer, 512, &got, nullptr) || got == 0) return false;
        line.append(buffer, got);
        if (line.ends_with(L'\n')) break;
    }
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
    return true;
}

}  // namespace

int wmain() {
    const HANDLE in = open_console(L"CONIN$");
    const HANDLE out = open_console(L"CONOUT$");
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE) return 2;
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    std::wstring line;
    write(out, L"user@host's password: ");
    if (!read_line(in, false, line)) return 1;
    write(out, L"\r\n");
    for (;;) {
        write(out, L"remote$ ");
        if (!read_line(in, true, line) || line == L"exit") break;
        write(out, L"ran: " + line + L"\r\n");
    }
    SetConsoleMode(in, mode);
    return 0;
}
