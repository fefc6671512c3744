// System functions the first paint does not need, from libraries loaded at
// their first call instead of with the program: under Wine, loading comdlg32
// (the save dialog) with the program delayed its first paint by 16 ms and
// more. Any thread.
#pragma once

#include <windows.h>

namespace tolvar::app::win {

// `name` from the system folder's `library`, loaded at the first call and
// kept for the run; null when either is missing, with the reason in
// GetLastError().
FARPROC system_function(const wchar_t* library, const char* name);

// The typed form: system_function<decltype(GetSaveFileNameW)>(...).
template <class Function>
Function* system_function(const wchar_t* library, const char* name) {
    return reinterpret_cast<Function*>(
        reinterpret_cast<void (*)()>(system_function(library, name)));
}

}  // namespace tolvar::app::win
