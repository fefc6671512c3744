// A stand-in for outside clients (ssh.exe, mstsc.exe, VNC viewers): tests copy
// it under the client's name, start it, and read back how it was started.
// It appends one JSON line to the file named by TOLVAR_RECORDER_OUT:
//   {"program":..,"command_line":..,"args":[..],"files":{"<arg>":"<content>",..}}
// where "files" holds the content of every argument naming a file, and exits
// with TOLVAR_RECORDER_EXIT (0 when unset).
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include <shellapi.h>

#include "tolvar/core/file_system.hpp"
#include "tolvar/core/json_text.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"

namespace {

using namespace tolvar::core;

std::string own_path() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return win::from_wide({buffer.data(), length});
}

// Lossy, so a file that is not UTF-8 still yields a record.
std::string as_utf8(const std::string& bytes) {
    return utf16_to_utf8_lossy(utf8_to_utf16(bytes));
}

}  // namespace

int wmain() {
    const std::wstring command_line = GetCommandLineW();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(command_line.c_str(), &argc);
    std::vector<std::string> args;
    for (int i = 0; argv && i < argc; ++i) args.push_back(win::from_wide(argv[i]));
    if (argv) LocalFree(argv);

    FileSystem& fs = platform_file_system();
    JsonWriter out(JsonWriter::Style::Compact);
    out.begin_object();
    out.key("program");
    out.string_value(own_path());
    out.key("command_line");
    out.string_value(win::from_wide(command_line));
    out.key("args");
    out.begin_array();
    for (const std::string& arg : args) out.string_value(arg);
    out.end_array();
    out.key("files");
    out.begin_object();
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (fs.type_of(path_from_utf8(args[i])) != FileType::Regular) continue;
        if (auto content = fs.read_file(path_from_utf8(args[i]))) {
            out.key(args[i]);
            out.string_value(as_utf8(*content));
        }
    }
    out.end_object();
    out.end_object();

    if (auto target = environment_variable("TOLVAR_RECORDER_OUT")) {
        if (!fs.append_file(path_from_utf8(*target), out.text() + "\n")) return 125;
    }
    const auto code = environment_variable("TOLVAR_RECORDER_EXIT");
    return code ? std::atoi(code->c_str()) : 0;
}
