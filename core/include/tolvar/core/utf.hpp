// UTF-8 and UTF-16 conversions shared by every module. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar::core {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// Decodes the scalar value at `pos` of valid UTF-8 and advances `pos`.
char32_t next_code_point(std::string_view utf8, std::size_t& pos);

void append_utf8(std::string& out, char32_t cp);

// Writes the UTF-8 of a scalar value, 1 to 4 bytes, at `out`; returns the end.
// Inline: encoders of the terminal model call it for every character.
inline char* write_utf8(char32_t cp, char* out) {
    const auto put = [&out](char32_t b) { *out++ = static_cast<char>(b); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | cp >> 6);
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | cp >> 12);
        put(0x80 | (cp >> 6 & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | cp >> 18);
        put(0x80 | (cp >> 12 & 0x3F));
        put(0x80 | (cp >> 6 & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
    return out;
}

// Unpaired surrogates become U+FFFD.
std::string utf16_to_utf8_lossy(std::u16string_view text);
// Nothing when the text holds an unpaired surrogate.
std::optional<std::string> utf16_to_utf8(std::u16string_view text);
// Invalid input bytes become U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);

bool is_unicode_whitespace(char32_t cp);
// Removes Unicode white space at both ends.
std::string_view trim_unicode(std::string_view utf8);

}  // namespace tolvar::core
