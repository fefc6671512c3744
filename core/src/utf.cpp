#include "tolvar/core/utf.hpp"

namespace tolvar::core {

namespace {

// Length and value of the UTF-8 sequence at `pos`, or length 0 if invalid.
struct Decoded {
    std::size_t length;
    char32_t cp;
};

Decoded decode_at(std::string_view s, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(pos);
    if (b0 < 0x80) return {1, b0};
    std::size_t n;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return {0, 0};
    }
    if (pos + n > s.size()) return {0, 0};
    for (std::size_t i = 1; i < n; ++i) {
        const unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80) return {0, 0};
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {0, 0};
    return {n, cp};
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const Decoded d = decode_at(bytes, pos);
        if (d.length == 0) return false;
        pos += d.length;
    }
    return true;
}

char32_t next_code_point(std::string_view utf8, std::size_t& pos) {
    const Decoded d = decode_at(utf8, pos);
    if (d.length == 0) {
        ++pos;
        return 0xFFFD;
    }
    pos += d.length;
    return d.cp;
}

void append_utf8(std::string& out, char32_t cp) {
    char buf[4];
    out.append(buf, write_utf8(cp, buf));
}

namespace {

std::optional<std::string> from_utf16(std::u16string_view text, bool lossy) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            if (!lossy) return std::nullopt;
            c = 0xFFFD;
        }
        append_utf8(out, c);
    }
    return out;
}

}  // namespace

std::string utf16_to_utf8_lossy(std::u16string_view text) {
    return *from_utf16(text, true);
}

std::optional<std::string> utf16_to_utf8(std::u16string_view text) {
    return from_utf16(text, false);
}

std::u16string utf8_to_utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t cp = next_code_point(text, pos);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

bool is_unicode_whitespace(char32_t cp) {
    // The White_Space property.
    switch (cp) {
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x20:
        case 0x85:
        case 0xA0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return cp >= 0x2000 && cp <= 0x200A;
    }
}

std::string_view trim_unicode(std::string_view utf8) {
    std::size_t begin = 0;
    while (begin < utf8.size()) {
        std::size_t next = begin;
        if (!is_unicode_whitespace(next_code_point(utf8, next))) break;
        begin = next;
    }
    std::size_t end = utf8.size();
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && (static_cast<unsigned char>(utf8[start]) & 0xC0) == 0x80) --start;
        std::size_t probe = start;
        if (!is_unicode_whitespace(next_code_point(utf8, probe))) break;
        end = start;
    }
    return utf8.substr(begin, end - begin);
}

}  // namespace tolvar::core
