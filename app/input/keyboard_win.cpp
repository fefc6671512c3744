// Keys and characters of the main window. The rules that decide what a key
// does are portable; this file only reads the modifier state.
#include "input/modifiers_win.hpp"
#include "window/host_window_win.hpp"

namespace tolvar::app::win {

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
