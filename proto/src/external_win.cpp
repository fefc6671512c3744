#include "tolvar/proto/win/external.hpp"

#include <memory>
#include <vector>

#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/command_line.hpp"

namespace tolvar::proto {

namespace {

std::vector<std::string> program_search_dirs(LaunchSystem& system) {
    std::vector<std::string> dirs;
    wchar_t buffer[MAX_PATH + 1];
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH) dirs.push_back(core::win::from_wide({buffer, length}));
    if (auto path = system.environment_variable("PATH")) {
        for (std::string& dir : split_search_path(*path)) dirs.push_back(std::move(dir));
    }
    return dirs;
}

bool create_process(const std::string& application, const std::string& command_line) {
    const std::wstring wide_application = core::win::to_wide(application);
    std::wstring wide_line = core::win::to_wide(command_line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(wide_application.c_str(), wide_line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

DWORD WINAPI remove_later(void* parameter) {
    const std::unique_ptr<std::wstring> path(static_cast<std::wstring*>(parameter));
    Sleep(static_cast<DWORD>(std::chrono::milliseconds(k_temp_file_lifetime).count()));
    DeleteFileW(path->c_str());
    return 0;
}

// A thread of the system's own, not std::thread: nothing may throw here, and
// a file left behind when no thread can be made is the lesser harm.
void remove_file_after_lifetime(const std::string& path) {
    auto owned = std::make_unique<std::wstring>(core::win::to_wide(path));
    if (HANDLE thread = CreateThread(nullptr, 0, remove_later, owned.get(), 0, nullptr)) {
        owned.release();
        CloseHandle(thread);
    }
}

}  // namespace

void start_external_plan(const External& plan, const ErrorBox& error_box) {
    LaunchSystem& system = platform_launch_system();
    const std::vector<std::string> dirs = program_search_dirs(system);
    const auto application = resolve_program(
        plan.program, dirs, [&](const std::string& path) { return system.is_file(path); });
    if (!application ||
        !create_process(*application, join_command_line(plan.program, plan.arguments))) {
        if (error_box) error_box("Failed to start " + plan.program);
        return;
    }
    if (plan.temp_file) remove_file_after_lifetime(*plan.temp_file);
}

}  // namespace tolvar::proto
