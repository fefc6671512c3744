// Byte streams for the conformance test: a fixed corpus covering every
// sequence family the terminal model handles, and seeded random streams that
// mix text, wide and combining characters, controls and escape sequences.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar::vt_oracle {

struct Op {
    enum class Kind { Feed, Size, Dump, Between };
    Kind kind = Kind::Feed;
    std::string bytes;                         // Feed
    std::uint16_t a = 0, b = 0, c = 0, d = 0;  // Size: rows, cols; Between: two positions
};

struct Case {
    std::string name;
    std::uint16_t rows = 24;
    std::uint16_t cols = 80;
    std::size_t scrollback = 0;
    std::vector<Op> ops;
};

std::vector<Case> corpus();
Case random_case(std::uint64_t seed, std::uint64_t index);

// The script line format that vt-oracle reads.
std::string script(const Case& c);

}  // namespace tolvar::vt_oracle
