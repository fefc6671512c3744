// The modifier keys as the portable key rules take them, read from the
// keyboard state of the message being handled. UI thread only.
#pragma once

#include <windows.h>

#include "tolvar/app/chords.hpp"

namespace tolvar::app::win {

// Held when the high bit of the key's state is set; left and right alike.
inline Modifiers current_modifiers() {
    const auto held = [](int virtual_key) { return (GetKeyState(virtual_key) & 0x8000) != 0; };
    return {held(VK_CONTROL), held(VK_SHIFT), held(VK_MENU)};
}

}  // namespace tolvar::app::win
