// Clipboard text in and out, CF_UNICODETEXT only. A clipboard held open by
// another program is tried again for a moment; failures are then silent: the
// clipboard is an interactive convenience, never worth a message. UI thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace tolvar::app::win {

// Replaces the clipboard's content with `utf8`, owned by `owner`.
void put_clipboard_text(HWND owner, std::string_view utf8);

// The clipboard's text up to its first NUL, as UTF-8 with invalid units
// replaced; nothing when there is no text or the clipboard is busy.
std::optional<std::string> read_clipboard_text(HWND owner);

}  // namespace tolvar::app::win
