// The launch system of the native build, so that portable callers link and
// run there too; only the Windows one ever starts a client.
#include <sys/stat.h>
#include <unistd.h>

#include "tolvar/core/platform.hpp"
#include "tolvar/proto/launch_plan.hpp"

namespace tolvar::proto {

namespace {

class PosixLaunchSystem final : public LaunchSystem {
  public:
    std::optional<std::string> environment_variable(std::string_view name) override {
        return core::environment_variable(name);
    }

    bool is_file(const std::string& path) override {
        struct stat info;
        return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
    }

    std::optional<std::string> system_directory() override { return std::nullopt; }

    Expected<std::string, core::IoError> temp_directory() override {
        std::string dir = core::environment_variable("TMPDIR").value_or("");
        if (dir.empty()) dir = "/tmp";
        if (dir.back() != '/') dir += '/';
        return dir;
    }

    Expected<void, core::IoError> write_file(const std::string& path,
                                             std::string_view bytes) override {
        return core::platform_file_system().write_file(core::path_from_utf8(path), bytes);
    }

    std::uint32_t process_id() override { return static_cast<std::uint32_t>(::getpid()); }

    std::int64_t system_time_100ns() override { return core::system_time_100ns(); }
};

}  // namespace

LaunchSystem& platform_launch_system() {
    static PosixLaunchSystem system;
    return system;
}

}  // namespace tolvar::proto
