// The modifier keys as the portable key rules take them: for a key message,
// from the thread's keyboard state; for a mouse message, from the message.
// UI thread only.
#pragma once

#include <windows.h>

#include "input/chords.hpp"
#include "input/mouse_report.hpp"

namespace tolvar::app::win {

// Held when the high bit of the key's state is set; left and right alike.
inline Modifiers current_modifiers() {
    const auto held = [](int virtual_key) { return (GetKeyState(virtual_key) & 0x8000) != 0; };
    return {held(VK_CONTROL), held(VK_SHIFT), held(VK_MENU)};
}

// The keys and buttons a mouse message carries in its wParam, as they were
// when the event happened. The thread's keyboard state is no substitute: it
// follows only the key messages this window was sent, so a Ctrl pressed
// while another window had the keyboard would be missed, or read after its
// release. Alt is not carried; its state is the thread's.
struct PointerKeys {
    Modifiers mods;
    HeldButtons held;
};

inline PointerKeys pointer_keys(WPARAM keys) {
    return {{(keys & MK_CONTROL) != 0, (keys & MK_SHIFT) != 0, (GetKeyState(VK_MENU) & 0x8000) != 0},
            {(keys & MK_LBUTTON) != 0, (keys & MK_MBUTTON) != 0, (keys & MK_RBUTTON) != 0}};
}

}  // namespace tolvar::app::win
