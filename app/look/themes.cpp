#include "look/themes.hpp"

#include <array>

#include "tolvar/core/lowercase.hpp"

namespace tolvar::app {

namespace {

constexpr Rgb hex(std::uint32_t rgb) {
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
            static_cast<std::uint8_t>(rgb)};
}

// The published values of each scheme. Solarized's sixteen follow its own
// terminal mapping (black base02, bright black base03, the bright greens and
// yellows its greys); Tango ships no selection colours, so its own sky blue
// and aluminium stand in.
constexpr std::array<Rgb, 16> k_solarized{
    hex(0x073642), hex(0xdc322f), hex(0x859900), hex(0xb58900), hex(0x268bd2), hex(0xd33682),
    hex(0x2aa198), hex(0xeee8d5), hex(0x002b36), hex(0xcb4b16), hex(0x586e75), hex(0x657b83),
    hex(0x839496), hex(0x6c71c4), hex(0x93a1a1), hex(0xfdf6e3)};

constexpr std::array<Rgb, 16> k_one_half_dark{
    hex(0x282c34), hex(0xe06c75), hex(0x98c379), hex(0xe5c07b), hex(0x61afef), hex(0xc678dd),
    hex(0x56b6c2), hex(0xdcdfe4), hex(0x5a6374), hex(0xe06c75), hex(0x98c379), hex(0xe5c07b),
    hex(0x61afef), hex(0xc678dd), hex(0x56b6c2), hex(0xdcdfe4)};

constexpr std::array<Rgb, 16> k_one_half_light{
    hex(0x383a42), hex(0xe45649), hex(0x50a14f), hex(0xc18401), hex(0x0184bc), hex(0xa626a4),
    hex(0x0997b3), hex(0xfafafa), hex(0x4f525d), hex(0xdf6c75), hex(0x98c379), hex(0xe4c07a),
    hex(0x61afef), hex(0xc577dd), hex(0x56b5c1), hex(0xffffff)};

constexpr std::array<Rgb, 16> k_tango{hex(0x000000), hex(0xcc0000), hex(0x4e9a06), hex(0xc4a000),
                                      hex(0x3465a4), hex(0x75507b), hex(0x06989a), hex(0xd3d7cf),
                                      hex(0x555753), hex(0xef2929), hex(0x8ae234), hex(0xfce94f),
                                      hex(0x729fcf), hex(0xad7fa8), hex(0x34e2e2), hex(0xeeeeec)};

// Fields: name, foreground, background, cursor, selection foreground and
// background, the sixteen. Built on first use, so no other static's
// initialiser can see it empty.
const std::array<Theme, 7>& themes() {
    static const std::array<Theme, 7> table{
        default_theme(),
        Theme{"Solarized Dark", hex(0x839496), hex(0x002b36), hex(0x93a1a1), hex(0x93a1a1),
              hex(0x073642), k_solarized},
        Theme{"Solarized Light", hex(0x657b83), hex(0xfdf6e3), hex(0x586e75), hex(0x586e75),
              hex(0xeee8d5), k_solarized},
        Theme{"One Half Dark", hex(0xdcdfe4), hex(0x282c34), hex(0xa3b3cc), hex(0xdcdfe4),
              hex(0x474e5d), k_one_half_dark},
        Theme{"One Half Light", hex(0x383a42), hex(0xfafafa), hex(0xbfceff), hex(0x383a42),
              hex(0xbfceff), k_one_half_light},
        Theme{"Tango Dark", hex(0xd3d7cf), hex(0x000000), hex(0xffffff), hex(0xeeeeec),
              hex(0x3465a4), k_tango},
        Theme{"Tango Light", hex(0x555753), hex(0xffffff), hex(0x000000), hex(0x2e3436),
              hex(0x729fcf), k_tango},
    };
    return table;
}

}  // namespace

std::span<const Theme> builtin_themes() {
    return themes();
}

const Theme* find_theme(std::string_view name) {
    for (const Theme& theme : themes()) {
        if (core::ascii_iequals(theme.name, name)) return &theme;
    }
    return nullptr;
}

}  // namespace tolvar::app
