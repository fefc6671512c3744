// The SSH configuration's files on Windows: a file is read only when it is a
// regular file on disk, so that an Include naming a device or a pipe cannot
// block the window that lists the hosts.
#include <vector>

#include "tolvar/core/platform.hpp"
#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/ssh_config.hpp"

namespace tolvar::proto {

namespace {

core::IoError not_a_file() {
    return core::IoError{ERROR_BAD_FILE_TYPE, std::string(k_not_a_regular_file), false};
}

// The path as the system reads it: "C:\x\COM1" or "NUL.conf" become
// "\\.\COM1" and "\\.\NUL", which the portable rule knows.
std::optional<std::wstring> full_path(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
}

class WindowsSshConfigFiles final : public SshConfigFiles {
  public:
    Expected<std::string, core::IoError> read_file(const std::string& path,
                                                   std::size_t limit) override {
        const std::wstring wide = core::win::to_wide(path);
        const auto full = full_path(wide);
        if (!full) return unexpected(core::win::last_io_error());
        if (names_a_device(core::win::from_wide(*full))) return unexpected(not_a_file());
        core::win::UniqueHandle file(CreateFileW(
            full->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return unexpected(core::win::last_io_error());
        // A pipe or a device reached by another name: reading it could wait forever.
        if (GetFileType(file.get()) != FILE_TYPE_DISK) return unexpected(not_a_file());
        std::string out;
        char buf[65536];
        while (out.size() < limit) {
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(sizeof buf, limit - out.size()));
            DWORD n = 0;
            if (!ReadFile(file.get(), buf, want, &n, nullptr))
                return unexpected(core::win::last_io_error());
            if (n == 0) break;
            out.append(buf, n);
        }
        return out;
    }

    Expected<std::vector<Entry>, core::IoError> list_directory(const std::string& path) override {
        return list_ssh_config_directory(core::platform_file_system(), path);
    }
};

}  // namespace

SshConfigFiles& platform_ssh_config_files() {
    static WindowsSshConfigFiles files;
    return files;
}

}  // namespace tolvar::proto
