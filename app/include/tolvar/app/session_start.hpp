// What the program decides before it starts a session: the working directory
// the child gets and the grid it starts with. Pure functions (the directory
// check reads the file system); the start itself is Win32. UI thread.
#pragma once

#include <optional>
#include <string>

#include "tolvar/app/fonts.hpp"
#include "tolvar/app/geometry.hpp"
#include "tolvar/pty/pty_session.hpp"

namespace tolvar::app {

// `configured` when it names an existing directory (links followed);
// otherwise nothing, and the child inherits the current directory.
std::optional<std::string> choose_working_dir(const std::optional<std::string>& configured);

// The grid of a session shown alone in a window whose client area is
// `client`, so that the layout pass that follows the start resizes nothing.
pty::GridSize initial_session_grid(const Rect& client, const CellMetrics& cell);

}  // namespace tolvar::app
