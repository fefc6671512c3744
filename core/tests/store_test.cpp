#include "tolvar/core/store.hpp"

#include <gtest/gtest.h>

#include "test_dirs.hpp"
#include "tolvar/core/formats.hpp"

namespace tolvar::core {
namespace {

using testing::FaultyFileSystem;
using testing::read_all;
using testing::real_fs;
using testing::ScratchDir;
using testing::write_all;

constexpr std::string_view k_seeded_aliases = R"({
  "schema_version": 1,
  "aliases": [],
  "quick_keys": [
    {
      "chord": "Ctrl+Alt+R",
      "action": {
        "type": "rename_tab"
      }
    },
    {
      "chord": "Ctrl+Alt+H",
      "action": {
        "type": "show_help"
      }
    }
  ]
})";

TEST(DataDir, ResolvesUnderAppDataAndCreatesHistory) {
    ScratchDir appdata;
    auto dir = resolve_data_dir(real_fs(), path_to_utf8(appdata.path()));
    ASSERT_TRUE(dir) << dir.error().text();
    EXPECT_EQ(*dir, appdata.path() / "tolvar");
    EXPECT_EQ(real_fs().type_of(*dir / "history"), FileType::Directory);
}

TEST(DataDir, MissingAppDataIsAMessage) {
    auto dir = resolve_data_dir(real_fs(), std::nullopt);
    ASSERT_FALSE(dir);
    EXPECT_EQ(dir.error().kind(), StoreError::Kind::Message);
    EXPECT_EQ(dir.error().text(), "APPDATA environment variable is not set");
}

TEST(DataDir, CreationFailureIsAnIoError) {
    ScratchDir scratch;
    write_all(scratch / "file", "x");  // a file where a directory must go
    auto dir = resolve_data_dir(real_fs(), path_to_utf8(scratch / "file"));
    ASSERT_FALSE(dir);
    EXPECT_EQ(dir.error().kind(), StoreError::Kind::Io);
}

TEST(LoadAtStartup, FirstRunSeedsSettingsAndAliasesWithoutBackups) {
    ScratchDir dir;
    LoadedConfig config;
    load_at_startup(real_fs(), dir.path(), config);

    EXPECT_EQ(read_all(dir / "settings.json"), to_pretty_json(fresh_settings()));
    EXPECT_EQ(read_all(dir / "aliases.json"), k_seeded_aliases);
    for (const char* name : {"settings.json.bak", "aliases.json.bak", "settings.json.tmp",
                             "profiles.json", "sessions.json"}) {
        EXPECT_FALSE(real_fs().exists(dir / name)) << name;
    }
    EXPECT_EQ(config.settings, fresh_settings());
    ASSERT_EQ(config.quick_keys.size(), 2u);
    EXPECT_EQ(config.quick_keys[0], (QuickKey{"Ctrl+Alt+R", RenameTab{}}));
    EXPECT_EQ(config.data_dir, dir.path());
}

TEST(LoadAtStartup, ReadsExistingFiles) {
    ScratchDir dir;
    Settings s = fresh_settings();
    s.track_history = false;
    s.schema_version = 0;
    ASSERT_TRUE(save_settings(real_fs(), dir.path(), s));
    ASSERT_TRUE(save_profiles(real_fs(), dir.path(), {ConnectionProfile{"p", "n", Ssh{"h"}}}));
    write_all(dir / "aliases.json",
              R"({"schema_version":1,"aliases":[{"name":"a","expansion":"b"}]})");

    LoadedConfig config;
    load_at_startup(real_fs(), dir.path(), config);
    EXPECT_EQ(config.settings, s);
    EXPECT_EQ(config.profiles.size(), 1u);
    EXPECT_EQ(config.aliases.size(), 1u);
    EXPECT_TRUE(config.quick_keys.empty());  // an existing file is never seeded
    EXPECT_FALSE(real_fs().exists(dir / "aliases.json.bak"));
}

TEST(LoadAtStartup, BrokenSettingsStayUntouchedUntilTheNextSave) {
    ScratchDir dir;
    const std::string broken = "{\"close_to_tray\": tru";
    write_all(dir / "settings.json", broken);
    LoadedConfig config;
    load_at_startup(real_fs(), dir.path(), config);
    EXPECT_EQ(config.settings, fresh_settings());
    EXPECT_EQ(read_all(dir / "settings.json"), broken);

    ASSERT_TRUE(save_settings(real_fs(), dir.path(), config.settings));
    EXPECT_EQ(read_all(dir / "settings.json.bak"), broken);
    EXPECT_EQ(read_all(dir / "settings.json"), to_pretty_json(fresh_settings()));
}

// Pins a fault: the backup kept an unreadable file's content for one save
// only, so the second profile change lost every hand-written profile.
TEST(LoadAtStartup, AnUnreadableFileOutlivesAnyNumberOfSaves) {
    ScratchDir dir;
    const std::string broken = R"({"schema_version":1,"profiles":[{"id":"p-1",)";
    write_all(dir / "profiles.json", broken);
    write_all(dir / "sessions.json", "[]");
    LoadedConfig config;
    load_at_startup(real_fs(), dir.path(), config);
    EXPECT_TRUE(load_sessions(real_fs(), dir.path()).sessions.empty());
    ASSERT_TRUE(save_profiles(real_fs(), dir.path(), {}));
    ASSERT_TRUE(save_profiles(real_fs(), dir.path(), {}));
    ASSERT_TRUE(save_sessions(real_fs(), dir.path(), {}));
    ASSERT_TRUE(save_sessions(real_fs(), dir.path(), {}));
    EXPECT_EQ(read_all(dir / "profiles.json.unreadable"), broken);
    EXPECT_EQ(read_all(dir / "sessions.json.unreadable"), "[]");
    // Files that read, or are missing, leave no copy.
    EXPECT_FALSE(real_fs().exists(dir / "settings.json.unreadable"));
    load_at_startup(real_fs(), dir.path(), config);
    EXPECT_TRUE(load_sessions(real_fs(), dir.path()).sessions.empty());
    EXPECT_EQ(read_all(dir / "profiles.json.unreadable"), broken);
    EXPECT_EQ(read_all(dir / "sessions.json.unreadable"), "[]");
    EXPECT_FALSE(real_fs().exists(dir / "settings.json.unreadable"));
}

TEST(LoadAtStartup, UnreadableAliasesAreNeitherSeededNorOverwritten) {
    ScratchDir dir;
    write_all(dir / "aliases.json", "{}");
    LoadedConfig config;
    const auto problems = load_at_startup(real_fs(), dir.path(), config);
    EXPECT_TRUE(config.quick_keys.empty());
    EXPECT_EQ(read_all(dir / "aliases.json"), "{}");
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].file, "aliases.json");
    EXPECT_EQ(problems[0].kind, LoadProblem::Kind::Unreadable);
    EXPECT_FALSE(problems[0].kept_as);
}

// What failed at start used to vanish: the user learned neither that a file
// was set aside nor that the first run's files were never written.
TEST(LoadAtStartup, ProblemsSayWhatFailedWhyAndWhereTheCopyIs) {
    ScratchDir dir;
    write_all(dir / "settings.json", R"({"close_to_tray":1})");
    write_all(dir / "sessions.json", "[");
    LoadedConfig config;
    FaultyFileSystem fs;
    fs.fail_writes = 1;  // the first-run aliases.json
    const auto problems = load_at_startup(fs, dir.path(), config);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].kind, LoadProblem::Kind::Unreadable);
    EXPECT_EQ(problems[0].file, "settings.json");
    EXPECT_EQ(problems[0].error.text(),
              "settings.json: invalid type: integer `1`, expected a boolean");
    EXPECT_EQ(problems[0].kept_as, dir / "settings.json.unreadable");
    EXPECT_EQ(problems[1].kind, LoadProblem::Kind::NotWritten);
    EXPECT_EQ(problems[1].file, "aliases.json");
    EXPECT_EQ(problems[1].error.text(), "injected failure");

    const LoadedSessions sessions = load_sessions(real_fs(), dir.path());
    ASSERT_TRUE(sessions.problem);
    EXPECT_EQ(sessions.problem->file, "sessions.json");
    EXPECT_EQ(sessions.problem->kept_as, dir / "sessions.json.unreadable");
    EXPECT_FALSE(load_sessions(real_fs(), (dir / "nowhere")).problem);
    EXPECT_TRUE(load_at_startup(real_fs(), dir.path(), config).size() == 1u);  // settings only
}

TEST(ReadFile, NewerSchemaIsRefusedAndKeptInTheBackupOnSave) {
    ScratchDir dir;
    const std::string v2 = R"({"schema_version":2,"profiles":[]})";
    write_all(dir / "profiles.json", v2);
    auto r = read_profiles_file(real_fs(), dir.path());
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().text(), "profiles.json: schema_version 2 is newer than supported 1");

    LoadedConfig config;
    load_at_startup(real_fs(), dir.path(), config);
    EXPECT_TRUE(config.profiles.empty());
    ASSERT_TRUE(save_profiles(real_fs(), dir.path(), {}));
    EXPECT_EQ(read_all(dir / "profiles.json.bak"), v2);
    EXPECT_EQ(read_profiles_file(real_fs(), dir.path()).value()->schema_version, 1u);
}

TEST(ReadFile, MessagesCarryTheFileName) {
    ScratchDir dir;
    write_all(dir / "settings.json", R"({"close_to_tray":1})");
    EXPECT_EQ(read_settings_file(real_fs(), dir.path()).error().text(),
              "settings.json: invalid type: integer `1`, expected a boolean");
}

TEST(ReadFile, ByteOrderMarksAreSkippedAndInvalidUtf8IsAnIoError) {
    ScratchDir dir;
    write_all(dir / "settings.json", "\xEF\xBB\xBF\xEF\xBB\xBF" + to_pretty_json(fresh_settings()));
    EXPECT_EQ(read_settings_file(real_fs(), dir.path()).value(), fresh_settings());

    write_all(dir / "settings.json", "{\"a\":\"\xff\"}");
    auto r = read_settings_file(real_fs(), dir.path());
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind(), StoreError::Kind::Io);
}

TEST(ReadFile, AbsentFileIsNotAnError) {
    ScratchDir dir;
    auto r = read_sessions_file(real_fs(), dir.path());
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->has_value());
}

TEST(LoadSessions, AnyFailureGivesNoRecords) {
    ScratchDir dir;
    EXPECT_TRUE(load_sessions(real_fs(), dir.path()).sessions.empty());
    write_all(dir / "sessions.json", R"({"schema_version":1,"sessions":[{"id":"a"},{"id":"b"}]})");
    EXPECT_EQ(load_sessions(real_fs(), dir.path()).sessions.size(), 2u);
    write_all(dir / "sessions.json", R"({"schema_version":1,"sessions":[{"id":5}]})");
    EXPECT_TRUE(load_sessions(real_fs(), dir.path()).sessions.empty());
}

TEST(SchemaVersion, OnlyVersionsAboveOneFail) {
    EXPECT_TRUE(check_schema_version("x.json", 0));
    EXPECT_TRUE(check_schema_version("x.json", 1));
    EXPECT_EQ(check_schema_version("x.json", 4294967295u).error().text(),
              "x.json: schema_version 4294967295 is newer than supported 1");
}

TEST(Save, CreatesTheDirectoryAndWritesSchemaOne) {
    ScratchDir scratch;
    const Path dir = scratch / "a" / "b";
    ASSERT_TRUE(save_sessions(real_fs(), dir, {SessionRecord{"s-1-0"}}));
    EXPECT_EQ(read_all(dir / "sessions.json"),
              to_pretty_json(SessionsFile{1, {SessionRecord{"s-1-0"}}}));
}

TEST(WriteAtomic, BackupHoldsThePreviousContentEachTime) {
    ScratchDir dir;
    ASSERT_TRUE(write_atomic(real_fs(), dir.path(), "f.json", "one"));
    EXPECT_FALSE(real_fs().exists(dir / "f.json.bak"));
    ASSERT_TRUE(write_atomic(real_fs(), dir.path(), "f.json", "two"));
    ASSERT_TRUE(write_atomic(real_fs(), dir.path(), "f.json", "three"));
    EXPECT_EQ(read_all(dir / "f.json"), "three");
    EXPECT_EQ(read_all(dir / "f.json.bak"), "two");
    EXPECT_FALSE(real_fs().exists(dir / "f.json.tmp"));
}

TEST(WriteAtomic, FailedTemporaryWriteLeavesTheFileAlone) {
    ScratchDir dir;
    write_all(dir / "f.json", "old");
    FaultyFileSystem fs;
    fs.fail_writes = 1;
    auto r = write_atomic(fs, dir.path(), "f.json", "new");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind(), StoreError::Kind::Io);
    EXPECT_EQ(read_all(dir / "f.json"), "old");
    EXPECT_EQ(fs.renames, 0);
}

TEST(WriteAtomic, RefusedRenameDeletesTheTargetAndRenamesAgain) {
    ScratchDir dir;
    write_all(dir / "f.json", "old");
    FaultyFileSystem fs;
    fs.fail_renames = 1;
    ASSERT_TRUE(write_atomic(fs, dir.path(), "f.json", "new"));
    EXPECT_EQ(fs.renames, 2);
    EXPECT_EQ(fs.removes, 1);
    EXPECT_EQ(read_all(dir / "f.json"), "new");
    EXPECT_EQ(read_all(dir / "f.json.bak"), "old");
}

TEST(WriteAtomic, FailedDeleteOrSecondRenameIsReported) {
    ScratchDir dir;
    write_all(dir / "f.json", "old");
    FaultyFileSystem fs;
    fs.fail_renames = 1;
    fs.fail_removes = 1;
    EXPECT_FALSE(write_atomic(fs, dir.path(), "f.json", "new"));
    EXPECT_EQ(read_all(dir / "f.json"), "old");

    FaultyFileSystem twice;
    twice.fail_renames = 2;
    EXPECT_FALSE(write_atomic(twice, dir.path(), "f.json", "new"));
    // The window the design accepts: only the .tmp and .bak remain.
    EXPECT_FALSE(real_fs().exists(dir / "f.json"));
    EXPECT_EQ(read_all(dir / "f.json.tmp"), "new");
    EXPECT_EQ(read_all(dir / "f.json.bak"), "old");
}

// Pins the loss of every profile when a save was cut off between deleting
// the file and renaming the new one: the start read "no file", and the next
// save replaced the backup as well.
TEST(LoadAtStartup, ASaveCutOffAfterTheDeleteIsFoundInItsTemporaryOrBackupFile) {
    ScratchDir dir;
    LoadedConfig config;
    ASSERT_TRUE(load_at_startup(real_fs(), dir.path(), config).empty());
    ConnectionProfile one;
    one.id = "p1";
    one.name = "one";
    ConnectionProfile two = one;
    two.id = "p2";
    two.name = "two";
    ASSERT_TRUE(save_profiles(real_fs(), dir.path(), {one}));
    ASSERT_TRUE(save_profiles(real_fs(), dir.path(), {one}));
    // The second save's rename is refused, then the process dies after the
    // delete: only the temporary file and the backup remain.
    FaultyFileSystem fs;
    fs.fail_renames = 2;
    ASSERT_FALSE(save_profiles(fs, dir.path(), {one, two}));
    ASSERT_FALSE(real_fs().exists(dir / "profiles.json"));

    LoadedConfig after;
    EXPECT_TRUE(load_at_startup(real_fs(), dir.path(), after).empty());
    ASSERT_EQ(after.profiles.size(), 2u);
    EXPECT_EQ(after.profiles[1].name, "two");
    EXPECT_TRUE(real_fs().exists(dir / "profiles.json"));  // back under its name

    // A temporary file cut short: the backup holds the last whole content.
    ASSERT_TRUE(real_fs().remove_file(dir / "profiles.json"));
    write_all(dir / "profiles.json.tmp", "{\"schema_version\": 1, \"profi");
    LoadedConfig from_backup;
    load_at_startup(real_fs(), dir.path(), from_backup);
    EXPECT_EQ(from_backup.profiles.size(), 1u);

    // Quick keys that came back are not replaced by the first-run ones.
    ASSERT_TRUE(save_aliases(real_fs(), dir.path(), {}, {}));
    ASSERT_TRUE(real_fs().rename_replace(dir / "aliases.json", dir / "aliases.json.tmp"));
    LoadedConfig aliases;
    load_at_startup(real_fs(), dir.path(), aliases);
    EXPECT_TRUE(aliases.quick_keys.empty());

    // Without a temporary file the user removed it: a fresh start.
    ASSERT_TRUE(real_fs().remove_file(dir / "profiles.json"));
    ASSERT_TRUE(real_fs().remove_file(dir / "profiles.json.tmp"));
    LoadedConfig fresh;
    load_at_startup(real_fs(), dir.path(), fresh);
    EXPECT_TRUE(fresh.profiles.empty());
}

TEST(WriteAtomic, ADirectoryInTheWayFailsWithoutBackup) {
    ScratchDir dir;
    ASSERT_TRUE(real_fs().create_directories(dir / "f.json"));
    auto r = write_atomic(real_fs(), dir.path(), "f.json", "new");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind(), StoreError::Kind::Io);
    EXPECT_FALSE(real_fs().exists(dir / "f.json.bak"));
    EXPECT_EQ(real_fs().type_of(dir / "f.json"), FileType::Directory);
}

}  // namespace
}  // namespace tolvar::core
