#include "commands/command_palette.hpp"

#include <gtest/gtest.h>

namespace tolvar::app {
namespace {

int score(std::string_view query, std::string_view label) {
    const auto match = palette_match(query, label);
    EXPECT_TRUE(match) << query << " in " << label;
    return match ? match->score : 0;
}

std::vector<std::size_t> positions(std::string_view query, std::string_view label) {
    const auto match = palette_match(query, label);
    return match ? match->positions : std::vector<std::size_t>{};
}

// ------------------------------------------------------------ the score

TEST(PaletteMatch, ASubsequenceMatchesInAnyCaseAndAnythingElseDoesNot) {
    EXPECT_TRUE(palette_match("ntab", "New Tab"));
    EXPECT_TRUE(palette_match("NEW", "new tab"));
    EXPECT_FALSE(palette_match("tn", "New tab"));  // out of order
    EXPECT_FALSE(palette_match("tabs", "New tab"));
    EXPECT_FALSE(palette_match("x", ""));
    const auto empty = palette_match("", "anything");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->score, 0);
    EXPECT_TRUE(empty->positions.empty());
}

TEST(PaletteMatch, RanksTheWayEditorsPalettesDo) {
    // The start of the label beats the middle of a word.
    EXPECT_GT(score("tab", "Tabs"), score("tab", "Notable"));
    // The start of the label beats the start of a later word.
    EXPECT_GT(score("tab", "Tab bar"), score("tab", "Go to tab"));
    // A word start beats the middle of a word.
    EXPECT_GT(score("tab", "Go to tab"), score("tab", "Notable"));
    // Consecutive beats scattered.
    EXPECT_GT(score("abc", "xabcx"), score("abc", "xaxbxcx"));
    // Word starts (an acronym) beat a run inside a word.
    EXPECT_GT(score("nt", "New tab"), score("nt", "Print"));
    // camelCase counts as a word start.
    EXPECT_GT(score("cm", "openConnectionManager"), score("cm", "welcome"));
    // Earlier beats later.
    EXPECT_GT(score("log", "xx log"), score("log", "xxxx log"));
}

TEST(PaletteMatch, PositionsAreTheBestPlacementNotTheFirst) {
    // Greedy would take the "t" of "to"; the run "tab" scores higher.
    EXPECT_EQ(positions("tab", "Go to tab"), (std::vector<std::size_t>{6, 7, 8}));
    EXPECT_EQ(positions("gtt", "Go to tab"), (std::vector<std::size_t>{0, 3, 6}));
}

TEST(PaletteMatch, NonAsciiLabelsMatchWholeCodePointsInAnyCase) {
    // "Überblick", "ÉTÉ", "Ωμέγα" and a final sigma.
    EXPECT_EQ(positions("ü",
                        "\xC3\x9C"
                        "berblick"),
              (std::vector<std::size_t>{0}));
    EXPECT_EQ(positions("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"),
              (std::vector<std::size_t>{0, 2, 3}));
    EXPECT_TRUE(palette_match("\xCF\x89\xCE\xBC", "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1"));
    EXPECT_TRUE(palette_match("\xCF\x83", "\xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82"));
    // A lead byte of "é" alone is one U+FFFD, and does not match "e" or "é".
    EXPECT_FALSE(palette_match("\xC3\xA9", "\xC3"));
    EXPECT_FALSE(palette_match("e", "\xC3"));
    // An emoji is one code point: the query of two needs two.
    EXPECT_TRUE(palette_match("\xF0\x9F\x9A\x80x", "\xF0\x9F\x9A\x80 x"));
    EXPECT_FALSE(palette_match("\xF0\x9F\x9A\x80\xF0\x9F\x9A\x80", "\xF0\x9F\x9A\x80"));
}

TEST(PaletteMatch, AVeryLongLabelIsMatchedOnItsStart) {
    std::string label(k_palette_label_limit, 'a');
    label += "z";
    EXPECT_FALSE(palette_match("z", label));
    EXPECT_TRUE(palette_match("aaa", label));
}

TEST(LabelRuns, SplitsAtTheMatchedCodePoints) {
    const std::string label = "Go to \xC3\xA9t\xC3\xA9";  // "Go to été"
    const auto runs = label_runs(label, positions("gt\xC3\xA9", label));
    // The word starts G, t and é: "G|o |t|o |é|té".
    const std::vector<std::pair<std::string, bool>> expected{
        {"G", true},   {"o ", false},      {"t", true},
        {"o ", false}, {"\xC3\xA9", true}, {"t\xC3\xA9", false}};
    ASSERT_EQ(runs.size(), expected.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].text, expected[i].first) << i;
        EXPECT_EQ(runs[i].matched, expected[i].second) << i;
    }
    EXPECT_TRUE(label_runs("", {}).empty());
    ASSERT_EQ(label_runs("ab", {}).size(), 1u);
}

TEST(WordStartBefore, CutsSpacesThenAWordOrARunOfPunctuation) {
    EXPECT_EQ(word_start_before("go to tab"), 6u);
    EXPECT_EQ(word_start_before("go to   "), 3u);
    EXPECT_EQ(word_start_before("open/profile"), 5u);
    EXPECT_EQ(word_start_before("open/"), 4u);
    EXPECT_EQ(word_start_before("tab: \xC3\xA9t\xC3\xA9"), 5u);
    EXPECT_EQ(word_start_before("   "), 0u);
    EXPECT_EQ(word_start_before(""), 0u);
}

// ------------------------------------------------------------ the model

std::vector<PaletteEntry> entries(std::initializer_list<const char*> labels) {
    std::vector<PaletteEntry> out;
    std::size_t key = 100;
    for (const char* label : labels) out.push_back({label, "", key++});
    return out;
}

std::vector<std::string> shown_labels(const CommandPalette& palette) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < palette.match_count(); ++i) {
        out.push_back(palette.shown(i).entry->label);
    }
    return out;
}

TEST(CommandPalette, FiltersAndRanksByScoreThenLengthThenGivenOrder) {
    CommandPalette palette;
    palette.open(
        entries({"Go to tab: logs", "Close tab", "Notable", "Tab bar", "Tabs", "New window"}));
    EXPECT_EQ(palette.match_count(), 6u);
    palette.set_query("tab");
    // "Tabs" and "Tab bar" score alike: the shorter first.
    EXPECT_EQ(shown_labels(palette), (std::vector<std::string>{"Tabs", "Tab bar", "Close tab",
                                                               "Go to tab: logs", "Notable"}));
    palette.set_query("zz");
    EXPECT_EQ(palette.match_count(), 0u);
    EXPECT_FALSE(palette.selected());
    EXPECT_FALSE(palette.choose());  // Enter with no match does nothing
    EXPECT_FALSE(palette.choose_row(0));
    EXPECT_TRUE(palette.recent().labels().empty());
}

TEST(CommandPalette, EqualLabelsKeepTheGivenOrder) {
    CommandPalette palette;
    palette.open(entries({"Go to tab: cmd", "Go to tab: cmd", "Go to tab: cmd"}));
    palette.set_query("cmd");
    EXPECT_EQ(palette.shown(0).entry->key, 100u);
    EXPECT_EQ(palette.shown(2).entry->key, 102u);
}

TEST(CommandPalette, TheSelectionStopsAtTheEndsAndStaysInView) {
    CommandPalette palette;
    palette.open(entries({"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9"}));
    palette.set_page(4);
    EXPECT_EQ(palette.selected(), 0u);
    palette.move(-1);
    EXPECT_EQ(palette.selected(), 0u);
    palette.move(5);  // Down past the page: the view follows
    EXPECT_EQ(palette.selected(), 5u);
    EXPECT_EQ(palette.top(), 2u);
    palette.move(100);  // PageDown far past the end
    EXPECT_EQ(palette.selected(), 9u);
    EXPECT_EQ(palette.top(), 6u);
    palette.move(-4);  // PageUp: still in view
    EXPECT_EQ(palette.selected(), 5u);
    EXPECT_EQ(palette.top(), 5u);
    palette.first();
    EXPECT_EQ(palette.top(), 0u);
    palette.last();
    EXPECT_EQ(palette.selected(), 9u);

    // The wheel moves the rows, taking the selection along at the edge.
    palette.scroll(-3);
    EXPECT_EQ(palette.top(), 3u);
    EXPECT_EQ(palette.selected(), 6u);
    palette.scroll(-10);
    EXPECT_EQ(palette.top(), 0u);
    EXPECT_EQ(palette.selected(), 3u);
    palette.scroll(50);
    EXPECT_EQ(palette.top(), 6u);
    EXPECT_EQ(palette.selected(), 6u);

    // A taller box shows the end without blank rows under it.
    palette.set_page(8);
    EXPECT_EQ(palette.top(), 2u);
    EXPECT_EQ(palette.selected(), 6u);
    // A shorter one keeps the selection in view.
    palette.last();
    palette.set_page(2);
    EXPECT_EQ(palette.top(), 8u);
}

TEST(CommandPalette, ANewQuerySelectsTheBestMatchAtTheTop) {
    CommandPalette palette;
    palette.open(entries({"a0", "a1", "a2", "a3", "b4", "a5"}));
    palette.set_page(2);
    palette.last();
    palette.set_query("a");
    EXPECT_EQ(palette.selected(), 0u);
    EXPECT_EQ(palette.top(), 0u);
    palette.set_query("b");
    EXPECT_EQ(palette.shown(*palette.selected()).entry->label, "b4");
}

TEST(CommandPalette, EnterAndClicksGiveTheKeyAndTheRecentComeFirstWhenTheQueryIsEmpty) {
    CommandPalette palette;
    const auto given = entries({"Alpha", "Beta", "Gamma", "Delta"});
    palette.open(given);
    palette.set_page(3);
    palette.set_query("gam");
    EXPECT_EQ(palette.choose(), 102u);
    palette.close();
    EXPECT_FALSE(palette.is_open());
    EXPECT_FALSE(palette.choose());

    palette.open(given);
    palette.set_page(3);
    palette.move(1);
    palette.move(1);                                 // the view: Gamma, Alpha, Beta; Delta below
    EXPECT_EQ(palette.choose_row(3), std::nullopt);  // below the rows in view
    palette.move(1);
    EXPECT_EQ(palette.choose_row(2), 103u);  // the row in view, not the third entry
    palette.open(given);
    EXPECT_EQ(shown_labels(palette), (std::vector<std::string>{"Delta", "Gamma", "Alpha", "Beta"}));
    // The recent order counts only for an empty query.
    palette.set_query("a");
    EXPECT_EQ(palette.shown(0).entry->label, "Alpha");
    // An entry that is no longer there is passed over.
    palette.open(entries({"Beta", "Gamma"}));
    EXPECT_EQ(shown_labels(palette), (std::vector<std::string>{"Gamma", "Beta"}));
}

TEST(RecentEntries, NewestFirstWithoutRepeatsUpToTheCapacity) {
    RecentEntries recent;
    // "a" to "t", twenty of them.
    for (char c = 'a'; c <= 't'; ++c) recent.note(std::string(1, c));
    EXPECT_EQ(recent.labels().size(), RecentEntries::k_capacity);
    EXPECT_EQ(recent.rank("t"), 0u);
    EXPECT_EQ(recent.rank("e"), 15u);
    EXPECT_FALSE(recent.rank("d"));
    recent.note("k");
    EXPECT_EQ(recent.rank("k"), 0u);
    EXPECT_EQ(recent.rank("t"), 1u);
    EXPECT_EQ(recent.labels().size(), RecentEntries::k_capacity);
}

// ------------------------------------------------------------ layout

TEST(PaletteLayout, UnderTheTabBarCentredAndAsTallAsItsRows) {
    // 1000 x 616 at 96 DPI, a 15-pixel UI font: rows of max(15 + 8, 24) = 24.
    const PaletteLayout l = palette_layout(1000, 616, Scale{96}, 15, 3);
    EXPECT_EQ(l.row_height, 24);
    EXPECT_EQ(l.frame, (Rect{180, 40, 820, 40 + 6 + 24 + 4 + 3 * 24 + 6}));
    EXPECT_EQ(l.query, (Rect{186, 46, 814, 70}));
    EXPECT_EQ(l.edit, (Rect{192, 50, 808, 65}));
    EXPECT_EQ(l.row(0), (Rect{186, 74, 814, 98}));
    EXPECT_EQ(l.rows, 3u);
    EXPECT_EQ(l.capacity, k_palette_max_rows);
    EXPECT_EQ(l.row_at(500, 74), 0u);
    EXPECT_EQ(l.row_at(500, 145), 2u);
    EXPECT_FALSE(l.row_at(500, 146));  // under the last row shown
    EXPECT_FALSE(l.row_at(185, 80));   // in the frame's padding
    EXPECT_FALSE(l.row_at(500, 60));   // the query field
    // No match still shows one row, for the message.
    EXPECT_EQ(palette_layout(1000, 616, Scale{96}, 15, 0).rows, 1u);
    EXPECT_EQ(palette_layout(1000, 616, Scale{96}, 15, 40).rows, k_palette_max_rows);
}

TEST(PaletteLayout, At144DpiEverythingGrowsByHalfAndRowsFollowTheFont) {
    // A 23-pixel font: rows of max(23 + 12, 36) = 36; the tab bar 51 high.
    const PaletteLayout l = palette_layout(1500, 924, Scale{144}, 23, 2);
    EXPECT_EQ(l.row_height, 36);
    EXPECT_EQ(l.frame, (Rect{270, 60, 1230, 60 + 9 + 36 + 6 + 2 * 36 + 9}));
    EXPECT_EQ(l.query, (Rect{279, 69, 1221, 105}));
    EXPECT_EQ(l.edit, (Rect{288, 75, 1212, 98}));
    EXPECT_EQ(l.row(1), (Rect{279, 147, 1221, 183}));
}

TEST(PaletteLayout, AShortWindowHoldsFewerRowsANarrowOneANarrowerBox) {
    // 200 high: rows start at 74; (200 - 74 - 12) / 24 = 4 rows.
    const PaletteLayout l = palette_layout(300, 200, Scale{96}, 15, 9);
    EXPECT_EQ(l.capacity, 4u);
    EXPECT_EQ(l.rows, 4u);
    EXPECT_EQ(l.frame.left, 16);
    EXPECT_EQ(l.frame.right, 284);
    // Too short for any row: still one, the window clips it.
    EXPECT_EQ(palette_layout(300, 60, Scale{96}, 15, 9).capacity, 1u);
    EXPECT_EQ(palette_layout(10, 60, Scale{96}, 15, 9).frame.width(), 0);
}

TEST(PaletteLayout, TheThumbShowsWhichPartOfTheMatchesIsInView) {
    // 12 rows of 24 from 74: a track of 288; 48 matches, a quarter in view.
    const PaletteLayout l = palette_layout(1000, 616, Scale{96}, 15, 48);
    EXPECT_FALSE(l.thumb(0, 12, Scale{96}));  // all in view
    EXPECT_EQ(l.thumb(0, 48, Scale{96}), (Rect{815, 74, 818, 74 + 72}));
    EXPECT_EQ(l.thumb(36, 48, Scale{96}), (Rect{815, 74 + 216, 818, 74 + 288}));
    // Never thinner than 8, and never past the track's end.
    EXPECT_EQ(l.thumb(999, 1000, Scale{96}), (Rect{815, 74 + 280, 818, 74 + 288}));
}

TEST(PaletteColors, TakenFromTheTheme) {
    const Theme& theme = default_theme();
    const PaletteColors c = palette_colors(theme);
    // A tenth of the way from (12, 14, 18) to (220, 223, 228).
    EXPECT_EQ(c.fill, (Rgb{33, 35, 39}));
    EXPECT_EQ(c.frame, theme.selection_background);
    EXPECT_EQ(c.field, theme.background);
    EXPECT_EQ(c.text, theme.foreground);
    EXPECT_EQ(c.selected_fill, theme.selection_background);
    EXPECT_EQ(c.selected_text, theme.selection_foreground);
    EXPECT_EQ(c.dim, (Rgb{137, 139, 144}));
}

}  // namespace
}  // namespace tolvar::app
