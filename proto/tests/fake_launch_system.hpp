// A launch system of plain values, for the plans of proto and of the
// program's rules: environment, files, a temporary folder, written files.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "tolvar/proto/launch_plan.hpp"

namespace tolvar::proto::testing {

class FakeSystem final : public LaunchSystem {
  public:
    std::map<std::string, std::string, std::less<>> env{{"SystemRoot", "C:\\Windows"}};
    std::set<std::string, std::less<>> files;
    std::optional<std::string> system_dir = "C:\\Windows\\System32";
    std::string temp = "C:\\Temp\\";
    std::optional<core::IoError> write_error;
    std::map<std::string, std::string> written;
    std::int64_t now_100ns = 17'000'000'000'000'000;

    std::optional<std::string> environment_variable(std::string_view name) override {
        auto it = env.find(name);
        if (it == env.end()) return std::nullopt;
        return it->second;
    }
    bool is_file(const std::string& path) override { return files.contains(path); }
    std::optional<std::string> system_directory() override { return system_dir; }
    Expected<std::string, core::IoError> temp_directory() override { return temp; }
    Expected<void, core::IoError> write_file(const std::string& path,
                                             std::string_view bytes) override {
        if (write_error) return unexpected(*write_error);
        written[path] = std::string(bytes);
        return {};
    }
    std::uint32_t process_id() override { return 4242; }
    std::int64_t system_time_100ns() override { return now_100ns; }
};

}  // namespace tolvar::proto::testing
