// Entry points of the dialogs and menus, for the main window's keys, mouse
// and notification-area icon. Each runs modally and returns when its choice
// has been carried out; none may be called while the state is borrowed.
// UI thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "tolvar/core/records.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app::win {

class HostWindow;

// Ctrl+Shift+O: lists, edits and opens profiles; saves profiles.json when
// anything changed, then opens the chosen profile.
void show_connection_manager(HostWindow& host);
// Ctrl+Shift+P: asks for an SSH target until it opens or is cancelled.
void quick_connect(HostWindow& host);
// Ctrl+Shift+H and the tab menu: the active tab's recorded lines.
void show_history_viewer(HostWindow& host);

// Right button on a tab item or a group label; `client` is in the main
// window's client coordinates. A tab or group that is gone shows nothing.
void show_tab_menu(HostWindow& host, TabId tab, POINT client);
void show_group_menu(HostWindow& host, GroupId group, POINT client);
// Right button on the notification-area icon; shown at the mouse cursor.
void show_tray_menu(HostWindow& host);

// The profile editor: nothing when cancelled.
std::optional<core::ConnectionProfile> edit_profile(
    HWND owner, const std::optional<core::ConnectionProfile>& profile);
// One line of text, trimmed; nothing when cancelled or empty.
std::optional<std::string> prompt_text(HWND owner, const std::string& title,
                                       const std::string& label, const std::string& initial);

}  // namespace tolvar::app::win
