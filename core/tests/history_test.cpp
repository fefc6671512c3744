#include "tolvar/core/history.hpp"

#include <gtest/gtest.h>

#include "test_dirs.hpp"

namespace tolvar::core {
namespace {

using testing::read_all;
using testing::real_fs;
using testing::ScratchDir;
using testing::write_all;

std::vector<HistoryEntry> read_ok(const Path& dir, std::string_view id) {
    auto r = read_history(real_fs(), dir, id);
    EXPECT_TRUE(r) << r.error().text();
    return r ? *r : std::vector<HistoryEntry>{};
}

TEST(SessionIds, AllowedCharactersOnly) {
    for (const char* ok : {"s-1700000000000-0", "a.b_c-D9", "...", "x"}) {
        EXPECT_TRUE(is_valid_session_id(ok)) << ok;
    }
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "a b", "caf\xc3\xa9", "a:b"}) {
        EXPECT_FALSE(is_valid_session_id(bad)) << bad;
    }
    // An id from sessions.json naming a device sent typed lines to it.
    for (const char* device : {"COM1", "nul", "CON.x", "LPT9", "AUX"}) {
        EXPECT_FALSE(is_valid_session_id(device)) << device;
    }
    for (const char* ok : {"COM10", "console", "s-COM1", "NUL_"}) {
        EXPECT_TRUE(is_valid_session_id(ok)) << ok;
    }
}

TEST(SessionIds, InvalidIdsAreRefusedEverywhereWithoutTouchingFiles) {
    ScratchDir dir;
    EXPECT_EQ(history_path(dir.path(), "a/b").error().text(), "invalid session id: a/b");
    EXPECT_EQ(read_history(real_fs(), dir.path(), "a b").error().text(), "invalid session id: a b");
    EXPECT_FALSE(delete_history(real_fs(), dir.path(), ".."));
    EXPECT_FALSE(append_history_entry(real_fs(), dir.path(), "../x", "ls", 1));
    EXPECT_FALSE(real_fs().exists(dir / "history"));
    EXPECT_FALSE(real_fs().exists(dir / "x.jsonl"));
}

TEST(SubmittedLines, LineEndsAreStrippedAndBlankLinesAreNotRecorded) {
    EXPECT_EQ(strip_line_end("  ls -l  \r\n\r"), "  ls -l  ");
    EXPECT_EQ(strip_line_end("a\rb"), "a\rb");
    EXPECT_TRUE(is_recordable_line(" x "));
    EXPECT_FALSE(is_recordable_line(""));
    EXPECT_FALSE(is_recordable_line(" \t\xe3\x80\x80"));
}

TEST(HistoryFile, AppendThenReadInOrder) {
    ScratchDir dir;
    ASSERT_TRUE(append_history_entry(real_fs(), dir.path(), "s-1-0", "  echo \"hi\"  ", 10));
    ASSERT_TRUE(append_history_entry(real_fs(), dir.path(), "s-1-0", "ls", 0));
    EXPECT_EQ(read_all(dir / "history" / "s-1-0.jsonl"),
              "{\"ts\":10,\"line\":\"  echo \\\"hi\\\"  \"}\n{\"ts\":0,\"line\":\"ls\"}\n");
    EXPECT_EQ(read_ok(dir.path(), "s-1-0"),
              (std::vector<HistoryEntry>{{10, "  echo \"hi\"  "}, {0, "ls"}}));
}

TEST(HistoryFile, MissingFileReadsAsEmpty) {
    ScratchDir dir;
    EXPECT_TRUE(read_ok(dir.path(), "s-9-9").empty());
}

TEST(HistoryFile, BlankLinesCrLfAndAMissingFinalLineFeed) {
    ScratchDir dir;
    ASSERT_TRUE(real_fs().create_directories(dir / "history"));
    write_all(dir / "history" / "s.jsonl",
              "{\"ts\":1,\"line\":\"a\"}\r\n\r\n   "
              "\n{\"ts\":2,\"line\":\"b\"}\n\n{\"ts\":3,\"line\":\"c\"}");
    EXPECT_EQ(read_ok(dir.path(), "s"), (std::vector<HistoryEntry>{{1, "a"}, {2, "b"}, {3, "c"}}));
}

// A crash in the middle of an append leaves a torn last line: it must cost
// that one entry, never the rest of the session's history.
TEST(HistoryFile, TornLineCostsOnlyItself) {
    ScratchDir dir;
    ASSERT_TRUE(append_history_entry(real_fs(), dir.path(), "s", "first", 1));
    const Path file = dir / "history" / "s.jsonl";
    write_all(file, read_all(file) + "{\"ts\":2,\"line\":\"sec\xc3");
    EXPECT_EQ(read_ok(dir.path(), "s"), (std::vector<HistoryEntry>{{1, "first"}}));

    ASSERT_TRUE(append_history_entry(real_fs(), dir.path(), "s", "third", 3));
    EXPECT_EQ(read_ok(dir.path(), "s"), (std::vector<HistoryEntry>{{1, "first"}, {3, "third"}}));
}

TEST(HistoryFile, GarbageLinesAreSkipped) {
    ScratchDir dir;
    ASSERT_TRUE(real_fs().create_directories(dir / "history"));
    write_all(dir / "history" / "s.jsonl",
              "{\"ts\":1,\"line\":\"a\"}\nnot "
              "json\n{\"ts\":-1,\"line\":\"x\"}\n{\"ts\":2,\"line\":\"b\"}\n");
    EXPECT_EQ(read_ok(dir.path(), "s"), (std::vector<HistoryEntry>{{1, "a"}, {2, "b"}}));
}

TEST(HistoryDelete, OneSession) {
    ScratchDir dir;
    EXPECT_TRUE(delete_history(real_fs(), dir.path(), "s-1-0"));  // nothing to delete
    ASSERT_TRUE(append_history_entry(real_fs(), dir.path(), "s-1-0", "ls", 1));
    ASSERT_TRUE(append_history_entry(real_fs(), dir.path(), "s-1-1", "ls", 1));
    EXPECT_TRUE(delete_history(real_fs(), dir.path(), "s-1-0"));
    EXPECT_TRUE(read_ok(dir.path(), "s-1-0").empty());
    EXPECT_EQ(read_ok(dir.path(), "s-1-1").size(), 1u);
}

TEST(HistoryDelete, AllRegularFilesButNotSubdirectories) {
    ScratchDir dir;
    ASSERT_TRUE(append_history_entry(real_fs(), dir.path(), "s-1-0", "ls", 1));
    write_all(dir / "history" / "notes.txt", "x");
    ASSERT_TRUE(real_fs().create_directories(dir / "history" / "keep"));
    write_all(dir / "history" / "keep" / "inner.jsonl", "x");

    ASSERT_TRUE(delete_all_history(real_fs(), dir.path()));
    auto entries = real_fs().list_directory(dir / "history");
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(entries->at(0).name, Path("keep"));
    EXPECT_TRUE(real_fs().exists(dir / "history" / "keep" / "inner.jsonl"));
}

TEST(HistoryDelete, MissingDirectoryIsAnIoError) {
    ScratchDir dir;
    auto r = delete_all_history(real_fs(), dir.path());
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind(), StoreError::Kind::Io);
}

}  // namespace
}  // namespace tolvar::core
