// Byte scripts for the model's history as the view reads it: line numbers
// that never go back, lines as they were on screen, text over history and
// screen, and search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model_scripts.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {
namespace {

// A line's cells, every field, as one comparable string.
std::string cells_of(const LineCells& line) {
    std::string out = line.wrapped ? "w|" : "-|";
    for (const Cell& c : line.cells) {
        out += c.contents + "/" + std::to_string(c.fg.bits()) + "/" + std::to_string(c.bg.bits()) +
               "/" + std::to_string(c.underline_color.bits()) + "/" + std::to_string(c.bold) +
               std::to_string(c.faint) + std::to_string(c.italic) +
               std::to_string(static_cast<int>(c.underline)) + std::to_string(c.inverse) +
               std::to_string(c.strikethrough) + std::to_string(c.conceal) +
               std::to_string(c.wide) + std::to_string(c.wide_continuation) + " ";
    }
    return out;
}

std::string line_cells(const TerminalModel& m, LineNumber n) {
    LineCells out;
    m.line(n, out);
    return cells_of(out);
}

std::string numbers(const TerminalModel& m) {
    return std::to_string(m.history_begin()) + ".." + std::to_string(m.history_end());
}

std::string found(const TerminalModel& m, std::string_view query, bool match_case = true) {
    std::string out;
    for (const Match& x : m.find(query, match_case)) {
        out += std::to_string(x.start.line) + ":" + std::to_string(x.start.col) + "-" +
               std::to_string(x.end.line) + ":" + std::to_string(x.end.col) + " ";
    }
    return out;
}

// ---- numbering ------------------------------------------------------------------

TEST(Numbering, CountsEveryLineThatLeavesThePrimaryScreen) {
    TerminalModel m(3, 10, 4);
    EXPECT_EQ(numbers(m), "0..0");
    m.feed("0\r\n1\r\n2\r\n3\r\n4");
    EXPECT_EQ(numbers(m), "0..2");
    EXPECT_EQ(m.text_range({2, 0}, {3, 0}), "2\n");  // the screen's first row
    // Past the capacity the oldest go and the numbers stay with their text.
    m.feed("\r\n5\r\n6\r\n7\r\n8");
    EXPECT_EQ(numbers(m), "2..6");
    EXPECT_EQ(m.scrollback_rows(), 4u);
    EXPECT_EQ(m.text_range({2, 0}, {3, 0}), "2\n");
    EXPECT_EQ(m.text_range({0, 0}, {3, 0}), "2\n");  // lines 0 and 1 are gone
    // Without room the lines are counted all the same.
    TerminalModel none = fed(2, 5, "a\r\nb\r\nc\r\nd", 0);
    EXPECT_EQ(numbers(none), "2..2");
}

TEST(Numbering, ClearingEmptiesTheHistoryAndTheNumbersGoOn) {
    TerminalModel m = fed(2, 10, "a\r\nb\r\nc\r\nd");
    ASSERT_EQ(numbers(m), "0..2");
    m.clear_scrollback();
    EXPECT_EQ(numbers(m), "2..2");
    EXPECT_EQ(m.visible_text(), "c\nd");  // the screen stays
    m.feed("\r\ne");
    EXPECT_EQ(numbers(m), "2..3");
    EXPECT_EQ(m.text_range({0, 0}, {3, 0}), "c\n");
    // A reset drops the history as well, without renumbering.
    m.feed(
        "\x1b"
        "c"
        "x\r\ny\r\nz");
    EXPECT_EQ(numbers(m), "3..4");
    EXPECT_EQ(m.text_range({3, 0}, {4, 0}), "x\n");
}

TEST(Numbering, EraseSavedLinesClearsTheHistoryAtEverySplit) {
    // xterm's CSI 3 J and its DEC form, also from the alternate screen;
    // CSI 2 J clears the screen only.
    const std::string script =
        "a\r\nb\r\nc\x1b[3J\r\nd\r\ne\x1b[?3J\r\nf\r\ng\x1b[?1049h\x1b[2Ji\r\nj\r\nk\x1b[3J";
    const auto state = [](const TerminalModel& m) {
        return numbers(m) + "|" + m.visible_text() + "|" + std::to_string(m.alternate_screen());
    };
    EXPECT_EQ(state(fed(2, 6, script)), "5..5|j\nk|1");
    expect_every_split_alike(2, 6, script, state);
    TerminalModel kept = fed(2, 6, "a\r\nb\r\nc\x1b[2J");
    EXPECT_EQ(numbers(kept), "0..1");
}

TEST(Numbering, ResizeMovesNoLine) {
    TerminalModel m = fed(3, 8, "one\r\ntwo\r\nthree\r\nfour\x1b[H");
    ASSERT_EQ(numbers(m), "0..1");
    m.set_size(2, 4);  // the cursor above the cut: no row scrolls off
    EXPECT_EQ(numbers(m), "0..1");
    EXPECT_EQ(m.text_range({1, 0}, {3, 0}), "two\nthre\n");
    m.set_size(5, 12);
    EXPECT_EQ(m.text_range({0, 0}, {2, 0}), "one\ntwo\n");
}

TEST(Numbering, TheAlternateScreenPushesNothingAndIsReadWhileShown) {
    TerminalModel m = fed(2, 8, "p1\r\np2\r\np3");
    ASSERT_EQ(numbers(m), "0..1");
    m.feed("\x1b[?1049hfull\r\nscreen\r\napp");
    EXPECT_EQ(numbers(m), "0..1");
    EXPECT_EQ(m.text_range({0, 0}, {2, 8}), "p1\nscreen\napp");
    EXPECT_EQ(m.find("p2", true).size(), 0u);  // the primary screen is hidden
    m.feed("\x1b[?1049l");
    EXPECT_EQ(numbers(m), "0..1");
    EXPECT_EQ(m.text_range({0, 0}, {2, 8}), "p1\np2\np3");
    // A history line that wrapped went on on the primary screen, not on the
    // alternate one.
    TerminalModel wrapped = fed(2, 4, "abcdefghij\x1b[?1049hxy");
    ASSERT_EQ(numbers(wrapped), "0..1");
    EXPECT_EQ(wrapped.text_range({0, 0}, {1, 2}), "abcd\nxy");
    EXPECT_EQ(found(wrapped, "dx"), "");
}

// ---- line() -----------------------------------------------------------------------

TEST(Line, HistoryLinesAreExactlyAsTheyWereOnScreen) {
    // Colours of all three kinds, every attribute, wide characters, marks,
    // a coloured erase past the text, a wrapped row, and a wide character
    // that did not fit and left the last column empty.
    TerminalModel m(4, 8, 10);
    m.feed(
        "\x1b[1;3;4;7;38;2;9;8;7;48;5;200mA\x1b[0;31m\xe4\xb8\xad\x1b[0m"
        "e\xcc\x81\xcc\x88\x1b[44m \x1b[K\x1b[0m\r\n");
    m.feed(
        "abcdefghijklmno\xe4\xb8\xad"
        "x");
    std::vector<std::string> on_screen;
    for (LineNumber n = 0; n < 4; ++n) on_screen.push_back(line_cells(m, n));
    m.feed("\r\n\r\n\r\n\r\n");
    ASSERT_EQ(numbers(m), "0..4");
    for (LineNumber n = 0; n < 4; ++n) EXPECT_EQ(line_cells(m, n), on_screen[n]) << n;
    EXPECT_EQ(line_cells(m, 1).substr(0, 2), "w|");
    EXPECT_EQ(line_cells(m, 2).substr(0, 2), "-|");
}

TEST(Line, NewerAttributesAndUnderlineColoursReadBackFromTheHistory) {
    // Every underline style and the other newer attributes, underline
    // colours past the 6 bits kept in the background word, on every colour
    // kind, cells erased, and a wide character.
    TerminalModel m(3, 12, 10);
    for (int i = 0; i < 70; ++i) m.feed("\x1b[58;2;" + std::to_string(i) + ";0;0m");
    m.feed(
        "\x1b[0;2;9;4:3;58;5;196;38;2;1;2;3mA\x1b[4:4;58:2::10:20:30;8mB\x1b[4:5;48;5;7mC"
        "\x1b[0;21;58:2:0:0:69m\xe4\xb8\xad\x1b[4:2;59;1;2mD\x1b[0;9;58;5;3m\x1b[K\r\n");
    m.feed("\x1b[0mplain\x1b[4m \x1b[2mf\r\n");
    EXPECT_EQ(m.cell(0, 0).underline_color, Color::indexed(196));
    EXPECT_EQ(m.cell(0, 1).underline_color, Color::rgb(10, 20, 30));
    EXPECT_EQ(m.cell(0, 3).underline_color, Color::rgb(0, 0, 69));
    EXPECT_EQ(m.cell(0, 5).underline_color, Color());
    EXPECT_EQ(m.cell(0, 11).underline_color, Color());  // erased: the background only
    std::vector<std::string> on_screen;
    for (LineNumber n = 0; n < 2; ++n) on_screen.push_back(line_cells(m, n));
    m.feed("\r\n\r\n\r\n");
    ASSERT_EQ(numbers(m), "0..3");
    for (LineNumber n = 0; n < 2; ++n) {
        EXPECT_EQ(line_cells(m, n), on_screen[n]) << n;
        const HistoryLine h = m.scrollback_line(n);
        EXPECT_EQ(cells_of({h.cells, h.wrapped}), on_screen[n]) << n;
    }
    // Attributes never change the text that is found or copied.
    EXPECT_EQ(found(m, "BC"), "0:1-0:3 ");
    EXPECT_EQ(m.text_range({0, 0}, {2, 0}),
              "ABC\xe4\xb8\xad"
              "D\nplain f\n");
}

// Regression pin: text without the newer attributes keeps its encoding
// byte for byte, and so does protected text (DECSCA), whose protection the
// history does not keep. This line takes 21 bytes (header 4, text 6, three
// runs of 4, 2 and 5), so 3120 of them fill a 64 KiB block and one more
// starts the next; a byte more a line would start it 149 lines sooner.
TEST(Line, OldAttributesEncodeToTheSameBytes) {
    for (const char* start : {"", "\x1b[1\"q"}) {
        TerminalModel m(2, 10, 5000);
        m.feed(start);
        const std::string line = "\x1b[1;31;48;5;200mab\x1b[0mcd\x1b[4;38;2;1;2;3mef\x1b[0m\r\n";
        std::size_t before = 0;
        for (int i = 0; i < 3121; ++i) {
            before = m.scrollback_bytes();
            m.feed(line);
        }
        ASSERT_EQ(m.scrollback_rows(), 3120u);
        EXPECT_LT(m.scrollback_bytes() - before, 1000u) << "the 3120th line started a block";
        m.feed(line);
        EXPECT_GT(m.scrollback_bytes() - before, 60000u) << "the 3121st line fitted";
    }
}

// Rows of every kind of cell mixed at random: ASCII, wide characters
// (some at the last column, where they do not fit), marks on narrow and wide
// characters and on nothing, characters outside the plane, C1-range and
// ambiguous ones, links, and pens that change inside runs of each. Every
// row reads back from the history exactly as it was on screen, and the
// bytes it takes are pinned: the history's size per cell must not grow.
TEST(Line, MixedRowsReadBackExactlyAndTakeTheSameBytes) {
    const char* const pieces[] = {
        "a", "Z", " ", "~", "\xe4\xb8\xad", "\xe9\xbe\x8d", "\xcc\x81", "e\xcc\x81\xcc\x88",
        "\xe4\xb8\xad\xcc\x81", "\xf0\x9f\x98\x80", "\xc2\xa0", "\xc3\xa9", "\xe2\x80\x94",
        "\xce\xa9", "\x1b[1m", "\x1b[7m", "\x1b[0m", "\x1b[31m", "\x1b[48;5;200m",
        "\x1b[38;2;1;2;3m", "\x1b[4:3m", "\x1b]8;;http://x/\x1b\\", "\x1b]8;;\x1b\\",
        "\x1b[K", "\x1b[2@", "\x1b[P", "\x1b[3G",
    };
    std::uint32_t seed = 7;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    TerminalModel m(6, 23, 10000);
    std::size_t pushed = 0;
    // The lines at which a block of the history started: where the bytes
    // of the lines before filled one.
    std::vector<LineNumber> block_starts;
    for (int round = 0; round < 600; ++round) {
        std::string rows;
        for (int r = 0; r < 6; ++r) {
            rows += "\x1b[" + std::to_string(r + 1) + ";1H\x1b[0m\x1b[2K";
            // At most 10 pieces of at most two columns: nothing wraps.
            for (int i = next() % 11; i > 0; --i) rows += pieces[next() % std::size(pieces)];
            // A wide character in the last two columns, or in the last one
            // where it does not fit and goes to the next row (not on the
            // last row, where it would scroll).
            if (next() % 3 == 0) rows += r < 5 && next() % 2 ? "\x1b[23G\xe4\xb8\xad" : "\x1b[22G\xe9\xbe\x8d";
        }
        m.feed(rows);
        ASSERT_EQ(m.history_end(), pushed) << round;
        std::vector<std::string> on_screen;
        for (int r = 0; r < 6; ++r) on_screen.push_back(line_cells(m, m.history_end() + r));
        m.feed("\x1b[0m\x1b]8;;\x1b\\\x1b[6;1H");
        for (int r = 0; r < 6; ++r) {
            const std::size_t before = m.scrollback_bytes();
            m.feed("\n");
            if (m.scrollback_bytes() - before > 60000) block_starts.push_back(m.history_end());
        }
        for (int r = 0; r < 6; ++r) {
            ASSERT_EQ(line_cells(m, pushed + r), on_screen[r]) << "round " << round << " row " << r;
            const HistoryLine h = m.scrollback_line(pushed + r);
            ASSERT_EQ(cells_of({h.cells, h.wrapped}), on_screen[r]) << "round " << round;
        }
        pushed += 6;
        ASSERT_EQ(m.history_end(), pushed) << round;
    }
    EXPECT_EQ(block_starts, (std::vector<LineNumber>{1, 3114}));
}

// Short plain lines (most of a log, every line of `yes`) are stored by a
// path of their own: they take the bytes that the general encoding gives the
// same cells (here the same line with an erased cell past the short ones'
// reach), and read back the same, empty cells between letters included.
TEST(Line, ShortPlainLinesTakeTheBytesOfTheGeneralEncoding) {
    TerminalModel short_lines(2, 40, 5000);
    TerminalModel long_lines(2, 40, 5000);
    for (int i = 0; i < 4000; ++i) {
        const std::string text = i % 3 == 0 ? "" : i % 3 == 1 ? "y" : "ab \x1b[7Gc";
        short_lines.feed(text + "\r\n");
        long_lines.feed(text + "\x1b[40Gx\x1b[40G\x1b[K\r\n");
    }
    ASSERT_EQ(short_lines.scrollback_rows(), 3999u);
    EXPECT_EQ(short_lines.scrollback_bytes(), long_lines.scrollback_bytes());
    for (LineNumber n = 0; n < 3999; n += 7) {
        ASSERT_EQ(line_cells(short_lines, n), line_cells(long_lines, n)) << n;
    }
    EXPECT_EQ(short_lines.scrollback_line(2).cells[6].contents, "c");
    EXPECT_EQ(short_lines.scrollback_line(2).cells[3].contents, "");
}

// Empty cells before text (a bare line feed leaves text at the right) are
// encoded four at a time: gaps of every length, before text in the default
// pen and in others, and after a coloured run, read back as on screen.
TEST(Line, GapsBeforeTextReadBackAsOnScreen) {
    TerminalModel m(1, 60, 1000);
    for (int gap = 0; gap < 50; ++gap) {
        for (const char* pen : {"", "\x1b[31m", "\x1b[44m"}) {
            for (const char* before : {"", "\x1b[1mab\x1b[0m"}) {
                m.feed(std::string(before) + "\x1b[" + std::to_string(gap + 3) + "G" + pen +
                       "xy\x1b[0m");
                const std::string on_screen = line_cells(m, m.history_end());
                m.feed("\r\n");
                ASSERT_EQ(line_cells(m, m.history_end() - 1), on_screen) << gap << pen << before;
            }
        }
    }
}

// The line index is a ring that grows to the capacity: lines pushed past it
// evict the oldest in order, across its growth and its turns, and after the
// history is cleared.
TEST(Line, TheNewestLinesAreKeptInOrderAcrossTheIndexsTurns) {
    TerminalModel m(1, 12, 100);
    const auto check = [&m](int newest) {
        ASSERT_EQ(m.scrollback_rows(), static_cast<std::size_t>(std::min(newest + 1, 100)));
        for (std::size_t i = 0; i < m.scrollback_rows(); ++i) {
            const int want = newest + 1 - static_cast<int>(m.scrollback_rows()) + static_cast<int>(i);
            std::string text;
            for (const Cell& c : m.scrollback_line(i).cells) text += c.contents;
            ASSERT_EQ(text, std::to_string(want)) << newest << " " << i;
        }
    };
    for (int i = 0; i < 1000; ++i) {
        // Every tenth line red, which takes the general path.
        m.feed((i % 10 == 9 ? "\x1b[31m" : "") + std::to_string(i) + "\x1b[0m\r\n");
        if (i < 40 || i % 97 == 0) check(i);
    }
    check(999);
    m.clear_scrollback();
    EXPECT_EQ(m.scrollback_rows(), 0u);
    for (int i = 0; i < 150; ++i) m.feed(std::to_string(i) + "\r\n");
    check(149);
}

// A plain row that leaves the screen while the pen has a background colour:
// the row that comes in takes it, as every row scrolled in does.
TEST(Line, ARowScrolledInAfterAShortPlainOneTakesTheBackground) {
    TerminalModel m(2, 10, 100);
    m.feed("a\r\nb\x1b[44m\r\n");
    ASSERT_EQ(m.scrollback_rows(), 1u);
    EXPECT_EQ(m.scrollback_line(0).cells[0].contents, "a");
    EXPECT_EQ(m.cell(0, 0).contents, "b");
    for (std::uint16_t c = 0; c < 10; ++c) EXPECT_EQ(m.cell(1, c).bg, Color::indexed(4)) << c;
}

TEST(Line, OutsideTheLinesIsEmptyAndStorageIsReused) {
    TerminalModel m = fed(2, 40, "w\r\nx\r\ny\r\nz", 2);
    m.feed("\r\n");  // line 0 is evicted
    LineCells out;
    m.line(m.history_end(), out);
    const Cell* storage = out.cells.data();
    const std::size_t capacity = out.cells.capacity();
    for (LineNumber n : {LineNumber{0}, m.history_end() + 2, LineNumber{~0ull}}) {
        m.line(n, out);
        EXPECT_TRUE(out.cells.empty()) << n;
        EXPECT_FALSE(out.wrapped);
    }
    m.line(m.history_begin(), out);
    EXPECT_EQ(out.cells.size(), 40u);
    EXPECT_EQ(out.cells[0].contents, "x");
    EXPECT_EQ(out.cells.data(), storage);
    EXPECT_EQ(out.cells.capacity(), capacity);
}

// ---- text_range -------------------------------------------------------------------

TEST(TextRange, ComposesLikeTextBetweenOverHistoryAndScreen) {
    // Gaps, coloured blanks after the text, a wide character, marks and
    // trailing spaces, read while on the screen and again from the history.
    const std::string rows =
        "a\x1b[3Cb\x1b[44m  \x1b[K\x1b[0m\r\n\xe4\xb8\xad"
        "e\xcc\x81  \r\nl\xc3\xa4st";
    TerminalModel m = fed(3, 8, rows);
    const std::string live = m.text_between({0, 1}, {2, 3});
    const std::string all = m.text_between({0, 0}, {3, 0});
    const LineNumber top = m.history_end();
    EXPECT_EQ(m.text_range({top, 1}, {top + 2, 3}), live);
    m.feed("\r\n\r\n\r\n");
    EXPECT_EQ(m.text_range({top, 1}, {top + 2, 3}), live);
    EXPECT_EQ(m.text_range({top, 0}, {top + 3, 0}), all);
    EXPECT_EQ(live,
              "   b  \n\xe4\xb8\xad"
              "e\xcc\x81  \nl\xc3\xa4s");
    EXPECT_EQ(all,
              "a   b  \n\xe4\xb8\xad"
              "e\xcc\x81  \nl\xc3\xa4st\n");
    EXPECT_EQ(m.text_range({top + 1, 1}, {top + 1, 8}), "e\xcc\x81  ");  // right half: nothing
}

TEST(TextRange, JoinsWrappedLinesIntoTheScreenAndClipsWhatIsGone) {
    TerminalModel m = fed(2, 4, "old\r\nabcdefghijkl", 1);
    // "abcd" is history, "efgh" and "ijkl" are on the screen, "old" is gone.
    ASSERT_EQ(numbers(m), "1..2");
    EXPECT_EQ(m.text_range({1, 2}, {3, 1}), "cdefghi");
    EXPECT_EQ(m.text_range({0, 0}, {2, 2}), "abcdef");
    EXPECT_EQ(m.text_range({0, 0}, {0, 3}), "");
    EXPECT_EQ(m.text_range({3, 1}, {1, 2}), "");
    EXPECT_EQ(m.text_range({2, 1}, {2, 1}), "");
    EXPECT_EQ(m.text_range({3, 0}, {99, 0}), "ijkl\n");
    m.clear_scrollback();
    EXPECT_EQ(m.text_range({1, 0}, {3, 2}), "efghij");
}

// ---- find -----------------------------------------------------------------------

TEST(Find, InHistoryAndOnScreenInOrderWithCaseAsAsked) {
    // Line 1 is coloured and line 2 holds a non-ASCII character, so each
    // way of reading a stored line is met.
    TerminalModel m = fed(2, 20,
                          "Error one\r\n\x1b[31merror\x1b[0m two\r\n\xc3\xa9 ERROR\r\n"
                          "error on screen\r\nfin");
    ASSERT_EQ(numbers(m), "0..3");
    EXPECT_EQ(found(m, "error"), "1:0-1:5 3:0-3:5 ");
    EXPECT_EQ(found(m, "error", false), "0:0-0:5 1:0-1:5 2:2-2:7 3:0-3:5 ");
    EXPECT_EQ(found(m, "ERROR", false), found(m, "error", false));
    EXPECT_EQ(found(m, ""), "");
    EXPECT_EQ(found(m, "\xff"), "");
    EXPECT_EQ(found(m, "nothing like it"), "");
}

TEST(Find, AWrappedRunIsOneLine) {
    // "hello wor|ld again,| and more" wraps over history and the screen; a
    // query longer than any row still fits the run.
    TerminalModel m = fed(2, 9, "x\r\nhello world again, and more");
    ASSERT_EQ(numbers(m), "0..2");
    EXPECT_EQ(found(m, "world"), "1:6-2:2 ");
    EXPECT_EQ(found(m, "hello world again, and more"), "1:0-3:9 ");
    EXPECT_EQ(found(m, "x hello"), "");  // separate lines do not join
    // A run that mixes plain and other rows in the history.
    TerminalModel mixed = fed(2, 4,
                              "abcd\xc3\xa9"
                              "fgh\r\n\r\n\r\n");
    EXPECT_EQ(found(mixed,
                    "d\xc3\xa9"
                    "f"),
              "0:3-1:2 ");
}

TEST(Find, WideCharactersAndMarksTakeWholeCells) {
    TerminalModel m = fed(3, 12,
                          "a\xe4\xb8\xad\xe6\x96\x87"
                          "b e\r\n"
                          "\xc3\xa9 e\xcc\x81 \xc4\xb0 i\xcc\x87 i");
    const auto check = [&m] {
        // Both halves of each wide character.
        EXPECT_EQ(found(m,
                        "\xe6\x96\x87"
                        "b"),
                  "0:3-0:6 ");
        // "e" is not the e of e + U+0301; the composed query is the cell.
        EXPECT_EQ(found(m, "e"), "0:7-0:8 ");
        EXPECT_EQ(found(m, "e\xcc\x81"), "1:2-1:3 ");
        EXPECT_EQ(found(m, "\xcc\x81"), "");
        // No normalisation: the precomposed letter is another character.
        EXPECT_EQ(found(m, "\xc3\xa9"), "1:0-1:1 ");
        // U+0130 lower-cases to i + U+0307: the whole cell matches, its
        // first half alone does not, and i + U+0307 in one cell is the same.
        EXPECT_EQ(found(m, "\xc4\xb0", false), "1:4-1:5 1:6-1:7 ");
        EXPECT_EQ(found(m, "i", false), "1:8-1:9 ");
    };
    check();
    m.feed("\r\n\r\n\r\n");
    ASSERT_EQ(numbers(m), "0..2");
    check();
}

TEST(Find, EveryLineReadsTheSameFromTheScreenAndFromTheHistory) {
    // Each stored line is read from its stored bytes or decoded cell by
    // cell, screen rows only the second way: pushing a screen into the
    // history must change no match and no text.
    static const char* pieces[] = {
        "ab",           "Ab",           "xy z",     " ",         "\r\n",     "\r\n",
        "\x1b[31m",     "\x1b[0m",      "\x1b[3C",  "\x1b[44m",  "\x1b[K",   "\xc3\xa9",
        "e\xcc\x81",    "\xe4\xb8\xad", "\xc4\xb0", "i\xcc\x87", "\xce\xa3", "\xcf\x82",
        "\xe2\x94\x80", "\x1b[2D",      "\xd0\x96"};
    static const char* queries[] = {"a", "ab",       "b a",      "\xc3\xa9", "e", "\xe4\xb8\xad",
                                    " ", "\xc4\xb0", "\xcf\x83", "i"};
    std::uint32_t seed = 7;
    std::size_t matched = 0;
    for (int round = 0; round < 40; ++round) {
        std::string script;
        for (int i = 0; i < 150; ++i) {
            seed = seed * 1103515245u + 12345u;
            script += pieces[(seed >> 16) % std::size(pieces)];
        }
        TerminalModel m = fed(6, 7, script, 1000);
        const LineNumber end = m.history_end() + m.rows();
        std::vector<std::string> before;
        for (const char* q : queries) {
            before.push_back(found(m, q) + found(m, q, false));
            matched += before.back().empty() ? 0 : 1;
        }
        const std::string text = m.text_range({0, 0}, {end, 0});
        m.feed("\x1b[r\x1b[6S");
        ASSERT_EQ(m.history_end(), end);
        for (std::size_t i = 0; i < std::size(queries); ++i) {
            ASSERT_EQ(found(m, queries[i]) + found(m, queries[i], false), before[i])
                << "round " << round << ", query " << queries[i];
        }
        ASSERT_EQ(m.text_range({0, 0}, {end, 0}), text) << "round " << round;
    }
    EXPECT_GT(matched, 200u);  // most queries find something
}

TEST(Find, MatchesDoNotOverlap) {
    const TerminalModel m = fed(2, 10, "aaaaa");
    EXPECT_EQ(found(m, "aa"), "0:0-0:2 0:2-0:4 ");
}

TEST(Find, ABoundedSearchKeepsTheNewestMatchesAndCountsThemAll) {
    // Stored-byte and decoded runs alike: the line with an accent is decoded.
    TerminalModel m = fed(3, 20, "");
    for (int i = 0; i < 7; ++i) m.feed(i == 3 ? "x \xc3\xa9\r\n" : "x\r\n");
    const std::vector<Match> all = m.find("x", true);
    ASSERT_EQ(all.size(), 7u);
    for (std::size_t limit : {0u, 1u, 3u, 5u, 7u, 9u}) {
        const Found f = m.find("x", true, limit);
        EXPECT_EQ(f.total, 7u);
        const std::vector<Match> newest(all.end() - std::min<std::ptrdiff_t>(7, limit), all.end());
        EXPECT_EQ(f.matches, newest) << "limit " << limit;
    }
}

TEST(Find, SigmaMatchesInEveryForm) {
    // Lower-casing a word gives a final sigma at its end, a search string
    // cut from it a medial one; out of context both are the same.
    const TerminalModel m =
        fed(2, 20, "\xce\x9f\xce\x94\xce\x9f\xce\xa3 \xce\xbf\xce\xb4\xce\xbf\xcf\x82");
    EXPECT_EQ(found(m, "\xce\xa3", false), "0:3-0:4 0:8-0:9 ");
    EXPECT_EQ(found(m, "\xce\xbf\xce\xb4\xce\xbf\xcf\x83", false), "0:0-0:4 0:5-0:9 ");
    EXPECT_EQ(found(m, "\xce\xa3"), "0:3-0:4 ");
}

TEST(Find, GapsAreSpacesAsInCopiedText) {
    // The same row read from the screen and from the history.
    TerminalModel m = fed(2, 10, "a\x1b[2Cb\xc3\xa9");
    EXPECT_EQ(found(m, "a  b"), "0:0-0:4 ");
    m.feed("\r\n\r\n");
    TerminalModel plain = fed(2, 10, "a\x1b[2Cb\r\n\r\n");
    EXPECT_EQ(found(m, "a  b"), "0:0-0:4 ");
    EXPECT_EQ(found(plain, "a  b"), "0:0-0:4 ");
}

}  // namespace
}  // namespace tolvar::pty
