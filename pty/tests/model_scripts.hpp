// Helpers of the terminal model's byte-script tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {

// A reader of the damage record: its own copy of the screen, brought up to
// date from damage_since alone. Rows that a scroll leaves to be repainted
// are "?" until repainted, so that a row the record forgets shows.
struct DamageReader {
    std::uint64_t seen = 0;
    std::vector<std::string> rows;
    std::string cursor, modes, title;
    LineNumber history_end = 0;
    int everything = 0;

    static std::string row_of(const TerminalModel& m, std::uint16_t r) {
        std::string out = m.row_wrapped(r) ? "w" : "-";
        out += std::to_string(static_cast<int>(m.row_size(r))) + ":";
        for (std::uint16_t c = 0; c < m.cols(); ++c) {
            const Cell cell = m.cell(r, c);
            out += cell.contents + "/" + std::to_string(cell.fg.bits()) + "/" +
                   std::to_string(cell.bg.bits()) + "/" + std::to_string(cell.bold) +
                   std::to_string(cell.inverse) + std::to_string(cell.wide) +
                   std::to_string(cell.wide_continuation) + "/" +
                   std::to_string(cell.hyperlink);
            const Cell& p = cell;
            if (p.faint) out += " faint";
            if (p.italic) out += " italic";
            if (p.strikethrough) out += " strike";
            if (p.conceal) out += " conceal";
            if (p.underline != Underline::None)
                out += " u=" + std::to_string(static_cast<int>(p.underline));
            if (p.underline_color != Color()) out += " U=" + std::to_string(p.underline_color.bits());
            out += " ";
        }
        return out;
    }
    static std::string cursor_of(const TerminalModel& m) {
        return std::to_string(m.cursor().row) + "," + std::to_string(m.cursor().col) +
               std::to_string(m.hide_cursor()) +
               std::to_string(static_cast<int>(m.cursor_style().shape)) +
               std::to_string(m.cursor_style().blinking);
    }
    static std::string modes_of(const TerminalModel& m) {
        return std::to_string(m.bracketed_paste()) + std::to_string(m.application_cursor()) +
               std::to_string(m.application_keypad()) +
               std::to_string(static_cast<int>(m.mouse_mode())) +
               std::to_string(static_cast<int>(m.mouse_encoding())) +
               std::to_string(m.focus_reporting()) + std::to_string(m.insert_mode()) +
               std::to_string(m.auto_wrap());
    }

    void catch_up(const TerminalModel& m) {
        const Damage d = m.damage_since(seen);
        seen = d.now;
        history_end = d.history_end;
        if (d.everything) {
            ++everything;
            rows.assign(m.rows(), "?");
            for (std::uint16_t r = 0; r < m.rows(); ++r) rows[r] = row_of(m, r);
        } else {
            for (const ScrollMove& s : d.scrolls) scroll(s);
            for (std::uint16_t r : d.rows) rows.at(r) = row_of(m, r);
        }
        if (d.cursor) cursor = cursor_of(m);
        if (d.modes) modes = modes_of(m);
        if (d.title) title = m.title() + "|" + m.icon_name();
    }
    void scroll(const ScrollMove& s) {
        ASSERT_LE(s.top, s.bottom);
        ASSERT_LT(s.bottom, rows.size());
        const int height = s.bottom - s.top + 1;
        const int k = s.count < 0 ? -s.count : s.count;
        for (int i = 0; i < height; ++i) {
            // Up: row top+i takes row top+i+k; down, from the bottom.
            const int to = s.count > 0 ? s.top + i : s.bottom - i;
            const int from = s.count > 0 ? to + k : to - k;
            rows[to] = i + k < height ? rows[from] : "?";
        }
    }
    // Empty when the copy is the model's screen, else what differs.
    std::string differs(const TerminalModel& m) const {
        if (rows.size() != m.rows()) return "rows " + std::to_string(rows.size());
        for (std::uint16_t r = 0; r < m.rows(); ++r) {
            if (rows[r] != row_of(m, r)) return "row " + std::to_string(r) + ": " + rows[r];
        }
        if (cursor != cursor_of(m)) return "cursor " + cursor;
        if (modes != modes_of(m)) return "modes " + modes;
        if (title != m.title() + "|" + m.icon_name()) return "title " + title;
        if (history_end != m.history_end()) return "history";
        return {};
    }
};

// Feeds `script` to fresh models cut in two at every byte (short scripts)
// or at some, and byte by byte, with readers asking between the pieces at
// different places; each reader's copy must end as the model's screen.
inline void expect_damage_repaints(std::uint16_t rows, std::uint16_t cols,
                                   std::string_view script, std::size_t scrollback = 100) {
    const std::size_t step = script.size() <= 600 ? 1 : script.size() / 40 + 1;
    for (std::size_t split = 1; split < script.size(); split += step) {
        TerminalModel m(rows, cols, scrollback);
        DamageReader a, b;
        a.catch_up(m);
        b.catch_up(m);
        m.feed(script.substr(0, split));
        a.catch_up(m);
        m.feed(script.substr(split));
        a.catch_up(m);
        b.catch_up(m);
        const std::string da = a.differs(m), db = b.differs(m);
        if (!da.empty() || !db.empty()) {
            ADD_FAILURE() << "damage, split at " << split << ": " << da << " / " << db;
            return;
        }
    }
    if (script.size() > 8192) return;
    TerminalModel m(rows, cols, scrollback);
    DamageReader every, seventh, start;
    start.catch_up(m);
    every.catch_up(m);
    for (std::size_t i = 0; i < script.size(); ++i) {
        m.feed(script.substr(i, 1));
        every.catch_up(m);
        if (i % 7 == 6) seventh.catch_up(m);
    }
    seventh.catch_up(m);
    start.catch_up(m);
    for (const DamageReader* r : {&every, &seventh, &start}) {
        const std::string d = r->differs(m);
        if (!d.empty()) {
            ADD_FAILURE() << "damage, byte by byte: " << d;
            return;
        }
    }
}

// Pieces of text that the placer's paths must agree on (text_path_test):
// wide characters, marks, C1 controls, broken UTF-8, pens, insert mode, line
// drawing, links, moves, REP, auto-wrap off and protection (which a selective
// erase shows).
inline const std::vector<std::string> k_text_pieces = {
    "a", "\xe4\xb8\xad", "\xe9\xbe\x8d", "\xcc\x81", "\xcd\xa3", "\xf0\x9f\x98\x80",
    "\xc2\x85", "\xc2\xa0", "\xc3\xa9", "\xe2\x80\x8b", "\xe4\xb8", "\xff", "ab",
    "\r", "\n", "\x1b[31m", "\x1b[0m", "\x1b[4h", "\x1b[4l", "\x1b(0", "\x1b(B",
    "\x1b]8;;http://x/\x1b\\", "\x1b]8;;\x1b\\", "\x1b[9G", "\x1b[10G", "\x1b[D", "\x1b[b",
    "\x1b[?7l", "\x1b[?7h", "\x1b[1\"q", "\x1b[0\"q", "\x1b[?K", "\xee\xee",
};

// Every byte script also checks the damage record.
inline TerminalModel fed(std::uint16_t rows, std::uint16_t cols, std::string_view bytes,
                         std::size_t scrollback = 100) {
    expect_damage_repaints(rows, cols, bytes, scrollback);
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
        out += std::to_string(m.row_wrapped(r)) + std::to_string(static_cast<int>(m.row_size(r)));
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
    expect_damage_repaints(rows, cols, script);
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
