// The hosts of the user's OpenSSH client configuration, as the connection
// manager lists them: every concrete Host alias with the host name, user and
// port ssh would resolve for it. Read only, never written; file access goes
// through a small seam. Pure functions otherwise; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/expected.hpp"
#include "tolvar/core/file_system.hpp"

namespace tolvar::proto {

class LaunchSystem;

// What the reader asks of the file system. Paths are Windows paths as UTF-8.
class SshConfigFiles {
  public:
    struct Entry {
        std::string name;
        bool directory = false;
    };
    virtual ~SshConfigFiles() = default;
    // The file's first `limit` bytes, or all of it when shorter; an absent
    // one fails with not_found set. Only a regular file on disk is read: a
    // device, a pipe or a folder fails with k_not_a_regular_file, unread.
    virtual Expected<std::string, core::IoError> read_file(const std::string& path,
                                                           std::size_t limit) = 0;
    // The names in a folder, other than "." and "..".
    virtual Expected<std::vector<Entry>, core::IoError> list_directory(const std::string& path) = 0;
};

inline constexpr std::string_view k_not_a_regular_file = "it is not a regular file";

// The system's files: its own calls for reading, the core file system's
// listing.
SshConfigFiles& platform_ssh_config_files();

// A folder's names through a core file system.
Expected<std::vector<SshConfigFiles::Entry>, core::IoError> list_ssh_config_directory(
    core::FileSystem& fs, const std::string& path);

// Whether a Windows path (either slash) names the device namespace, "\\.\"
// or "\\?\" (and "\??\"), where devices and pipes live.
bool names_a_device(std::string_view path);

// The two files ssh reads, in its order. A location left empty is not read.
struct SshConfigLocations {
    std::string home;          // %USERPROFILE%: "~", and ~/.ssh/config
    std::string program_data;  // %ProgramData%: ssh\ssh_config
};
SshConfigLocations ssh_config_locations(LaunchSystem& system);

struct SshConfigHost {
    std::string alias;      // as written; what ssh is given
    std::string host_name;  // the first HostName, %h and %% expanded; else the alias
    std::optional<std::string> user;
    std::string port = "22";  // the first Port as written
    bool operator==(const SshConfigHost&) const = default;
};

struct SshConfigListing {
    std::vector<SshConfigHost> hosts;  // in the order ssh meets their Host lines
    // Sentences for the user: a file that exists but cannot be read, or a
    // limit that was reached. A missing file is no failure.
    std::vector<std::string> failures;
};

// Bounds on what one listing reads, so that an Include loop, a wildcard
// over the disk, a huge file or a huge pattern cannot hang the manager.
inline constexpr int k_ssh_include_depth = 16;
inline constexpr std::size_t k_ssh_config_files = 256;
inline constexpr std::size_t k_ssh_config_bytes = 1 << 20;  // all files together
inline constexpr std::size_t k_ssh_host_pattern_bytes = 1024;
inline constexpr std::size_t k_ssh_config_folders = 64;          // listed by Include wildcards
inline constexpr std::uint64_t k_ssh_match_steps = 200'000'000;  // of pattern matching in all
inline constexpr std::size_t k_ssh_config_hosts = 1000;
inline constexpr std::size_t k_ssh_config_directives = 20000;

SshConfigListing read_ssh_config(SshConfigFiles& files, const SshConfigLocations& where);

// OpenSSH's Host pattern, matched without regard to ASCII case: '*' any run,
// '?' one character.
bool ssh_pattern_matches(std::string_view pattern, std::string_view host);

}  // namespace tolvar::proto
