// The typed-line tracker and history completion: what the user has typed
// since the last Enter as far as keystrokes tell, the per-tab command list,
// the suggestion drawn as ghost text, and the recording of submitted lines.
// The shell's own line editing is invisible here by design. UI thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/app/app_state.hpp"
#include "tolvar/core/file_system.hpp"

namespace tolvar::app {

// Applies typed UTF-8 text to `line` character by character; returns the
// lines that an Enter completed, empty ones included, in order.
std::vector<std::string> track_typed(std::string& line, std::string_view text);

// The newest command that extends the typed line, when completion is on.
void recompute_suggestion(Tab& tab, bool autocomplete);

// Records a submitted line for the active tab: in its command list, and in
// its history file when tracking is on and a data directory is known. File
// failures are silent; the command list keeps the line either way.
void append_history_line(AppState& state, core::FileSystem& fs, std::string_view text,
                         std::uint64_t now_seconds);

// Tab with a suggestion: the typed line becomes it, and the returned tail is
// what must be sent. Nothing when no suggestion applies; it is dropped then.
std::optional<std::string> accept_suggestion(AppState& state);

}  // namespace tolvar::app
