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

    SshConfigFiles& files = platform_ssh_config_files();
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

// Regression: a device reached by a file name ("nul", "COM1" in any folder)
// was opened and read like a file; a huge file was read whole.
TEST(SshConfigFiles, DeviceNamesAreRefusedAndReadsStopAtTheLimit) {
    const fs::path home =
        fs::temp_directory_path() / ("tolvar-ssh-dev-" + std::to_string(core::system_time_100ns()));
    write(home / ".ssh" / "config", "Host before\r\nInclude nul\r\nHost after\r\n");
    write(home / ".ssh" / "big", std::string(100, 'x'));
    const std::string root = core::win::from_wide(home.native());

    SshConfigFiles& files = platform_ssh_config_files();
    const auto listing = read_ssh_config(files, {root, ""});
    std::vector<std::string> aliases;
    for (const auto& host : listing.hosts) aliases.push_back(host.alias);
    EXPECT_EQ(aliases, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(listing.failures,
              (std::vector<std::string>{"Cannot read the SSH configuration " + root +
                                        "\\.ssh\\nul: it is not a regular file. Its hosts are "
                                        "not listed."}));

    for (const std::string& device :
         {root + "\\NUL.conf", std::string("\\\\.\\NUL"), std::string("//./nul")}) {
        const auto read = files.read_file(device, 10);
        ASSERT_FALSE(read) << device;
        EXPECT_EQ(read.error().text, k_not_a_regular_file) << device;
        EXPECT_FALSE(read.error().not_found);
    }
    const auto head = files.read_file(root + "\\.ssh\\big", 10);
    ASSERT_TRUE(head);
    EXPECT_EQ(*head, std::string(10, 'x'));
    const auto whole = files.read_file(root + "\\.ssh\\big", 1000);
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, std::string(100, 'x'));
    EXPECT_TRUE(files.read_file(root + "\\.ssh\\none", 10).error().not_found);

    std::error_code ec;
    fs::remove_all(home, ec);
}

}  // namespace
}  // namespace tolvar::proto
