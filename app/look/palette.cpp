#include "look/palette.hpp"

namespace tolvar::app {

const Theme& default_theme() {
    static constexpr Theme theme{"Default",
                                 {220, 223, 228},
                                 {12, 14, 18},
                                 {225, 229, 237},
                                 {240, 244, 250},
                                 {52, 101, 164},
                                 {{{12, 12, 12},
                                   {197, 15, 31},
                                   {19, 161, 14},
                                   {193, 156, 0},
                                   {0, 55, 218},
                                   {136, 23, 152},
                                   {58, 150, 221},
                                   {204, 204, 204},
                                   {118, 118, 118},
                                   {231, 72, 86},
                                   {22, 198, 12},
                                   {249, 241, 165},
                                   {59, 120, 255},
                                   {180, 0, 158},
                                   {97, 214, 214},
                                   {242, 242, 242}}}};
    return theme;
}

Palette::Palette() : Palette(default_theme()) {}

Palette::Palette(const Theme& theme, bool bold_is_bright)
    : theme_(theme), bold_is_bright_(bold_is_bright) {
    for (int i = 0; i < 16; ++i) table_[i] = theme.ansi[i];
    constexpr std::uint8_t levels[6] = {0, 95, 135, 175, 215, 255};
    for (int i = 0; i < 216; ++i) {
        table_[16 + i] = {levels[i / 36], levels[i / 6 % 6], levels[i % 6]};
    }
    for (int i = 0; i < 24; ++i) {
        const auto grey = static_cast<std::uint8_t>(8 + 10 * i);
        table_[232 + i] = {grey, grey, grey};
    }
}

Rgb Palette::foreground(pty::Color color, bool bold) const {
    switch (color.kind()) {
        case pty::Color::Kind::Default:
            return theme_.foreground;
        case pty::Color::Kind::Indexed: {
            const std::uint8_t i = color.index();
            return table_[bold && bold_is_bright_ && i < 8 ? i + 8 : i];
        }
        case pty::Color::Kind::Rgb:
            return {color.r(), color.g(), color.b()};
    }
    return theme_.foreground;
}

Rgb Palette::background(pty::Color color) const {
    switch (color.kind()) {
        case pty::Color::Kind::Default:
            return theme_.background;
        case pty::Color::Kind::Indexed:
            return table_[color.index()];
        case pty::Color::Kind::Rgb:
            return {color.r(), color.g(), color.b()};
    }
    return theme_.background;
}

}  // namespace tolvar::app
