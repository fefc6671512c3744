#include "window/system_library_win.hpp"

namespace tolvar::app::win {

FARPROC system_function(const wchar_t* library, const char* name) {
    // Never freed, so a function handed out stays valid; loading a library
    // already loaded only counts one more reference. From the system folder
    // alone: a file of that name beside the program is never run.
    HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace tolvar::app::win
