// What follows the end of a tab's program: whether its tab closes (the
// close_on_exit setting read with a notice for a value it cannot use), the
// line written under the last screen of a tab that stays, and the mark on
// its title. Pure rules over the model; the workspace carries them out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tolvar/core/records.hpp"
#include "tolvar/pty/pty_session.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::app {

// "graceful": a program that ends with code 0 closes its tab, any other end
// keeps it; "always": every end closes it, as it always did; "never".
enum class CloseOnExit { Graceful, Always, Never };

struct CloseOnExitRead {
    CloseOnExit rule = CloseOnExit::Graceful;
    // For a value that is not one of the three, which falls back to graceful.
    std::optional<std::string> notice;
};

// Absent and null are graceful and tell nothing; case does not matter.
CloseOnExitRead read_close_on_exit(const core::Settings& settings);

// An end whose code is unknown is no clean exit: graceful keeps the tab, so
// the user can still read what happened.
bool closes_tab(CloseOnExit rule, pty::SessionEnd end);

// "[exited with code 3 — Enter restarts, Esc closes]"; a code that reads as
// a system status also in hex, "[exited with code 3221225786 (0xC000013A) — ...]";
// "[ended — Enter restarts, Esc closes]" without a code.
std::string exit_line(pty::SessionEnd end);

// Writes the exit line under what the program left: on a line of its own
// (the cursor's line when that is empty), in the default colours, with
// the cursor hidden and the mouse and focus reports off, since nothing
// answers them any more.
void write_exit_line(pty::TerminalModel& model, pty::SessionEnd end);

// Before the title of a tab whose program ended, in its tab and caption.
inline constexpr std::string_view k_ended_mark = "[ended] ";

}  // namespace tolvar::app
