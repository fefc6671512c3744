// Configuration files damaged in every way a crash, a disk or an editor can
// damage them: the start goes on, keeps the damaged file beside it, says so,
// and every other file reads as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "test_dirs.hpp"
#include "tolvar/core/store.hpp"

namespace tolvar::core {
namespace {

using testing::read_all;
using testing::real_fs;
using testing::ScratchDir;
using testing::write_all;

struct Example {
    LoadedConfig config;
    std::vector<SessionRecord> sessions;
};

// One of everything the files hold, written by the program's own savers.
Example write_example(const Path& dir) {
    Example e;
    e.config.settings = fresh_settings();
    e.config.settings.default_working_dir = "C:\\Users\\\xC3\xA9t\xC3\xA9 \"q\"";
    e.config.profiles = {
        {"p-1", "shell", LocalShell{"cmd.exe /k echo hi"}, "work", 3},
        {"p-2", "srv", Ssh{"srv1", 2222, "root", "C:\\k\\id", {"-v"}}, std::nullopt, std::nullopt},
        {"p-3", "desk", Rdp{"desk", 3389, "u", "D", true, false}, "work", std::nullopt},
        {"p-4", "vnc", Vnc{"v", 5901, std::nullopt, {"-x"}}, std::nullopt, 12},
    };
    e.config.aliases = {{"ll", "ls -l", true}};
    e.config.quick_keys = {QuickKey{"Ctrl+Alt+R", RenameTab{}}};
    e.sessions = {{"s-1", "p-1", "one", "work", 2}, {"s-2", std::nullopt, std::nullopt, {}, {}}};
    EXPECT_TRUE(save_settings(real_fs(), dir, e.config.settings));
    EXPECT_TRUE(save_profiles(real_fs(), dir, e.config.profiles));
    EXPECT_TRUE(save_aliases(real_fs(), dir, e.config.aliases, e.config.quick_keys));
    EXPECT_TRUE(save_sessions(real_fs(), dir, e.sessions));
    return e;
}

struct Loaded {
    LoadedConfig config;
    std::vector<LoadProblem> problems;
    LoadedSessions sessions;
};

Loaded load(const Path& dir) {
    Loaded l;
    l.problems = load_at_startup(real_fs(), dir, l.config);
    l.sessions = load_sessions(real_fs(), dir);
    if (l.sessions.problem) l.problems.push_back(*l.sessions.problem);
    return l;
}

// With `name` holding `bytes`, the start either reads it (a cut that left
// valid JSON) or reports it, keeps it as "<name>.unreadable" when it would
// be saved over, and reads every other file unchanged.
void expect_contained(const Path& dir, const Example& e, const std::string& name,
                      const std::string& bytes) {
    SCOPED_TRACE(name + " of " + std::to_string(bytes.size()) + " bytes");
    const std::string before = read_all(dir / name);
    write_all(dir / name, bytes);
    const Loaded l = load(dir);
    bool reported = false;
    for (const LoadProblem& p : l.problems) {
        ASSERT_EQ(p.file, name);
        ASSERT_EQ(p.kind, LoadProblem::Kind::Unreadable);
        ASSERT_FALSE(p.error.text().empty());
        reported = true;
        if (name != "aliases.json") {
            ASSERT_TRUE(p.kept_as.has_value());
            ASSERT_EQ(read_all(*p.kept_as), bytes);
        }
    }
    if (name != "settings.json") {
        ASSERT_EQ(l.config.settings, e.config.settings);
    }
    if (name != "profiles.json") {
        ASSERT_EQ(l.config.profiles, e.config.profiles);
    }
    if (name != "aliases.json") {
        ASSERT_EQ(l.config.aliases, e.config.aliases);
    }
    if (name != "sessions.json") {
        ASSERT_EQ(l.sessions.sessions, e.sessions);
    }
    if (!reported) {
        ASSERT_EQ(real_fs().read_file(dir / name).value(), bytes);
    }
    write_all(dir / name, before);
}

const char* const k_files[] = {"settings.json", "profiles.json", "aliases.json", "sessions.json"};

TEST(BadFiles, EveryFileCutAtEveryByte) {
    ScratchDir dir;
    const Example e = write_example(dir.path());
    for (const char* name : k_files) {
        const std::string whole = read_all(dir / name);
        for (std::size_t n = 0; n < whole.size(); ++n) {
            expect_contained(dir.path(), e, name, whole.substr(0, n));
            if (HasFatalFailure()) return;
        }
    }
}

TEST(BadFiles, NulsInvalidUtf8ABomInsideHugeAndDeeplyNested) {
    ScratchDir dir;
    const Example e = write_example(dir.path());
    for (const char* name : k_files) {
        const std::string whole = read_all(dir / name);
        const std::size_t mid = whole.find(':') + 1;
        const std::vector<std::string> cases = {
            std::string(whole.size(), '\0'),
            whole.substr(0, mid) + "\xff\xfe" + whole.substr(mid),
            whole.substr(0, mid) + "\xEF\xBB\xBF" + whole.substr(mid),
            std::string(100000, '[') + std::string(100000, ']'),
            "{\"schema_version\":1,\"x\":" + std::string(100000, '{'),
        };
        for (const std::string& bytes : cases) {
            expect_contained(dir.path(), e, name, bytes);
            if (HasFatalFailure()) return;
        }
    }
    // 50 MB of one long string: read, refused and kept in well under the
    // time a user waits for a window.
    std::string huge = "{\"schema_version\":1,\"x\":\"";
    huge.append(50u << 20, 'a');
    const auto start = std::chrono::steady_clock::now();
    expect_contained(dir.path(), e, "profiles.json", huge);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace tolvar::core
