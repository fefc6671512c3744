// Windows command lines as text: quoting for the C runtime's convention, the
// program name's own rule, path joining and the search for a bare program
// name. Pure functions on UTF-8; nothing here touches the system.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::proto {

// One argument as the C runtime and CommandLineToArgvW read it back.
std::string quote_windows_arg(std::string_view arg);

// The first token of a command line is read by simpler rules than the
// arguments: up to the next double quote, backslashes taken literally.
std::string quote_windows_program(std::string_view program);

// The program, then each argument after one space.
std::string join_command_line(std::string_view program, std::span<const std::string> args);

// `relative` below `base` with one backslash between them; an empty base
// gives `relative` alone.
std::string join_windows_path(std::string_view base, std::string_view relative);

// The entries of a PATH-style list: ';' separates, double quotes group and
// are dropped, empty entries are skipped.
std::vector<std::string> split_search_path(std::string_view list);

// A program given with a directory part is used as written; a bare name is
// looked for in `dirs` in order. Nothing when no directory holds it.
std::optional<std::string> resolve_program(std::string_view program,
                                           std::span<const std::string> dirs,
                                           const std::function<bool(const std::string&)>& is_file);

}  // namespace tolvar::proto
