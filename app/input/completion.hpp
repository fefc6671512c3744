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

#include "tolvar/core/file_system.hpp"
#include "tolvar/core/store.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

// Applies typed UTF-8 text to `line` character by character; returns the
// lines that an Enter completed, empty ones included, in order.
std::vector<std::string> track_typed(std::string& line, std::string_view text);

// Records a line in the tab's command list, and in its history file when
// tracking is on and a data directory is known. File failures are silent;
// the command list keeps the line either way.
void append_history_line(const core::LoadedConfig& config, Tab& tab, core::FileSystem& fs,
                         std::string_view text, std::uint64_t now_seconds);

// Whether the text before the cursor, on its line read back through the rows
// it continues (wrapped, or filled to the last column, as a console breaks a
// long line itself), ends with `typed`: what was typed is what the session
// shows. A prompt that reads a password without echo never does.
bool echoed_before_cursor(const pty::TerminalModel& model, std::string_view typed);

// A line the user submitted with Enter, or that a quick key or alias sent
// with one: recorded once the session is seen to have echoed it, at once or
// as its output arrives (settle_submitted_line). Asked before the Enter is
// written. A line submitted while another still waits ends the wait.
void submit_line(const core::LoadedConfig& config, Tab& tab, core::FileSystem& fs,
                 std::string_view text, std::uint64_t now_seconds);
// On the tab's output: records the waiting line once its echo is on screen,
// and drops it once the cursor has left its line without it, or when that
// line is gone or the screen changed. A model that cannot be read drops it.
void settle_submitted_line(const core::LoadedConfig& config, Tab& tab, core::FileSystem& fs,
                           std::uint64_t now_seconds);

// Tab with a suggestion: the typed line becomes it, and the returned tail is
// what must be sent. Nothing when no suggestion applies, or the typed line is
// not echoed (the ghost text is not drawn then); it is dropped then.
std::optional<std::string> accept_suggestion(AppState& state);

}  // namespace tolvar::app
