#include "tolvar/proto/command_line.hpp"

namespace tolvar::proto {

std::string quote_windows_arg(std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(arg);
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    // Byte-wise is safe: '\\' and '"' never occur inside a UTF-8 sequence.
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only in front of a double quote.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        out += c;
        backslashes = 0;
    }
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

std::string quote_windows_program(std::string_view program) {
    // Doubling a trailing backslash, as for an argument, would put both into
    // the program name. A double quote inside cannot be written at all, but no
    // file name holds one.
    if (!program.empty() && program.find_first_of(" \t") == std::string_view::npos &&
        program.front() != '"') {
        return std::string(program);
    }
    std::string out = "\"";
    out += program;
    out += '"';
    return out;
}

std::string join_command_line(std::string_view program, std::span<const std::string> args) {
    std::string line = quote_windows_program(program);
    for (const std::string& arg : args) {
        line += ' ';
        line += quote_windows_arg(arg);
    }
    return line;
}

std::string join_windows_path(std::string_view base, std::string_view relative) {
    std::string out(base);
    if (!out.empty() && out.back() != '\\' && out.back() != '/') out += '\\';
    out += relative;
    return out;
}

std::vector<std::string> split_search_path(std::string_view list) {
    std::vector<std::string> entries;
    std::string entry;
    bool quoted = false;
    for (const char c : list) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            if (!entry.empty()) entries.push_back(std::move(entry));
            entry.clear();
        } else {
            entry += c;
        }
    }
    if (!entry.empty()) entries.push_back(std::move(entry));
    return entries;
}

std::optional<std::string> resolve_program(std::string_view program,
                                           std::span<const std::string> dirs,
                                           const std::function<bool(const std::string&)>& is_file) {
    if (program.find_first_of("\\/:") != std::string_view::npos) return std::string(program);
    // The current directory is deliberately not searched: a file planted
    // there must never run in place of a system client.
    for (const std::string& dir : dirs) {
        std::string candidate = join_windows_path(dir, program);
        if (is_file(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace tolvar::proto
