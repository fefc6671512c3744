// Byte scripts for the terminal model, grouped by sequence family. The
// conformance test compares everything with the reference library; these pin the behaviour the
// program relies on and the places where the model mends a crash of the reference.
#include "tolvar/pty/terminal_model.hpp"

#include <gtest/gtest.h>

#include <string>

#include "model_scripts.hpp"

namespace tolvar::pty {
namespace {

std::string row_text(const TerminalModel& m, std::uint16_t row) {
    return m.text_between({row, 0}, {row, m.cols()});
}

// ---- text, controls and wrapping ---------------------------------------------

TEST(Text, PrintsAndWrapsAtTheRightEdge) {
    const TerminalModel m = fed(3, 5, "hello world");
    EXPECT_EQ(row_text(m, 0), "hello");
    EXPECT_EQ(row_text(m, 1), " worl");
    EXPECT_EQ(row_text(m, 2), "d");
    EXPECT_TRUE(m.row_wrapped(0));
    EXPECT_TRUE(m.row_wrapped(1));
    EXPECT_FALSE(m.row_wrapped(2));
    EXPECT_EQ(m.cursor(), (Position{2, 1}));
    EXPECT_EQ(m.visible_text(), "hello world");
}

TEST(Text, CursorWaitsPastTheLastColumnUntilTheNextCharacter) {
    TerminalModel m = fed(3, 5, "abcde");
    EXPECT_EQ(m.cursor(), (Position{0, 5}));
    m.feed("\r\nx");
    EXPECT_FALSE(m.row_wrapped(0));
    EXPECT_EQ(m.visible_text(), "abcde\nx");
}

// REP repeats the last character stored, also when the text before it
// began by wrapping.
TEST(Text, RepeatTakesTheLastCharacterOfTextThatWrapped) {
    EXPECT_EQ(fed(2, 3, "\x1b[3Gxab\x1b[b").visible_text(), "  xabb");
    EXPECT_EQ(fed(2, 4, "\xe4\xb8\xad" "e\xcc\x81\x1b[b").visible_text(), "\xe4\xb8\xad" "e\xcc\x81" "e");
}

TEST(Text, Controls) {
    const TerminalModel m = fed(3, 20,
                                "ab\bc\tx\rZ\n\x0b"
                                "y\x07\x0e\x00");
    EXPECT_EQ(row_text(m, 0), "Zc      x");
    // Line feeds keep the column.
    EXPECT_EQ(row_text(m, 2), " y");
    EXPECT_EQ(m.cursor(), (Position{2, 2}));
}

TEST(Text, TabStopsEveryEightColumnsAndStopAtTheEdge) {
    TerminalModel m = fed(2, 12, "\tx");
    EXPECT_EQ(m.cursor(), (Position{0, 9}));
    m.feed("\t\t\t");
    EXPECT_EQ(m.cursor(), (Position{0, 11}));
}

TEST(Text, ControlsRunInsideEscapeSequences) {
    const TerminalModel m = fed(3, 10, "a\x1b[\r2Cb");
    EXPECT_EQ(row_text(m, 0), "a b");
}

TEST(Text, CancelAndSubstituteAbortASequence) {
    const TerminalModel m = fed(2, 10, "\x1b[31\x18mx");
    EXPECT_EQ(row_text(m, 0), "mx");
    EXPECT_EQ(m.cell(0, 1).fg, Color());
}

// ---- UTF-8 ---------------------------------------------------------------------

TEST(Utf8, DecodesMultiByteCharacters) {
    const TerminalModel m = fed(2, 10, "\xc3\xa9\xe2\x82\xac\xf0\x90\x8d\x88");
    EXPECT_EQ(m.cell(0, 0).contents, "\xc3\xa9");
    EXPECT_EQ(m.cell(0, 1).contents, "\xe2\x82\xac");
    EXPECT_EQ(m.cell(0, 2).contents, "\xf0\x90\x8d\x88");
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
    // The byte that breaks a sequence is taken as itself after it (the
    // reference swallows it); bytes that cannot start a sequence are dropped.
    const std::string script =
        "a\xe2\x28"
        "b\xc0\x80"
        "c\xed\xa0\x80"
        "d";
    EXPECT_EQ(row_text(fed(2, 12, script), 0),
              "a\xef\xbf\xbd("
              "bc\xef\xbf\xbd"
              "d");
    TerminalModel reference(2, 12);
    reference.set_departures(departure::all & ~departure::utf8_breaking_byte);
    reference.feed(script);
    EXPECT_EQ(row_text(reference, 0),
              "a\xef\xbf\xbd"
              "bc\xef\xbf\xbd"
              "d");
}

TEST(Utf8, C1ControlsAreNeitherDrawnNorActedOn) {
    const TerminalModel m = fed(2, 10,
                                "a\xc2\x9b"
                                "31mb\x9b"
                                "c");
    EXPECT_EQ(row_text(m, 0), "a31mbc");
}

TEST(Utf8, EverySplitOfAStreamGivesTheSameScreen) {
    const std::string script =
        "\x1b]2;t\xc3\xaftle\x07\x1b[1;31mr\xe4\xb8\xad"
        "d\xcc\x81\x1b[0m\r\n"
        "\x1b[?2004h\x1b[2;3Hx\x1b[38;2;1;2;3my\x1b[?25l\xf0\x9f\x98\x80"
        "z\x1bPq\x1b\\";
    expect_every_split_alike(4, 8, script, snapshot);
}

// ---- wide and combining characters ----------------------------------------------

TEST(Wide, TakesTwoCellsAndWrapsWhenItDoesNotFit) {
    const TerminalModel m = fed(3, 5,
                                "ab\xe4\xb8\xad"
                                "c\xe6\x96\x87");
    EXPECT_TRUE(m.cell(0, 2).wide);
    EXPECT_TRUE(m.cell(0, 3).wide_continuation);
    EXPECT_EQ(m.cell(0, 3).contents, "");
    EXPECT_EQ(m.cell(1, 0).contents, "\xe6\x96\x87");
    EXPECT_TRUE(m.row_wrapped(0));
    EXPECT_EQ(m.visible_text(),
              "ab\xe4\xb8\xad"
              "c\xe6\x96\x87");
}

TEST(Wide, OverwritingEitherHalfClearsTheOther) {
    TerminalModel m = fed(2, 6, "\xe4\xb8\xad\xe4\xb8\xad");
    m.feed("\x1b[1;2Hx\x1b[1;3Hy");
    // Writing on a left half leaves a space in the right half.
    EXPECT_EQ(row_text(m, 0), " xy ");
    EXPECT_FALSE(m.cell(0, 0).wide);
    EXPECT_FALSE(m.cell(0, 3).wide_continuation);
}

TEST(Combining, MarksJoinThePreviousCellUpToSixCodePoints) {
    const TerminalModel m =
        fed(2, 10,
            "e\xcc\x81\xe4\xb8\xad\xcc\x88"
            "x" +
                std::string(7, '\0') + "\xcc\x81\xcc\x81\xcc\x81\xcc\x81\xcc\x81\xcc\x81");
    EXPECT_EQ(m.cell(0, 0).contents, "e\xcc\x81");
    EXPECT_EQ(m.cell(0, 1).contents, "\xe4\xb8\xad\xcc\x88");
    EXPECT_EQ(m.cell(0, 3).contents, "x\xcc\x81\xcc\x81\xcc\x81\xcc\x81\xcc\x81");
}

TEST(Combining, AtTheStartOfAContinuedRowJoinsTheRowAbove) {
    const TerminalModel m = fed(3, 3,
                                "abc\xcc\x81"
                                "d\r\n\xcc\x81");
    EXPECT_EQ(m.cell(0, 2).contents, "c\xcc\x81");
    EXPECT_EQ(m.cell(1, 0).contents, "d");
    EXPECT_EQ(m.cell(2, 0).contents, "");
}

// ---- cursor movement -------------------------------------------------------------

TEST(Cursor, MovesAndClampsToTheGrid) {
    TerminalModel m = fed(5, 10, "\x1b[3;4H");
    EXPECT_EQ(m.cursor(), (Position{2, 3}));
    m.feed("\x1b[2A\x1b[9C");
    EXPECT_EQ(m.cursor(), (Position{0, 9}));
    m.feed("\x1b[99;99H");
    EXPECT_EQ(m.cursor(), (Position{4, 9}));
    m.feed("\x1b[0;0H\x1b[3B\x1b[2D");
    EXPECT_EQ(m.cursor(), (Position{3, 0}));
    m.feed("\x1b[5G\x1b[2d");
    EXPECT_EQ(m.cursor(), (Position{1, 4}));
    m.feed("\x1b[99999;65535H");
    EXPECT_EQ(m.cursor(), (Position{4, 9}));
}

TEST(Cursor, OriginModeCountsFromTheScrollRegion) {
    TerminalModel m = fed(8, 10, "\x1b[3;6r\x1b[?6h");
    EXPECT_EQ(m.cursor(), (Position{2, 0}));
    m.feed("\x1b[2;2H");
    EXPECT_EQ(m.cursor(), (Position{3, 1}));
    m.feed("\x1b[9;1H");
    EXPECT_EQ(m.cursor(), (Position{5, 0}));
    m.feed("\x1b[?6l");
    EXPECT_EQ(m.cursor(), (Position{0, 0}));
}

TEST(Cursor, SaveAndRestoreKeepPositionAndPen) {
    TerminalModel m = fed(4, 10,
                          "\x1b[2;3H\x1b[31m\x1b"
                          "7\x1b[H\x1b[0mA\x1b"
                          "8B");
    EXPECT_EQ(m.cell(0, 0).fg, Color());
    EXPECT_EQ(m.cell(1, 2).contents, "B");
    EXPECT_EQ(m.cell(1, 2).fg, Color::indexed(1));
}

// ---- erasing ---------------------------------------------------------------------

TEST(Erase, InDisplayAndLineUseThePen) {
    TerminalModel m = fed(3, 4, "abcdefghijkl\x1b[2;2H\x1b[44m\x1b[J");
    EXPECT_EQ(m.visible_text(), "abcde");
    EXPECT_EQ(m.cell(2, 3).bg, Color::indexed(4));
    m.feed("\x1b[1;2H\x1b[1K");
    EXPECT_EQ(row_text(m, 0), "  cd");
    m.feed("\x1b[2K");
    EXPECT_EQ(row_text(m, 0), "");
    m.feed("\x1b[0m\x1b[2J");
    EXPECT_EQ(m.visible_text(), "");
    EXPECT_EQ(m.cell(1, 1).bg, Color());
}

TEST(Erase, ClearingTheEndOfARowEndsItsWrap) {
    TerminalModel m = fed(3, 4, "abcdef");
    ASSERT_TRUE(m.row_wrapped(0));
    m.feed("\x1b[1;3H\x1b[K");
    EXPECT_FALSE(m.row_wrapped(0));
}

TEST(Erase, EraseCharactersStopsAtTheEdge) {
    const TerminalModel m = fed(2, 6, "abcdef\x1b[1;3H\x1b[2X\x1b[1;6H\x1b[99X");
    EXPECT_EQ(row_text(m, 0), "ab  e");
}

// ---- inserting and deleting --------------------------------------------------------

TEST(Edit, InsertAndDeleteCharacters) {
    TerminalModel m = fed(2, 6, "abcdef\x1b[1;2H\x1b[2@");
    EXPECT_EQ(row_text(m, 0), "a  bcd");
    m.feed("\x1b[3P");
    EXPECT_EQ(row_text(m, 0), "acd");
}

TEST(Edit, InsertAndDeleteLinesInsideTheRegion) {
    TerminalModel m = fed(5, 3, "1\r\n2\r\n3\r\n4\r\n5\x1b[2;4r\x1b[2;1H\x1b[L");
    EXPECT_EQ(m.visible_text(), "1\n\n2\n3\n5");
    m.feed("\x1b[2M");
    EXPECT_EQ(m.visible_text(), "1\n3\n\n\n5");
}

// ---- scrolling and the scrollback ---------------------------------------------------

TEST(Scroll, LinesLeavingTheScreenGoToTheScrollback) {
    TerminalModel m = fed(2, 5, "one\r\ntwo\r\nthree\r\nfour", 2);
    EXPECT_EQ(m.visible_text(), "three\nfour");
    ASSERT_EQ(m.scrollback_rows(), 2u);
    EXPECT_EQ(m.scrollback_line(0).cells[0].contents, "o");
    m.feed("\r\nfive");
    ASSERT_EQ(m.scrollback_rows(), 2u);  // the oldest went
    EXPECT_EQ(m.scrollback_line(0).cells[0].contents, "t");
    EXPECT_EQ(m.scrollback_line(1).cells[0].contents, "t");
    EXPECT_EQ(m.scrollback_line(1).cells[2].contents, "r");
}

TEST(Scroll, ScrollbackKeepsEveryCellExactly) {
    TerminalModel m(2, 8, 10);
    m.feed(
        "\x1b[1;4;38;2;9;8;7;48;5;200mA\x1b[0m\xe4\xb8\xad"
        "e\xcc\x81\x1b[7m \x1b[K");
    m.feed("\x1b[2;1Hwrap\r\n\r\n");
    const HistoryLine line = m.scrollback_line(0);
    ASSERT_EQ(line.cells.size(), 8u);
    EXPECT_EQ(line.cells[0].contents, "A");
    EXPECT_TRUE(line.cells[0].bold);
    EXPECT_EQ(line.cells[0].underline, pty::Underline::Single);
    EXPECT_EQ(line.cells[0].fg, Color::rgb(9, 8, 7));
    EXPECT_EQ(line.cells[0].bg, Color::indexed(200));
    EXPECT_TRUE(line.cells[1].wide);
    EXPECT_TRUE(line.cells[2].wide_continuation);
    EXPECT_EQ(line.cells[3].contents, "e\xcc\x81");
    EXPECT_TRUE(line.cells[4].inverse);
    EXPECT_EQ(line.cells[4].contents, " ");
    EXPECT_FALSE(line.cells[7].inverse);  // an erase takes the background alone
    EXPECT_EQ(line.cells[7].contents, "");
}

TEST(Scroll, RegionsScrollWithoutFeedingTheScrollback) {
    TerminalModel m = fed(4, 3, "a\r\nb\r\nc\r\nd\x1b[2;3r\x1b[3;1H\n\n");
    EXPECT_EQ(m.visible_text(), "a\n\n\nd");
    EXPECT_EQ(m.scrollback_rows(), 0u);
    m.feed("\x1b[2;1H\x1bMx");
    EXPECT_EQ(m.visible_text(), "a\nx\n\nd");
    m.feed("\x1b[r\x1b[S");
    EXPECT_EQ(m.scrollback_rows(), 1u);
}

TEST(Scroll, PlainTextCostsAboutAByteACellInTheScrollback) {
    TerminalModel m(50, 200, 10000);
    const std::string line(199, 'x');
    for (int i = 0; i < 10050; ++i) m.feed(line + "\r\n");
    ASSERT_EQ(m.scrollback_rows(), 10000u);
    EXPECT_LT(m.scrollback_bytes(), 10000u * 200 * 11 / 10);
}

// ---- modes -------------------------------------------------------------------------

TEST(Modes, AlternateScreen1049SavesTheCursorAndKeepsThePrimaryScreen) {
    TerminalModel m = fed(3, 10, "shell\x1b[2;4H\x1b[?1049h");
    EXPECT_TRUE(m.alternate_screen());
    EXPECT_EQ(m.visible_text(), "");
    m.feed("\x1b[Hvim");
    EXPECT_EQ(m.visible_text(), "vim");
    m.feed("\x1b[?1049l");
    EXPECT_FALSE(m.alternate_screen());
    EXPECT_EQ(m.visible_text(), "shell");
    EXPECT_EQ(m.cursor(), (Position{1, 3}));
    m.feed("\x1b[?1049h");
    EXPECT_EQ(m.visible_text(), "");  // cleared on every entry
}

TEST(Modes, AlternateScreen47KeepsItsContents) {
    TerminalModel m = fed(3, 10, "p\x1b[?47hA\x1b[?47l");
    EXPECT_EQ(m.visible_text(), "p");
    m.feed("\x1b[?47h");
    EXPECT_EQ(m.visible_text(), "A");  // each grid has its own cursor
}

TEST(Modes, TrackedModes) {
    TerminalModel m(3, 10);
    EXPECT_FALSE(m.bracketed_paste());
    EXPECT_TRUE(m.auto_wrap());
    m.feed("\x1b[?2004h\x1b[?25l\x1b[?1h\x1b=\x1b[?1002h\x1b[?1006h\x1b[4h\x1b[?7l");
    EXPECT_TRUE(m.bracketed_paste());
    EXPECT_TRUE(m.hide_cursor());
    EXPECT_TRUE(m.application_cursor());
    EXPECT_TRUE(m.application_keypad());
    EXPECT_EQ(m.mouse_mode(), MouseMode::ButtonMotion);
    EXPECT_EQ(m.mouse_encoding(), MouseEncoding::Sgr);
    EXPECT_TRUE(m.insert_mode());
    EXPECT_FALSE(m.auto_wrap());
    m.feed("\x1b[?1000l");  // another mouse mode's reset leaves this one
    EXPECT_EQ(m.mouse_mode(), MouseMode::ButtonMotion);
    m.feed("\x1b[?2004;1;1002l\x1b[?25h\x1b>");
    EXPECT_FALSE(m.bracketed_paste());
    EXPECT_FALSE(m.hide_cursor());
    EXPECT_FALSE(m.application_cursor());
    EXPECT_FALSE(m.application_keypad());
    EXPECT_EQ(m.mouse_mode(), MouseMode::None);
}

TEST(Modes, FocusReportingIsTrackedAndEndsWithAReset) {
    const auto focus = [](const TerminalModel& m) { return std::to_string(m.focus_reporting()); };
    TerminalModel m(2, 4);
    EXPECT_FALSE(m.focus_reporting());
    m.feed("\x1b[?1004h");
    EXPECT_TRUE(m.focus_reporting());
    m.feed("\x1b[?1004l");
    EXPECT_FALSE(m.focus_reporting());
    // Set among others in one sequence, and kept by other modes' resets.
    m.feed("\x1b[?1000;1004;1006h\x1b[?1000;1006l");
    EXPECT_TRUE(m.focus_reporting());
    m.feed(
        "\x1b"
        "c");
    EXPECT_FALSE(m.focus_reporting());
    expect_every_split_alike(2, 4, "\x1b[?2004;1004hab\x1b[?1004l\x1b[?1004h", focus);
    expect_every_split_alike(2, 4,
                             "\x1b[?1004h\x1b"
                             "c",
                             focus);
}

TEST(Modes, InsertModeShiftsTheRow) {
    // The row moves right and loses its last cell; it still continues below.
    const TerminalModel m = fed(2, 4, "\x1b[4habcdef\x1b[1;1Hx");
    EXPECT_EQ(m.visible_text(), "xabcef");
}

TEST(Modes, ResetKeepsTheTitleAndDropsEverythingElse) {
    TerminalModel m = fed(2, 5,
                          "a\r\nb\r\nc\x1b]2;kept\x07\x1b[?1049h\x1b[?25l\x1b[31m\x1b"
                          "cx");
    EXPECT_EQ(m.title(), "kept");
    EXPECT_FALSE(m.alternate_screen());
    EXPECT_FALSE(m.hide_cursor());
    EXPECT_EQ(m.scrollback_rows(), 0u);
    EXPECT_EQ(m.visible_text(), "x");
    EXPECT_EQ(m.cell(0, 0).fg, Color());
}

// ---- SGR ---------------------------------------------------------------------------

TEST(Sgr, AttributesAndColours) {
    const TerminalModel m =
        fed(2, 12,
            "\x1b[1;3;4;7ma\x1b[22;23;24;27mb\x1b[31;42mc\x1b[93;104md\x1b[38;5;200;48;2;1;2;3me"
            "\x1b[38:2:4:5:6mf\x1b[39;49mg\x1b[0;38;5;300;1mh");
    const Cell a = m.cell(0, 0);
    EXPECT_TRUE(a.bold && a.italic && a.underline != Underline::None && a.inverse);
    const Cell b = m.cell(0, 1);
    EXPECT_FALSE(b.bold || b.italic || b.underline != Underline::None || b.inverse);
    EXPECT_EQ(m.cell(0, 2).fg, Color::indexed(1));
    EXPECT_EQ(m.cell(0, 2).bg, Color::indexed(2));
    EXPECT_EQ(m.cell(0, 3).fg, Color::indexed(11));
    EXPECT_EQ(m.cell(0, 3).bg, Color::indexed(12));
    EXPECT_EQ(m.cell(0, 4).fg, Color::indexed(200));
    EXPECT_EQ(m.cell(0, 4).bg, Color::rgb(1, 2, 3));
    EXPECT_EQ(m.cell(0, 5).fg, Color::rgb(4, 5, 6));
    EXPECT_EQ(m.cell(0, 6).fg, Color());
    EXPECT_EQ(m.cell(0, 6).bg, Color());
    // An out-of-range colour ends the sequence: bold after it is not applied.
    EXPECT_FALSE(m.cell(0, 7).bold);
}

TEST(Sgr, NewerAttributesSetAndResetAtEverySplit) {
    const std::string u_rgb = " U=" + std::to_string(Color::rgb(1, 2, 3).bits());
    const std::string u_9 = " U=" + std::to_string(Color::indexed(9).bits());
    struct Row {
        const char* script;
        std::string pen;  // of the cell written after it
        bool bold = false;
    };
    const Row rows[] = {
        {"\x1b[2m", " faint"},
        {"\x1b[1;2;22m", ""},  // 22 ends faint as well as bold
        {"\x1b[2;1m", " faint", true},
        {"\x1b[9m", " strike"},
        {"\x1b[9;29m", ""},
        {"\x1b[8m", " conceal"},
        {"\x1b[8;28m", ""},
        {"\x1b[4m", " u=1"},
        {"\x1b[4:0m", ""},
        {"\x1b[4:1m", " u=1"},
        {"\x1b[4:2m", " u=2"},
        {"\x1b[4:3m", " u=3"},
        {"\x1b[4:4m", " u=4"},
        {"\x1b[4:5m", " u=5"},
        {"\x1b[21m", " u=2"},
        {"\x1b[21;24m", ""},
        {"\x1b[21;4m", " u=1"},
        {"\x1b[1;5;6;10;20;25;26m", "", true},  // codes with no effect keep the pen
        {"\x1b[4:3;4m", " u=1"},
        {"\x1b[4:3;24m", ""},
        {"\x1b[4:3;4:6m", " u=3"},  // unknown styles change nothing
        {"\x1b[4:3;4:0m", ""},
        {"\x1b[58;5;9m", u_9},
        {"\x1b[58:5:9m", u_9},
        {"\x1b[58;2;1;2;3m", u_rgb},
        {"\x1b[58:2:1:2:3m", u_rgb},
        {"\x1b[58:2::1:2:3m", u_rgb},
        {"\x1b[58:2:7:1:2:3m", u_rgb},  // a colour space id is ignored
        {"\x1b[58;5;9;1m", u_9, true},  // what follows the colour goes on
        {"\x1b[58:5:9;59m", ""},
        {"\x1b[58;5;9;4:3;24m", u_9},  // the colour outlives the underline
        // An unusable colour ends the sequence, as for 38 and 48.
        {"\x1b[58;5;256;1m", ""},
        {"\x1b[58:2:1:2:300;1m", ""},
        {"\x1b[58;7;1m", ""},
        {"\x1b[58m", ""},
        {"\x1b[58:5m", ""},  // too short: skipped like 38:5
        {"\x1b[2;3;4:3;7;8;9;58;5;9;0m", ""},
        {"\x1b[2;3;4:3;7;8;9;58;5;9m\x1b[m", ""},
    };
    for (const Row& row : rows) {
        const std::string script = std::string(row.script) + "x";
        const TerminalModel m = fed(2, 4, script);
        EXPECT_EQ(pen(m.cell(0, 0)), row.pen) << row.script;
        EXPECT_EQ(m.cell(0, 0).bold, row.bold) << row.script;
        expect_every_split_alike(2, 4, script, snapshot);
    }
}

TEST(Sgr, NewerAttributesAreSavedAndRestoredLikeTheOthers) {
    const std::string all =
        " faint strike conceal u=3 U=" + std::to_string(Color::indexed(4).bits());
    // DECSC keeps the pen; a plain pen in between; DECRC brings it back.
    const std::string script =
        "a\x1b[2;9;8;4:3;58;5;4m\x1b"
        "7\x1b[0m\x1b"
        "8b\x1b[K\x1b[?1049h\x1b[0mc\x1b[?1049ld";
    const TerminalModel m = fed(2, 6, script);
    EXPECT_EQ(pen(m.cell(0, 0)), "");
    EXPECT_EQ(pen(m.cell(0, 1)), all);
    EXPECT_EQ(pen(m.cell(0, 4)), "") << "an erase takes the background alone";
    EXPECT_EQ(pen(m.cell(0, 2)), all) << "1049 restored the pen";
    EXPECT_EQ(m.cell(0, 2).contents, "d");
    expect_every_split_alike(2, 6, script, snapshot);
}

TEST(Sgr, UnderlineColoursPastTheTableTakeTheTextColourUntilAReset) {
    // The model keeps 255 distinct underline colours; the 256th and later
    // fall back to the default (the text colour) while the ones kept stay
    // right, and a reset, which leaves no cell naming one, empties the table.
    TerminalModel m(2, 4, 10);
    const auto rgb_sgr = [](int i) {
        return "\x1b[58;2;" + std::to_string(i / 256) + ";" + std::to_string(i % 256) + ";7m";
    };
    for (int i = 0; i < 255; ++i) m.feed(rgb_sgr(i));
    m.feed("a" + rgb_sgr(255) + "b" + rgb_sgr(200) + "c");
    EXPECT_EQ(m.cell(0, 0).underline_color, Color::rgb(0, 254, 7));
    EXPECT_EQ(m.cell(0, 1).underline_color, Color());
    EXPECT_EQ(m.cell(0, 2).underline_color, Color::rgb(0, 200, 7));
    m.feed(
        "\x1b"
        "c" +
        rgb_sgr(255) + "d");
    EXPECT_EQ(m.cell(0, 0).underline_color, Color::rgb(0, 255, 7));
    EXPECT_EQ(m.cell(0, 0).contents, "d");
}

TEST(Sgr, ResetClearsTheNewerAttributes) {
    const TerminalModel m = fed(2, 4,
                                "\x1b[2;9;8;21;58;5;1m\x1b"
                                "cx");
    EXPECT_EQ(pen(m.cell(0, 0)), "");
}

// ---- cursor style ---------------------------------------------------------------------

std::string style(const TerminalModel& m) {
    const CursorStyle s = m.cursor_style();
    return std::to_string(static_cast<int>(s.shape)) + (s.blinking ? " blinking" : " steady");
}

TEST(CursorStyle, DecscusrSetsShapeAndBlinkingAtEverySplit) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "0 steady"},
        {"\x1b[1 q", "1 blinking"},
        {"\x1b[2 q", "1 steady"},
        {"\x1b[3 q", "2 blinking"},
        {"\x1b[4 q", "2 steady"},
        {"\x1b[5 q", "3 blinking"},
        {"\x1b[6 q", "3 steady"},
        {"\x1b[6 q\x1b[0 q", "0 steady"},  // back to the user's choice
        {"\x1b[6 q\x1b[ q", "0 steady"},
        // Ignored: unknown values, DECLL (no space), other intermediates
        // and private markers.
        {"\x1b[6 q\x1b[7 q", "3 steady"},
        {"\x1b[6 q\x1b[65535 q", "3 steady"},
        {"\x1b[6 q\x1b[2q", "3 steady"},
        {"\x1b[6 q\x1b[2!q", "3 steady"},
        {"\x1b[6 q\x1b[?2 q", "3 steady"},
        {"\x1b[6 q\x1b[2  q", "3 steady"},
        // A reset goes back to the default; saving the cursor does not keep it.
        {"\x1b[4 q\x1b"
         "c",
         "0 steady"},
        {"\x1b[4 q\x1b"
         "7\x1b[1 q\x1b"
         "8",
         "1 blinking"},
    };
    for (const auto& [script, expected] : rows) {
        EXPECT_EQ(style(fed(2, 4, script)), expected) << script;
        expect_every_split_alike(2, 4, script, style);
    }
    // The sequence prints nothing and moves nothing.
    EXPECT_EQ(snapshot(fed(2, 4, "a\x1b[3 qb")), snapshot(fed(2, 4, "ab")));
}

// ---- titles -------------------------------------------------------------------------

TEST(Title, OscZeroOneAndTwo) {
    TerminalModel m = fed(2, 5, "\x1b]0;both\x07");
    EXPECT_EQ(m.title(), "both");
    EXPECT_EQ(m.icon_name(), "both");
    m.feed("\x1b]2;title\x1b\\\x1b]1;icon\x07");
    EXPECT_EQ(m.title(), "title");
    EXPECT_EQ(m.icon_name(), "icon");
    m.feed("\x1b]2;bad\xff\x07\x1b]2;a;b\x07");
    EXPECT_EQ(m.title(), "a");
    m.feed("\x1b]2;\x07");
    EXPECT_EQ(m.title(), "");
}

TEST(Title, LongStringsAreCutAt1024Bytes) {
    const TerminalModel m = fed(2, 5, "\x1b]2;" + std::string(5000, 't') + "\x07x");
    // The kind digit counts; the separator does not.
    EXPECT_EQ(m.title(), std::string(1023, 't'));
    EXPECT_EQ(m.visible_text(), "x");
}

// ---- resizing -----------------------------------------------------------------------

TEST(Resize, CutsOrPadsRowsWithoutReflow) {
    // The cursor above the cut: below it, rows scroll off the top instead.
    TerminalModel m = fed(3, 6, "abcdefgh\r\nxy\x1b[2;3H");
    m.set_size(2, 4);
    EXPECT_EQ(m.rows(), 2);
    EXPECT_EQ(m.cols(), 4);
    EXPECT_EQ(m.visible_text(), "abcd\ngh");
    EXPECT_FALSE(m.row_wrapped(0));
    EXPECT_EQ(m.cursor(), (Position{1, 2}));
    m.set_size(4, 8);
    EXPECT_EQ(m.visible_text(), "abcd\ngh");
    m.feed("\x1b[?1049h");
    EXPECT_EQ(m.rows(), 4);  // the alternate grid was resized too
    m.set_size(0, 0);        // a grid keeps at least a cell
    EXPECT_EQ(m.rows(), 1);
    EXPECT_EQ(m.cols(), 1);
}

// ---- places where the reference crashes ---------------------------------------------

TEST(Mended, WideCharacterOnAOneColumnGrid) {
    // The reference indexes past the row.
    const TerminalModel m = fed(2, 1, "\xe4\xb8\xad\xe4\xb8\xad");
    EXPECT_EQ(m.cell(0, 0).contents, "\xe4\xb8\xad");
    EXPECT_EQ(m.cell(1, 0).contents, "\xe4\xb8\xad");
}

TEST(Mended, CursorRestoredOutsideAGridThatShrank) {
    // The reference keeps the saved row and writes below the grid.
    TerminalModel m = fed(10, 10,
                          "\x1b[9;9H\x1b"
                          "7");
    m.set_size(3, 3);
    m.feed(
        "\x1b"
        "8x\x1b[@\x1b[P\x1b[K\x1b[L");
    EXPECT_LT(m.cursor().row, 3);
}

TEST(Mended, CursorSavedBeforeAShrinkComesBackOnTheGrid) {
    // Restored below the grid, the cursor stayed there and the text written
    // next was lost; found by the fuzz target.
    TerminalModel decrc = fed(10, 10,
                              "\x1b[9;9H\x1b"
                              "7");
    decrc.set_size(3, 3);
    decrc.feed(
        "\x1b"
        "8x");
    EXPECT_EQ(decrc.cell(2, 2).contents, "x");

    // Leaving the alternate screen restores the primary's cursor.
    TerminalModel alt = fed(6, 10, "\x1b[5;3H\x1b[?1049h");
    alt.set_size(2, 19);
    alt.feed("\x1b[?1049l");
    EXPECT_EQ(alt.cursor(), (Position{1, 2}));
    alt.feed("xyz");
    EXPECT_EQ(alt.visible_text(), "\n  xyz");

    // Grown back before the restore, the grid takes the position as saved.
    TerminalModel regrown = fed(10, 20, "\x1b[3;18H\x1b" "7");
    regrown.set_size(4, 2);
    regrown.set_size(8, 20);
    regrown.feed("\x1b" "8");
    EXPECT_EQ(regrown.cursor(), (Position{2, 17}));
}

TEST(Mended, WideCharacterCutByANarrowingResize) {
    // The reference reaches for the missing right half.
    TerminalModel m = fed(2, 4, "ab\xe4\xb8\xad");
    m.set_size(2, 3);
    m.feed("\x1b[1;3Hx\x1b[1;3H\x1b[P");
    EXPECT_EQ(row_text(m, 0), "ab");
}

TEST(Mended, TextWrappingOnAOneRowScreen) {
    const TerminalModel m = fed(1, 3, "abcdefg", 5);
    EXPECT_EQ(m.visible_text(), "g");
    EXPECT_EQ(m.scrollback_rows(), 2u);
}

TEST(Mended, ParameterSlotsFilledWhileASubParameterIsOpen) {
    // The reference loops for ever walking an unset parameter slot.
    std::string csi = "\x1b[";
    for (int i = 0; i < 31; ++i) csi += "1;";
    const TerminalModel m = fed(2, 10, csi + "38:5:2mx");
    EXPECT_EQ(m.cell(0, 0).contents, "x");
    EXPECT_TRUE(m.cell(0, 0).bold);
}

// ---- text extraction -----------------------------------------------------------------

TEST(Extract, VisibleTextJoinsWrappedRowsAndDropsTrailingLineFeeds) {
    // Spaces written are text; cells never written are not.
    const TerminalModel m = fed(5, 4, "abcdef\r\n\r\nx  \r\n");
    EXPECT_EQ(m.visible_text(), "abcdef\n\nx  ");
}

TEST(Extract, TextBetweenTwoPositions) {
    const TerminalModel m = fed(4, 8, "hello world\r\nsecond\r\n  x");
    // Within a row, end excluded.
    EXPECT_EQ(m.text_between({0, 1}, {0, 4}), "ell");
    // Over rows: the rest of the first, whole rows between, the start of the
    // last; no line feed after a wrapped row.
    EXPECT_EQ(m.text_between({0, 3}, {2, 2}), "lo world\nse");
    EXPECT_EQ(m.text_between({1, 2}, {3, 3}), "d\nsecond\n  x");
    // Reversed or empty ranges give nothing; columns past the edge are clamped.
    EXPECT_EQ(m.text_between({1, 2}, {0, 4}), "");
    EXPECT_EQ(m.text_between({0, 3}, {0, 3}), "");
    EXPECT_EQ(m.text_between({3, 0}, {3, 65535}), "  x");
    EXPECT_EQ(m.text_between({9, 0}, {9, 5}), "");
}

TEST(Extract, WideCharactersCountOnce) {
    const TerminalModel m = fed(2, 8,
                                "a\xe4\xb8\xad"
                                "b");
    EXPECT_EQ(m.text_between({0, 0}, {0, 8}),
              "a\xe4\xb8\xad"
              "b");
    EXPECT_EQ(m.text_between({0, 2}, {0, 8}), "b");
}

}  // namespace
}  // namespace tolvar::pty
