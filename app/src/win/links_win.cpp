// Ctrl+click on a link in a pane, and the hand pointer over one.
#include "links_win.hpp"

#include <windows.h>

#include <shellapi.h>

#include "host_window_win.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

namespace {

std::wstring wide(const std::string& utf8) {
    return core::win::to_wide(utf8);
}

}  // namespace

bool SystemFolders::is_folder(const std::string& path) const {
    const DWORD attrs = GetFileAttributesW(wide(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool link_keys_held() {
    return GetKeyState(VK_CONTROL) < 0;
}

bool HostWindow::on_link_click(int x, int y, int clicks) {
    LinkPress press = link_press(cell_.view(), link_keys_held(), clicks, client(), font_.cell(),
                                 scale(), x, y);
    if (!press.open) return press.taken;
    commands_.execute(cmd::OpenLink{std::move(press.open->link.target)});
    return true;
}

void HostWindow::on_link_hover(int x, int y) {
    cell_.change(
        [ctrl = link_keys_held(), area = client(), cell = font_.cell(), chrome = scale(), x,
         y](AppState& state) {
            if (!update_hovered_link(state, ctrl, area, cell, chrome, x, y)) return std::optional<bool>();
            return std::optional<bool>(state.hovered_link.has_value());
        },
        [this](std::optional<bool> over) {
            if (!over) return;
            // WM_SETCURSOR came before this move: the pointer follows the new link now.
            SetCursor(LoadCursorW(nullptr, *over ? IDC_HAND : IDC_ARROW));
            invalidate();
        });
}

void HostWindow::on_link_keys() {
    POINT p{};
    if (!GetCursorPos(&p) || !ScreenToClient(hwnd_, &p)) return;
    on_link_hover(p.x, p.y);
}

bool HostWindow::on_link_cursor() {
    // The link under the pointer was found by the last move; looking again
    // would read and scan its line once more for every move.
    const bool over = cell_.view().hovered_link.has_value();
    if (!over || !link_keys_held()) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

}  // namespace tolvar::app::win
