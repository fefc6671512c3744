// Full Unicode lower-casing of UTF-8 text, as case-insensitive filters need
// it: the default mappings plus the two contextual ones (U+0130 and the
// final sigma). Pure function, no locale.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::core {

// Invalid UTF-8 bytes become U+FFFD.
std::string to_lowercase(std::string_view utf8);

}  // namespace tolvar::core
