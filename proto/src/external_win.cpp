#include "tolvar/proto/win/external.hpp"

#include <memory>
#include <vector>

#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/command_line.hpp"

namespace tolvar::proto {

namespace {

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

struct Removal {
    std::wstring path;
    LateFailure late_failure;
};

// A thread entry: nothing may leave it, and a failure goes to the user.
DWORD WINAPI remove_later(void* parameter) noexcept {
    const std::unique_ptr<Removal> removal(static_cast<Removal*>(parameter));
    Sleep(static_cast<DWORD>(std::chrono::milliseconds(k_temp_file_lifetime).count()));
    if (DeleteFileW(removal->path.c_str())) return 0;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || !removal->late_failure) return 0;
    try {
        removal->late_failure("Cannot remove the connection file " +
                              core::win::from_wide(removal->path) + ": " +
                              core::win::error_text(error));
    } catch (...) {
        // Nothing to tell it with: the file stays, which is the lesser harm.
    }
    return 0;
}

// A thread of the system's own, not std::thread: nothing may throw here, and
// a file left behind when no thread can be made is the lesser harm.
void remove_file_after_lifetime(const std::string& path, const LateFailure& late_failure) {
    auto owned = std::make_unique<Removal>(Removal{core::win::to_wide(path), late_failure});
    if (HANDLE thread = CreateThread(nullptr, 0, remove_later, owned.get(), 0, nullptr)) {
        owned.release();
        CloseHandle(thread);
    }
}

}  // namespace

void start_external_plan(const External& plan, const ErrorBox& error_box,
                         const LateFailure& late_failure) {
    LaunchSystem& system = platform_launch_system();
    const std::vector<std::string> dirs = program_search_dirs(system);
    const auto application = resolve_program(
        plan.program, dirs, [&](const std::string& path) { return system.is_file(path); });
    if (!application ||
        !create_process(*application, join_command_line(plan.program, plan.arguments))) {
        if (error_box) error_box("Failed to start " + plan.program);
        return;
    }
    if (plan.temp_file) remove_file_after_lifetime(*plan.temp_file, late_failure);
}

}  // namespace tolvar::proto
