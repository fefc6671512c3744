// "Save output…" on screen: the standard save dialog, then the tab's history
// and screen written as UTF-8 text.
#include <windows.h>

#include <commdlg.h>

#include "dialogs/dialog_frame_win.hpp"
#include "sessions/output.hpp"
#include "tolvar/core/win/win32.hpp"
#include "window/host_window_win.hpp"
#include "window/system_library_win.hpp"

namespace tolvar::app::win {

void HostWindow::save_output(TabId id) {
    const std::optional<std::string> title =
        cell_.read([&](const AppState& state) -> std::optional<std::string> {
            const Tab* tab = state.find_tab(id);
            if (!tab || !tab->session()) return std::nullopt;
            return display_title(state, *tab);
        });
    if (!title) return;
    SYSTEMTIME today{};
    GetLocalTime(&today);
    std::wstring file =
        core::win::to_wide(output_file_name(*title, today.wYear, today.wMonth, today.wDay));
    file.resize(std::max<std::size_t>(file.size() + 1, 32768), L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd_;
    dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files\0*.*\0";
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    const auto show_dialog =
        system_function<decltype(GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
    if (!show_dialog) {
        win::error_box(hwnd_,
                       "Cannot show the save dialog: " + core::win::error_text(GetLastError()));
        return;
    }
    // A dialog runs its own loop: the state is not held across it.
    if (!show_dialog(&dialog)) return;
    file.resize(wcslen(file.c_str()));

    std::optional<std::string> text;
    if (const Tab* tab = cell_.view().find_tab(id); tab && tab->session()) {
        tab->session()->model().with(
            [&](const pty::TerminalModel& model) { text = output_text(model); });
    }
    if (!text) return;  // the tab closed meanwhile
    const std::string path = core::win::from_wide(file);
    if (auto written = core::platform_file_system().write_file(core::path_from_utf8(path), *text);
        !written) {
        win::error_box(hwnd_, "Cannot save the output to " + path + ": " + written.error().text);
    }
}

}  // namespace tolvar::app::win
