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
    LinkPress press;
    if (auto state = cell_.borrow())
        press =
            link_press(**state, link_keys_held(), clicks, client(), font_.cell(), scale(), x, y);
    if (!press.open) return press.taken;
    const LinkVerdict verdict = judge_link(press.open->link.target, SystemFolders{});
    std::string failure;
    if (verdict.action == LinkAction::Refuse) {
        failure = "Link not opened: " + verdict.reason;
    } else {
        // "explore" opens a folder and fails on anything else, so a folder
        // swapped for a program after the check is still not run.
        const wchar_t* verb = verdict.action == LinkAction::OpenFolder ? L"explore" : L"open";
        const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
            hwnd_, verb, wide(verdict.target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result <= 32) failure = "Could not open " + verdict.target + ".";
    }
    if (!failure.empty()) workspace_.notify(std::move(failure));
    return true;
}

void HostWindow::on_link_hover(int x, int y) {
    bool changed = false;
    bool over = false;
    if (auto state = cell_.borrow()) {
        changed =
            update_hovered_link(**state, link_keys_held(), client(), font_.cell(), scale(), x, y);
        over = (*state)->hovered_link.has_value();
    }
    if (!changed) return;
    // WM_SETCURSOR came before this move: the pointer follows the new link now.
    SetCursor(LoadCursorW(nullptr, over ? IDC_HAND : IDC_ARROW));
    invalidate();
}

void HostWindow::on_link_keys() {
    POINT p{};
    if (!GetCursorPos(&p) || !ScreenToClient(hwnd_, &p)) return;
    on_link_hover(p.x, p.y);
}

bool HostWindow::on_link_cursor() {
    // The link under the pointer was found by the last move; looking again
    // would read and scan its line once more for every move.
    bool over = false;
    if (auto state = cell_.borrow()) over = (*state)->hovered_link.has_value();
    if (!over || !link_keys_held()) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

}  // namespace tolvar::app::win
