#include "tolvar/app/session_start.hpp"

#include <filesystem>
#include <system_error>

#include "tolvar/app/layout.hpp"
#include "tolvar/core/file_system.hpp"

namespace tolvar::app {

std::optional<std::string> choose_working_dir(const std::optional<std::string>& configured) {
    if (!configured) return std::nullopt;
    std::error_code error;
    if (!std::filesystem::is_directory(core::path_from_utf8(*configured), error)) {
        return std::nullopt;
    }
    return configured;
}

pty::GridSize initial_session_grid(const Rect& client, const CellMetrics& cell) {
    return grid_size_for(text_rect(terminal_area(client), false), cell);
}

}  // namespace tolvar::app
