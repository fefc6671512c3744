// Keys and characters of the main window. The rules that decide what a key
// does are portable; this file only reads the modifier state.
#include "host_window_win.hpp"

namespace tolvar::app::win {

namespace {

// Held when the high bit of the key's state is set; left and right alike.
bool held(int virtual_key) {
    return (GetKeyState(virtual_key) & 0x8000) != 0;
}

Modifiers current_modifiers() {
    return {held(VK_CONTROL), held(VK_SHIFT), held(VK_MENU)};
}

}  // namespace

void HostWindow::on_key_down(WPARAM vk) {
    input_.key_down(static_cast<VirtualKey>(vk), current_modifiers());
}

bool HostWindow::on_system_key_down(WPARAM vk) {
    return input_.system_key_down(static_cast<VirtualKey>(vk), current_modifiers());
}

void HostWindow::on_char(WPARAM code) {
    input_.character(static_cast<char16_t>(code), current_modifiers());
}

}  // namespace tolvar::app::win
