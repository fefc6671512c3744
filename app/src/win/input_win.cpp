#include "input_win.hpp"

#include "clipboard_win.hpp"
#include "dialogs_win.hpp"
#include "host_window_win.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

namespace {

// This program's own path; nothing when it cannot be read in full.
std::optional<std::wstring> own_executable() {
    std::wstring path(MAX_PATH, L'\0');
    // Paths may exceed MAX_PATH; the call truncates silently when too short.
    while (path.size() <= 32768) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::nullopt;
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> SystemInput::read_clipboard() {
    return read_clipboard_text(host_.hwnd());
}

void SystemInput::write_clipboard(std::string_view text) {
    put_clipboard_text(host_.hwnd(), text);
}

void SystemInput::start_new_window() {
    const std::optional<std::wstring> path = own_executable();
    if (!path) return;
    // No arguments: the command line is the quoted program name alone.
    std::wstring command_line = L"\"" + *path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path->c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return;
    }
    // Instances are independent: nobody waits for this one.
    core::win::UniqueHandle thread(process.hThread);
    core::win::UniqueHandle child(process.hProcess);
}

void SystemInput::start_rename(RenameTarget target) {
    host_.start_rename(target);
}

void SystemInput::open_connection_manager() {
    show_connection_manager(host_);
}

void SystemInput::open_quick_connect() {
    quick_connect(host_);
}

void SystemInput::open_history_viewer() {
    show_history_viewer(host_);
}

void SystemInput::open_find() {
    host_.open_find();
}

}  // namespace tolvar::app::win
