// Keys and characters of the main window. The rules that decide what a key
// does are portable; this file only reads the modifier state.
#include "host_window_win.hpp"
#include "modifiers_win.hpp"

namespace tolvar::app::win {

namespace {

// TEMPORARY, for trying the command palette out until the commands have
// their own vocabulary: Ctrl+Shift+Space lists the open tabs.
void open_palette_of_tabs(HostWindow& host) {
    std::vector<PaletteEntry> entries;
    std::vector<TabId> ids;
    if (auto state = host.state().borrow()) {
        for (const Tab& tab : (*state)->tabs()) {
            // Ctrl+1..9 select the first nine.
            std::string chord;
            if (ids.size() < 9) chord = "Ctrl+" + std::to_string(ids.size() + 1);
            entries.push_back({"Go to tab: " + display_title(**state, tab), chord, ids.size()});
            ids.push_back(tab.id());
        }
    }
    host.open_palette(std::move(entries), [&host, ids](std::size_t key) {
        if (key < ids.size()) host.workspace().set_active_tab(ids[key]);
    });
    // The space the chord typed is already queued for this window.
    MSG pending;
    if (PeekMessageW(&pending, host.hwnd(), WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
        pending.wParam == L' ') {
        PeekMessageW(&pending, host.hwnd(), WM_CHAR, WM_CHAR, PM_REMOVE);
    }
}

}  // namespace

void HostWindow::on_key_down(WPARAM vk) {
    const Modifiers held = current_modifiers();
    if (vk == VK_SPACE && held.ctrl && held.shift && !held.alt) {
        open_palette_of_tabs(*this);
        return;
    }
    input_.key_down(static_cast<VirtualKey>(vk), held);
}

bool HostWindow::on_system_key_down(WPARAM vk) {
    return input_.system_key_down(static_cast<VirtualKey>(vk), current_modifiers());
}

void HostWindow::on_char(WPARAM code) {
    input_.character(static_cast<char16_t>(code), current_modifiers());
}

}  // namespace tolvar::app::win
