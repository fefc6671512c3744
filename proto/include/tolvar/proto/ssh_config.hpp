// The hosts of the user's OpenSSH client configuration, as the connection
// manager lists them: every concrete Host alias with the host name, user and
// port ssh would resolve for it. Read only, never written; file access goes
// through a small seam. Pure functions otherwise; any thread.
#pragma once

#include <cstddef>
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
    // The whole file; an absent one fails with not_found set.
    virtual Expected<std::string, core::IoError> read_file(const std::string& path) = 0;
    // The names in a folder, other than "." and "..".
    virtual Expected<std::vector<Entry>, core::IoError> list_directory(const std::string& path) = 0;
};

// The seam over a core file system (the platform's, in the program).
class FileSystemSshConfigFiles final : public SshConfigFiles {
  public:
    explicit FileSystemSshConfigFiles(core::FileSystem& fs) : fs_(fs) {}
    Expected<std::string, core::IoError> read_file(const std::string& path) override;
    Expected<std::vector<Entry>, core::IoError> list_directory(const std::string& path) override;

  private:
    core::FileSystem& fs_;
};

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

// Bounds on what one listing reads, so that an Include loop or a huge file
// cannot hang the manager.
inline constexpr int k_ssh_include_depth = 16;
inline constexpr std::size_t k_ssh_config_files = 256;
inline constexpr std::size_t k_ssh_config_hosts = 1000;
inline constexpr std::size_t k_ssh_config_directives = 20000;

SshConfigListing read_ssh_config(SshConfigFiles& files, const SshConfigLocations& where);

// OpenSSH's Host pattern, matched without regard to ASCII case: '*' any run,
// '?' one character.
bool ssh_pattern_matches(std::string_view pattern, std::string_view host);

}  // namespace tolvar::proto
