#include "view/links_win.hpp"

#include <windows.h>

#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

bool SystemFolders::is_folder(const std::string& path) const {
    const DWORD attrs = GetFileAttributesW(core::win::to_wide(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace tolvar::app::win
