#include "tolvar/core/store.hpp"

#include "tolvar/core/formats.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::core {

namespace {

constexpr std::string_view k_settings_file = "settings.json";
constexpr std::string_view k_profiles_file = "profiles.json";
constexpr std::string_view k_aliases_file = "aliases.json";
constexpr std::string_view k_sessions_file = "sessions.json";

Path in_dir(const Path& dir, std::string_view name) {
    return dir / path_from_utf8(name);
}

StoreError message_error(std::string_view file_name, std::string_view text) {
    return StoreError::message(std::string(file_name) + ": " + std::string(text));
}

std::uint32_t schema_of(const Settings& r) {
    return r.schema_version;
}
std::uint32_t schema_of(const ProfilesFile& r) {
    return r.schema_version;
}
std::uint32_t schema_of(const AliasesFile& r) {
    return r.schema_version;
}
std::uint32_t schema_of(const SessionsFile& r) {
    return r.schema_version;
}

template <class T, class Parse>
StoreResult<T> parse_record(std::string_view file_name, std::string_view text, Parse parse) {
    if (!is_valid_utf8(text)) {
        return unexpected(StoreError::io(IoError{0, "stream did not contain valid UTF-8", false}));
    }
    while (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    auto record = parse(text);
    if (!record) return unexpected(message_error(file_name, record.error()));
    if (auto ok = check_schema_version(file_name, schema_of(*record)); !ok) {
        return unexpected(ok.error());
    }
    return std::move(*record);
}

// A save that had to delete the file before renaming the new one into place
// leaves only the temporary file (the new content, written in full before the
// delete) and the backup (the old content) when it is cut off between the
// two. Reading that as "no file" would seed a fresh one, and the next save
// would then replace the backup too: the newest whole content is put back
// instead. Without a temporary file no save was cut off (the user removed
// the file to start afresh), and nothing is brought back.
template <class T, class Parse>
std::optional<T> recover_record(FileSystem& fs, const Path& dir, std::string_view file_name,
                                Parse parse) {
    const Path target = in_dir(dir, file_name);
    if (fs.type_of(in_dir(dir, std::string(file_name) + ".tmp")) != FileType::Regular) return {};
    for (const char* suffix : {".tmp", ".bak"}) {
        const Path left = in_dir(dir, std::string(file_name) + suffix);
        auto bytes = fs.read_file(left);
        if (!bytes) continue;
        auto record = parse_record<T>(file_name, *bytes, parse);
        if (!record) continue;
        // Put back under its name, so the next save keeps it as the backup;
        // if that fails the content is still read and written at that save.
        if (std::string_view(suffix) == ".tmp") {
            (void)fs.rename_replace(left, target);
        } else {
            (void)fs.copy_file(left, target);
        }
        return std::move(*record);
    }
    return std::nullopt;
}

// A file that does not exist reads as nothing, which is not an error.
template <class T, class Parse>
StoreResult<std::optional<T>> read_file_record(FileSystem& fs, const Path& dir,
                                               std::string_view file_name, Parse parse) {
    auto bytes = fs.read_file(in_dir(dir, file_name));
    if (!bytes) {
        if (bytes.error().not_found) return recover_record<T>(fs, dir, file_name, parse);
        return unexpected(StoreError::io(bytes.error()));
    }
    auto record = parse_record<T>(file_name, *bytes, parse);
    if (!record) return unexpected(std::move(record.error()));
    return std::optional<T>(std::move(*record));
}

StoreResult<void> save_text(FileSystem& fs, const Path& dir, std::string_view file_name,
                            const std::string& text) {
    if (auto made = fs.create_directories(dir); !made) {
        return unexpected(StoreError::io(made.error()));
    }
    return write_atomic(fs, dir, file_name, text);
}

}  // namespace

StoreResult<std::optional<Settings>> read_settings_file(FileSystem& fs, const Path& dir) {
    return read_file_record<Settings>(fs, dir, k_settings_file, parse_settings);
}
StoreResult<std::optional<ProfilesFile>> read_profiles_file(FileSystem& fs, const Path& dir) {
    return read_file_record<ProfilesFile>(fs, dir, k_profiles_file, parse_profiles_file);
}
StoreResult<std::optional<AliasesFile>> read_aliases_file(FileSystem& fs, const Path& dir) {
    return read_file_record<AliasesFile>(fs, dir, k_aliases_file, parse_aliases_file);
}
StoreResult<std::optional<SessionsFile>> read_sessions_file(FileSystem& fs, const Path& dir) {
    return read_file_record<SessionsFile>(fs, dir, k_sessions_file, parse_sessions_file);
}

StoreResult<Path> resolve_data_dir(FileSystem& fs, const std::optional<std::string>& appdata) {
    if (!appdata) {
        return unexpected(StoreError::message("APPDATA environment variable is not set"));
    }
    Path dir = path_from_utf8(*appdata) / "tolvar";
    if (auto made = fs.create_directories(dir / "history"); !made) {
        return unexpected(StoreError::io(made.error()));
    }
    return dir;
}

StoreResult<Path> resolve_data_dir() {
    return resolve_data_dir(platform_file_system(), environment_variable("APPDATA"));
}

StoreResult<void> check_schema_version(std::string_view file_name, std::uint32_t version) {
    if (version <= k_supported_schema_version) return {};
    return unexpected(StoreError::message(std::string(file_name) + ": schema_version " +
                                          std::to_string(version) + " is newer than supported " +
                                          std::to_string(k_supported_schema_version)));
}

namespace {

// A file that exists but cannot be read leaves its record at the default, and
// its content survives only one save (in the backup); the second save would
// replace that backup too. A copy beside it keeps the content for the user
// to mend by hand.
LoadProblem keep_unreadable(FileSystem& fs, const Path& dir, std::string_view file_name,
                            StoreError error) {
    const Path copy = in_dir(dir, std::string(file_name).append(k_unreadable_suffix));
    const bool kept = fs.copy_file(in_dir(dir, file_name), copy).has_value();
    return {LoadProblem::Kind::Unreadable, std::string(file_name), std::move(error),
            kept ? std::optional(copy) : std::nullopt};
}

void note_unwritten(std::vector<LoadProblem>& problems, std::string_view file_name,
                    StoreResult<void> written) {
    if (!written) {
        problems.push_back({LoadProblem::Kind::NotWritten, std::string(file_name),
                            std::move(written.error()), std::nullopt});
    }
}

}  // namespace

std::vector<LoadProblem> load_at_startup(FileSystem& fs, const Path& dir, LoadedConfig& config) {
    std::vector<LoadProblem> problems;
    // First run: no file, and nothing left of one by a cut-off save.
    bool settings_existed = true;
    if (auto r = read_settings_file(fs, dir)) {
        settings_existed = r->has_value();
        config.settings = r->has_value() ? std::move(**r) : fresh_settings();
    } else {
        problems.push_back(keep_unreadable(fs, dir, k_settings_file, std::move(r.error())));
    }
    if (auto r = read_profiles_file(fs, dir)) {
        config.profiles =
            r->has_value() ? std::move((*r)->profiles) : std::vector<ConnectionProfile>{};
    } else {
        problems.push_back(keep_unreadable(fs, dir, k_profiles_file, std::move(r.error())));
    }
    bool aliases_existed = true;
    if (auto r = read_aliases_file(fs, dir)) {
        aliases_existed = r->has_value();
        if (r->has_value()) {
            config.aliases = std::move((*r)->aliases);
            config.quick_keys = std::move((*r)->quick_keys);
        } else {
            config.aliases.clear();
            config.quick_keys.clear();
        }
    } else {
        // Never saved over after the first run, so it needs no copy.
        problems.push_back({LoadProblem::Kind::Unreadable, std::string(k_aliases_file),
                            std::move(r.error()), std::nullopt});
    }
    if (!settings_existed) {
        note_unwritten(problems, k_settings_file, save_settings(fs, dir, config.settings));
    }
    if (!aliases_existed) {
        config.quick_keys = {QuickKey{"Ctrl+Alt+R", RenameTab{}},
                             QuickKey{"Ctrl+Alt+H", ShowHelp{}}};
        note_unwritten(problems, k_aliases_file,
                       save_aliases(fs, dir, config.aliases, config.quick_keys));
    }
    config.data_dir = dir;
    return problems;
}

LoadedSessions load_sessions(FileSystem& fs, const Path& dir) {
    auto r = read_sessions_file(fs, dir);
    if (!r) return {{}, keep_unreadable(fs, dir, k_sessions_file, std::move(r.error()))};
    if (!r->has_value()) return {};
    return {std::move((*r)->sessions), std::nullopt};
}

StoreResult<void> save_settings(FileSystem& fs, const Path& dir, const Settings& settings) {
    return save_text(fs, dir, k_settings_file, to_pretty_json(settings));
}

StoreResult<void> save_profiles(FileSystem& fs, const Path& dir,
                                const std::vector<ConnectionProfile>& profiles) {
    return save_text(fs, dir, k_profiles_file,
                     to_pretty_json(ProfilesFile{k_supported_schema_version, profiles}));
}

StoreResult<void> save_aliases(FileSystem& fs, const Path& dir, const std::vector<Alias>& aliases,
                               const std::vector<QuickKey>& quick_keys) {
    return save_text(fs, dir, k_aliases_file,
                     to_pretty_json(AliasesFile{k_supported_schema_version, aliases, quick_keys}));
}

StoreResult<void> save_sessions(FileSystem& fs, const Path& dir,
                                const std::vector<SessionRecord>& sessions) {
    return save_text(fs, dir, k_sessions_file,
                     to_pretty_json(SessionsFile{k_supported_schema_version, sessions}));
}

StoreResult<void> write_atomic(FileSystem& fs, const Path& dir, std::string_view file_name,
                               std::string_view bytes) {
    const Path target = in_dir(dir, file_name);
    const Path temp = in_dir(dir, std::string(file_name) + ".tmp");
    const Path backup = in_dir(dir, std::string(file_name) + ".bak");

    if (auto written = fs.write_file(temp, bytes); !written) {
        return unexpected(StoreError::io(written.error()));
    }
    if (fs.type_of(target) == FileType::Regular) (void)fs.copy_file(target, backup);
    if (fs.rename_replace(temp, target)) return {};

    // Some systems refuse to rename over an existing file: make room first.
    if (auto removed = fs.remove_file(target); !removed) {
        return unexpected(StoreError::io(removed.error()));
    }
    if (auto renamed = fs.rename_replace(temp, target); !renamed) {
        return unexpected(StoreError::io(renamed.error()));
    }
    return {};
}

}  // namespace tolvar::core
