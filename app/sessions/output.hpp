// "Save output…": a session's history and screen as the UTF-8 text of a
// file, and the file name offered for it. Portable; the save dialog and the
// writing are the caller's. UI thread; the text is read under the session's
// model lock.
#pragma once

#include <string>
#include <string_view>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::app {

// Every line kept, history then screen, as the copy code composes text,
// ending in one line feed; empty for a blank session.
std::string output_text(const pty::TerminalModel& model);

// "{title} {yyyy-mm-dd}.txt", with what a Windows file name cannot hold
// replaced by '_': control characters, < > : " / \ | ? *, trailing dots and
// spaces, and a title Windows would open as a device (CON, "COM1.lab") is
// prefixed with '_'. Long titles are cut at a character boundary.
std::string output_file_name(std::string_view title, int year, int month, int day);

// The title part of such a name: `fallback` when nothing of the title is left.
std::string file_name_stem(std::string_view title, std::string_view fallback);

}  // namespace tolvar::app
