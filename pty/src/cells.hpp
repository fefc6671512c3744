// The compact cell of the on-screen grids (12 bytes) and the combining marks
// kept beside it. Internal to the terminal model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tolvar/pty/terminal_model.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tolvar::pty {

// Text attributes as SGR sets them; `mode` holds the k_bold.. bits.
struct Attrs {
    Color fg;
    Color bg;
    std::uint8_t mode = 0;
    // With k_underline: 0 single, then double, curly, dotted, dashed (the
    // Underline values less one). 0 without it, so equal pens compare equal.
    std::uint8_t underline_style = 0;
    // 0 for the text colour, else 1 + its place in the model's table.
    std::uint16_t underline_color = 0;
    friend bool operator==(const Attrs&, const Attrs&) = default;
};

inline constexpr std::uint8_t k_bold = 1;
inline constexpr std::uint8_t k_italic = 2;
inline constexpr std::uint8_t k_underline = 4;
inline constexpr std::uint8_t k_inverse = 8;
inline constexpr std::uint8_t k_faint = 16;
inline constexpr std::uint8_t k_strikethrough = 32;
inline constexpr std::uint8_t k_conceal = 64;

// Underline colour indexes fit in 8 bits of a cell.
inline constexpr std::uint16_t k_max_underline_colors = 255;

// word: bits 0-20 the base code point (0 = no text), bit 21 wide, bit 22 wide
// continuation, bit 23 "has combining marks", bits 24-30 the attribute mode,
// bit 31 "part of a hyperlink" (the link's id is kept beside the row).
// fg and bg: bits 0-25 the colour (kind in bits 24-25). The bits above a
// colour's kind carry the rest of the pen: fg bits 26-28 the underline style,
// fg bits 29-30 and bg bits 26-31 the underline colour index (high and low
// part), fg bit 31 DECSCA's protection, which only text takes (a blank made
// from a pen has none; a wide character's continuation has its left half's).
// A default cell is all zero, so blank rows are memset, and text without the
// newer attributes leaves those bits zero.
struct CellData {
    static constexpr std::uint32_t k_cp_mask = 0x1fffff;
    static constexpr std::uint32_t k_wide = 1u << 21;
    static constexpr std::uint32_t k_cont = 1u << 22;
    static constexpr std::uint32_t k_marks = 1u << 23;
    static constexpr std::uint32_t k_link = 1u << 31;
    // Any of these sends a write down the careful path.
    static constexpr std::uint32_t k_special = k_wide | k_cont | k_marks;
    static constexpr std::uint32_t k_color_mask = 0x03ffffff;
    static constexpr std::uint32_t k_protected_fg = 1u << 31;

    std::uint32_t word = 0;
    std::uint32_t fg = 0;
    std::uint32_t bg = 0;

    static CellData blank(const Attrs& a) {
        return {static_cast<std::uint32_t>(a.mode) << 24,
                a.fg.bits() | std::uint32_t{a.underline_style} << 26 |
                    std::uint32_t{a.underline_color} >> 6 << 29,
                a.bg.bits() | (std::uint32_t{a.underline_color} & 63) << 26};
    }
    char32_t cp() const { return static_cast<char32_t>(word & k_cp_mask); }
    bool wide() const { return (word & k_wide) != 0; }
    bool cont() const { return (word & k_cont) != 0; }
    bool has_marks() const { return (word & k_marks) != 0; }
    bool linked() const { return (word & k_link) != 0; }
    std::uint8_t mode() const { return static_cast<std::uint8_t>(word >> 24 & 0x7f); }
    std::uint8_t underline_style() const { return static_cast<std::uint8_t>(fg >> 26 & 7); }
    std::uint16_t underline_color() const {
        return static_cast<std::uint16_t>(bg >> 26 | (fg >> 29 & 3) << 6);
    }
    bool is_protected() const { return (fg & k_protected_fg) != 0; }
    // Text, or either half of a wide character.
    bool has_contents() const { return (word & (k_cp_mask | k_wide | k_cont)) != 0; }
    bool is_default() const { return (word | fg | bg) == 0; }
    bool same_attrs(const CellData& o) const {
        return (word >> 24) == (o.word >> 24) && fg == o.fg && bg == o.bg;
    }
};

inline Color color_from_bits(std::uint32_t bits) {
    switch (bits >> 24 & 3) {
        case 1:
            return Color::indexed(static_cast<std::uint8_t>(bits));
        case 2:
            return Color::rgb(static_cast<std::uint8_t>(bits >> 16),
                              static_cast<std::uint8_t>(bits >> 8),
                              static_cast<std::uint8_t>(bits));
        default:
            return Color();
    }
}

// Combining marks of one cell: at most five after the base character, which
// together make the six code points a cell holds.
struct Marks {
    static constexpr int k_max = 5;
    std::uint16_t col = 0;
    std::uint8_t count = 0;
    char32_t cps[k_max] = {};
};

#if defined(__SSE2__)
// Four cells from the words w (w0 w1 w2 w3) and fb (f b f b): the twelve
// words  w0 f b w1 | f b w2 f | b w3 f b.
inline void store_four_cells(char* dst, __m128i w, __m128i fb) {
    const __m128i low = _mm_unpacklo_epi32(w, fb);   // w0 f w1 b
    const __m128i high = _mm_unpackhi_epi32(w, fb);  // w2 f w3 b
    const __m128i v0 = _mm_shuffle_epi32(low, 0xb4);  // w0 f b w1
    const __m128i v1 = _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(fb), _mm_castsi128_ps(high), 0x44));  // f b w2 f
    const __m128i v2 = _mm_shuffle_epi32(high, 0xdb);  // b w3 f b
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), v1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), v2);
}

// store_ascii's vectors for n >= 4: sixteen cells a step, then four, the
// last four overlapping the ones before when n is not a multiple of four.
inline void store_ascii_fours(CellData* out, const char* p, std::size_t n,
                                     std::uint32_t pen, std::uint32_t fg, std::uint32_t bg) {
    const __m128i fb = _mm_setr_epi32(static_cast<int>(fg), static_cast<int>(bg),
                                      static_cast<int>(fg), static_cast<int>(bg));
    // The pen's upper half, which the bytes' zero-extension takes in.
    const __m128i word = _mm_set1_epi16(static_cast<short>(pen >> 16));
    const __m128i zero = _mm_setzero_si128();
    auto* dst = reinterpret_cast<char*>(out);
    const auto sixteen = [&](const char* from, char* to) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i low = _mm_unpacklo_epi8(bytes, zero);
        const __m128i high = _mm_unpackhi_epi8(bytes, zero);
        store_four_cells(to, _mm_unpacklo_epi16(low, word), fb);
        store_four_cells(to + 48, _mm_unpackhi_epi16(low, word), fb);
        store_four_cells(to + 96, _mm_unpacklo_epi16(high, word), fb);
        store_four_cells(to + 144, _mm_unpackhi_epi16(high, word), fb);
    };
    std::size_t i = 0;
    // Two steps a turn: a line's worth of cells costs half the loop's count.
    for (; i + 32 <= n; i += 32, dst += 32 * sizeof(CellData)) {
        sixteen(p + i, dst);
        sixteen(p + i + 16, dst + 16 * sizeof(CellData));
    }
    if (i + 16 <= n) {
        sixteen(p + i, dst);
        i += 16;
    }
    const auto four_at = [&](std::size_t at) {
        int four;
        std::memcpy(&four, p + at, 4);
        const __m128i bytes = _mm_cvtsi32_si128(four);
        store_four_cells(reinterpret_cast<char*>(out + at),
                         _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), word), fb);
    };
    for (; i + 4 <= n; i += 4) four_at(i);
    // The last one to three cells: the last four again, overlapping.
    if (i < n) four_at(n - 4);
}
#endif

// Stores n cells of printable ASCII in one pen: the cell words are `pen` (the
// attribute bits alone, nothing in its low half) with
// the byte, fg and bg as given; the plain-text path's stores.
inline void store_ascii(CellData* out, const char* p, std::size_t n, std::uint32_t pen,
                        std::uint32_t fg, std::uint32_t bg) {
    static_assert(sizeof(CellData) == 12);
    std::size_t i = 0;
#if defined(__SSE2__)
    // Short runs are done before the vectors would be set up.
    if (n >= 8) return store_ascii_fours(out, p, n, pen, fg, bg);
#endif
    for (; i < n; ++i) out[i] = CellData{pen | static_cast<unsigned char>(p[i]), fg, bg};
}

}  // namespace tolvar::pty
