// Display width of a code point, as the reference terminal library counts it.
// Pure function, inline: it runs for every character the model prints.
#pragma once

#include <cstdint>

namespace tolvar::pty {

namespace width_tables {
// Three-level lookup, 2 bits per code point.
extern const std::uint8_t k_width_tables_0[256];
extern const std::uint8_t k_width_tables_1[];
extern const std::uint8_t k_width_tables_2[];
// 0, 1 or 2 columns, or 3 for ambiguous, from the three levels.
inline unsigned table_width(std::uint32_t cp) {
    const unsigned t1 = k_width_tables_0[(cp >> 13) & 0xff];
    const unsigned t2 = k_width_tables_1[128 * t1 + ((cp >> 6) & 0x7f)];
    const unsigned packed = k_width_tables_2[16 * t2 + ((cp >> 2) & 0xf)];
    return (packed >> (2 * (cp & 3))) & 3;
}
// The Basic Multilingual Plane, where nearly all text is, flat: 2 bits per
// code point, ambiguous already narrow; one load instead of three. Made from
// the tables above before main (so not for other static initialisers).
struct BmpWidths {
    BmpWidths();
    std::uint8_t bits[0x4000];
};
extern const BmpWidths k_bmp_widths;
}  // namespace width_tables

// The table's width of a character of the plane, controls not told apart:
// for the encoders, which only ask whether it is wide.
inline unsigned bmp_width(std::uint32_t c) {
    return (width_tables::k_bmp_widths.bits[c >> 2] >> (2 * (c & 3))) & 3;
}

// Columns a character takes: 0, 1 or 2; -1 for C0 and C1 controls and DEL.
// Ambiguous-width characters are narrow.
inline int char_width(char32_t c) {
    using namespace width_tables;
    if (c < 0x7f) return c >= 0x20 ? 1 : (c == 0 ? 0 : -1);
    if (c < 0xa0) return -1;
    if (c < 0x10000) return (k_bmp_widths.bits[c >> 2] >> (2 * (c & 3))) & 3;
    if (c > 0x10ffff) return 1;
    const unsigned width = table_width(c);
    return width == 3 ? 1 : static_cast<int>(width);
}

}  // namespace tolvar::pty
