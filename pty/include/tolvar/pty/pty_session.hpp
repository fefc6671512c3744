// The portable rules of a pseudo-console session: its id, the command it runs
// and the message that says why it could not start. The session itself is
// Windows only. Everything here is safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar::pty {

using SessionId = std::uint64_t;

// The next id of the process-wide counter, which starts at 1. Every start
// attempt takes one first, so a failed start leaves a gap; ids are never
// reused.
SessionId take_session_id();

// The shell used when neither the caller nor COMSPEC names one.
inline constexpr std::string_view k_default_shell = "C:\\Windows\\System32\\cmd.exe";

// The caller's command line when given; otherwise `comspec` exactly as set
// (surrounding spaces included) unless it is missing or blank; otherwise
// k_default_shell. `comspec` is nothing when unset or not valid Unicode.
std::string choose_command_line(const std::optional<std::string>& command,
                                const std::optional<std::string>& comspec);

// choose_command_line with the process's COMSPEC.
std::string session_command_line(const std::optional<std::string>& command);

// How a session's program ended: its exit code, or nothing when the output
// ended while the program still ran or its code could not be read.
struct SessionEnd {
    std::optional<std::uint32_t> exit_code;
    friend bool operator==(const SessionEnd&, const SessionEnd&) = default;
};

// A SessionEnd in one 64-bit word, as a window message carries it: 0 for an
// unknown code, the code with bit 32 set otherwise.
constexpr std::uint64_t end_word(SessionEnd end) {
    return end.exit_code ? (std::uint64_t{1} << 32) | *end.exit_code : 0;
}
constexpr SessionEnd end_from_word(std::uint64_t word) {
    if ((word >> 32) != 1) return {};
    return {static_cast<std::uint32_t>(word)};
}

struct GridSize {
    std::uint16_t rows = 1;
    std::uint16_t cols = 1;
    friend constexpr bool operator==(GridSize, GridSize) = default;
};

// Why a session could not start, in words the user reads.
struct StartError {
    std::string program;  // as the command line names it, without quotes
    std::string reason;   // follows a colon: "the system cannot find ..."

    // "Cannot start cmd.exe: the system cannot find the file specified (os error 2)"
    std::string display() const { return "Cannot start " + program + ": " + reason; }
};

// The program a command line runs, split off as the system splits argv[0]: a
// quoted name ends at the next quote, an unquoted one at the first blank.
// Leading blanks are skipped, as process creation skips them.
std::string program_name(std::string_view command_line);

// The system's error text ("Access is denied. (os error 5)") made to follow a
// colon: "access is denied (os error 5)". The first letter is lowered only
// before a lower-case one, so "DNS ..." or "I/O ..." keep their case.
std::string reason_from_system_text(std::string_view text);

// The start of `command_line` failed at `step` ("the pseudo console could
// not be created"; empty for the process start itself) with the system's
// error text.
StartError start_error(std::string_view command_line, std::string_view step,
                       std::string_view system_text);

}  // namespace tolvar::pty
