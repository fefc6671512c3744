#include "tolvar/pty/pty_session.hpp"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>

#include "tolvar/core/file_system.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::pty {

namespace {

std::atomic<SessionId> next_session_id{1};

// The text area sits below the 34-pixel tab bar, inset 6 pixels at the top,
// 2 at the bottom and 6 on either side.
constexpr std::int64_t k_vertical_chrome = 34 + 6 + 2;
constexpr std::int64_t k_horizontal_chrome = 6 + 6;
constexpr std::int64_t k_max_cells = 32767;

std::uint16_t cells_in(std::int64_t pixels, std::int32_t cell) {
    const std::int64_t count = std::max<std::int64_t>(pixels, 1) / std::max(cell, 1);
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(count, 1, k_max_cells));
}

}  // namespace

SessionId take_session_id() {
    return next_session_id.fetch_add(1, std::memory_order_relaxed);
}

std::string choose_command_line(const std::optional<std::string>& command,
                                const std::optional<std::string>& comspec) {
    if (command) return *command;
    if (comspec && !core::trim_unicode(*comspec).empty()) return *comspec;
    return std::string(k_default_shell);
}

std::string session_command_line(const std::optional<std::string>& command) {
    if (command) return *command;
    return choose_command_line(std::nullopt, core::environment_variable("COMSPEC"));
}

GridSize initial_grid(ClientRect client, CellSize cell) {
    return GridSize{
        cells_in(std::int64_t{client.bottom} - k_vertical_chrome, cell.height),
        cells_in(std::int64_t{client.right} - client.left - k_horizontal_chrome, cell.width),
    };
}

std::optional<std::string> choose_working_dir(const std::optional<std::string>& configured) {
    if (!configured) return std::nullopt;
    std::error_code error;
    if (!std::filesystem::is_directory(core::path_from_utf8(*configured), error)) {
        return std::nullopt;
    }
    return configured;
}

}  // namespace tolvar::pty
