// Helpers of the terminal model's byte-script tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {

inline TerminalModel fed(std::uint16_t rows, std::uint16_t cols, std::string_view bytes,
                         std::size_t scrollback = 100) {
    TerminalModel m(rows, cols, scrollback);
    m.feed(bytes);
    return m;
}

// The attributes past bold and inverse, as "faint strike conceal u=N U=bits".
inline std::string pen(const Cell& c) {
    std::string out;
    if (c.faint) out += " faint";
    if (c.italic) out += " italic";
    if (c.strikethrough) out += " strike";
    if (c.conceal) out += " conceal";
    if (c.underline != Underline::None)
        out += " u=" + std::to_string(static_cast<int>(c.underline));
    if (c.underline_color != Color()) out += " U=" + std::to_string(c.underline_color.bits());
    return out;
}

// Everything the view and the input read, as one comparable string.
inline std::string snapshot(const TerminalModel& m) {
    std::string out = m.visible_text() + "|" + std::to_string(m.cursor().row) + "," +
                      std::to_string(m.cursor().col) + "|" + m.title() + "|" +
                      std::to_string(m.alternate_screen()) + std::to_string(m.hide_cursor()) +
                      std::to_string(m.bracketed_paste()) + "|" +
                      std::to_string(m.scrollback_rows()) + "|";
    for (std::uint16_t r = 0; r < m.rows(); ++r) {
        out += std::to_string(m.row_wrapped(r));
        for (std::uint16_t c = 0; c < m.cols(); ++c) {
            const Cell cell = m.cell(r, c);
            out += cell.contents + "/" + std::to_string(cell.fg.bits()) + "/" +
                   std::to_string(cell.bg.bits()) + "/" + std::to_string(cell.bold) +
                   std::to_string(cell.inverse) + std::to_string(cell.wide) +
                   std::to_string(cell.wide_continuation) + pen(cell) + " ";
        }
    }
    return out;
}

// Feeds `script` cut in two at every byte boundary, and byte by byte, to
// fresh models; `state` of each must be `state` of the script fed whole.
template <class State>
void expect_every_split_alike(std::uint16_t rows, std::uint16_t cols, std::string_view script,
                              State state) {
    const std::string whole = state(fed(rows, cols, script));
    for (std::size_t split = 1; split < script.size(); ++split) {
        TerminalModel m(rows, cols, 100);
        m.feed(script.substr(0, split));
        m.feed(script.substr(split));
        ASSERT_EQ(state(m), whole) << "split at " << split;
    }
    TerminalModel bytewise(rows, cols, 100);
    for (char b : script) bytewise.feed(std::string_view(&b, 1));
    EXPECT_EQ(state(bytewise), whole) << "byte by byte";
}

}  // namespace tolvar::pty
