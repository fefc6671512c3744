// The plain-text path's vector code against the plain loops it replaces.
#include <gtest/gtest.h>

#include <algorithm>
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
