// The portable rules of a pseudo-console session: its id, the command it runs,
// its first grid size and its working directory. The session itself is
// Windows only (win/pty_session.hpp). Everything here is safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar::pty {

// Posted by a session's reader thread to the main window, wParam = session id,
// lParam = 0. Values are WM_APP + 100 and WM_APP + 101.
inline constexpr unsigned WM_APP_PTY_OUTPUT = 0x8000 + 100;  // a chunk was fed to the model
inline constexpr unsigned WM_APP_PTY_EXIT = 0x8000 + 101;    // output ended; nothing follows

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

struct ClientRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct CellSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct GridSize {
    std::uint16_t rows = 1;
    std::uint16_t cols = 1;
    friend constexpr bool operator==(GridSize, GridSize) = default;
};

// The grid that fits the main window's text area below the tab bar, each side
// clamped to 1..32767. A failed client-rectangle query passes all zeros.
GridSize initial_grid(ClientRect client, CellSize cell);

// `configured` when it names an existing directory (links followed);
// otherwise nothing, and the child inherits the current directory.
std::optional<std::string> choose_working_dir(const std::optional<std::string>& configured);

}  // namespace tolvar::pty
