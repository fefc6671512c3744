// Scratch directories and a file system that fails on request, for the store
// and history tests. Runs against the platform's real file system, so the
// same tests exercise the Windows layer under Wine.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tolvar/core/file_system.hpp"
#include "tolvar/core/platform.hpp"

namespace tolvar::core::testing {

class ScratchDir {
  public:
    ScratchDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tolvar-test-" + std::to_string(system_time_100ns()) + "-" +
                 std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const Path& path() const { return path_; }
    Path operator/(const char* name) const { return path_ / name; }

  private:
    Path path_;
};

inline FileSystem& real_fs() {
    return platform_file_system();
}

inline std::string read_all(const Path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void write_all(const Path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Forwards to the real file system; the counters make chosen calls fail.
class FaultyFileSystem final : public FileSystem {
  public:
    int fail_writes = 0;   // next N write_file calls fail
    int fail_renames = 0;  // next N rename_replace calls fail
    int fail_removes = 0;  // next N remove_file calls fail
    int writes = 0;
    int renames = 0;
    int removes = 0;

    Expected<std::string, IoError> read_file(const Path& p) override { return real().read_file(p); }
    Expected<void, IoError> write_file(const Path& p, std::string_view b) override {
        ++writes;
        if (fail_writes > 0 && fail_writes--) return injected();
        return real().write_file(p, b);
    }
    Expected<void, IoError> append_file(const Path& p, std::string_view b) override {
        return real().append_file(p, b);
    }
    std::optional<char> last_byte(const Path& p) override { return real().last_byte(p); }
    Expected<void, IoError> create_directories(const Path& p) override {
        return real().create_directories(p);
    }
    bool exists(const Path& p) override { return real().exists(p); }
    FileType type_of(const Path& p) override { return real().type_of(p); }
    Expected<void, IoError> copy_file(const Path& a, const Path& b) override {
        return real().copy_file(a, b);
    }
    Expected<void, IoError> rename_replace(const Path& a, const Path& b) override {
        ++renames;
        if (fail_renames > 0 && fail_renames--) return injected();
        return real().rename_replace(a, b);
    }
    Expected<void, IoError> remove_file(const Path& p) override {
        ++removes;
        if (fail_removes > 0 && fail_removes--) return injected();
        return real().remove_file(p);
    }
    Expected<std::vector<DirEntry>, IoError> list_directory(const Path& p) override {
        return real().list_directory(p);
    }

  private:
    static FileSystem& real() { return platform_file_system(); }
    static Unexpected<IoError> injected() {
        return unexpected(IoError{5, "injected failure", false});
    }
};

}  // namespace tolvar::core::testing
