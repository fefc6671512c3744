// The file operations the store and the history files need, behind one small
// interface: the Windows implementation ships (UTF-16 paths, CopyFileExW,
// MoveFileExW), a POSIX one serves the native build. Tests wrap it to inject
// failures. Not thread-safe beyond what the OS gives.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/expected.hpp"

namespace tolvar::core {

using Path = std::filesystem::path;

// Paths hold UTF-16 on Windows; every text in the core is UTF-8.
Path path_from_utf8(std::string_view utf8);
std::string path_to_utf8(const Path& path);

struct IoError {
    int code = 0;
    std::string text;  // the system's description of the error
    bool not_found = false;
};

enum class FileType { None, Regular, Directory, Symlink, Other };

struct DirEntry {
    Path name;
    FileType type;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The whole file; an absent file fails with not_found set.
    virtual Expected<std::string, IoError> read_file(const Path& path) = 0;
    // Creates or truncates, writes, and flushes to the disk before returning,
    // so that a rename that follows can never expose an empty file.
    virtual Expected<void, IoError> write_file(const Path& path, std::string_view bytes) = 0;
    // Creates the file if needed and appends in one write; never truncates.
    virtual Expected<void, IoError> append_file(const Path& path, std::string_view bytes) = 0;
    // The last byte of a non-empty file; nothing for an absent or empty one.
    virtual std::optional<char> last_byte(const Path& path) = 0;
    virtual Expected<void, IoError> create_directories(const Path& path) = 0;
    // Whether the path's metadata can be read (links are followed).
    virtual bool exists(const Path& path) = 0;
    // The entry itself, links not followed; None when it cannot be read.
    virtual FileType type_of(const Path& path) = 0;
    // Replaces `to` if it exists.
    virtual Expected<void, IoError> copy_file(const Path& from, const Path& to) = 0;
    // Replaces `to` if it exists.
    virtual Expected<void, IoError> rename_replace(const Path& from, const Path& to) = 0;
    virtual Expected<void, IoError> remove_file(const Path& path) = 0;
    // Entries other than "." and "..".
    virtual Expected<std::vector<DirEntry>, IoError> list_directory(const Path& path) = 0;
};

// The implementation of the platform the program was built for.
FileSystem& platform_file_system();

}  // namespace tolvar::core
