// Applications' OSC 8 hyperlinks as the model keeps them.
#include <gtest/gtest.h>

#include <string>

#include "model_scripts.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {
namespace {

std::string open_link(std::string_view target, std::string_view params = "") {
    return "\x1b]8;" + std::string(params) + ";" + std::string(target) + "\x1b\\";
}
const std::string k_close = "\x1b]8;;\x07";

// Each cell of a line as "text>target", "." for a cell without a link.
std::string links_of(const TerminalModel& m, LineNumber n) {
    LineCells line;
    m.line(n, line);
    std::string out;
    for (const Cell& c : line.cells) {
        if (c.hyperlink == 0) {
            out += '.';
            continue;
        }
        out += (c.contents.empty() ? std::string("_") : c.contents) + ">" +
               m.hyperlink_target(c.hyperlink) + " ";
    }
    return out;
}

std::string screen_links(const TerminalModel& m) {
    std::string out;
    for (std::uint16_t r = 0; r < m.rows(); ++r) out += links_of(m, m.history_end() + r) + "|";
    return out;
}

// ls --hyperlink, gcc's diagnostics and systemd's tools write links this way.
TEST(Hyperlinks, TextBetweenOpenAndCloseLinksToTheTargetAtEverySplit) {
    const std::string script = "a" + open_link("https://x.test/a;b", "id=7") + "b\xe7\x95\x8c" +
                               k_close + "c" + open_link("file:///tmp") + "d" + k_close;
    expect_every_split_alike(2, 8, script, screen_links);
    const TerminalModel m = fed(2, 8, script);
    EXPECT_EQ(screen_links(m),
              ".b>https://x.test/a;b \xe7\x95\x8c>https://x.test/a;b _>https://x.test/a;b "
              ".d>file:///tmp ..|........|");
    EXPECT_EQ(m.visible_text(),
              "ab\xe7\x95\x8c"
              "cd");
}

TEST(Hyperlinks, OneLinkKeepsOneIdAcrossRowsAndReopeningsAndParametersTellLinksApart) {
    TerminalModel m(3, 4, 100);
    m.feed(open_link("https://a.test") + "abcdef" + k_close + "\r\n" + open_link("https://a.test") +
           "g" + open_link("https://a.test", "id=2") + "h" + k_close);
    const LineNumber top = m.history_end();
    LineCells first, second, third;
    m.line(top, first);
    m.line(top + 1, second);
    m.line(top + 2, third);
    const std::uint32_t id = first.cells[0].hyperlink;
    ASSERT_NE(id, 0u);
    EXPECT_EQ(first.cells[3].hyperlink, id);
    EXPECT_EQ(second.cells[1].hyperlink, id);  // the wrapped part
    EXPECT_EQ(second.cells[2].hyperlink, 0u);
    EXPECT_EQ(third.cells[0].hyperlink, id);  // opened again with the same target
    EXPECT_NE(third.cells[1].hyperlink, id);
    EXPECT_EQ(m.hyperlink_target(third.cells[1].hyperlink), "https://a.test");
    EXPECT_EQ(m.cell(2, 1).hyperlink, third.cells[1].hyperlink);
}

TEST(Hyperlinks, EditsMoveOrDropTheLinkWithTheCells) {
    // Overwritten, erased, inserted before and deleted before.
    TerminalModel m(1, 8, 100);
    m.feed(open_link("https://a.test") + "abcdef" + k_close);
    m.feed("\x1b[1GX\x1b[3G\x1b[1X\x1b[4G\x1b[2@\x1b[1G\x1b[1P");
    EXPECT_EQ(m.visible_text(), "b   def");
    EXPECT_EQ(links_of(m, m.history_end()),
              "b>https://a.test ...d>https://a.test e>https://a.test f>https://a.test .");
    // A wide character overwritten by half loses the link on both halves.
    m.feed("\x1b[1G" + open_link("https://b.test") + "\xe7\x95\x8c" + k_close + "\x1b[2Gy");
    EXPECT_EQ(m.visible_text().substr(0, 2), " y");
    EXPECT_EQ(links_of(m, m.history_end()).substr(0, 2), "..");
}

TEST(Hyperlinks, LinksWrittenOutOfColumnOrderReadBackInPlaceAndInTheHistory) {
    // A full-screen program redraws a row's links in any order.
    TerminalModel m(1, 8, 10);
    m.feed("\x1b[5G" + open_link("https://b.test") + "bbb" + "\x1b[1G" +
           open_link("https://a.test") + "aa" + "\x1b[6G" + open_link("https://c.test") + "c" +
           "\x1b[3G" + open_link("https://a.test") + "a" + k_close);
    const std::string want =
        "a>https://a.test a>https://a.test a>https://a.test .b>https://b.test c>https://c.test "
        "b>https://b.test .";
    EXPECT_EQ(links_of(m, m.history_end()), want);
    m.feed("\r\n");
    EXPECT_EQ(links_of(m, m.history_begin()), want);
}

TEST(Hyperlinks, LinesKeepTheirLinksInTheHistoryUntilTheyAreDropped) {
    TerminalModel m(2, 6, 3);
    m.feed(open_link("https://a.test") + "one" + k_close + "\r\ntwo\r\n" +
           open_link("https://b.test") + "three" + k_close + "\r\nfour\r\n");
    ASSERT_EQ(m.history_end() - m.history_begin(), 3u);
    EXPECT_EQ(links_of(m, m.history_begin()),
              "o>https://a.test n>https://a.test e>https://a.test ...");
    EXPECT_EQ(links_of(m, m.history_begin() + 1), "......");
    m.feed("five\r\nsix\r\nseven\r\n");  // "one" and "three" leave the history
    for (LineNumber n = m.history_begin(); n < m.history_end() + m.rows(); ++n)
        EXPECT_EQ(links_of(m, n).find('>'), std::string::npos) << n;
    m.feed(open_link("https://c.test") + "x\r\n\r\n");
    m.clear_scrollback();
    EXPECT_EQ(m.history_begin(), m.history_end());
}

TEST(Hyperlinks, TargetsThatCannotBeKeptWhollyLinkNothing) {
    const auto linked = [](const std::string& bytes) {
        const TerminalModel m = fed(1, 4, bytes + "a");
        return m.cell(0, 0).hyperlink != 0;
    };
    EXPECT_TRUE(linked(open_link(std::string(990, 'x'))));
    EXPECT_FALSE(linked(open_link(std::string(1001, 'x'))));  // over the cap
    // Cut by the parser's limit on OSC strings: the rest would be lost.
    EXPECT_FALSE(linked("\x1b]8;" + std::string(1100, 'p') + ";https://a.test\x07"));
    EXPECT_FALSE(linked(open_link("https://a.test/\xff")));  // not UTF-8
    EXPECT_FALSE(linked(open_link("")));
    // Sixteen fields: the parser stops splitting there and drops separators.
    EXPECT_FALSE(linked(open_link("a;b;c;d;e;f;g;h;i;j;k;l;m;n")));
    EXPECT_TRUE(linked(open_link("a;b;c;d;e;f;g;h;i;j;k;l;m")));
}

TEST(Hyperlinks, TheStoreIsBoundedAndADroppedLinkNeverResolvesToAnother) {
    TerminalModel m(4, 10, 0);
    m.feed(open_link("https://first.test") + "a" + k_close);
    const std::uint32_t first = m.cell(0, 0).hyperlink;
    const std::size_t before = m.memory_bytes();
    for (int i = 0; i < 5000; ++i) {
        m.feed("\x1b[2;1H" +
               open_link("https://" + std::to_string(i) + ".test/" + std::string(900, 'p')) + "b" +
               k_close);
    }
    EXPECT_EQ(m.hyperlink_target(first), "");
    EXPECT_EQ(m.cell(0, 0).hyperlink, first);  // the cell keeps a dead id
    EXPECT_EQ(m.hyperlink_target(m.cell(1, 0).hyperlink).substr(0, 18), "https://4999.test/");
    // About a kilobyte for each of the 1024 kept targets, and no more.
    EXPECT_LT(m.memory_bytes() - before, 1024u * 1100u);
}

TEST(Hyperlinks, ResizeAndResetKeepOrDropThem) {
    TerminalModel m(2, 6, 10);
    m.feed(open_link("https://a.test") + "abcdef" + k_close);
    m.set_size(2, 3);
    EXPECT_EQ(links_of(m, m.history_end()), "a>https://a.test b>https://a.test c>https://a.test ");
    const std::uint32_t id = m.cell(0, 0).hyperlink;
    m.feed(open_link("https://b.test") +
           "\x1b"
           "c"
           "z");
    EXPECT_EQ(m.hyperlink_target(id), "");
    EXPECT_EQ(m.cell(0, 0).hyperlink, 0u);  // the reset closed the open link too
}

}  // namespace
}  // namespace tolvar::pty
