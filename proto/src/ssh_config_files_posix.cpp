// The SSH configuration's files in the native build, so that portable
// callers link and run there too: only a regular file is read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tolvar/core/platform.hpp"
#include "tolvar/proto/ssh_config.hpp"

namespace tolvar::proto {

namespace {

core::IoError errno_error() {
    const int code = errno;
    return core::IoError{code, std::strerror(code), code == ENOENT || code == ENOTDIR};
}

class PosixSshConfigFiles final : public SshConfigFiles {
  public:
    Expected<std::string, core::IoError> read_file(const std::string& path,
                                                   std::size_t limit) override {
        // Without O_NONBLOCK, opening a pipe with no writer waits for one.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return unexpected(errno_error());
        struct Close {
            int fd;
            ~Close() { ::close(fd); }
        } closer{fd};
        struct stat info;
        if (::fstat(fd, &info) != 0) return unexpected(errno_error());
        if (!S_ISREG(info.st_mode)) {
            return unexpected(core::IoError{EINVAL, std::string(k_not_a_regular_file), false});
        }
        std::string out;
        char buf[65536];
        while (out.size() < limit) {
            const ssize_t n = ::read(fd, buf, std::min(sizeof buf, limit - out.size()));
            if (n < 0) {
                if (errno == EINTR) continue;
                return unexpected(errno_error());
            }
            if (n == 0) break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

    Expected<std::vector<Entry>, core::IoError> list_directory(const std::string& path) override {
        return list_ssh_config_directory(core::platform_file_system(), path);
    }
};

}  // namespace

SshConfigFiles& platform_ssh_config_files() {
    static PosixSshConfigFiles files;
    return files;
}

}  // namespace tolvar::proto
