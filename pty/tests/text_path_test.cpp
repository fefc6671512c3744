// The plain-text path's vector code against the plain loops it replaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "cells.hpp"
#include "char_width.hpp"
#include "model_scripts.hpp"
#include "vt_parser.hpp"

namespace tolvar::pty {
namespace {

std::string cells_text(const HistoryLine& line) {
    std::string out;
    for (const Cell& c : line.cells) out += c.contents + (c.wide ? "W" : "") + "|";
    return out;
}

TEST(TextPath, StoredCellsMatchOneAtATimeForEveryLength) {
    std::mt19937 rng(1);
    for (std::size_t n = 0; n <= 70; ++n) {
        std::string text;
        for (std::size_t i = 0; i < n; ++i) text += static_cast<char>(0x20 + rng() % 95);
        const std::uint32_t pen = (rng() & 0x7f) << 24, fg = rng(), bg = rng();
        // One cell more on each side, to see that nothing outside is written.
        std::vector<CellData> got(n + 2, CellData{1, 2, 3});
        store_ascii(got.data() + 1, text.data(), n, pen, fg, bg);
        for (std::size_t i = 0; i < n; ++i) {
            const CellData& c = got[i + 1];
            ASSERT_EQ(c.word, pen | static_cast<unsigned char>(text[i])) << n << " " << i;
            ASSERT_EQ(c.fg, fg);
            ASSERT_EQ(c.bg, bg);
        }
        EXPECT_EQ(got.front().word, 1u);
        EXPECT_EQ(got.back().bg, 3u);
    }
}

// Runs of text take widths from the plane's table alone; it must agree with
// the full rules on every character such a run can hold.
TEST(TextPath, ThePlanesTableGivesEveryPrintableCharacterItsWidth) {
    for (char32_t c = 0x20; c < 0x10000; ++c) {
        if (c == 0x7f) c = 0xa0;
        ASSERT_EQ(static_cast<int>(bmp_width(c)), char_width(c)) << std::hex << std::uint32_t{c};
    }
}

// Text of wide characters, combining marks (also on a wide character, on a
// continuation, at a row's start and after a wrap), letters between them,
// C1 controls and broken sequences, in pens and links, with insert mode,
// line drawing and REP, at the last columns: fed whole, where runs of it are
// placed together, it leaves the same model as fed a byte at a time, where
// each character is placed alone. With xterm's rules and the reference's
// (which the placer follows for the edge and the pending wrap), and on grids
// too narrow for a wide character.
const std::vector<std::string>& k_pieces = k_text_pieces;

void expect_runs_place_as_characters(const std::vector<std::string>& pieces,
                                     std::uint32_t departures, std::uint16_t cols, int rounds) {
    std::mt19937 rng(5);
    for (int round = 0; round < rounds; ++round) {
        std::string text;
        for (int i = 0; i < 60; ++i) text += pieces[rng() % pieces.size()];
        TerminalModel whole(4, cols, 20);
        whole.set_departures(departures);
        whole.feed(text);
        TerminalModel bytes(4, cols, 20);
        bytes.set_departures(departures);
        for (char b : text) bytes.feed(std::string_view(&b, 1));
        ASSERT_EQ(snapshot(whole), snapshot(bytes)) << round;
        for (std::uint16_t r = 0; r < 4; ++r) {
            for (std::uint16_t c = 0; c < cols; ++c) {
                ASSERT_EQ(whole.cell(r, c).contents, bytes.cell(r, c).contents) << round;
                ASSERT_EQ(whole.cell(r, c).wide, bytes.cell(r, c).wide) << round;
                ASSERT_EQ(whole.cell(r, c).hyperlink, bytes.cell(r, c).hyperlink) << round;
            }
        }
    }
}

TEST(TextPath, RunsOfTextPlaceAsCharactersOneByOne) {
    expect_runs_place_as_characters(k_pieces, departure::all, 10, 400);
}

// Longer repeats, and line drawing's letters, whose repeat is the drawn
// character.
std::vector<std::string> more_pieces() {
    std::vector<std::string> pieces = k_pieces;
    pieces.insert(pieces.end(), {"\x1b[3b", "qx"});
    return pieces;
}

TEST(TextPath, RunsOfTextPlaceAsCharactersOneByOneByTheReferencesRules) {
    expect_runs_place_as_characters(more_pieces(), 0, 10, 200);
    expect_runs_place_as_characters(more_pieces(), departure::all & ~departure::pending_wrap, 10,
                                    200);
}

TEST(TextPath, RunsOfTextPlaceAsCharactersOneByOneOnNarrowGrids) {
    for (std::uint16_t cols : {1, 2, 3})
        expect_runs_place_as_characters(more_pieces(), departure::all, cols, 150);
}

// Broken UTF-8 (a lead and a byte no lead takes next, a sequence broken at
// its third or fourth byte, a lone lead at the end, bytes that are never
// leads) among letters, wide characters and controls: fed whole, where runs
// of replacement characters are placed together, it leaves the same screen
// and history as fed a byte at a time through the decoder.
TEST(TextPath, BrokenSequencesReplaceAsTheDecoderDoesOneByteAtATime) {
    const char* const pieces[] = {
        "\xee", "\xee\xee", "\xc3", "\xe0\x80", "\xed\xa0", "\xe2\x82", "\xf0\x9f\x98",
        "\xf4\x90", "\xf0\x8f", "\x80", "\xbf", "\xff", "\xe4\xb8\xad", "\xc3\xa9", "a", "bc",
        "\r", "\n", "\x1b[31m", "\x1b[0m", "\x1b[7G", "\x1b[4h", "\x1b[4l", "\x1b", "\x07",
    };
    std::mt19937 rng(29);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        for (int i = 0; i < 80; ++i) text += pieces[rng() % std::size(pieces)];
        TerminalModel whole(4, 10, 50);
        whole.feed(text);
        TerminalModel bytes(4, 10, 50);
        for (char b : text) bytes.feed(std::string_view(&b, 1));
        ASSERT_EQ(snapshot(whole), snapshot(bytes)) << round;
        for (std::size_t i = 0; i < whole.scrollback_rows(); ++i) {
            ASSERT_EQ(cells_text(whole.scrollback_line(i)), cells_text(bytes.scrollback_line(i)))
                << round << " " << i;
        }
    }
}

// A stream of lone 0xEE bytes: each is one replacement character, broken by
// the next, placed together where they fill rows and scroll them into the
// history, and the same split anywhere. The reference's decoder takes each
// pair as one.
TEST(TextPath, LoneInvalidBytesFillRowsWithReplacementCharacters) {
    const auto replacements = [](int n) {
        std::string row;
        for (int i = 0; i < n; ++i) row += "\xef\xbf\xbd|";
        return row;
    };
    for (const bool pairs : {false, true}) {
        const std::uint32_t departures =
            pairs ? departure::all & ~departure::utf8_breaking_byte : departure::all;
        const std::string text(std::size_t{pairs ? 2u : 1u} * 10 * 6 + 1, '\xee');
        TerminalModel whole(4, 10, 50);
        whole.set_departures(departures);
        whole.feed(text);
        for (std::size_t split : {1, 7, 10, 59}) {
            TerminalModel m(4, 10, 50);
            m.set_departures(departures);
            m.feed(std::string_view(text).substr(0, split));
            m.feed(std::string_view(text).substr(split));
            EXPECT_EQ(snapshot(whole), snapshot(m)) << pairs << " " << split;
        }
        ASSERT_EQ(whole.scrollback_rows(), 2u) << pairs;
        EXPECT_EQ(cells_text(whole.scrollback_line(0)), replacements(10));
        EXPECT_EQ(whole.cell(3, 9).contents, "\xef\xbf\xbd");
        // The last, lone byte waits for the next: one more replacement
        // character, and then the letter, or nothing more in pairs.
        EXPECT_EQ(whole.cursor(), (Position{3, 10}));
        whole.feed("a");
        EXPECT_EQ(whole.scrollback_rows(), 3u);
        EXPECT_EQ(whole.cell(3, 0).contents, "\xef\xbf\xbd");
        EXPECT_EQ(whole.cell(3, 1).contents, pairs ? "" : "a");
        EXPECT_EQ(whole.cursor(), (Position{3, pairs ? std::uint16_t{1} : std::uint16_t{2}}));
    }
    // Between letters, at a row's end and over a wide character: as the
    // bytes come one at a time.
    const std::string mixed = "ab" + std::string(11, '\xee') +
                              "cd\x1b[2;3H\xe4\xb8\xad\xe4\xb8\xad\x1b[2;2H" +
                              std::string(4, '\xee') + "\xc3";
    expect_every_split_alike(3, 10, mixed, snapshot);
    TerminalModel m(3, 10, 10);
    m.feed(mixed + "x");
    const auto row_cells = [&](std::uint16_t r) {
        HistoryLine line;
        for (std::uint16_t c = 0; c < 10; ++c) line.cells.push_back(m.cell(r, c));
        return cells_text(line);
    };
    EXPECT_EQ(row_cells(0), "a|b|" + replacements(8));
    EXPECT_TRUE(m.row_wrapped(0));
    EXPECT_EQ(row_cells(1), replacements(6) + "x||||");
}

// With the restore-on-grid departure off, a restored cursor may lie past the
// edge, as in the reference. Text from there takes the per-character path:
// a run that started there wrote nothing, but marked its row as reaching
// past its last column, and that row's trip into the history read beyond it.
TEST(TextPath, TextFromACursorPastTheEdgeKeepsEveryRowInItsColumns) {
    const std::string after = "\x1b" "8\xe4\xb8\xad\xcc\x81" "a\xcc\x88\r\n\r\n\r\n\r\n";
    TerminalModel whole(3, 40, 10);
    TerminalModel bytes(3, 40, 10);
    for (TerminalModel* m : {&whole, &bytes}) {
        m->set_departures(departure::all & ~departure::restore_on_grid);
        m->feed("\x1b[1;35H\x1b" "7");
        m->set_size(3, 20);
    }
    whole.feed(after);
    for (char b : after) bytes.feed(std::string_view(&b, 1));
    EXPECT_EQ(snapshot(whole), snapshot(bytes));
    ASSERT_GT(whole.scrollback_rows(), 0u);
    for (std::size_t i = 0; i < whole.scrollback_rows(); ++i) {
        EXPECT_EQ(whole.scrollback_line(i).cells.size(), 20u) << i;
        EXPECT_EQ(cells_text(whole.scrollback_line(i)), cells_text(bytes.scrollback_line(i))) << i;
    }
}

// There, a combining mark wraps the cursor first, as a character does, and
// joins the last cell of the row it left, as in the reference. It used to
// join the cell one past the row's end, the next row's first.
TEST(TextPath, AMarkAfterACursorPastTheEdgeWrapsFirst) {
    TerminalModel m(3, 40, 10);
    m.set_departures(departure::all & ~departure::restore_on_grid);
    m.feed("\x1b[1;35H\x1b" "7");
    m.set_size(3, 20);
    m.feed("\x1b[2;1Hx\x1b[3;1Hy\x1b" "8\xcc\x81\xcc\x88");
    for (std::uint16_t r = 0; r < 3; ++r) {
        for (std::uint16_t c = 0; c < 20; ++c) {
            const std::string want = r == 0 && c == 19   ? " \xcc\x81\xcc\x88"
                                     : r == 1 && c == 0 ? "x"
                                     : r == 2 && c == 0 ? "y"
                                                        : "";
            EXPECT_EQ(m.cell(r, c).contents, want) << r << " " << c;
        }
    }
    EXPECT_EQ(m.cursor(), (Position{1, 0}));
    m.feed("\r\n\r\n\r\n\r\n");
    for (std::size_t i = 0; i < m.scrollback_rows(); ++i)
        EXPECT_EQ(m.scrollback_line(i).cells.size(), 20u) << i;
}

TEST(TextPath, ThePrintableRunEndsAtTheFirstOtherByteWhereverItIs) {
    // Every byte value at every place of a 40-byte run.
    for (int other = 0; other < 256; ++other) {
        for (std::size_t at = 0; at <= 40; ++at) {
            std::string bytes(40, 'x');
            if (at < bytes.size()) bytes[at] = static_cast<char>(other);
            const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
            const bool printable = other >= 0x20 && other < 0x7f;
            const std::size_t expected = printable ? bytes.size() : std::min(at, bytes.size());
            ASSERT_EQ(static_cast<std::size_t>(printable_end(p, p + bytes.size()) - p), expected)
                << other << " at " << at;
        }
    }
}

// The table's rule for one parameter byte, as the parser had it before it
// took parameters in runs: the reference for `CsiParams::take`.
struct ParamsByByte {
    std::vector<std::vector<unsigned>> groups{{}};
    unsigned value = 0;
    int count = 0;
    void put(char b) {
        if (count == CsiParams::k_max_values) return;
        if (b == ';' || b == ':') {
            groups.back().push_back(value);
            ++count;
            value = 0;
            if (b == ';') groups.emplace_back();
        } else {
            value = std::min(value * 10 + static_cast<unsigned>(b - '0'), 0xffffu);
        }
    }
};

std::vector<std::vector<unsigned>> walk(CsiParams params, std::uint16_t last) {
    if (params.full()) {
        params.close_open_group();
    } else {
        params.push(last);
    }
    std::vector<std::vector<unsigned>> out;
    CsiParams::Group g;
    for (CsiParams::Cursor c; params.next(c, g);) {
        out.emplace_back();
        for (int i = 0; i < g.count; ++i) out.back().push_back(g[i]);
    }
    return out;
}

TEST(TextPath, ParametersTakenInRunsReadAsByteByByteAtEverySplit) {
    std::mt19937 rng(2);
    for (int round = 0; round < 3000; ++round) {
        // Numbers of 0 to 12 digits (leading zeros, values past 0xffff),
        // joined by ';' or ':', sometimes more than the 32 slots hold, then
        // the byte that ends them.
        std::string text;
        const int numbers = 1 + static_cast<int>(rng() % (round % 10 == 0 ? 40 : 12));
        for (int i = 0; i < numbers; ++i) {
            if (i > 0) text += rng() % 4 == 0 ? ':' : ';';
            const int digits = static_cast<int>(rng() % 13 > 9 ? rng() % 13 : rng() % 4);
            for (int k = 0; k < digits; ++k) text += static_cast<char>('0' + rng() % 10);
        }
        const std::string ended = text + "m       ";  // bytes to read past the end
        ParamsByByte want;
        for (char b : text) want.put(b);
        want.groups.back().push_back(want.value);
        if (want.count == CsiParams::k_max_values) want.groups.back().pop_back();
        if (want.groups.back().empty()) want.groups.pop_back();

        const auto* bytes = reinterpret_cast<const std::uint8_t*>(ended.data());
        for (std::size_t split = 0; split <= text.size(); ++split) {
            CsiParams params;
            std::uint16_t value = 0;
            ASSERT_EQ(params.take(bytes, bytes + split, value), bytes + split);
            const std::uint8_t* end = params.take(bytes + split, bytes + ended.size(), value);
            ASSERT_EQ(end, bytes + text.size()) << text << " split " << split;
            ASSERT_EQ(walk(params, value), want.groups) << text << " split " << split;
        }
    }
}

}  // namespace
}  // namespace tolvar::pty
