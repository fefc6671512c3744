// The keys of a mouse message under Wine.
#include <gtest/gtest.h>

#include "input/modifiers_win.hpp"

namespace tolvar::app::win {
namespace {

void set_keyboard(int virtual_key, bool down) {
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[virtual_key] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// A Ctrl+click on a window that did not have the keyboard carries Ctrl in
// the message while the thread's keyboard state says it is up, and the
// other way round once Ctrl went up after the click: the message decides.
TEST(PointerKeys, AreTheMessagesOwnNotTheKeyboardStates) {
    set_keyboard(VK_CONTROL, false);
    PointerKeys keys = pointer_keys(MK_CONTROL | MK_LBUTTON | MK_RBUTTON);
    EXPECT_TRUE(keys.mods.ctrl);
    EXPECT_FALSE(keys.mods.shift);
    EXPECT_TRUE(keys.held.left);
    EXPECT_FALSE(keys.held.middle);
    EXPECT_TRUE(keys.held.right);

    set_keyboard(VK_CONTROL, true);
    keys = pointer_keys(MK_SHIFT);
    EXPECT_FALSE(keys.mods.ctrl);
    EXPECT_TRUE(keys.mods.shift);
    EXPECT_FALSE(keys.held.any());
    set_keyboard(VK_CONTROL, false);

    // Alt is not carried: the thread's state is all there is.
    set_keyboard(VK_MENU, true);
    EXPECT_TRUE(pointer_keys(0).mods.alt);
    set_keyboard(VK_MENU, false);
    EXPECT_FALSE(pointer_keys(0).mods.alt);
}

}  // namespace
}  // namespace tolvar::app::win
