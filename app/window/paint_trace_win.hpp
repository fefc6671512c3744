// For the benchmarks: when output reached the model, against the end of the
// paint that showed it. Off unless TOLVAR_PAINT_TRACE names a file; then the
// window writes "shown <handled> <painted>" a line, microseconds from the
// arrival of the first chunk of an output notice to the window taking the
// notice in and to the end of the first paint that drew its pane (the
// notice's later chunks arrived after the first: they waited less).
#pragma once

#include <cstdint>
#include <optional>

#include "tolvar/pty/session_events.hpp"

namespace tolvar::app::win {

bool paint_trace_on();
// The performance counter in microseconds.
std::int64_t trace_now();
// A session's reader thread: output was fed, a notice is about to go. The
// first arrival since the window took the last one counts.
void trace_output_arrived(pty::SessionId id);
// The window's thread, as it takes the notice in.
std::optional<std::int64_t> take_output_arrival(pty::SessionId id);

}  // namespace tolvar::app::win
