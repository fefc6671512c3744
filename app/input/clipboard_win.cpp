#include "input/clipboard_win.hpp"

#include <cstring>

#include "tolvar/core/utf.hpp"

namespace tolvar::app::win {
namespace {

// Another program (a clipboard manager; Wine's own clipboard bridge right
// after another client took the selection) may hold the clipboard open for a
// moment; one refusal would lose the copy or the paste. A tenth of a second
// at most on the UI thread.
bool open_clipboard(HWND owner) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

void put_clipboard_text(HWND owner, std::string_view utf8) {
    const std::u16string text = core::utf8_to_utf16(utf8);
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return;
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!open_clipboard(owner)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    // On success the clipboard owns the memory.
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    CloseClipboard();
}

std::optional<std::string> read_clipboard_text(HWND owner) {
    if (!open_clipboard(owner)) return std::nullopt;
    std::optional<std::string> result;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const char16_t*>(GlobalLock(data))) {
            const std::size_t capacity = GlobalSize(data) / sizeof(char16_t);
            std::size_t length = 0;
            while (length < capacity && units[length] != 0) ++length;
            result = core::utf16_to_utf8_lossy(std::u16string_view(units, length));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return result;
}

}  // namespace tolvar::app::win
