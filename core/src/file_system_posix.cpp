// The native build's file system: POSIX calls, for the tests of the portable
// core on the development machine. The program ships the Windows one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tolvar/core/file_system.hpp"

namespace tolvar::core {

Path path_from_utf8(std::string_view utf8) {
    return Path(std::string(utf8));
}
std::string path_to_utf8(const Path& path) {
    return path.string();
}

namespace {

IoError last_error() {
    const int code = errno;
    return IoError{code,
                   std::string(std::strerror(code)) + " (os error " + std::to_string(code) + ")",
                   code == ENOENT};
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

  private:
    int fd_;
};

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

FileType type_from_mode(mode_t mode) {
    if (S_ISREG(mode)) return FileType::Regular;
    if (S_ISDIR(mode)) return FileType::Directory;
    if (S_ISLNK(mode)) return FileType::Symlink;
    return FileType::Other;
}

class PosixFileSystem final : public FileSystem {
  public:
    Expected<std::string, IoError> read_file(const Path& path) override {
        Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.ok()) return unexpected(last_error());
        std::string out;
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd.get(), buf, sizeof buf);
            if (n < 0) {
                if (errno == EINTR) continue;
                return unexpected(last_error());
            }
            if (n == 0) break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

    Expected<void, IoError> write_file(const Path& path, std::string_view bytes) override {
        Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd.ok() || !write_all(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
            return unexpected(last_error());
        }
        return {};
    }

    Expected<void, IoError> append_file(const Path& path, std::string_view bytes) override {
        Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (!fd.ok() || !write_all(fd.get(), bytes)) return unexpected(last_error());
        return {};
    }

    std::optional<char> last_byte(const Path& path) override {
        Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.ok() || ::lseek(fd.get(), -1, SEEK_END) < 0) return std::nullopt;
        char c;
        if (::read(fd.get(), &c, 1) != 1) return std::nullopt;
        return c;
    }

    Expected<void, IoError> create_directories(const Path& path) override {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        if (ec) {
            return unexpected(
                IoError{ec.value(), ec.message() + " (os error " + std::to_string(ec.value()) + ")",
                        ec.value() == ENOENT});
        }
        return {};
    }

    bool exists(const Path& path) override {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0;
    }

    FileType type_of(const Path& path) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return FileType::None;
        return type_from_mode(st.st_mode);
    }

    Expected<void, IoError> copy_file(const Path& from, const Path& to) override {
        auto bytes = read_file(from);
        if (!bytes) return unexpected(bytes.error());
        Fd fd(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd.ok() || !write_all(fd.get(), *bytes)) return unexpected(last_error());
        return {};
    }

    Expected<void, IoError> rename_replace(const Path& from, const Path& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return unexpected(last_error());
        return {};
    }

    Expected<void, IoError> remove_file(const Path& path) override {
        if (::unlink(path.c_str()) != 0) return unexpected(last_error());
        return {};
    }

    Expected<std::vector<DirEntry>, IoError> list_directory(const Path& path) override {
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr) return unexpected(last_error());
        std::vector<DirEntry> entries;
        while (const dirent* e = ::readdir(dir)) {
            const std::string_view name = e->d_name;
            if (name == "." || name == "..") continue;
            entries.push_back({Path(std::string(name)), type_of(path / std::string(name))});
        }
        ::closedir(dir);
        return entries;
    }
};

}  // namespace

FileSystem& platform_file_system() {
    static PosixFileSystem fs;
    return fs;
}

}  // namespace tolvar::core
