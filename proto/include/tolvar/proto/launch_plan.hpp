// Turns a profile's kind into what to run: a command line for a new terminal
// tab, a serial port for one, or an outside client with its arguments and
// temporary file. Not the start itself. UI thread; the RDP file counter is the
// only shared state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tolvar/core/expected.hpp"
#include "tolvar/core/file_system.hpp"
#include "tolvar/core/records.hpp"
#include "tolvar/proto/launch_error.hpp"
#include "tolvar/proto/serial_line.hpp"

namespace tolvar::proto {

// Run inside a new pseudo-console session, unchanged.
struct Console {
    std::string command_line;
    bool operator==(const Console&) const = default;
};

// Start detached; the temporary file is removed after a successful start.
struct External {
    std::string program;
    std::vector<std::string> arguments;
    std::optional<std::string> temp_file;
    bool operator==(const External&) const = default;
};

// Read and written directly by a tab, with no pseudo console between; the
// notices tell the line settings that fell back to their defaults.
struct SerialPort {
    SerialLine line;
    std::vector<std::string> notices;
    bool operator==(const SerialPort&) const = default;
};

using LaunchPlan = std::variant<Console, External, SerialPort>;

// What building a plan asks of the system. Paths are UTF-8 text in the
// system's own form.
class LaunchSystem {
  public:
    virtual ~LaunchSystem() = default;
    // Nothing when the variable is unset or not valid Unicode.
    virtual std::optional<std::string> environment_variable(std::string_view name) = 0;
    // Whether an entry exists at the path and is not a directory.
    virtual bool is_file(const std::string& path) = 0;
    // The system folder (System32) as the system reports it; nothing where
    // there is none.
    virtual std::optional<std::string> system_directory() = 0;
    // The user's temporary directory as the system reports it.
    virtual Expected<std::string, core::IoError> temp_directory() = 0;
    // Creates or truncates the file and writes all of `bytes`.
    virtual Expected<void, core::IoError> write_file(const std::string& path,
                                                     std::string_view bytes) = 0;
    virtual std::uint32_t process_id() = 0;
    // 100-ns ticks since 1970-01-01 UTC, negative before it.
    virtual std::int64_t system_time_100ns() = 0;
};

LaunchSystem& platform_launch_system();

// Checks the kind against the field rules and makes its plan. The one side
// effect is the RDP plan's connection file.
LaunchResult<LaunchPlan> build_launch_plan(const core::ProfileKind& kind,
                                           LaunchSystem& system = platform_launch_system());

// ssh with a Host alias of the user's SSH configuration and nothing else, so
// that OpenSSH applies the whole configuration; the alias is held to the
// host rules, as it becomes ssh's own argument.
LaunchResult<LaunchPlan> ssh_alias_plan(std::string_view alias,
                                        LaunchSystem& system = platform_launch_system());

// The OpenSSH client under %SystemRoot%, else ssh.exe found in
// program_search_dirs. Always a full path, never a bare name that the
// system would look for in the current directory first: found nowhere, the
// path under %SystemRoot%, so that the start fails naming it.
std::string find_ssh_program(LaunchSystem& system = platform_launch_system());

// Where a bare client name is looked for: the system folder, then the
// folders of PATH that are absolute. Never the current directory or the
// program's own folder, where a planted file must not run in place of a
// system client.
std::vector<std::string> program_search_dirs(LaunchSystem& system = platform_launch_system());

// TightVNC, then RealVNC, then UltraVNC, each looked for under ProgramFiles
// and then ProgramFiles(x86).
std::optional<std::string> find_vnc_viewer(LaunchSystem& system = platform_launch_system());

// The connection file of an already validated profile: CR LF after each line.
std::string rdp_file_text(const core::Rdp& rdp);

// "tolvar-{pid}-{counter}-{nanoseconds since 1970}.rdp"
std::string rdp_file_name(std::uint32_t pid, std::uint64_t counter, std::int64_t time_100ns);

}  // namespace tolvar::proto
