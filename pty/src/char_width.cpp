#include "char_width.hpp"

namespace tolvar::pty {
namespace {
#include "char_width_table.inc"
}  // namespace

int char_width(char32_t c) {
    if (c < 0x7f) return c >= 0x20 ? 1 : (c == 0 ? 0 : -1);
    if (c < 0xa0) return -1;
    if (c > 0x10ffff) return 1;
    const std::uint32_t cp = c;
    const unsigned t1 = k_width_tables_0[(cp >> 13) & 0xff];
    const unsigned t2 = k_width_tables_1[128 * t1 + ((cp >> 6) & 0x7f)];
    const unsigned packed = k_width_tables_2[16 * t2 + ((cp >> 2) & 0xf)];
    const unsigned width = (packed >> (2 * (cp & 3))) & 3;
    return width == 3 ? 1 : static_cast<int>(width);
}

}  // namespace tolvar::pty
