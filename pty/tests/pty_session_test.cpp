#include "tolvar/pty/pty_session.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "tolvar/core/file_system.hpp"

namespace tolvar::pty {
namespace {

namespace fs = std::filesystem;

TEST(SessionIds, ConsecutiveAndUniqueAcrossThreads) {
    const SessionId first = take_session_id();
    EXPECT_GE(first, 1u);
    EXPECT_EQ(take_session_id(), first + 1);

    std::vector<std::vector<SessionId>> taken(4);
    std::vector<std::thread> threads;
    for (auto& ids : taken) {
        threads.emplace_back([&ids] {
            for (int i = 0; i < 1000; ++i) ids.push_back(take_session_id());
        });
    }
    for (auto& t : threads) t.join();
    std::set<SessionId> all;
    for (const auto& ids : taken) all.insert(ids.begin(), ids.end());
    EXPECT_EQ(all.size(), 4000u);
    EXPECT_GT(*all.begin(), first + 1);
}

TEST(CommandLine, CallerThenComspecThenDefaultShell) {
    struct Case {
        std::optional<std::string> command;
        std::optional<std::string> comspec;
        std::string expected;
    };
    const std::string shell(k_default_shell);
    const Case cases[] = {
        {"ssh.exe host", "D:\\sh.exe", "ssh.exe host"},
        {std::nullopt, "D:\\sh.exe", "D:\\sh.exe"},
        {std::nullopt, std::nullopt, shell},  // unset or not valid Unicode
        {std::nullopt, "", shell},
        {std::nullopt, "   ", shell},
        {std::nullopt, "\t\xe3\x80\x80\xc2\xa0", shell},  // Unicode white space only
        // Surrounding spaces are kept: the value is used unchanged.
        {std::nullopt, "  C:\\x y\\sh.exe /k  ", "  C:\\x y\\sh.exe /k  "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choose_command_line(c.command, c.comspec), c.expected)
            << c.comspec.value_or("<unset>");
    }
    EXPECT_EQ(shell, "C:\\Windows\\System32\\cmd.exe");
}

TEST(InitialGrid, FitsTextAreaAndClamps) {
    struct Case {
        ClientRect client;
        CellSize cell;
        GridSize expected;
    };
    const Case cases[] = {
        {{0, 0, 800, 600}, {8, 16}, {34, 98}},  // (600-42)/16, (800-12)/8
        {{0, 0, 812, 58}, {8, 16}, {1, 100}},
        {{0, 0, 800, 40}, {8, 16}, {1, 98}},      // shorter than the chrome
        {{0, 0, 10, 600}, {8, 16}, {34, 1}},      // narrower than the insets
        {{0, 0, 0, 0}, {8, 16}, {1, 1}},          // failed client-rectangle query
        {{0, 0, 800, 600}, {0, -3}, {558, 788}},  // degenerate cells count as 1 pixel
        {{0, 0, 1'000'000, 1'000'000}, {1, 1}, {32767, 32767}},
        {{-50, 0, 50, 600}, {10, 16}, {34, 8}},
        {{INT_MIN, 0, INT_MAX, INT_MIN}, {1, 1}, {1, 32767}},  // no overflow
    };
    for (const Case& c : cases) {
        const GridSize got = initial_grid(c.client, c.cell);
        EXPECT_EQ(got.rows, c.expected.rows) << c.client.right << "x" << c.client.bottom;
        EXPECT_EQ(got.cols, c.expected.cols) << c.client.right << "x" << c.client.bottom;
    }
}

class WorkingDir : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("tolvar-pty-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::string utf8(const fs::path& p) const { return core::path_to_utf8(p); }

    fs::path root_;
};

TEST_F(WorkingDir, ExistingDirectoryOnlyFollowingLinks) {
    const fs::path dir = root_ / core::path_from_utf8("d\xc3\xa9p\xc3\xb4t");
    fs::create_directory(dir);
    const fs::path file = root_ / "file.txt";
    std::ofstream(file) << "x";

    EXPECT_EQ(choose_working_dir(utf8(dir)), utf8(dir));
    EXPECT_EQ(choose_working_dir(utf8(file)), std::nullopt);
    EXPECT_EQ(choose_working_dir(utf8(root_ / "missing")), std::nullopt);
    EXPECT_EQ(choose_working_dir(std::string()), std::nullopt);
    EXPECT_EQ(choose_working_dir(std::nullopt), std::nullopt);

    std::error_code error;
    fs::create_directory_symlink(dir, root_ / "to-dir", error);
    if (!error) {
        EXPECT_EQ(choose_working_dir(utf8(root_ / "to-dir")), utf8(root_ / "to-dir"));
    }
    fs::create_symlink(file, root_ / "to-file", error);
    if (!error) {
        EXPECT_EQ(choose_working_dir(utf8(root_ / "to-file")), std::nullopt);
    }
}

}  // namespace
}  // namespace tolvar::pty
