// The configuration store: the data directory, loading the four JSON files at
// start-up, seeding a first run, and saving each file atomically with a
// backup. UI thread only; it never shows anything, it returns what failed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/expected.hpp"
#include "tolvar/core/file_system.hpp"
#include "tolvar/core/records.hpp"

namespace tolvar::core {

inline constexpr std::uint32_t k_supported_schema_version = 1;

class StoreError {
  public:
    enum class Kind { Io, Message };

    static StoreError io(IoError error) { return StoreError(Kind::Io, std::move(error), {}); }
    static StoreError message(std::string text) {
        return StoreError(Kind::Message, {}, std::move(text));
    }

    Kind kind() const { return kind_; }
    const IoError& io_error() const { return io_; }
    // The system's error text for Io, the message otherwise.
    const std::string& text() const { return kind_ == Kind::Io ? io_.text : message_; }

  private:
    StoreError(Kind kind, IoError io, std::string message)
        : kind_(kind), io_(std::move(io)), message_(std::move(message)) {}

    Kind kind_;
    IoError io_;
    std::string message_;
};

template <class T>
using StoreResult = Expected<T, StoreError>;

// What load_at_startup fills: the application state starts with these
// values and keeps them where a file is absent or unreadable.
struct LoadedConfig {
    Settings settings = fresh_settings();
    std::vector<ConnectionProfile> profiles;
    std::vector<Alias> aliases;
    std::vector<QuickKey> quick_keys;
    std::optional<Path> data_dir;
};

// %APPDATA%\tolvar, with its history subdirectory created.
StoreResult<Path> resolve_data_dir(FileSystem& fs, const std::optional<std::string>& appdata);
StoreResult<Path> resolve_data_dir();

// Reading one file: nothing when it does not exist; leading byte-order marks
// are skipped; failures carry the file name ("settings.json: ...").
StoreResult<std::optional<Settings>> read_settings_file(FileSystem& fs, const Path& dir);
StoreResult<std::optional<ProfilesFile>> read_profiles_file(FileSystem& fs, const Path& dir);
StoreResult<std::optional<AliasesFile>> read_aliases_file(FileSystem& fs, const Path& dir);
StoreResult<std::optional<SessionsFile>> read_sessions_file(FileSystem& fs, const Path& dir);

// What went wrong while loading, for the user to read: the program goes on
// with the defaults of what could not be read, and without what could not be
// written.
struct LoadProblem {
    enum class Kind { Unreadable, NotWritten };
    Kind kind;
    std::string file;  // "settings.json"
    StoreError error;
    // Unreadable: where its content was copied, when the copy could be made.
    std::optional<Path> kept_as;
};

// A file that exists but cannot be read (settings, profiles, sessions) is
// copied to "{file}.unreadable", so that later saves cannot lose its content.
inline constexpr std::string_view k_unreadable_suffix = ".unreadable";
std::vector<LoadProblem> load_at_startup(FileSystem& fs, const Path& dir, LoadedConfig& config);

struct LoadedSessions {
    std::vector<SessionRecord> sessions;
    std::optional<LoadProblem> problem;
};
LoadedSessions load_sessions(FileSystem& fs, const Path& dir);

StoreResult<void> save_settings(FileSystem& fs, const Path& dir, const Settings& settings);
StoreResult<void> save_profiles(FileSystem& fs, const Path& dir,
                                const std::vector<ConnectionProfile>& profiles);
StoreResult<void> save_aliases(FileSystem& fs, const Path& dir, const std::vector<Alias>& aliases,
                               const std::vector<QuickKey>& quick_keys);
StoreResult<void> save_sessions(FileSystem& fs, const Path& dir,
                                const std::vector<SessionRecord>& sessions);

StoreResult<void> check_schema_version(std::string_view file_name, std::uint32_t version);

// Writes "{file}.tmp", copies the current file to "{file}.bak", then renames
// the temporary file over the current one.
StoreResult<void> write_atomic(FileSystem& fs, const Path& dir, std::string_view file_name,
                               std::string_view bytes);

}  // namespace tolvar::core
