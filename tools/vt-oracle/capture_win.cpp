// vt-capture OUT ROWS COLS INPUT COMMAND-LINE: runs a command in a pseudo
// console of ROWS x COLS, types INPUT ("\r" and "\n" escapes allowed) and
// writes everything the console sends back to OUT. The conformance test
// replays such captures through the terminal model and the reference.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Reader {
    HANDLE pipe;
    std::string bytes;
};

DWORD WINAPI read_all(void* param) {
    auto* reader = static_cast<Reader*>(param);
    char buffer[8192];
    DWORD got = 0;
    while (ReadFile(reader->pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        reader->bytes.append(buffer, got);
    }
    return 0;
}

std::string unescape(const wchar_t* text) {
    std::string out;
    for (const wchar_t* p = text; *p; ++p) {
        if (p[0] == L'\\' && (p[1] == L'r' || p[1] == L'n')) {
            out += p[1] == L'r' ? '\r' : '\n';
            ++p;
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out;
}

int fail(const char* what) {
    std::fprintf(stderr, "vt-capture: %s failed (error %lu)\n", what,
                 static_cast<unsigned long>(GetLastError()));
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: vt-capture OUT ROWS COLS INPUT COMMAND-LINE...\n");
        return 2;
    }
    const SHORT rows = static_cast<SHORT>(_wtoi(argv[2]));
    const SHORT cols = static_cast<SHORT>(_wtoi(argv[3]));
    const std::string input = unescape(argv[4]);
    std::wstring command;
    for (int i = 5; i < argc; ++i) command += (i > 5 ? L" " : L"") + std::wstring(argv[i]);

    HANDLE in_read, in_write, out_read, out_write;
    if (!CreatePipe(&in_read, &in_write, nullptr, 0)) return fail("CreatePipe");
    if (!CreatePipe(&out_read, &out_write, nullptr, 0)) return fail("CreatePipe");
    HPCON console;
    if (FAILED(CreatePseudoConsole({cols, rows}, in_read, out_write, 0, &console))) {
        return fail("CreatePseudoConsole");
    }
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> list(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size) ||
        !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console,
                                   sizeof console, nullptr, nullptr)) {
        return fail("attribute list");
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, EXTENDED_STARTUPINFO_PRESENT,
                        nullptr, nullptr, &startup.StartupInfo, &process)) {
        return fail("CreateProcessW");
    }
    CloseHandle(in_read);
    CloseHandle(out_write);

    Reader reader{out_read, {}};
    HANDLE thread = CreateThread(nullptr, 0, read_all, &reader, 0, nullptr);
    Sleep(1500);  // let the prompt appear before typing
    DWORD written = 0;
    WriteFile(in_write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    WaitForSingleObject(process.hProcess, 20000);
    Sleep(1000);  // the console's last frame
    TerminateProcess(process.hProcess, 0);
    ClosePseudoConsole(console);
    WaitForSingleObject(thread, 5000);

    FILE* out = _wfopen(argv[1], L"wb");
    if (out == nullptr) return fail("open OUT");
    std::fwrite(reader.bytes.data(), 1, reader.bytes.size(), out);
    std::fclose(out);
    std::printf("%zu bytes\n", reader.bytes.size());
    return 0;
}
