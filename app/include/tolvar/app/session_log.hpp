// A session's log as text: the lines of the primary screen as they scroll
// into the history, so that a line redrawn with carriage returns (a progress
// bar) is logged in its last state, escape sequences never appear and a
// full-screen program on the alternate screen is not logged line by line;
// at the end, what is left on the screen. Portable; read under the session's
// model lock, the writing is the caller's.
#pragma once

#include <string>
#include <string_view>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::app {

class LogLines {
  public:
    // Logs from the model's next line to scroll off; the lines already in
    // the history when logging starts are not logged.
    explicit LogLines(const pty::TerminalModel& model) : next_(model.history_end()) {}

    // The lines that entered the history since the last call, each ending
    // in a line feed; a wrapped run is taken whole once it has ended. Lines
    // that left the history before they were taken are lost, counted in
    // lost().
    std::string scrolled(const pty::TerminalModel& model);
    // Everything not taken yet through the last row of the screen that holds
    // anything, for the end of the log (the history only while the alternate
    // screen is on).
    std::string rest(const pty::TerminalModel& model);
    std::uint64_t lost() const { return lost_; }

  private:
    pty::LineNumber next_;
    std::uint64_t lost_ = 0;
};

// "{title} {yyyy-mm-dd} {hh-mm-ss}.log", the title made safe as for "Save
// output…" ("session" when nothing of it is left).
std::string log_file_name(std::string_view title, int year, int month, int day, int hour,
                          int minute, int second);

}  // namespace tolvar::app
