#include "model_dump.hpp"

#include <cstdio>
#include <vector>

#include "tolvar/core/utf.hpp"

namespace tolvar::vt_oracle {
namespace {

std::string color(pty::Color c) {
    char buf[32];
    switch (c.kind()) {
        case pty::Color::Kind::Indexed:
            std::snprintf(buf, sizeof buf, "i%u", unsigned{c.index()});
            return buf;
        case pty::Color::Kind::Rgb:
            std::snprintf(buf, sizeof buf, "r%u,%u,%u", unsigned{c.r()}, unsigned{c.g()},
                          unsigned{c.b()});
            return buf;
        default:
            return "d";
    }
}

// The attributes the reference does not keep, after a fifth field that only
// they add: faint, strikethrough, conceal, the underline style past single
// and the underline colour.
std::string newer_attributes(const pty::Cell& cell) {
    std::string out = std::string(cell.faint ? "f" : "") + (cell.strikethrough ? "s" : "") +
                      (cell.conceal ? "h" : "");
    if (cell.underline != pty::Underline::None && cell.underline != pty::Underline::Single) {
        out += "u" + std::to_string(static_cast<int>(cell.underline));
    }
    if (cell.underline_color != pty::Color()) out += "U" + color(cell.underline_color);
    return out.empty() ? out : "/" + out;
}

std::string token(const pty::Cell& cell) {
    const int mode = (cell.bold ? 1 : 0) | (cell.italic ? 2 : 0) |
                     (cell.underline != pty::Underline::None ? 4 : 0) | (cell.inverse ? 8 : 0);
    std::string flags = std::string(cell.wide ? "w" : "") + (cell.wide_continuation ? "c" : "");
    const std::string newer = newer_attributes(cell);
    if (cell.contents.empty() && flags.empty() && mode == 0 && cell.fg == pty::Color() &&
        cell.bg == pty::Color() && newer.empty()) {
        return ".";
    }
    std::string cps;
    for (std::size_t pos = 0; pos < cell.contents.size();) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%s%x", cps.empty() ? "" : "+",
                      static_cast<unsigned>(core::next_code_point(cell.contents, pos)));
        cps += buf;
    }
    return cps + "/" + color(cell.fg) + "/" + color(cell.bg) + "/" + std::to_string(mode) + "/" +
           flags + newer;
}

void push_tokens(std::string& out, const std::vector<std::string>& tokens) {
    for (std::size_t i = 0; i < tokens.size();) {
        std::size_t j = i + 1;
        while (j < tokens.size() && tokens[j] == tokens[i]) ++j;
        out += ' ';
        out += tokens[i];
        if (j - i > 1) out += "*" + std::to_string(j - i);
        i = j;
    }
}

}  // namespace

std::string hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string dump(const pty::TerminalModel& m) {
    std::string out;
    const auto line = [&out](const std::string& s) { out += s + "\n"; };
    line("size " + std::to_string(m.rows()) + " " + std::to_string(m.cols()));
    line("cursor " + std::to_string(m.cursor().row) + " " + std::to_string(m.cursor().col));
    line("modes alt=" + std::to_string(m.alternate_screen()) + " hide=" +
         std::to_string(m.hide_cursor()) + " paste=" + std::to_string(m.bracketed_paste()) +
         " appcursor=" + std::to_string(m.application_cursor()) +
         " appkeypad=" + std::to_string(m.application_keypad()) +
         " mouse=" + std::to_string(static_cast<int>(m.mouse_mode())) +
         " encoding=" + std::to_string(static_cast<int>(m.mouse_encoding())));
    line("title " + hex(m.title()));
    line("icon " + hex(m.icon_name()));
    line("text " + hex(m.visible_text()));
    // The reference shows the scrollback of the active grid; the alternate
    // grid has none.
    const std::size_t lines = m.alternate_screen() ? 0 : m.scrollback_rows();
    line("scrollback " + std::to_string(lines));
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < lines; ++i) {
        const pty::HistoryLine h = m.scrollback_line(i);
        tokens.clear();
        for (const pty::Cell& c : h.cells) tokens.push_back(token(c));
        out += "h" + std::to_string(i) + " w" + std::to_string(h.wrapped);
        push_tokens(out, tokens);
        out += "\n";
    }
    for (std::uint16_t r = 0; r < m.rows(); ++r) {
        tokens.clear();
        for (std::uint16_t c = 0; c < m.cols(); ++c) tokens.push_back(token(m.cell(r, c)));
        out += "r" + std::to_string(r) + " w" + std::to_string(m.row_wrapped(r));
        push_tokens(out, tokens);
        out += "\n";
    }
    return out;
}

std::string dump_between(const pty::TerminalModel& m, pty::Position start, pty::Position end) {
    return "between " + hex(m.text_between(start, end)) + "\n";
}

}  // namespace tolvar::vt_oracle
