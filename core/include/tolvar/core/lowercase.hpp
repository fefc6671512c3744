// Full Unicode lower-casing of UTF-8 text, as case-insensitive filters need
// it: the default mappings plus the two contextual ones (U+0130 and the
// final sigma). Pure function, no locale.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::core {

// A..Z to a..z, every other byte as it is: for names and keywords the
// system defines in ASCII (options, schemes, device names).
constexpr char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr bool ascii_iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

// Invalid UTF-8 bytes become U+FFFD.
std::string to_lowercase(std::string_view utf8);

// Writes the lower-case form of one code point taken out of its context, as
// a search compares pieces of words (capital sigma becomes the medial form),
// as UTF-8 of at most 4 bytes at `out`, and returns the end.
char* lowercase_utf8(char32_t cp, char* out);

}  // namespace tolvar::core
