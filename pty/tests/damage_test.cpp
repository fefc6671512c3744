// The damage record: a reader that repaints only what damage_since names,
// from its own copy, ends with the model's screen. Every byte script of the
// model's other tests checks the same through fed() (model_scripts.hpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "model_scripts.hpp"

namespace tolvar::pty {
namespace {

// Edits and moves of every kind the record must see, for random scripts.
const std::vector<std::string> k_edits = {
    "abc", "0123456789", "\r\n", "\n", "\r", "\x1b[2;4r", "\x1b[r", "\x1b[3;5r",
    "\x1b[2S", "\x1b[T", "\x1b[3T", "\x1b[L", "\x1b[2M", "\x1b[3@", "\x1b[2P", "\x1b[4X",
    "\x1b[J", "\x1b[1J", "\x1b[2J", "\x1b[K", "\x1b[1K", "\x1b[2K", "\x1b[10G\xe4\xb8\xad",
    "\x1b[9G\xe4\xb8\xad", "\x1b[10Ga\xcc\x81", "\xcc\x81", "\x1b[H", "\x1b[5;1H", "\x1b[3;8H",
    "\x1b[A", "\x1b[B", "\x1b[C", "\x1b[D", "\x1bM", "\x1b" "D", "\x1b" "E", "\x1b[?1049h",
    "\x1b[?1049l", "\x1b[?47h", "\x1b[?47l", "\x1b" "c", "\x1b#8", "a\x1b[5b", "\x1b[4h",
    "\x1b[4l", "\x1b[?6h", "\x1b[?6l", "\x1b[1;33;44m", "\x1b[0m", "\x1b[7m", "\x1b[3 q",
    "\x1b[?25l", "\x1b[?25h", "\x1b]2;title\x07", "\x1b]1;icon\x07", "\x1b[?2004h",
    "\x1b[?1000h", "\x1b[?1006h", "\x1b[?7l", "\x1b[?7h", "\x1b[?3h", "\x1b" "7", "\x1b" "8",
    "\t", "\b", "\x1b(0qx\x1b(B", "\x1b]8;;http://x/\x1b\\link\x1b]8;;\x1b\\",
    "\x1b[12;12H", "\x1b[?1h", "\x1b=",
};

std::string random_script(std::mt19937& rng, const std::vector<std::string>& pieces, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += pieces[rng() % pieces.size()];
    return s;
}

TEST(Damage, RandomEditsRepaintRightAtEverySplit) {
    std::mt19937 rng(29);
    for (int round = 0; round < 150; ++round) {
        const std::string script = random_script(rng, k_edits, 30);
        expect_damage_repaints(6, 10, script);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round << ": " << testing::PrintToString(script);
            return;
        }
    }
}

// The placer's corpus: text through every path, one character at a time and
// in runs.
TEST(Damage, TheTextCorpusRepaintsRightAtEverySplit) {
    std::mt19937 rng(5);
    for (int round = 0; round < 400; ++round) {
        const std::string script = random_script(rng, k_text_pieces, 60);
        expect_damage_repaints(4, 10, script, 20);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round << ": " << testing::PrintToString(script);
            return;
        }
    }
}

// Real programs' output, in chunks of random sizes, with readers at
// different places.
TEST(Damage, RecordedProgramsRepaintRight) {
    const std::filesystem::path dir = TOLVAR_CAPTURES_DIR;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) GTEST_SKIP() << "no captures at " << dir;
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".bin") continue;
        const std::string stem = entry.path().stem().string();
        unsigned rows = 0, cols = 0;
        ASSERT_EQ(std::sscanf(stem.c_str() + stem.rfind('.') + 1, "%ux%u", &rows, &cols), 2);
        std::ifstream f(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(f), {}};
        ++seen;
        expect_damage_repaints(static_cast<std::uint16_t>(rows), static_cast<std::uint16_t>(cols),
                               bytes);
        std::mt19937 rng(7);
        TerminalModel m(static_cast<std::uint16_t>(rows), static_cast<std::uint16_t>(cols), 100);
        DamageReader every, fifth;
        std::size_t chunks = 0;
        for (std::size_t at = 0; at < bytes.size(); ++chunks) {
            const std::size_t n = 1 + rng() % 300;
            m.feed(std::string_view(bytes).substr(at, n));
            at += n;
            every.catch_up(m);
            if (chunks % 5 == 0) fifth.catch_up(m);
        }
        fifth.catch_up(m);
        EXPECT_EQ(every.differs(m), "") << stem;
        EXPECT_EQ(fifth.differs(m), "") << stem;
    }
    EXPECT_GT(seen, 0);
}

TEST(Damage, AScrollingScreenIsAMoveAndTheNewRows) {
    TerminalModel m(24, 80, 100);
    DamageReader r;
    for (int i = 0; i < 30; ++i) m.feed("line " + std::to_string(i) + "\r\n");
    r.catch_up(m);
    m.feed("a\r\nb\r\nc\r\n");
    const Damage d = m.damage_since(r.seen);
    EXPECT_FALSE(d.everything);
    ASSERT_EQ(d.scrolls.size(), 1u);
    EXPECT_EQ(d.scrolls[0], (ScrollMove{0, 23, 3}));
    EXPECT_EQ(d.rows, (std::vector<std::uint16_t>{20, 21, 22, 23}));
    EXPECT_EQ(d.history_end, 10u);
    EXPECT_FALSE(d.cursor);  // on the last row before and after
    EXPECT_FALSE(d.modes);
    EXPECT_FALSE(d.title);
    r.catch_up(m);
    EXPECT_EQ(r.differs(m), "");

    // Nothing since: nothing to do.
    const Damage none = m.damage_since(r.seen);
    EXPECT_FALSE(none.everything || none.cursor || none.modes || none.title);
    EXPECT_TRUE(none.scrolls.empty() && none.rows.empty());
    EXPECT_EQ(none.now, r.seen);

    // A region scrolled down, and the title.
    m.feed("\x1b[5;10r\x1b[2T\x1b]2;t\x07");
    const Damage region = m.damage_since(r.seen);
    ASSERT_EQ(region.scrolls.size(), 1u);
    EXPECT_EQ(region.scrolls[0], (ScrollMove{4, 9, -2}));
    EXPECT_EQ(region.rows, (std::vector<std::uint16_t>{4, 5}));
    EXPECT_TRUE(region.title);
}

TEST(Damage, ReadersAtDifferentPlacesEachEndRight) {
    std::mt19937 rng(3);
    TerminalModel m(6, 12, 50);
    std::vector<DamageReader> readers(4);
    for (int feed = 0; feed < 400; ++feed) {
        m.feed(random_script(rng, k_edits, 3));
        // Reader i asks every (i*i + 1)th feed.
        for (std::size_t i = 0; i < readers.size(); ++i) {
            if (feed % (i * i + 1) == 0) readers[i].catch_up(m);
        }
        if (feed % 50 == 49) m.set_size(static_cast<std::uint16_t>(4 + rng() % 4),
                                        static_cast<std::uint16_t>(8 + rng() % 6));
    }
    for (DamageReader& r : readers) {
        r.catch_up(m);
        ASSERT_EQ(r.differs(m), "");
    }
    // The readers that ask most seldom got everything only after resizes
    // and screen switches, not each time.
    EXPECT_LT(readers[3].everything, 400 / 10);
}

TEST(Damage, AResizeIsEverythingForReadersFromBefore) {
    TerminalModel m(5, 10, 50);
    DamageReader before, after;
    m.feed("one\r\ntwo\r\nthree");
    before.catch_up(m);
    m.set_size(3, 6);
    after.catch_up(m);
    m.feed("\r\nfour");
    EXPECT_TRUE(m.damage_since(before.seen).everything);
    before.catch_up(m);
    after.catch_up(m);
    EXPECT_EQ(before.differs(m), "");
    EXPECT_EQ(after.differs(m), "");
    EXPECT_EQ(after.everything, 1);
    m.set_size(8, 20);
    after.catch_up(m);
    EXPECT_EQ(after.everything, 2);
    EXPECT_EQ(after.differs(m), "");
}

TEST(Damage, AReaderPastTheBoundGetsEverything) {
    TerminalModel m(30, 20, 50);
    DamageReader far, near;
    far.catch_up(m);
    m.feed("x");
    far.catch_up(m);
    // One scroll entry a feed: lines inserted at a different row each time.
    for (int i = 0; i < 80; ++i) {
        m.feed("\x1b[" + std::to_string(1 + i % 29) + "H\x1b[L" + std::to_string(i));
        if (i == 30) near.catch_up(m);
    }
    const Damage d = m.damage_since(far.seen);
    EXPECT_TRUE(d.everything);
    EXPECT_TRUE(d.scrolls.empty() && d.rows.empty());
    const Damage n = m.damage_since(near.seen);
    EXPECT_FALSE(n.everything);
    EXPECT_EQ(n.scrolls.size(), 49u);
    far.catch_up(m);
    near.catch_up(m);
    EXPECT_EQ(far.differs(m), "");
    EXPECT_EQ(near.differs(m), "");
    EXPECT_EQ(far.everything, 2);
    EXPECT_EQ(near.everything, 1);

    // More than the bound in one feed: everyone from before gets everything.
    std::string many;
    for (int i = 0; i < 70; ++i) many += "\x1b[" + std::to_string(1 + i % 29) + "H\x1b[L";
    m.feed(many);
    EXPECT_TRUE(m.damage_since(near.seen).everything);
    near.catch_up(m);
    EXPECT_EQ(near.differs(m), "");

    // A number the model never gave (another model's) is everything too.
    EXPECT_TRUE(m.damage_since(near.seen + 1).everything);
}

TEST(Damage, ScreenSwitchesAndResetsRepaintRight) {
    const std::string fill = "aaaa\r\nbbbb\r\ncccc\r\ndddd";
    for (const std::string& step :
         {std::string("\x1b[?1049h"), std::string("\x1b[?1049hxy\x1b[?1049l"),
          std::string("\x1b[?47hzz"), std::string("\x1b" "c"),
          std::string("\x1b[?1049hq\x1b" "c\x1b[?47h"), std::string("\x1b#8")}) {
        TerminalModel m(4, 6, 10);
        DamageReader r;
        m.feed(fill);
        r.catch_up(m);
        m.feed(step);
        r.catch_up(m);
        EXPECT_EQ(r.differs(m), "") << testing::PrintToString(step);
        m.feed("\x1b[?47l\x1b[?1049lend");
        r.catch_up(m);
        EXPECT_EQ(r.differs(m), "") << testing::PrintToString(step);
    }
}

}  // namespace
}  // namespace tolvar::pty
