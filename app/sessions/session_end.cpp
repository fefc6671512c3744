#include "sessions/session_end.hpp"

#include <cstdio>

#include "look/appearance.hpp"

namespace tolvar::app {

namespace {

struct RuleName {
    std::string_view name;
    CloseOnExit rule;
};
constexpr RuleName k_rules[] = {
    {"graceful", CloseOnExit::Graceful},
    {"always", CloseOnExit::Always},
    {"never", CloseOnExit::Never},
};

// Codes from 0xC0000000 up are the system's error statuses (a crash, a
// Ctrl+C ending), which people look up in hex.
constexpr std::uint32_t k_first_error_status = 0xC0000000u;

}  // namespace

CloseOnExitRead read_close_on_exit(const core::Settings& settings) {
    CloseOnExitRead read;
    const core::JsonValue* value = given_setting(settings.close_on_exit);
    if (!value) return read;
    if (value->kind == core::JsonValue::Kind::String) {
        for (const RuleName& known : k_rules) {
            if (same_ascii_case_blind(value->text, known.name)) {
                read.rule = known.rule;
                return read;
            }
        }
    }
    read.notice = setting_notice("close_on_exit", *value, "\"graceful\", \"always\" or \"never\"",
                                 "\"graceful\" is used");
    return read;
}

bool closes_tab(CloseOnExit rule, pty::SessionEnd end) {
    switch (rule) {
        case CloseOnExit::Always:
            return true;
        case CloseOnExit::Never:
            return false;
        case CloseOnExit::Graceful:
            break;
    }
    return end.exit_code == 0u;
}

std::string exit_line(pty::SessionEnd end) {
    constexpr std::string_view tail = " \xE2\x80\x94 Enter restarts, Esc closes]";
    std::string line;
    if (!end.exit_code) {
        line = "[ended";
    } else {
        line = "[exited with code " + std::to_string(*end.exit_code);
        if (*end.exit_code >= k_first_error_status) {
            char hex[16];
            std::snprintf(hex, sizeof hex, " (0x%08X)", static_cast<unsigned>(*end.exit_code));
            line += hex;
        }
    }
    line += tail;
    return line;
}

void write_exit_line(pty::TerminalModel& model, pty::SessionEnd end) {
    // SGR reset, insert mode off, wrapping on, the reports off.
    std::string bytes = "\x1b[0m\x1b[4l\x1b[?7h\x1b[?1000l\x1b[?1002l\x1b[?1003l\x1b[?1004l";
    const pty::Position cursor = model.cursor();
    const std::string cursor_line =
        model.text_between({cursor.row, 0}, {static_cast<std::uint16_t>(cursor.row + 1), 0});
    const bool blank = cursor_line.find_first_not_of(" \n") == std::string::npos;
    // A line the program left, even one it only returned to, stays whole.
    if (cursor.col > 0 || !blank) bytes += "\r\n";
    bytes += exit_line(end);
    bytes += "\x1b[?25l";
    model.feed(bytes);
}

}  // namespace tolvar::app
