// The plain-text path's vector code against the plain loops it replaces.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cells.hpp"
#include "vt_parser.hpp"

namespace tolvar::pty {
namespace {

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

}  // namespace
}  // namespace tolvar::pty
