// The colour schemes that ship with the program, as the Theme menu lists
// them, and finding one by the name settings.json gives. Portable; the
// table is constant and shared by every thread.
#pragma once

#include <span>
#include <string_view>

#include "look/palette.hpp"

namespace tolvar::app {

// "Default" first, then the published schemes in menu order.
std::span<const Theme> builtin_themes();

// The scheme of that name, ignoring the case of ASCII letters, so a
// hand-written "solarized dark" is found too; nothing for an unknown name.
const Theme* find_theme(std::string_view name);

}  // namespace tolvar::app
