// The portable rules of the modal dialog frame and the message boxes: DPI
// scaling and reading an edit control. The frame itself is Win32 code.
#pragma once

#include <string>
#include <string_view>

#include "tolvar/app/geometry.hpp"

namespace tolvar::app {

// An edit control is read into 512 UTF-16 units, so at most 511 arrive.
inline constexpr std::size_t k_edit_read_units = 511;

// The first 511 units as UTF-8 (unpaired surrogates become U+FFFD), trimmed.
std::string edit_text_from_utf16(std::u16string_view text);

}  // namespace tolvar::app
