// Keys and characters of the main window: shortcuts, quick keys and the
// bytes sent to sessions.
#include "host_window_win.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app::win {

void HostWindow::on_key_down(WPARAM) {
    // Shortcuts, quick keys and key translation arrive with the input rules.
}

void HostWindow::on_char(WPARAM code) {
    // Backspace sends DEL and Ctrl+Backspace BS, as terminals expect.
    char16_t unit = static_cast<char16_t>(code);
    if (unit == 0x7F) {
        unit = 0x08;
    } else if (unit == 0x08) {
        unit = 0x7F;
    }
    auto state = cell_.borrow();
    if (!state) return;
    Tab* tab = (*state)->active_tab();
    if (!tab || !tab->session) return;
    tab->session->write(core::utf16_to_utf8_lossy(std::u16string_view(&unit, 1)));
}

}  // namespace tolvar::app::win
