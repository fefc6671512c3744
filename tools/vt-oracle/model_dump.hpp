// The canonical dump of a terminal model, in the exact text format that
// vt-oracle prints for the reference library, so the two can be compared
// line by line.
#pragma once

#include <string>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::vt_oracle {

std::string dump(const pty::TerminalModel& model);
std::string dump_between(const pty::TerminalModel& model, pty::Position start, pty::Position end);
std::string hex(std::string_view bytes);

}  // namespace tolvar::vt_oracle
