#include "char_width.hpp"

namespace tolvar::pty::width_tables {
// Declared extern in the header, so these definitions are visible to it.
#include "char_width_table.inc"

BmpWidths::BmpWidths() : bits{} {
    for (std::uint32_t cp = 0; cp < 0x10000; ++cp) {
        unsigned width = table_width(cp);
        if (width == 3) width = 1;
        bits[cp >> 2] = static_cast<std::uint8_t>(bits[cp >> 2] | width << (2 * (cp & 3)));
    }
}

const BmpWidths k_bmp_widths;
}  // namespace tolvar::pty::width_tables
