// Starting an outside client (RDP, VNC) detached from the program: the
// Windows build only. The caller owns how a failure is shown; nothing here
// waits for, watches or ends the started process.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "tolvar/proto/launch_plan.hpp"

namespace tolvar::proto {

// Shows one error text to the user, modally, over the caller's window.
using ErrorBox = std::function<void(const std::string& text)>;
// Tells the user of a failure from another thread, later; thread-safe.
using LateFailure = std::function<void(const std::string& text)>;

// How long a plan's temporary file outlives a successful start: long enough
// for the client to read it.
inline constexpr std::chrono::seconds k_temp_file_lifetime{3};

// Starts the plan's program; on failure shows "Failed to start {program}".
// A bare program name is looked for in the system directory and then along
// PATH, never in the current directory. A temporary file that cannot be
// removed after its lifetime is told through `late_failure`.
void start_external_plan(const External& plan, const ErrorBox& error_box,
                         const LateFailure& late_failure = {});

}  // namespace tolvar::proto
