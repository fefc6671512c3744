// The shipping file system: Win32 calls on UTF-16 paths.
#include <vector>

#include "tolvar/core/file_system.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::core {

Path path_from_utf8(std::string_view utf8) {
    return Path(win::to_wide(utf8));
}
std::string path_to_utf8(const Path& path) {
    return win::from_wide(path.native());
}

namespace {

bool write_all(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

win::UniqueHandle open_file(const Path& path, DWORD access, DWORD disposition) {
    return win::UniqueHandle(CreateFileW(path.c_str(), access,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileType type_from_attributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileType::Symlink;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileType::Directory;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return FileType::Other;
    return FileType::Regular;
}

class WindowsFileSystem final : public FileSystem {
  public:
    Expected<std::string, IoError> read_file(const Path& path) override {
        win::UniqueHandle file = open_file(path, GENERIC_READ, OPEN_EXISTING);
        if (!file) return unexpected(win::last_io_error());
        std::string out;
        char buf[65536];
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(file.get(), buf, sizeof buf, &n, nullptr))
                return unexpected(win::last_io_error());
            if (n == 0) break;
            out.append(buf, n);
        }
        return out;
    }

    Expected<void, IoError> write_file(const Path& path, std::string_view bytes) override {
        win::UniqueHandle file = open_file(path, GENERIC_WRITE, CREATE_ALWAYS);
        if (!file || !write_all(file.get(), bytes) || !FlushFileBuffers(file.get())) {
            return unexpected(win::last_io_error());
        }
        return {};
    }

    Expected<void, IoError> append_file(const Path& path, std::string_view bytes) override {
        win::UniqueHandle file = open_file(path, FILE_APPEND_DATA, OPEN_ALWAYS);
        if (!file || !write_all(file.get(), bytes)) return unexpected(win::last_io_error());
        return {};
    }

    std::optional<char> last_byte(const Path& path) override {
        win::UniqueHandle file = open_file(path, GENERIC_READ, OPEN_EXISTING);
        LARGE_INTEGER back;
        back.QuadPart = -1;
        if (!file || !SetFilePointerEx(file.get(), back, nullptr, FILE_END)) return std::nullopt;
        char c;
        DWORD n = 0;
        if (!ReadFile(file.get(), &c, 1, &n, nullptr) || n != 1) return std::nullopt;
        return c;
    }

    Expected<void, IoError> create_directories(const Path& path) override {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return {};
        }
        const Path parent = path.parent_path();
        if (!parent.empty() && parent != path && parent != path.root_path()) {
            if (auto made = create_directories(parent); !made) return made;
        }
        if (!CreateDirectoryW(path.c_str(), nullptr)) {
            const IoError error = win::last_io_error();
            const DWORD again = GetFileAttributesW(path.c_str());
            if (again == INVALID_FILE_ATTRIBUTES || !(again & FILE_ATTRIBUTE_DIRECTORY)) {
                return unexpected(error);
            }
        }
        return {};
    }

    bool exists(const Path& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != 0;
    }

    FileType type_of(const Path& path) override {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return FileType::None;
        return type_from_attributes(attributes);
    }

    Expected<void, IoError> copy_file(const Path& from, const Path& to) override {
        if (!CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr, 0)) {
            return unexpected(win::last_io_error());
        }
        return {};
    }

    Expected<void, IoError> rename_replace(const Path& from, const Path& to) override {
        if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return unexpected(win::last_io_error());
        }
        return {};
    }

    Expected<void, IoError> remove_file(const Path& path) override {
        if (!DeleteFileW(path.c_str())) return unexpected(win::last_io_error());
        return {};
    }

    Expected<std::vector<DirEntry>, IoError> list_directory(const Path& path) override {
        WIN32_FIND_DATAW data;
        const std::wstring pattern = (path / L"*").native();
        HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0);
        if (find == INVALID_HANDLE_VALUE) return unexpected(win::last_io_error());
        std::vector<DirEntry> entries;
        do {
            const std::wstring_view name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            entries.push_back(
                {Path(std::wstring(name)), type_from_attributes(data.dwFileAttributes)});
        } while (FindNextFileW(find, &data));
        const DWORD code = GetLastError();
        FindClose(find);
        if (code != ERROR_NO_MORE_FILES) {
            return unexpected(IoError{static_cast<int>(code), win::error_text(code), false});
        }
        return entries;
    }
};

}  // namespace

FileSystem& platform_file_system() {
    static WindowsFileSystem fs;
    return fs;
}

}  // namespace tolvar::core
