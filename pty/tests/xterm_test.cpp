// Where the model follows xterm rather than the vt100 reference: byte
// scripts of what real programs send, each also fed split at every byte.
#include <gtest/gtest.h>

#include <string>

#include "model_scripts.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {
namespace {

std::string row_text(const TerminalModel& m, std::uint16_t row) {
    return m.text_between({row, 0}, {row, m.cols()});
}

// A cell that took only the background colour blue (SGR 44).
void expect_blue_blank(const Cell& c, const char* what) {
    EXPECT_EQ(c.contents, "") << what;
    EXPECT_EQ(c.bg, Color::indexed(4)) << what;
    EXPECT_FALSE(c.inverse || c.bold || c.underline != Underline::None) << what;
}

TEST(BackgroundErase, ScrolledInLinesAndErasedCellsTakeTheBackgroundAlone) {
    // vim with a colour scheme that paints the background scrolls with line
    // feeds, SU/SD, IL/DL and reverse index in a region, and erases with EL,
    // ED, ECH, ICH and DCH while the pen carries bold, underline or inverse.
    const char* pen = "\x1b[1;4;7;44m";
    struct Case {
        const char* script;
        std::uint16_t row, col;
    };
    const Case cases[] = {
        {"\r\n\r\n\r\n", 3, 0},                  // line feed at the bottom
        {"\x1b[S", 3, 0},                        // SU
        {"\x1b[T", 0, 0},                        // SD
        {"\x1b[2;1H\x1b[L", 1, 0},               // IL
        {"\x1b[2;1H\x1b[M", 3, 0},               // DL
        {"\x1b[2;3r\x1b[2;1H\x1bM", 1, 0},        // reverse index in a region
        {"\x1b[2;3r\x1b[3;1H\n", 2, 0},           // line feed in a region
        {"\x1b[1;2H\x1b[K", 0, 3},                // EL
        {"\x1b[1;2H\x1b[J", 2, 2},                // ED
        {"\x1b[1;2H\x1b[2X", 0, 2},               // ECH
        {"\x1b[1;2H\x1b[@", 0, 1},                // ICH
        {"\x1b[1;2H\x1b[P", 0, 3},                // DCH
    };
    for (const Case& c : cases) {
        const std::string script = std::string("abcd\r\nefgh\r\nijkl\r\nmnop") + pen + c.script;
        const TerminalModel m = fed(4, 4, script);
        expect_blue_blank(m.cell(c.row, c.col), c.script);
        expect_every_split_alike(4, 4, script, snapshot);
    }
    // A scrolled-in line keeps its colour in the history.
    TerminalModel m = fed(2, 3, "\x1b[44m\r\n\r\n\r\n\r\n\r\n");
    ASSERT_GE(m.scrollback_rows(), 1u);
    EXPECT_EQ(m.scrollback_line(m.scrollback_rows() - 1).cells.at(0).bg, Color::indexed(4));
}

TEST(Charsets, DecSpecialGraphicsDrawLinesAndSaveWithTheCursor) {
    // tmux, mc and dialog draw borders this way outside a UTF-8 locale, and
    // ncurses does for its ACS characters; vttest checks the whole set.
    const std::string box = "\x1b(0lqwk\x1b(B\r\n\x1b)0\x0ex\x0f|\x0ex\x0f\r\n\x1b(0mqvj~`a";
    const TerminalModel m = fed(3, 8, box);
    EXPECT_EQ(row_text(m, 0), "\u250c\u2500\u252c\u2510");
    EXPECT_EQ(row_text(m, 1), "\u2502|\u2502");
    EXPECT_EQ(row_text(m, 2), "\u2514\u2500\u2534\u2518\u00b7\u25c6\u2592");
    expect_every_split_alike(3, 8, box, snapshot);

    // DECSC keeps the designations and DECRC brings them back; a reset ends them.
    const std::string saved = "\x1b(0\x1b" "7\x1b(Bq\x1b" "8q\x1b" "cq";
    EXPECT_EQ(fed(1, 4, saved).visible_text(), "q");
    EXPECT_EQ(fed(1, 4, "\x1b(0\x1b" "7\x1b(Bq\x1b" "8q").visible_text(), "\u2500");
    expect_every_split_alike(1, 4, saved, snapshot);
    // Text beyond ASCII is never mapped.
    EXPECT_EQ(fed(1, 4, "\x1b(0\xc3\xa9q").visible_text(), "\u00e9\u2500");
}

TEST(Cursor, HvpIndexAndNextLine) {
    // vttest and DEC-era full-screen programs position with CSI f and move
    // with ESC D (index) and ESC E (next line).
    const std::string script = "\x1b[2;3fX\x1b" "DY\x1b" "EZ";
    const TerminalModel m = fed(4, 5, script);
    EXPECT_EQ(row_text(m, 1), "  X");
    EXPECT_EQ(row_text(m, 2), "   Y");
    EXPECT_EQ(row_text(m, 3), "Z");
    expect_every_split_alike(4, 5, script, snapshot);
    // Index at the bottom scrolls, into the history.
    TerminalModel bottom = fed(2, 3, "a\x1b" "D\x1b" "Db");
    EXPECT_EQ(bottom.scrollback_rows(), 1u);
    EXPECT_EQ(row_text(bottom, 1), " b");
}

TEST(Tabs, StopsAreSetAndClearedAndKeptAcrossAResize) {
    // tabs(1) (`tabs -4`) clears every stop with CSI 3 g and sets its own
    // with ESC H; CSI g clears the one under the cursor.
    const std::string script = "\x1b[3g\x1b[3G\x1bH\x1b[6G\x1bH\r\ta\tb\tc\x1b[1;3H\x1b[g\r\n\td";
    const TerminalModel m = fed(2, 10, script);
    EXPECT_EQ(row_text(m, 0), "  a  b   c");
    EXPECT_EQ(row_text(m, 1), "     d");
    expect_every_split_alike(2, 10, script, snapshot);
    // New columns take the usual stops; set ones stay.
    TerminalModel wider = fed(1, 10, "\x1b[3g\x1b[3G\x1bH");
    wider.set_size(1, 20);
    wider.feed("\r\ta\tb");
    EXPECT_EQ(row_text(wider, 0), "  a" + std::string(13, ' ') + "b");
    // Past the last stop a tab goes to the last column.
    EXPECT_EQ(fed(1, 6, "\x1b[3g\tx").cursor().col, 6);
}

TEST(Modes, InsertModeShiftsTextRight) {
    // readline and zsh insert in the middle of a line with smir/rmir on
    // terminals whose terminfo has them.
    const std::string script = "abcd\r\x1b[4hXY\x1b[4lZ";
    const TerminalModel m = fed(1, 6, script);
    EXPECT_EQ(m.visible_text(), "XYZbcd");
    expect_every_split_alike(1, 6, script, snapshot);
    // Wide characters make room for both halves; the edge drops what passes it.
    EXPECT_EQ(fed(1, 4, "abcd\r\x1b[4h\xe4\xb8\xad").visible_text(), "\xe4\xb8\xad" "ab");
}

TEST(Repeat, RepeatsTheLastCharacterUpToAScreenful) {
    // ncurses sends REP (the rep capability of xterm-256color) for runs of
    // one character, line-drawing ones included.
    const std::string script = "a\x1b[3b-\x1b(0q\x1b[2b\x1b(B";
    const TerminalModel m = fed(1, 10, script);
    EXPECT_EQ(m.visible_text(), "aaaa-\u2500\u2500\u2500");
    expect_every_split_alike(1, 10, script, snapshot);
    // Nothing after a control, and no more than a screenful however large.
    EXPECT_EQ(fed(1, 4, "a\r\x1b[3b").visible_text(), "a");
    const TerminalModel big = fed(2, 3, "x\x1b[65535b", 10);
    EXPECT_EQ(big.scrollback_rows(), 1u);  // seven in all: the first and six more
}

TEST(Regions, SettingAScrollRegionHomesTheCursor) {
    // vim, tmux and less set a region and then write where the cursor is
    // left: home, or the region's top in origin mode.
    const std::string script = "\x1b[5;5H\x1b[2;4rX";
    const TerminalModel m = fed(5, 5, script);
    EXPECT_EQ(row_text(m, 0), "X");
    expect_every_split_alike(5, 5, script, snapshot);
    const TerminalModel origin = fed(5, 5, "\x1b[?6h\x1b[2;4rX");
    EXPECT_EQ(row_text(origin, 1), "X");
}

TEST(Modes, TheAlternateScreenKeepsItsOwnSavedCursor) {
    // vim and less save the cursor with ESC 7 inside the alternate screen;
    // leaving it (1049) restores the primary screen's cursor and pen.
    const std::string script =
        "\x1b[2;2H\x1b[31m\x1b[?1049h\x1b[5;1H\x1b[32m\x1b" "7\x1b[0m\x1b[?1049lX";
    const TerminalModel m = fed(6, 5, script);
    EXPECT_EQ(row_text(m, 1), " X");
    EXPECT_EQ(m.cell(1, 1).fg, Color::indexed(1));
    expect_every_split_alike(6, 5, script, snapshot);
    // Inside, ESC 8 returns to the alternate screen's own saved place.
    const TerminalModel inside = fed(6, 5, "\x1b[?1049h\x1b[4;3H\x1b" "7\x1b[H\x1b" "8Y");
    EXPECT_EQ(row_text(inside, 3), "  Y");
}

TEST(Sgr, ColonFormsWithAColourSpace) {
    // neovim and kitty-aware programs send ITU T.416's colon forms.
    const std::string script =
        "\x1b[38:2::1:2:3;48:2::4:5:6ma\x1b[38:2:7:8:9;48:5:10mb\x1b[4:3;58:2::11:12:13mc";
    const TerminalModel m = fed(1, 4, script);
    EXPECT_EQ(m.cell(0, 0).fg, Color::rgb(1, 2, 3));
    EXPECT_EQ(m.cell(0, 0).bg, Color::rgb(4, 5, 6));
    EXPECT_EQ(m.cell(0, 1).fg, Color::rgb(7, 8, 9));
    EXPECT_EQ(m.cell(0, 1).bg, Color::indexed(10));
    EXPECT_EQ(m.cell(0, 2).underline, Underline::Curly);
    EXPECT_EQ(m.cell(0, 2).underline_color, Color::rgb(11, 12, 13));
    expect_every_split_alike(1, 4, script, snapshot);
}

TEST(Alignment, DecalnFillsAndDeccolmClears) {
    // vttest's screen alignment pattern and its column-mode tests.
    const std::string script = "\x1b[2;3r\x1b[3;3H\x1b#8";
    TerminalModel m = fed(3, 3, script);
    EXPECT_EQ(m.visible_text(), "EEE\nEEE\nEEE");
    EXPECT_EQ(m.cursor(), (Position{0, 0}));
    m.feed("\x1b[3;1H\n");  // the region is the whole screen again
    EXPECT_EQ(m.scrollback_rows(), 1u);
    expect_every_split_alike(3, 3, script, snapshot);
    const std::string columns = "ab\r\ncd\x1b[2;3r\x1b[?3h";
    const TerminalModel cleared = fed(3, 3, columns);
    EXPECT_EQ(cleared.visible_text(), "");
    EXPECT_EQ(cleared.cursor(), (Position{0, 0}));
    EXPECT_EQ(cleared.cols(), 3);
    expect_every_split_alike(3, 3, columns, snapshot);
}

TEST(PendingWrap, MovesStartFromTheLastColumnAndTheWrapSurvivesAnErase) {
    // bash and zsh redraw a line that ends exactly at the edge with BS, CUU
    // and EL; grep --color ends its matches with EL.
    struct Case {
        const char* script;
        const char* text;
        Position cursor;
    };
    const Case cases[] = {
        {"abcd\bX", "abXd", {0, 3}},
        {"\n\nabcd\x1b[AX", "\n   X\nabcd", {1, 4}},
        {"abcd\nX", "abcd\n   X", {1, 4}},
        {"abcd\x1b[DX", "abXd", {0, 3}},
        {"abcd\x1b[Kef", "abcdef", {1, 2}},
        {"abcd\x1b[2Kef", "ef", {1, 2}},
    };
    for (const Case& c : cases) {
        const TerminalModel m = fed(3, 4, c.script);
        EXPECT_EQ(m.visible_text(), c.text) << c.script;
        EXPECT_EQ(m.cursor(), c.cursor) << c.script;
        expect_every_split_alike(3, 4, c.script, snapshot);
    }
    // The erased row still continues on the next, so a copy joins them.
    EXPECT_TRUE(fed(3, 4, "abcd\x1b[2Kef").row_wrapped(0));
}

TEST(Cursor, LineColumnAndTabMovesThatTheReferenceIgnores) {
    // ncurses moves with HPA (hpa), CBT (cbt) and CHT where terminfo has
    // them; Python's and Node's terminal libraries send CNL and CPL.
    struct Case {
        const char* script;
        Position cursor;
    };
    const Case cases[] = {
        {"\x1b[5`", {0, 4}},           // HPA
        {"\x1b[99`", {0, 9}},          // clamped to the last column
        {"\x1b[2;4H\x1b[3a", {1, 6}},  // HPR
        {"\x1b[2;4H\x1b[99a", {1, 9}},
        {"\x1b[2;4H\x1b[2e", {3, 3}},  // VPR, clamped at the bottom
        {"\x1b[2;4H\x1b[9e", {4, 3}},
        {"\x1b[2;4H\x1b[2E", {3, 0}},  // CNL
        {"\x1b[4;4H\x1b[2F", {1, 0}},  // CPL
        {"\x1b[4;4H\x1b[9F", {0, 0}},
        {"\x1b[2I", {0, 9}},  // CHT: no stop past 8, the last column
        {"x\x1b[I", {0, 8}},
        {"\x1b[1;10H\x1b[Z", {0, 8}},  // CBT
        {"\x1b[1;10H\x1b[3Z", {0, 0}},
        {"\x1b[2;3r\x1b[?6h\x1b[9E", {2, 0}},  // origin mode: the region's bottom
        {"\x1b[2;3r\x1b[?6h\x1b[2;1H\x1b[9F", {1, 0}},
        {"abcdefghij\x1b[2D", {0, 7}},  // from the pending wrap, the last column
        {"abcdefghij\x1b[Z", {0, 8}},
        {"abcdefghij\x1b[a", {0, 9}},
        {"abcdefghij\x1b[E", {1, 0}},
        {"\x1b[3g\x1b[1;4H\x1bH\x1b[1;7H\x1bH\r\x1b[2I", {0, 6}},  // set stops
        {"\x1b[3g\x1b[1;4H\x1bH\x1b[1;7H\x1bH\x1b[1;10H\x1b[Z", {0, 6}},
    };
    for (const Case& c : cases) {
        const TerminalModel m = fed(5, 10, c.script);
        EXPECT_EQ(m.cursor(), c.cursor) << c.script;
        expect_every_split_alike(5, 10, c.script, snapshot);
    }
    // Text after the move lands there.
    EXPECT_EQ(fed(2, 10, "abcdefghij\x1b[5`X").visible_text(), "abcdXfghij");
}

TEST(Modes, LineFeedNewLineModeReturnsTheCarriage) {
    // DEC-era hosts set LNM and end their lines with a bare line feed.
    const std::string script = "\x1b[20hab\ncd\vef\fgh\x1b[20l\nij";
    const TerminalModel m = fed(5, 10, script);
    EXPECT_EQ(m.visible_text(), "ab\ncd\nef\ngh\n  ij");
    expect_every_split_alike(5, 10, script, snapshot);
    // Index is not a line feed; a reset ends the mode.
    EXPECT_EQ(fed(3, 10, "\x1b[20hab\033Dc").visible_text(), "ab\n  c");
    EXPECT_EQ(fed(3, 10, "\x1b[20h\033cab\ncd").visible_text(), "ab\n  cd");
}

TEST(Modes, Mode1048SavesAndRestoresTheCursorAsDecscAndDecrc) {
    // Programs written for xterm save and restore with 1048 rather than
    // ESC 7 and ESC 8; the pen and the character sets come back too.
    const std::string script = "\x1b[2;3H\x1b[31m\x1b(0\x1b[?1048h\x1b[H\x1b[0m\x1b(Bq\x1b[?1048lq";
    const TerminalModel m = fed(3, 6, script);
    EXPECT_EQ(row_text(m, 0), "q");
    EXPECT_EQ(row_text(m, 1), "  \u2500");
    EXPECT_EQ(m.cell(1, 2).fg, Color::indexed(1));
    expect_every_split_alike(3, 6, script, snapshot);
}

TEST(Modes, ReverseVideoScreenIsAModeTheViewDraws) {
    // vttest and visual bells (tput flash: CSI ? 5 h, then l) turn the
    // whole screen to reverse video; the cells keep their own colours.
    const auto state = [](const TerminalModel& m) {
        return snapshot(m) + std::to_string(m.reverse_video());
    };
    const std::string script = "\x1b[31ma\x1b[?5hb";
    const TerminalModel m = fed(2, 4, script);
    EXPECT_TRUE(m.reverse_video());
    EXPECT_EQ(m.cell(0, 1).fg, Color::indexed(1));
    EXPECT_FALSE(m.cell(0, 1).inverse);
    expect_every_split_alike(2, 4, script, state);
    EXPECT_FALSE(fed(2, 4, script + "\x1b[?5l").reverse_video());
    EXPECT_FALSE(fed(2, 4, script + "\033c").reverse_video());
}

TEST(Resize, AShrinkPastTheCursorScrollsRowsOffTheTop) {
    // A shell at the bottom of the window when the window is made shorter:
    // the prompt's row stays the cursor's, and what was above it scrolls
    // into the history.
    TerminalModel m(25, 80, 100);
    m.feed("\x1b[24HLine 24\r\nLine 25\r\n");
    m.set_size(24, 80);
    EXPECT_EQ(row_text(m, 22), "Line 25");
    EXPECT_EQ(row_text(m, 23), "");
    EXPECT_EQ(m.cursor(), (Position{23, 0}));
    EXPECT_EQ(m.scrollback_rows(), 2u);
    m.feed("next");
    EXPECT_EQ(row_text(m, 22), "Line 25");
    // Rows below the cursor go first; a scroll region keeps its rows.
    TerminalModel above(5, 4, 100);
    above.feed("a\r\nb\r\nc\x1b[2;4r\x1b[3;1H");
    above.set_size(4, 4);
    EXPECT_EQ(above.visible_text(), "a\nb\nc");
    EXPECT_EQ(above.scrollback_rows(), 0u);
    above.set_size(2, 4);
    EXPECT_EQ(above.visible_text(), "b\nc");
    EXPECT_EQ(above.cursor(), (Position{1, 0}));
    above.feed("\n\n");  // the region is cut to the screen, and still scrolls
    EXPECT_EQ(above.cursor(), (Position{1, 0}));
    // The alternate screen keeps its cursor's row too, without history.
    TerminalModel alt(4, 4, 100);
    alt.feed("\x1b[?1049h1\r\n2\r\n3\r\n4");
    alt.set_size(2, 4);
    EXPECT_EQ(alt.visible_text(), "3\n4");
    alt.feed("\x1b[?1049l");
    EXPECT_EQ(alt.scrollback_rows(), 0u);
}

TEST(PendingWrap, TheWrapComesBackWithASavedCursor) {
    // Output that ends exactly at the edge, then a full-screen program (1049)
    // or a status line drawn between DECSC and DECRC: the text after goes on
    // on the next row, and the row continues into it.
    const char* scripts[] = {
        "abcd\x1b[?1049hxy\x1b[?1049lef",
        "abcd\x1b"
        "7\x1b[3;1Hxy\x1b"
        "8ef",
        "\r\n\r\nabcd\x1b[?1049hxy\x1b[?1049lef",  // at the bottom: a scroll
    };
    for (const char* script : scripts) {
        const TerminalModel m = fed(3, 4, script);
        const std::string text = m.visible_text();
        EXPECT_EQ(text.substr(text.find('a'), 6), "abcdef") << script;
        EXPECT_EQ(m.cursor().col, 2) << script;
        expect_every_split_alike(3, 4, script, snapshot);
    }
    // A cursor saved away from the edge comes back there.
    EXPECT_EQ(fed(2, 4,
                  "abc\x1b"
                  "7d\x1b"
                  "8x")
                  .visible_text(),
              "abcx");
}

TEST(Regions, OriginModeAddressesRowsInTheCurrentRegion) {
    // vttest's origin-mode screens and programs that keep a status line
    // out of a region address rows with VPA and restore with DECRC in
    // origin mode, after changing the region.
    struct Case {
        const char* script;
        Position cursor;
    };
    const Case cases[] = {
        {"\x1b[3;5r\x1b[?6h\x1b[2dX", {3, 1}},    // VPA from the region's top
        {"\x1b[3;5r\x1b[?6h\x1b[9dX", {4, 1}},    // and kept in it
        {"\x1b[3;5r\x1b[2dX", {1, 1}},            // without origin mode, the screen's
        {"\x1b[?6h\x1b[3;5r\x1b[2;2HX", {3, 2}},  // CUP after the region moved
        // DECRC after the region shrank: onto its bottom.
        {"\x1b[2;6r\x1b[?6h\x1b[5;1H\0337\x1b[2;3r\0338X", {2, 1}},
        {"\x1b[2;6r\x1b[?6h\x1b[5;1H\0337\x1b[4;6r\0338X", {5, 1}},  // still inside
    };
    for (const Case& c : cases) {
        const TerminalModel m = fed(6, 5, c.script);
        EXPECT_EQ(m.cursor(), c.cursor) << c.script;
        expect_every_split_alike(6, 5, c.script, snapshot);
    }
}

TEST(Charsets, LineDrawingSavedOnTheAlternateScreenStaysThere) {
    // A full-screen program that saves the cursor while drawing boxes and
    // leaves with 1049, or with rxvt's ESC 7, 47 and ESC 8: the shell's text
    // after it is letters again.
    const char* scripts[] = {
        "\x1b[?1049h\x1b(0\0337q\x1b[?1049lq",
        "\0337\x1b[?47h\x1b(0\0337q\x1b[2J\x1b[?47l\0338q",
        "\x1b)0\x1b[?1049h\x0e\0337q\x1b[?1049lq",
    };
    for (const char* script : scripts) {
        const TerminalModel m = fed(3, 10, script);
        EXPECT_EQ(m.visible_text(), "q") << script;
        expect_every_split_alike(3, 10, script, snapshot);
    }
}

TEST(Alignment, DecalnEndsOriginModeAndHomesToTheScreensCorner) {
    // vttest fills the screen with E after its origin-mode tests.
    const std::string script = "\x1b[2;4r\x1b[?6h\x1b[3;3H\x1b#8X\x1b[5;1HY";
    const TerminalModel m = fed(5, 5, script);
    EXPECT_EQ(row_text(m, 0), "XEEEE");
    EXPECT_EQ(row_text(m, 4), "YEEEE");
    expect_every_split_alike(5, 5, script, snapshot);
}

// Feeds `script` whole, split at every byte and byte by byte to answering
// models; each gives `expected`.
void expect_answers(std::uint16_t rows, std::uint16_t cols, std::string_view script,
                    const std::string& expected) {
    const auto run = [&](auto feed) {
        TerminalModel m(rows, cols, 10);
        m.set_answering(true);
        std::string out;
        feed(m, out);
        return out + m.take_answers();
    };
    EXPECT_EQ(run([&](TerminalModel& m, std::string&) { m.feed(script); }), expected) << script;
    for (std::size_t split = 1; split < script.size(); ++split) {
        const std::string got = run([&](TerminalModel& m, std::string& out) {
            m.feed(script.substr(0, split));
            out += m.take_answers();
            m.feed(script.substr(split));
        });
        ASSERT_EQ(got, expected) << "split at " << split;
    }
}

TEST(Answers, DeviceAttributesStatusAndCursorPosition) {
    // vim asks for the secondary attributes and the cursor position at
    // start; bash's checkwinsize helpers and resize(1) ask for the position.
    expect_answers(5, 10, "\x1b[c\x1b[0c", "\x1b[?62;22c\x1b[?62;22c");
    expect_answers(5, 10, "\x1b[>c\x1b[>0c", "\x1b[>1;10;0c\x1b[>1;10;0c");
    expect_answers(5, 10, "\x1b[5n", "\x1b[0n");
    expect_answers(5, 10, "\x1b[3;4H\x1b[6n\x1b[?6n", "\x1b[3;4R\x1b[?3;4;1R");
    // In origin mode rows count from the region; past the edge is the last column.
    expect_answers(5, 10, "\x1b[2;4r\x1b[?6h\x1b[2;1H\x1b[6n", "\x1b[2;1R");
    expect_answers(5, 4, "abcd\x1b[6n", "\x1b[1;4R");
    // Questions the model does not answer, and none unless asked.
    expect_answers(5, 10, "\x1b[1c\x1b[7n\x1b[>1c", "");
    TerminalModel quiet(5, 10);
    quiet.feed("\x1b[c\x1b[6n");
    EXPECT_EQ(quiet.take_answers(), "");
    // A flood of questions nobody reads stays bounded.
    TerminalModel flood(5, 10);
    flood.set_answering(true);
    for (int i = 0; i < 10000; ++i) flood.feed("\x1b[c");
    EXPECT_LE(flood.take_answers().size(), 4096u);
}

// ---- line sizes ----------------------------------------------------------------

// The sizes of the screen's rows, one digit each (LineSize's value).
std::string sizes(const TerminalModel& m) {
    std::string out;
    for (std::uint16_t r = 0; r < m.rows(); ++r)
        out += std::to_string(static_cast<int>(m.row_size(r)));
    return out;
}

TEST(LineSize, DoubleWidthRowAddressesHalfItsColumns) {
    // vttest's double-size screens and banner scripts address a double-width
    // row by its own columns: column 40 is the last of an 80-column row.
    TerminalModel m = fed(4, 80, "\x1b#6\x1b[80G");
    EXPECT_EQ(m.row_size(0), LineSize::DoubleWidth);
    EXPECT_EQ(m.cursor(), (Position{0, 39}));
    const char* moves[] = {"\x1b[1;70H", "\x1b[1;30H\x1b[50C", "\x1b[70`", "\x1b[1;30H\x1b[20a",
                           "\x1b[1;30H\t\t\t\t\t\t"};
    for (const char* move : moves) {
        EXPECT_EQ(fed(4, 80, std::string("\x1b#6") + move).cursor(), (Position{0, 39})) << move;
    }
    // The row below is its own: single, all 80 columns.
    EXPECT_EQ(fed(4, 80, "\x1b#6\x1b[2;80H").cursor(), (Position{1, 79}));
    expect_answers(4, 80, "\x1b#6\x1b[99G\x1b[6n", "\x1b[1;40R");
}

TEST(LineSize, TextWrapsAtTheHalfAndWhatWasPastItIsLost) {
    // Text on a double-width row wraps at its half.
    std::string script = "\x1b#6abcdefg";
    TerminalModel m = fed(3, 10, script);
    EXPECT_EQ(row_text(m, 0), "abcde");
    EXPECT_EQ(row_text(m, 1), "fg");
    EXPECT_TRUE(m.row_wrapped(0));
    EXPECT_EQ(m.cursor(), (Position{1, 2}));
    expect_every_split_alike(3, 10, script, snapshot);
    // A row made double width loses what was right of its half, a wide
    // character cut by the half included, and the cursor comes back to it;
    // single width again, the row keeps what it has.
    script = "abcd\xe4\xb8\xadghi\x1b#6";
    m = fed(3, 10, script);
    EXPECT_EQ(row_text(m, 0), "abcd");
    EXPECT_EQ(m.cell(0, 4).contents, "");
    EXPECT_EQ(m.cursor(), (Position{0, 4}));
    m.feed("\x1b#5");
    EXPECT_EQ(row_text(m, 0), "abcd");
    EXPECT_EQ(m.row_size(0), LineSize::Single);
    expect_every_split_alike(3, 10, script + "\x1b#5xy", snapshot);
    // A cursor moved onto the row past its half writes on the next row,
    // as after a pending wrap, rather than into the lost half.
    m = fed(3, 10, "\x1b[2;1H\x1b#6\x1b[1;9H\x1b[BZ");
    EXPECT_EQ(row_text(m, 1), "");
    EXPECT_EQ(row_text(m, 2), "Z");
}

TEST(LineSize, EditsStayWithinTheHalf) {
    // ICH pushes cells out at the half; DCH, ECH and EL fill up to it in the
    // background colour, and nothing lands past it.
    TerminalModel m = fed(2, 10, "\x1b#6abcde\x1b[1;2H\x1b[2@");
    EXPECT_EQ(row_text(m, 0), "a  bc");
    const char* erases[] = {"\x1b[P", "\x1b[9X", "\x1b[K"};
    for (const char* erase : erases) {
        const std::string script = std::string("\x1b#6abcde\x1b[1;2H\x1b[44m") + erase;
        m = fed(2, 10, script);
        EXPECT_EQ(m.cell(0, 4).bg, Color::indexed(4)) << erase;
        for (std::uint16_t c = 5; c < 10; ++c) EXPECT_EQ(m.cell(0, c).bg, Color()) << erase << c;
        expect_every_split_alike(2, 10, script, snapshot);
    }
    // EL 1 from past the half takes the whole row.
    m = fed(3, 10, "\x1b[2;1H\x1b#6abcde\x1b[1;9H\x1b[B\x1b[1K");
    EXPECT_EQ(row_text(m, 1), "");
}

TEST(LineSize, ScrollingCarriesTheSizeAndNewRowsAreSingle) {
    // A banner scrolls up with the output: the row keeps its size on the
    // screen and in the history; every row that comes in is single.
    TerminalModel m = fed(3, 10, "\x1b[3;1H\x1b#6big\n");
    EXPECT_EQ(sizes(m), "010");
    m.feed("\n\n");
    EXPECT_EQ(sizes(m), "000");
    ASSERT_EQ(m.scrollback_rows(), 3u);
    EXPECT_EQ(m.scrollback_line(2).size, LineSize::DoubleWidth);
    LineCells line;
    m.line(m.history_begin() + 2, line);
    EXPECT_EQ(line.size, LineSize::DoubleWidth);
    EXPECT_EQ(m.line_size(m.history_begin() + 2), LineSize::DoubleWidth);
    EXPECT_EQ(m.line_size(m.history_begin() + 1), LineSize::Single);
    EXPECT_EQ(m.text_range({m.history_begin() + 2, 0}, {m.history_end(), 0}), "big\n");
    // RI, IL, DL, SU, SD and a region's line feed move it too.
    const struct {
        const char* script;
        const char* sizes;
    } moves[] = {
        {"\x1b#3\x1bM", "0200"},
        {"\x1b#4\x1b[L", "0300"},
        {"\x1b[2;1H\x1b#6\x1b[1;1H\x1b[M", "1000"},
        {"\x1b[2;1H\x1b#6\x1b[S", "1000"},
        {"\x1b#6\x1b[T", "0100"},
        {"\x1b[1;3r\x1b[3;1H\x1b#6\n", "0100"},
        {"\x1b[2;1H\x1b#6\x1b[1;1H\x1b[3M", "0000"},
    };
    for (const auto& move : moves) {
        m = fed(4, 10, move.script);
        EXPECT_EQ(sizes(m), move.sizes) << move.script;
    }
    // A resize keeps the size and cuts the row at its new half.
    m = fed(2, 10, "\x1b#6abcde");
    m.set_size(2, 6);
    EXPECT_EQ(row_text(m, 0), "abc");
    EXPECT_EQ(m.cursor(), (Position{0, 2}));
    m.set_size(2, 20);
    EXPECT_EQ(m.row_size(0), LineSize::DoubleWidth);
    m.feed("\x1b[1;99Hz");
    EXPECT_EQ(row_text(m, 0), "abc      z");
}

TEST(LineSize, EraseAlignmentAndResetEndIt) {
    // ED makes a row it erases whole single width, the cursor's own when the
    // erase starts at its first column; EL keeps the size (as in xterm).
    const struct {
        const char* script;
        const char* sizes;
    } cases[] = {
        {"\x1b#6\x1b[2;1H\x1b#3\x1b[3;1H\x1b#4\x1b[2J", "000"},
        {"\x1b#6\x1b[2K", "100"},
        {"\x1b#6\x1b[2;1H\x1b#6\x1b[1;1H\x1b[J", "000"},
        {"\x1b#6\x1b[2;1H\x1b#6\x1b[1;3H\x1b[J", "100"},
        {"\x1b#6\x1b[2;1H\x1b#6\x1b[2;3H\x1b[1J", "010"},
        {"\x1b#6\x1b[2;1H\x1b#6\x1b[2;5H\x1b[1J", "000"},
        {"\x1b#6\x1b#8", "000"},
        {"\x1b#3\033c", "000"},  // RIS
        {"\x1b#6\x1b#5", "000"},
    };
    for (const auto& c : cases) EXPECT_EQ(sizes(fed(3, 10, c.script)), c.sizes) << c.script;
    // DECALN fills every column of a row that was double width.
    EXPECT_EQ(row_text(fed(2, 4, "\x1b#6\x1b#8"), 0), "EEEE");
    // Off, as in the reference, the sequences do nothing.
    TerminalModel m(2, 10, 10);
    m.set_departures(departure::all & ~departure::line_size);
    m.feed("\x1b#6\x1b[9Gx");
    EXPECT_EQ(m.row_size(0), LineSize::Single);
    EXPECT_EQ(m.cursor(), (Position{0, 9}));
}

// ---- left and right margins ----------------------------------------------------

TEST(Margins, NeverSetSoCsiSSavesTheCursorWhateverItsParameters) {
    // The model keeps no left and right margins: DECLRMM is ignored, and
    // CSI s with parameters, which would be DECSLRM with the mode set, saves
    // the cursor as xterm does with it reset. Asked about mode 69 (DECRQM),
    // the model says nothing, as for every mode, so a program that asks
    // before it uses margins uses none.
    const std::string script =
        "\x1b[?69h\x1b[2;3H\x1b[5;10s\x1b[4;4Hx\x1b[uy\x1b[3;1H0123456789abc";
    const TerminalModel m = fed(5, 10, script);
    EXPECT_EQ(row_text(m, 1), "  y");
    EXPECT_EQ(row_text(m, 2), "0123456789");
    EXPECT_EQ(row_text(m, 3), "abcx");
    expect_every_split_alike(5, 10, script, snapshot);
    expect_answers(5, 10, "\x1b[?69$p\x1b[?69h\x1b[?69$p\x1b[5;10s\x1b[6n", "\x1b[1;1R");
}

TEST(AutoWrap, TextThatReachesTheEdgeOverwritesTheLastColumn) {
    // A status line or a progress bar drawn to the last column with DECAWM
    // off must leave the screen where it is; vttest checks the overwrite.
    const std::string script = "\x1b[?7l\x1b[75Gabcdefg";
    const TerminalModel m = fed(3, 80, script);
    EXPECT_EQ(row_text(m, 0), std::string(74, ' ') + "abcdeg");
    EXPECT_EQ(m.cursor(), (Position{0, 79}));
    EXPECT_FALSE(m.row_wrapped(0));
    EXPECT_EQ(row_text(m, 1), "");
    expect_every_split_alike(3, 80, script, snapshot);

    // Every way text is placed: a character alone, runs of ASCII and of
    // decoded text, a wide character (which ends at the last column, as in
    // xterm), REP, insert mode, line drawing, a link; a mark joins the
    // character in the last column.
    struct Case {
        const char* script;
        const char* text;
    };
    const Case cases[] = {
        {"\x1b[9Gx\x1b[10Gy\x1b[10Gz", "        xz"},
        {"abcdefghijklmnop", "abcdefghip"},
        {"\x1b[7G\xc3\xa9\xc3\xa8\xc3\xaa\xc3\xab\xc3\xa0",
         "      \xc3\xa9\xc3\xa8\xc3\xaa\xc3\xa0"},
        {"\x1b[10G\xe4\xb8\xad", "        \xe4\xb8\xad"},
        {"\x1b[8G\xe4\xb8\xad\xe4\xb8\xad", "        \xe4\xb8\xad"},
        {"\x1b[6Gab\x1b[20b", "     abbbb"},
        {"\x1b[8G\x1b[4habcd", "       abd"},
        {"\x1b[9G\x1b(0qqq\x1b(B", "        \u2500\u2500"},
        {"\x1b[9G\x1b]8;;http://x/\x1b\\abc\x1b]8;;\x1b\\", "        ac"},
        {"\x1b[9Gxye\xcc\x81", "        xe\xcc\x81"},
    };
    for (const Case& c : cases) {
        const std::string with = std::string("\x1b[?7l") + c.script;
        const TerminalModel w = fed(2, 10, with);
        EXPECT_EQ(w.visible_text(), c.text) << c.script;
        EXPECT_EQ(w.cursor(), (Position{0, 9})) << c.script;
        expect_every_split_alike(2, 10, with, snapshot);
    }
    EXPECT_EQ(fed(2, 10, "\x1b[?7l\x1b[10G\xe4\xb8\xad").cell(0, 8).wide, true);
}

TEST(AutoWrap, EditsAndMovesActOnTheLastColumnWhereTheCursorStays) {
    // Without auto-wrap the cursor past the last character is on the last
    // column: an erase or an insert there acts on it, a move starts from it.
    struct Case {
        const char* script;
        const char* text;
        Position cursor;
    };
    const Case cases[] = {
        {"\x1b[K", "abcde", {0, 5}},   {"\x1b[X", "abcde", {0, 5}},
        {"\x1b[@", "abcde", {0, 5}},   {"\x1b[P", "abcde", {0, 5}},
        {"\x1b[J", "abcde", {0, 5}},   {"\bX", "abcdXg", {0, 5}},
        {"\x1b[DX", "abcdXg", {0, 5}}, {"\nX", "abcdeg\n     X", {1, 5}},
        {"\rX", "Xbcdeg", {0, 1}},
    };
    for (const Case& c : cases) {
        const std::string script = std::string("\x1b[?7labcdefg") + c.script;
        const TerminalModel m = fed(3, 6, script);
        EXPECT_EQ(m.visible_text(), c.text) << c.script;
        EXPECT_EQ(m.cursor(), c.cursor) << c.script;
        expect_every_split_alike(3, 6, script, snapshot);
    }
    // The wrap stays pending, as in xterm: with auto-wrap back on, the next
    // character goes to the next row, which continues this one.
    const TerminalModel back = fed(3, 6, "\x1b[?7labcdef\x1b[?7hg");
    EXPECT_EQ(back.visible_text(), "abcdefg");
    EXPECT_TRUE(back.row_wrapped(0));
    // The reference wraps whatever the mode says.
    TerminalModel reference(3, 6);
    reference.set_departures(departure::all & ~departure::auto_wrap_off);
    reference.feed("\x1b[?7labcdefgh");
    EXPECT_EQ(reference.visible_text(), "abcdefgh");
    EXPECT_EQ(reference.cursor(), (Position{1, 2}));
}

// The cells of a row as "text|" each, protected ones marked by the erase
// that spared them.
std::string row_cells(const TerminalModel& m, std::uint16_t r) {
    std::string out;
    for (std::uint16_t c = 0; c < m.cols(); ++c) {
        const Cell cell = m.cell(r, c);
        out += cell.contents + (cell.wide ? "W" : cell.wide_continuation ? "C" : "") + "|";
    }
    return out;
}

TEST(SelectiveErase, DecsedAndDecselSpareProtectedTextAndEdAndElDoNot) {
    // Forms programs and DEC-era hosts protect their labels with DECSCA
    // and clear the fields around them with DECSED and DECSEL.
    const std::string text = "ab\x1b[1\"qcd\x1b[2\"qef\x1b[1\"qg\x1b[0\"qh";
    struct Case {
        const char* erase;
        const char* row0;
        const char* row1;
    };
    const Case cases[] = {
        {"\x1b[1;4H\x1b[?K", "abcd  g", "abcd  g"},   {"\x1b[1;4H\x1b[?0K", "abcd  g", "abcd  g"},
        {"\x1b[1;6H\x1b[?1K", "  cd  gh", "abcd  g"}, {"\x1b[1;6H\x1b[?2K", "  cd  g", "abcd  g"},
        {"\x1b[1;6H\x1b[?J", "abcde g", "  cd  g"},   {"\x1b[2;6H\x1b[?1J", "  cd  g", "  cd  g"},
        {"\x1b[?2J", "  cd  g", "  cd  g"},           {"\x1b[1;4H\x1b[K", "abc", "abcd  g"},
        {"\x1b[1;4H\x1b[2X", "abc  fgh", "abcd  g"},  {"\x1b[2J", "", ""},
    };
    for (const Case& c : cases) {
        // The second row as the first is after a DECSEL from its fifth column.
        const std::string script = text + "\r\n" + text + "\x1b[2;5H\x1b[?K" + c.erase;
        const TerminalModel m = fed(3, 8, script);
        EXPECT_EQ(row_text(m, 0), c.row0) << c.erase;
        EXPECT_EQ(row_text(m, 1), c.row1) << c.erase;
        expect_every_split_alike(3, 8, script, snapshot);
    }
}

TEST(SelectiveErase, ProtectionGoesWithTheWholeCharacterAndTheSavedPen) {
    struct Case {
        const char* script;
        const char* cells;
    };
    const Case cases[] = {
        // A protected wide character survives an erase from its right half;
        // an unprotected one goes whole, next to a protected letter.
        {"\x1b[1\"q\xe4\xb8\xad\x1b[0\"qx\x1b[1;2H\x1b[?K", "\xe4\xb8\xadW|C|||||"},
        {"\xe4\xb8\xad\x1b[1\"qx\x1b[1;2H\x1b[?1K", "||x||||"},
        // Marks stay with a protected character and go with another.
        {"\x1b[1\"qe\xcc\x81\x1b[0\"qa\xcc\x88\x1b[?2K", "e\xcc\x81||||||"},
        // SGR leaves the protection; DECSC and DECRC save and restore it.
        {"\x1b[1\"q\x1b[0;1mA\x1b"
         "7\x1b[0\"qB\x1b"
         "8\x1b[1;3HC\x1b[?2K",
         "A||C||||"},
        // A reset and a soft reset end it, and what was protected before
        // them is erased like the rest, as in xterm.
        {"\x1b[1\"qA\x1b"
         "cB\x1b[?2K",
         "||||||"},
        {"\x1b[1\"qA\x1b[!pB\x1b[?2K", "||||||"},
        // Text placed by every rule takes it: in insert mode, after a wrap.
        {"\x1b[4h\x1b[1\"qAB\x1b[?2K", "A|B|||||"},
        {"\x1b[1\"qabcdefg\x1b[0\"qh\x1b[?2K", "g||||||"},
        // Text written over a protected cell without protection takes its
        // place.
        {"\x1b[1\"qAB\x1b[0\"q\x1b[1;1HC\x1b[?2K", "|B|||||"},
        // Without the departure, DECSCA is ignored, as in the reference.
        {"\x1b[1\"qAB\x1b[?2K", "||||||"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const bool reference = i + 1 == std::size(cases);
        TerminalModel m(2, 6, 10);
        if (reference) m.set_departures(departure::all & ~departure::selective_erase);
        m.feed(c.script);
        EXPECT_EQ(row_cells(m, m.cursor().row), c.cells) << c.script;
        if (!reference) expect_every_split_alike(2, 6, c.script, snapshot);
    }
    // The erased cells take the erase's pen; the protected keep theirs.
    const TerminalModel coloured = fed(1, 4, "\x1b[1\"q\x1b[31mA\x1b[0\"qB\x1b[44m\x1b[?2K");
    EXPECT_EQ(coloured.cell(0, 0).fg, Color::indexed(1));
    EXPECT_EQ(coloured.cell(0, 0).bg, Color());
    EXPECT_EQ(coloured.cell(0, 1).bg, Color::indexed(4));
    // CSI ? 3 J still erases the saved lines.
    EXPECT_EQ(fed(2, 4, "\x1b[1\"qa\r\nb\r\nc\r\nd\x1b[?3J").scrollback_rows(), 0u);
}

TEST(SelectiveErase, ProtectedTextKeepsItsPenOnTheScreenAndInTheHistory) {
    // The protection lies in the cell beside the underline colour, which it
    // must not change; the history keeps no protection and reads as without.
    const std::string script = "\x1b[1\"q\x1b[4;58;5;3;31mab\x1b[0\"qc\r\n\r\n\r\n";
    const TerminalModel m = fed(2, 4, script, 10);
    ASSERT_EQ(m.scrollback_rows(), 2u);
    const HistoryLine line = m.scrollback_line(0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(line.cells.at(c).underline_color, Color::indexed(3)) << c;
        EXPECT_EQ(line.cells.at(c).fg, Color::indexed(1)) << c;
    }
    TerminalModel live(2, 4, 10);
    live.feed("\x1b[1\"q\x1b[4;58;5;3;31mab");
    EXPECT_EQ(live.cell(0, 0).underline_color, Color::indexed(3));
    EXPECT_EQ(pen(live.cell(0, 1)), " u=1 U=" + std::to_string(Color::indexed(3).bits()));
}

TEST(Utf8, TheByteThatBreaksASequenceIsTakenAsItself) {
    // Text cut inside a character (a truncated log line, a pager's cut at
    // the width) followed by a letter, a colour change or a line end: the
    // replacement character, then the byte as it would be anyway.
    const std::string r = "\xef\xbf\xbd";
    struct Case {
        const char* script;
        std::string text;
    };
    const Case cases[] = {
        {"\xe4\xb8"
         "a",
         r + "a"},
        {"\xe4\x1b[31mb", r + "b"},
        {"\xf0\x9f\x98\r\nc", r + "\nc"},
        {"\xc3\xc3\xa9", r + "\xc3\xa9"},
        {"\xee\xee\xee"
         "a",
         r + r + r + "a"},
        {"\xe0\x80"
         "a",
         r + "a"},  // the second byte is out of E0's range
        {"\xe2\x82\x07x", r + "x"},
        {"\xe4\xb8\x1b"
         "7\x1b[1;5H\x1b"
         "8y",
         r + "y"},
    };
    for (const Case& c : cases) {
        const TerminalModel m = fed(3, 10, c.script);
        EXPECT_EQ(m.visible_text(), c.text) << c.script;
        expect_every_split_alike(3, 10, c.script, snapshot);
    }
    EXPECT_EQ(fed(3, 10, "\xe4\x1b[31mb").cell(0, 1).fg, Color::indexed(1));
}

TEST(Modes, Mode1047IsTheAlternateScreenClearedOnTheWayOut) {
    // Programs written for xterm's titeInhibit-era terminfo use 1047 with
    // an explicit DECSC and DECRC.
    const std::string script = "p\x1b[?1047hA\x1b[?1047l";
    TerminalModel m = fed(3, 10, script);
    EXPECT_EQ(m.visible_text(), "p");
    EXPECT_FALSE(m.alternate_screen());
    expect_every_split_alike(3, 10, script, snapshot);
    m.feed("\x1b[?1047h");
    EXPECT_TRUE(m.alternate_screen());
    EXPECT_EQ(m.visible_text(), "");
    EXPECT_EQ(m.cursor(), (Position{0, 1}));  // the cursor is the alternate's own
    // Leaving from the primary screen clears nothing.
    const TerminalModel kept = fed(3, 10, "\x1b[?47hA\x1b[?47l\x1b[?1047l\x1b[?47h");
    EXPECT_EQ(kept.visible_text(), "A");
    TerminalModel reference(3, 10);
    reference.set_departures(departure::all & ~departure::alternate_1047);
    reference.feed("p\x1b[?1047hA");
    EXPECT_EQ(reference.visible_text(), "pA");
}

TEST(Modes, SoftResetRestoresTheModesAndKeepsTheScreen) {
    // tput reset and reset(1) send xterm's reset string, DECSTR among it.
    const std::string script =
        "kept\x1b[2;3r\x1b[?6h\x1b[4h\x1b[?7l\x1b[?25l\x1b[?1h\x1b=\x1b(0\x1b[1;7m\x1b[1\"q"
        "\x1b"
        "7\x1b[!p";
    const TerminalModel m = fed(4, 8, script);
    EXPECT_EQ(row_text(m, 0), "kept");
    EXPECT_FALSE(m.insert_mode());
    EXPECT_TRUE(m.auto_wrap());
    EXPECT_FALSE(m.hide_cursor());
    EXPECT_FALSE(m.application_cursor());
    EXPECT_FALSE(m.application_keypad());
    EXPECT_EQ(m.cursor(), (Position{1, 0}));  // where origin mode put it
    expect_every_split_alike(4, 8, script, snapshot);
    // Letters, the default pen, the whole screen addressed and scrolled, and
    // a restore goes home.
    TerminalModel after = fed(4, 8,
                              script +
                                  "q\x1b[4;1Hx\n\n\x1b"
                                  "8y");
    EXPECT_EQ(after.cell(3, 0).contents, "");
    EXPECT_EQ(after.cell(0, 0).contents, "y");
    EXPECT_FALSE(after.cell(0, 0).bold || after.cell(0, 0).inverse);
    EXPECT_EQ(after.scrollback_rows(), 2u);
    EXPECT_EQ(after.scrollback_line(1).cells.at(0).contents, "q");
}

TEST(Departures, TurnedOffTheModelActsAsTheReference) {
    // The conformance test relies on this to tell which departure explains a
    // difference.
    TerminalModel m(5, 5, 10);
    m.set_departures(0);
    m.feed("\x1b[5;5H\x1b[2;4rX\x1b(0q\x1b[3b\x1b[44m\x1b[K");
    EXPECT_EQ(row_text(m, 1), "Xq");
    EXPECT_EQ(m.cell(1, 3).bg, Color::indexed(4));
    m.feed("\x1b[20h\x1b[?1048h\x1b[5`\nY\x1b[?1048l\x1b[E");
    EXPECT_EQ(m.cursor(), (Position{2, 3}));
}

}  // namespace
}  // namespace tolvar::pty
