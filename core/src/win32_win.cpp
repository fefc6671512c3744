#include "tolvar/core/win/win32.hpp"

#include "tolvar/core/utf.hpp"

namespace tolvar::core::win {

std::wstring to_wide(std::string_view utf8) {
    const std::u16string u16 = utf8_to_utf16(utf8);
    return std::wstring(u16.begin(), u16.end());
}

std::string from_wide(std::wstring_view wide) {
    return utf16_to_utf8_lossy(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

IoError last_io_error() {
    const DWORD code = GetLastError();
    return IoError{static_cast<int>(code), error_text(code),
                   code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND};
}

std::string error_text(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"Unknown error";
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return from_wide(text) + " (os error " + std::to_string(code) + ")";
}

}  // namespace tolvar::core::win
