#include "commands/system_commands_win.hpp"

#include <windows.h>

#include <shellapi.h>

#include "dialogs/dialog_frame_win.hpp"
#include "dialogs/dialogs_win.hpp"
#include "input/clipboard_win.hpp"
#include "tolvar/core/win/win32.hpp"
#include "view/links.hpp"
#include "view/links_win.hpp"
#include "window/host_window_win.hpp"

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

std::optional<std::string> SystemCommands::read_clipboard() {
    return read_clipboard_text(host_.hwnd());
}

void SystemCommands::write_clipboard(std::string_view text) {
    put_clipboard_text(host_.hwnd(), text);
}

void SystemCommands::start_new_window() {
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

void SystemCommands::start_rename(RenameTarget target) {
    host_.start_rename(target);
}

void SystemCommands::open_connection_manager() {
    show_connection_manager(host_);
}

void SystemCommands::open_quick_connect() {
    quick_connect(host_);
}

void SystemCommands::open_history_viewer() {
    show_history_viewer(host_);
}

void SystemCommands::open_find() {
    host_.open_find();
}

void SystemCommands::open_palette() {
    host_.open_palette();
}

void SystemCommands::save_output(TabId tab) {
    host_.save_output(tab);
}

void SystemCommands::show_main_window() {
    host_.show_to_front();
}

void SystemCommands::summon() {
    host_.summon();
}

void SystemCommands::open_in_shell(const std::string& target) {
    ShellExecuteW(host_.hwnd(), L"open", core::win::to_wide(target).c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
}

std::optional<std::string> SystemCommands::open_link(const std::string& target) {
    const LinkVerdict verdict = judge_link(target, SystemFolders{});
    if (verdict.action == LinkAction::Refuse) return "Link not opened: " + verdict.reason;
    // "explore" opens a folder and fails on anything else, so a folder
    // swapped for a program after the check is still not run.
    const wchar_t* verb = verdict.action == LinkAction::OpenFolder ? L"explore" : L"open";
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(host_.hwnd(), verb, core::win::to_wide(verdict.target).c_str(), nullptr,
                      nullptr, SW_SHOWNORMAL));
    if (result <= 32) return "Could not open " + verdict.target + ".";
    return std::nullopt;
}

void SystemCommands::info_box(const std::string& caption, const std::string& text) {
    win::info_box(host_.hwnd(), caption, text);
}

void SystemCommands::quit() {
    DestroyWindow(host_.hwnd());
}

}  // namespace tolvar::app::win
