#include "view/links.hpp"

#include <gtest/gtest.h>

#include <set>

#include "fakes.hpp"
#include "pane_points.hpp"

namespace tolvar::app {
namespace {

// The URL targets found on the first line of a model fed `bytes`.
std::vector<std::string> urls(std::string_view bytes, std::uint16_t cols = 80) {
    pty::TerminalModel model(4, cols, 10);
    model.feed(bytes);
    std::vector<std::string> out;
    for (const Link& l : links_in_line(model, model.history_end())) out.push_back(l.target);
    return out;
}

using Urls = std::vector<std::string>;

TEST(DetectUrls, SentencePunctuationAfterAUrlIsLeftOut) {
    struct Case {
        std::string_view text;
        Urls want;
    } cases[] = {
        {"see https://example.com.", {"https://example.com"}},
        {"https://a.org/x, https://b.org/y;", {"https://a.org/x", "https://b.org/y"}},
        {"go to http://a.org/?q=1!", {"http://a.org/?q=1"}},
        {"really http://a.org/...?", {"http://a.org/"}},
        {"keep http://a.org/a.b?c=d&e=f#top", {"http://a.org/a.b?c=d&e=f#top"}},
        {"port http://a.org:8080/", {"http://a.org:8080/"}},
        {"file:///C:/Users/me/Documents", {"file:///C:/Users/me/Documents"}},
        {"HTTPS://Example.COM/Path", {"HTTPS://Example.COM/Path"}},
        {"just https:// here", {}},
        {"xhttps://a.org notalink", {}},  // a scheme inside a word
        {"ftp://a.org mailto:x@a.org", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(urls(c.text), c.want) << c.text;
}

TEST(DetectUrls, ClosingBracketsStayOnlyWhenTheUrlOpenedThem) {
    struct Case {
        std::string_view text;
        Urls want;
    } cases[] = {
        {"https://en.wikipedia.org/wiki/Bracket_(disambiguation)",
         {"https://en.wikipedia.org/wiki/Bracket_(disambiguation)"}},
        {"(see https://en.wikipedia.org/wiki/C_(language))",
         {"https://en.wikipedia.org/wiki/C_(language)"}},
        {"(see https://a.org/x)", {"https://a.org/x"}},
        {"(see https://a.org/x).", {"https://a.org/x"}},
        {"[https://a.org/x]", {"https://a.org/x"}},
        {"https://a.org/a[1]", {"https://a.org/a[1]"}},
        {"<https://a.org/x>", {"https://a.org/x"}},
    };
    for (const Case& c : cases) EXPECT_EQ(urls(c.text), c.want) << c.text;
}

TEST(DetectUrls, QuotesEndTheUrlTheyOpened) {
    struct Case {
        std::string_view text;
        Urls want;
    } cases[] = {
        {"\"https://a.org/x\" next", {"https://a.org/x"}},
        {"'https://a.org/it's' next", {"https://a.org/it"}},
        {"href='https://a.org/x'>", {"https://a.org/x"}},
        {"it's https://a.org/don't", {"https://a.org/don't"}},  // no opening quote
        {"`https://a.org/x`", {"https://a.org/x"}},
    };
    for (const Case& c : cases) EXPECT_EQ(urls(c.text), c.want) << c.text;
}

TEST(DetectUrls, AUrlWrappedAcrossRowsIsOneLink) {
    pty::TerminalModel model(6, 10, 10);
    model.feed("> https://example.com/long/path. end\r\nnext");
    const pty::LineNumber top = model.history_end();
    for (pty::LineNumber line : {top, top + 1, top + 2, top + 3}) {
        const auto links = links_in_line(model, line);
        ASSERT_EQ(links.size(), 1u) << line;
        EXPECT_EQ(links[0].target, "https://example.com/long/path");
        EXPECT_EQ(links[0].span.start, (pty::LinePosition{top, 2}));
        EXPECT_EQ(links[0].span.end, (pty::LinePosition{top + 3, 1}));
    }
    EXPECT_TRUE(links_in_line(model, top + 4).empty());  // "next" starts a new line
    auto at = link_at(model, {top + 2, 9});
    ASSERT_TRUE(at);
    EXPECT_EQ(at->target, "https://example.com/long/path");
    EXPECT_FALSE(link_at(model, {top + 3, 1}));  // the period after it
    EXPECT_FALSE(link_at(model, {top, 1}));
}

TEST(DetectUrls, WideCharactersAroundAUrlEndItAndCountTwoCells) {
    pty::TerminalModel model(2, 40, 10);
    // 見て https://a.jp/x です: the URL runs into the wide characters.
    model.feed("\xE8\xA6\x8B\xE3\x81\xA6https://a.jp/x\xE3\x81\xA7\xE3\x81\x99");
    const pty::LineNumber top = model.history_end();
    const auto links = links_in_line(model, top);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].target, "https://a.jp/x");
    EXPECT_EQ(links[0].span.start, (pty::LinePosition{top, 4}));
    EXPECT_EQ(links[0].span.end, (pty::LinePosition{top, 18}));
    EXPECT_FALSE(link_at(model, {top, 18}));  // either half of で
    EXPECT_FALSE(link_at(model, {top, 19}));
    EXPECT_TRUE(link_at(model, {top, 17}));
    // A narrow non-ASCII letter belongs to the path.
    EXPECT_EQ(urls("https://a.de/M\xC3\xBCnchen ok"), Urls{"https://a.de/M\xC3\xBCnchen"});
}

TEST(Hyperlinks, AnApplicationsLinkNamesItsTargetAndWinsOverTheTextUnderIt) {
    pty::TerminalModel model(5, 10, 10);
    // ls --hyperlink: the name shows, the target is the file's address; a
    // link whose text is itself a URL still opens the application's target.
    model.feed(
        "\x1b]8;;file:///C:/a\x1b\\dir\xe7\x95\x8c\x1b]8;;\x1b\\ x\r\n"
        "\x1b]8;;https://real.test/\x07https://shown.test/\x1b]8;;\x07 https://b.test");
    const pty::LineNumber top = model.history_end();
    const auto first = links_in_line(model, top);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], (Link{{{top, 0}, {top, 5}}, "file:///C:/a", true, "dir\xe7\x95\x8c"}));
    EXPECT_EQ(link_at(model, {top, 4}), first[0]);  // the right half of the wide one
    EXPECT_FALSE(link_at(model, {top, 6}));
    // Wrapped over two rows: one link, and the plain URL after it.
    const auto second = links_in_line(model, top + 2);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(
        second[0],
        (Link{{{top + 1, 0}, {top + 2, 9}}, "https://real.test/", true, "https://shown.test/"}));
    EXPECT_EQ(second[1].target, "https://b.test");
    EXPECT_FALSE(second[1].hyperlink);
    EXPECT_EQ(link_at(model, {top + 2, 3})->target, "https://real.test/");
}

// What the cells of a one-row span show: concealed ones as blanks.
std::string shown(const pty::TerminalModel& model, const pty::Match& span) {
    pty::LineCells row;
    model.line(span.start.line, row);
    std::string text;
    for (std::uint16_t c = span.start.col; c < span.end.col; ++c) {
        const pty::Cell& cell = row.cells[c];
        if (cell.wide_continuation) continue;
        text += cell.conceal || cell.contents.empty() ? std::string(cell.wide ? 2 : 1, ' ')
                                                      : cell.contents;
    }
    return text;
}

// "https://bank.example" followed by concealed ".evil.example/login" opened
// the concealed host, and a plain URL had no tip that could have told.
TEST(Concealed, ConcealedTextEndsAUrlAndNoLinkOpensWhatItDoesNotShowUnannounced) {
    struct Case {
        std::string_view bytes;
        Urls want;
    } cases[] = {
        {"https://bank.example\x1b[8m.evil.example/login\x1b[28m ok", {"https://bank.example"}},
        {"\x1b[8mhttps://\x1b[28mevil.example/x", {}},
        {"https://a.example/\x1b[8mx\x1b[28m/path https://b.example",
         {"https://a.example/", "https://b.example"}},
        // A concealed letter draws a blank, which a URL may follow.
        {"x\x1b[8my\x1b[28mhttps://c.example", {"https://c.example"}},
        // The application's link names its own target, concealed or not.
        {"\x1b]8;;https://t.example/\x1b\\\x1b[8mhttps://t.example/\x1b[28m\x1b]8;;\x1b\\",
         {"https://t.example/"}},
        {"\x1b]8;;https://t.example/\x1b\\https://t.example/\x1b]8;;\x1b\\",
         {"https://t.example/"}},
    };
    for (const Case& c : cases) {
        pty::TerminalModel model(2, 80, 10);
        model.feed(c.bytes);
        Urls found;
        for (const Link& link : links_in_line(model, model.history_end())) {
            found.push_back(link.target);
            const std::string tip = link_tip(link);
            if (tip.empty()) {
                EXPECT_EQ(link.target, shown(model, link.span)) << c.bytes;
            } else {
                EXPECT_EQ(tip, link.target) << c.bytes;
            }
            // An application's link always shows where it leads.
            if (link.hyperlink) {
                EXPECT_EQ(tip, link.target) << c.bytes;
            }
        }
        EXPECT_EQ(found, c.want) << c.bytes;
    }
    EXPECT_EQ(link_tip(Link{{}, "https://a.example.evil", false, "https://a.example"}),
              "https://a.example.evil");
    EXPECT_EQ(link_tip(Link{{}, "https://a.example", false, "https://a.example"}), "");
}

using testing::k_96;
using testing::k_cell;
using testing::k_client;
using testing::px;
using testing::py;

struct OneTab {
    testing::Rig rig;
    explicit OneTab(std::string_view bytes) {
        rig.open();
        rig.tab(0).session()->model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
    }
    AppState& s() { return rig.state(); }
    LinkPress press(bool ctrl, int clicks, int col) {
        return link_press(s(), ctrl, clicks, k_client, k_cell, k_96, px(col), py(0));
    }
};

// The second press of a Ctrl+double-click ran the link handler again.
TEST(LinkPress, OnlyTheFirstPressOfAClickOpensTheLinkTheLaterOnesAreTaken) {
    OneTab tab("see https://a.example/x now");
    const LinkPress first = tab.press(true, 1, 6);
    ASSERT_TRUE(first.open);
    EXPECT_TRUE(first.taken);
    EXPECT_EQ(first.open->tab, tab.rig.id(0));
    EXPECT_EQ(first.open->link.target, "https://a.example/x");
    // The double-click's second press, then a triple click's third.
    for (const int clicks : {2, 3}) {
        const LinkPress later = tab.press(true, clicks, 6);
        EXPECT_FALSE(later.open) << clicks;
        EXPECT_TRUE(later.taken) << clicks;
    }
    // Without Ctrl, or off the link, presses are the selection's.
    for (const LinkPress& other : {tab.press(false, 1, 6), tab.press(false, 2, 6),
                                   tab.press(true, 1, 1), tab.press(true, 2, 1)}) {
        EXPECT_FALSE(other.open);
        EXPECT_FALSE(other.taken);
    }
}

TEST(LinkPress, OnADoubleWidthLineTheLinkIsUnderHalfTheColumn) {
    // "see " takes cells 0-3, drawn over columns 0-7: column 7 is before the
    // link, column 8 on it.
    OneTab tab("\x1b#6see https://a.example/");
    EXPECT_FALSE(tab.press(true, 1, 7).open);
    ASSERT_TRUE(tab.press(true, 1, 8).open);
    EXPECT_EQ(tab.press(true, 1, 30).open->link.target, "https://a.example/");
}

TEST(LinkHover, TheTipShowsAHyperlinksTargetAndNoneForAUrlThatReadsAsItself) {
    OneTab tab(
        "https://a.example/ \x1b]8;;https://b.example/\x07"
        "click\x1b]8;;\x07");
    ASSERT_TRUE(update_hovered_link(tab.s(), true, k_client, k_cell, k_96, px(3), py(0)));
    ASSERT_TRUE(tab.s().hovered_link());
    EXPECT_EQ(tab.s().hovered_link()->tip, "");
    ASSERT_TRUE(update_hovered_link(tab.s(), true, k_client, k_cell, k_96, px(20), py(0)));
    EXPECT_EQ(tab.s().hovered_link()->tip, "https://b.example/");
    EXPECT_TRUE(update_hovered_link(tab.s(), false, k_client, k_cell, k_96, px(20), py(0)));
    EXPECT_FALSE(tab.s().hovered_link());
}

TEST(LinkUnderline, OneLinePerRowInViewUnderTheLinksCells) {
    constexpr Rect text{10, 40, 90, 200};
    constexpr CellMetrics cell{8, 16, 14};
    // Lines 5 col 6 to 7 col 3 in a 4-row, 10-column pane showing line 4 first.
    const pty::Match wrapped{{5, 6}, {7, 3}};
    EXPECT_EQ(link_underline(wrapped, 4, 4, 10, text, cell, 1),
              (std::vector<Rect>{{58, 71, 90, 72}, {10, 87, 90, 88}, {10, 103, 34, 104}}));
    // Scrolled so that only its last row shows, and then none.
    EXPECT_EQ(link_underline(wrapped, 7, 4, 10, text, cell, 2),
              (std::vector<Rect>{{10, 54, 34, 56}}));
    EXPECT_TRUE(link_underline(wrapped, 8, 4, 10, text, cell, 1).empty());
    EXPECT_TRUE(link_underline(wrapped, 0, 4, 10, text, cell, 1).empty());
    // A link that ends at the right edge has no empty rectangle after it.
    EXPECT_EQ(link_underline({{4, 2}, {5, 0}}, 4, 4, 10, text, cell, 1),
              (std::vector<Rect>{{26, 55, 90, 56}}));
}

TEST(LinkTip, BelowTheLinkAboveItAtTheBottomAndAlwaysInsideThePane) {
    constexpr Rect text{10, 40, 210, 200};
    // Under a link on two rows, from the link's left edge.
    EXPECT_EQ(link_tip_box({{58, 71, 210, 72}, {10, 87, 50, 88}}, 16, 100, 20, text),
              (Rect{58, 88, 158, 108}));
    // Too wide to start there: moved left; wider than the pane: cut to it.
    EXPECT_EQ(link_tip_box({{170, 71, 200, 72}}, 16, 100, 20, text), (Rect{110, 72, 210, 92}));
    EXPECT_EQ(link_tip_box({{170, 71, 200, 72}}, 16, 500, 20, text), (Rect{10, 72, 210, 92}));
    // On the last row: above the link's first row.
    EXPECT_EQ(link_tip_box({{30, 199, 60, 200}}, 16, 100, 20, text), (Rect{30, 164, 130, 184}));
    // A pane too small for either: inside it all the same.
    EXPECT_EQ(link_tip_box({{30, 55, 60, 56}}, 16, 100, 20, {10, 40, 210, 60}),
              (Rect{30, 40, 130, 60}));
}

struct FakeFolders : FolderProbe {
    std::set<std::string> folders;
    mutable std::vector<std::string> asked;
    bool is_folder(const std::string& path) const override {
        asked.push_back(path);
        return folders.count(path) != 0;
    }
};

TEST(JudgeLink, WebAndMailAddressesOpenWithTheSchemeLowerCased) {
    FakeFolders fs;
    struct Case {
        std::string_view target;
        std::string_view want;
    } cases[] = {
        {"https://example.com/a?b=c", "https://example.com/a?b=c"},
        {"HTTP://Example.com/", "http://Example.com/"},
        {"hTtPs://x.org", "https://x.org"},
        {"mailto:someone@example.com", "mailto:someone@example.com"},
        {"MAILTO:a@b.c?subject=hi", "mailto:a@b.c?subject=hi"},
    };
    for (const Case& c : cases) {
        const LinkVerdict v = judge_link(c.target, fs);
        EXPECT_EQ(v.action, LinkAction::OpenUrl) << c.target;
        EXPECT_EQ(v.target, c.want);
    }
    EXPECT_TRUE(fs.asked.empty());
}

TEST(JudgeLink, EverythingThatCouldStartAProgramIsRefused) {
    FakeFolders fs;
    for (std::string_view target : {"javascript:alert(1)",
                                    "ms-settings:display",
                                    "ms-msdt:/id PCWDiagnostic",
                                    "search-ms:query=x&crumb=location:\\\\evil\\share",
                                    "vscode://file/c:/x",
                                    "myapp:run",
                                    "calc.exe",
                                    "C:\\Windows\\System32\\calc.exe",
                                    "\\\\server\\share\\x.exe",
                                    " https://a.org",
                                    "https://a.org ",
                                    "\thttps://a.org",
                                    "http\x01s://a.org",
                                    "https://a.org/\x1b]0;x",
                                    "https://a.org/\r\nx",
                                    "",
                                    ":",
                                    "1http://a.org",
                                    "https:",
                                    "https:///path",
                                    "http:x.org",
                                    "mailto:",
                                    "\xFF"
                                    "https://a.org"}) {
        const LinkVerdict v = judge_link(target, fs);
        EXPECT_EQ(v.action, LinkAction::Refuse) << target;
        EXPECT_FALSE(v.reason.empty()) << target;
        EXPECT_TRUE(v.target.empty());
    }
    EXPECT_TRUE(fs.asked.empty());
}

TEST(JudgeLink, FileLinksOpenOnlyExistingLocalFolders) {
    FakeFolders fs;
    fs.folders = {"C:\\Users\\me\\My Docs", "C:\\", "D:\\proj"};
    struct Case {
        std::string_view target;
        LinkAction want;
        std::string_view path;
    } cases[] = {
        {"file:///C:/Users/me/My%20Docs", LinkAction::OpenFolder, "C:\\Users\\me\\My Docs"},
        {"FILE://localhost/D:/proj", LinkAction::OpenFolder, "D:\\proj"},
        {"file:///C:", LinkAction::OpenFolder, "C:\\"},
        {"file:///D:/proj#frag", LinkAction::OpenFolder, "D:\\proj"},
        // A file, and above all a program, is never opened.
        {"file:///C:/Windows/System32/calc.exe", LinkAction::Refuse, ""},
        {"file:///C:/Users/me/My%20Docs/setup.exe", LinkAction::Refuse, ""},
        // A server would be contacted, and sent the user's credentials.
        {"file://server/share/folder", LinkAction::Refuse, ""},
        {"file:////server/share", LinkAction::Refuse, ""},
        {"file:///C:/Users/me/My%20Docs/../../..", LinkAction::Refuse, ""},
        {"file:///C:/Users/me/My%20Docs/%2E%2E", LinkAction::Refuse, ""},
        {"file:///C:/x:stream", LinkAction::Refuse, ""},
        {"file:///C:/x%00y", LinkAction::Refuse, ""},
        {"file:///C:/x%zz", LinkAction::Refuse, ""},
        {"file:///C:/x%4", LinkAction::Refuse, ""},
        {"file:///etc/passwd", LinkAction::Refuse, ""},
        {"file:C:/Users", LinkAction::Refuse, ""},
    };
    for (const Case& c : cases) {
        const LinkVerdict v = judge_link(c.target, fs);
        EXPECT_EQ(v.action, c.want) << c.target;
        EXPECT_EQ(v.target, c.path) << c.target;
    }
}

}  // namespace
}  // namespace tolvar::app
