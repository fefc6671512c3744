// The SSH configuration read through the real file system: Windows paths,
// folder listings for wildcards and a folder where a file was expected.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tolvar/core/platform.hpp"
#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/ssh_config.hpp"

namespace tolvar::proto {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
}

TEST(SshConfigFiles, IncludesThroughTheRealFileSystem) {
    const fs::path home =
        fs::temp_directory_path() / ("tolvar-ssh-" + std::to_string(core::system_time_100ns()));
    write(home / ".ssh" / "config", "Include conf.d/*.conf\r\nHost top\r\n");
    write(home / ".ssh" / "conf.d" / "b.conf", "Host b\r\n  Port 2\r\n");
    write(home / ".ssh" / "conf.d" / "A.conf", "Host a\r\n  HostName a.example\r\n");
    fs::create_directories(home / ".ssh" / "conf.d" / "folder.conf");
    // A folder where ssh_config should be: it exists but is no file.
    fs::create_directories(home / "pd" / "ssh" / "ssh_config");

    core::FileSystem& system = core::platform_file_system();
    FileSystemSshConfigFiles files(system);
    const std::string root = core::win::from_wide(home.native());
    const auto listing = read_ssh_config(files, {root, root + "\\pd"});
    std::vector<std::string> aliases;
    for (const auto& host : listing.hosts) aliases.push_back(host.alias);
    EXPECT_EQ(aliases, (std::vector<std::string>{"a", "b", "top"}));
    EXPECT_EQ(listing.hosts[0].host_name, "a.example");
    EXPECT_EQ(listing.hosts[1].port, "2");
    ASSERT_EQ(listing.failures.size(), 1u);
    EXPECT_TRUE(listing.failures[0].starts_with("Cannot read the SSH configuration " + root +
                                                "\\pd\\ssh\\ssh_config: "))
        << listing.failures[0];

    std::error_code ec;
    fs::remove_all(home, ec);
}

}  // namespace
}  // namespace tolvar::proto
