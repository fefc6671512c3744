// The shipping launch system: the process environment, file attributes and
// GetTempPathW.
#include <vector>

#include "tolvar/core/platform.hpp"
#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/launch_plan.hpp"

namespace tolvar::proto {

namespace {

class WindowsLaunchSystem final : public LaunchSystem {
  public:
    std::optional<std::string> environment_variable(std::string_view name) override {
        return core::environment_variable(name);
    }

    bool is_file(const std::string& path) override {
        const DWORD attributes = GetFileAttributesW(core::win::to_wide(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::optional<std::string> system_directory() override {
        wchar_t buffer[MAX_PATH + 1];
        const UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
        if (length == 0 || length > MAX_PATH) return std::nullopt;
        return core::win::from_wide({buffer, length});
    }

    Expected<std::string, core::IoError> temp_directory() override {
        std::vector<wchar_t> buffer(MAX_PATH + 1);
        for (;;) {
            const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
            if (length == 0) return unexpected(core::win::last_io_error());
            if (length < buffer.size()) return core::win::from_wide({buffer.data(), length});
            buffer.resize(length + 1);
        }
    }

    Expected<void, core::IoError> write_file(const std::string& path,
                                             std::string_view bytes) override {
        return core::platform_file_system().write_file(core::path_from_utf8(path), bytes);
    }

    std::uint32_t process_id() override { return GetCurrentProcessId(); }

    std::int64_t system_time_100ns() override { return core::system_time_100ns(); }
};

}  // namespace

LaunchSystem& platform_launch_system() {
    static WindowsLaunchSystem system;
    return system;
}

}  // namespace tolvar::proto
