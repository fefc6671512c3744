#include "view/word_selection.hpp"

#include <gtest/gtest.h>

namespace tolvar::app {
namespace {

std::string text_of(const pty::TerminalModel& m, CellSpan span) {
    return m.text_range(span.start, {span.end.line, static_cast<std::uint16_t>(span.end.col + 1)});
}

struct WordCase {
    std::string_view output;
    std::uint16_t col;  // clicked on row 0
    std::string_view word;
    std::u32string_view delimiters = k_default_word_delimiters;
};

TEST(WordAt, DefaultDelimitersKeepPathsAndUrlsWhole) {
    const WordCase cases[] = {
        {"cat /usr/local/bin/x.sh now", 8, "/usr/local/bin/x.sh"},
        {"see https://example.com/a?b=1&c=%20#frag, ok", 10,
         "https://example.com/a?b=1&c=%20#frag"},
        {"ssh user@host:~/dir-x_y+1", 6, "user@host:~/dir-x_y+1"},
        {"(foo) [bar] {baz} <q>", 2, "foo"},
        {"say \"hi\" 'yo' `cmd`", 5, "hi"},
        {"a|b;c,d", 2, "b"},
        {"one two", 0, "one"},
        {"one two", 6, "two"},
        // On a delimiter or a blank the click takes that cell alone.
        {"one two", 3, " "},
        {"(foo)", 0, "("},
        {"x", 30, ""},
    };
    for (const WordCase& c : cases) {
        pty::TerminalModel m(4, 60);
        m.feed(c.output);
        EXPECT_EQ(text_of(m, word_at(m, {0, c.col}, c.delimiters)), c.word) << c.output;
    }
}

TEST(WordAt, ACustomSetIsUsedAsGiven) {
    const WordCase cases[] = {
        {"cat /usr/local/bin", 9, "local", U"/"},
        {"a.b:c", 2, "a.b", U":"},
        {"x(y)z", 1, "x(y)z", U""},  // blanks still part words
        {"ab\u65e5cd", 0, "ab", U"\u65e5"},
    };
    for (const WordCase& c : cases) {
        pty::TerminalModel m(4, 60);
        m.feed(c.output);
        EXPECT_EQ(text_of(m, word_at(m, {0, c.col}, c.delimiters)), c.word) << c.output;
    }
}

TEST(WordAt, WideCharactersAreOneUnitAndMarksGoWithTheirBase) {
    pty::TerminalModel m(4, 40);
    m.feed("ab\u65e5\u672ccd ef caf\u0065\u0301 x");  // ab日本cd: cells 0-7
    // On either half of a wide character, and the span covers both halves.
    EXPECT_EQ(word_at(m, {0, 5}, k_default_word_delimiters), (CellSpan{{0, 0}, {0, 7}}));
    EXPECT_EQ(word_at(m, {0, 2}, k_default_word_delimiters), (CellSpan{{0, 0}, {0, 7}}));
    EXPECT_EQ(text_of(m, word_at(m, {0, 0}, k_default_word_delimiters)),
              "ab\u65e5\u672c"
              "cd");
    EXPECT_EQ(text_of(m, word_at(m, {0, 14}, k_default_word_delimiters)), "cafe\u0301");
    // A wide delimiter ends the word without leaving its right half in it.
    EXPECT_EQ(text_of(m, word_at(m, {0, 6}, U"\u672c")), "cd");
    EXPECT_EQ(word_at(m, {0, 5}, U"\u672c"), (CellSpan{{0, 4}, {0, 5}}));
}

TEST(WordAt, FollowsWrappedRowsIntoTheHistory) {
    pty::TerminalModel m(2, 10, 100);
    m.feed("0123456789abcdefghij-end next");  // three rows, the first two wrapped
    // The first row went into the history; the word runs over all three.
    ASSERT_EQ(m.history_end(), 1u);
    EXPECT_EQ(text_of(m, word_at(m, {2, 2}, k_default_word_delimiters)),
              "0123456789abcdefghij-end");
    EXPECT_EQ(word_at(m, {0, 3}, k_default_word_delimiters), (CellSpan{{0, 0}, {2, 3}}));
    // An unwrapped row boundary ends a word.
    pty::TerminalModel n(4, 10);
    n.feed("abc\r\ndef");
    EXPECT_EQ(text_of(n, word_at(n, {1, 0}, k_default_word_delimiters)), "def");
}

TEST(LogicalLineAt, TakesTheWholeWrappedRun) {
    pty::TerminalModel m(3, 10, 100);
    m.feed("before\r\n0123456789abcdefghij-end\r\nafter");
    // before | 0123456789 | abcdefghij | -end | after; two rows in history.
    ASSERT_EQ(m.history_end(), 2u);
    const std::string line = "0123456789abcdefghij-end";
    for (pty::LinePosition at : {pty::LinePosition{1, 4}, {2, 0}, {3, 9}}) {
        const CellSpan span = logical_line_at(m, at);
        EXPECT_EQ(span.start, (pty::LinePosition{1, 0}));
        EXPECT_EQ(span.end.line, 3u);
        EXPECT_EQ(text_of(m, span), line) << at.line;
    }
    EXPECT_EQ(text_of(m, logical_line_at(m, {0, 8})), "before");
    EXPECT_EQ(text_of(m, logical_line_at(m, {4, 0})), "after");
}

TEST(BlockText, EachRowsColumnsTrimmedAsLines) {
    pty::TerminalModel m(5, 20);
    m.feed("abcdef\r\nab\r\n\r\nabc   fgh\r\n0123456789abcdefghijKL");
    EXPECT_EQ(block_text(m, 0, 3, 1, 3), "bcd\nb\n\nbc");
    // A wrapped row gives its own columns only.
    EXPECT_EQ(block_text(m, 4, 5, 18, 19), "ij\n");
    EXPECT_EQ(block_text(m, 0, 0, 30, 40), "");
}

TEST(BlockText, LinesThatAgedOutAreLeftOut) {
    pty::TerminalModel m(2, 10, 1);
    m.feed("one\r\ntwo\r\nthree\r\nfour");  // "one" is gone, "two" kept
    ASSERT_EQ(m.history_begin(), 1u);
    EXPECT_EQ(block_text(m, 0, 3, 0, 2), "two\nthr\nfou");
}

}  // namespace
}  // namespace tolvar::app
