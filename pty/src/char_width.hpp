// Display width of a code point, as the reference terminal library counts it.
// Pure function.
#pragma once

#include <cstdint>

namespace tolvar::pty {

// Columns a character takes: 0, 1 or 2; -1 for C0 and C1 controls and DEL.
// Ambiguous-width characters are narrow.
int char_width(char32_t c);

}  // namespace tolvar::pty
