// Mouse input of the main window: tab bar clicks, panes, text selection.
#include "host_window_win.hpp"

namespace tolvar::app::win {

void HostWindow::on_left_button_down(int, int) {
    // Tab bar, panes and selection arrive with the view.
}

void HostWindow::on_left_button_up() {
    ReleaseCapture();
}

void HostWindow::on_left_double_click(int, int) {}

void HostWindow::on_mouse_move(int, int) {}

void HostWindow::on_right_button_down(int, int) {}

void HostWindow::on_middle_button_down(int, int) {}

}  // namespace tolvar::app::win
