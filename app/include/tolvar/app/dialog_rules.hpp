// The portable rules of the modal dialog frame and the message boxes: DPI
// scaling and reading an edit control. The frame itself is Win32 code.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::app {

// Dialog sizes are given in 1/96 inch; a DPI below 96 counts as 96.
constexpr int scale_for_dpi(int value, unsigned dpi) {
    return static_cast<int>(static_cast<long long>(value) * (dpi < 96 ? 96 : dpi) / 96);
}

// An edit control is read into 512 UTF-16 units, so at most 511 arrive.
inline constexpr std::size_t k_edit_read_units = 511;

// The first 511 units as UTF-8 (unpaired surrogates become U+FFFD), trimmed.
std::string edit_text_from_utf16(std::u16string_view text);

}  // namespace tolvar::app
