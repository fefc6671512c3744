#include "tolvar/app/session_start.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>

#include "tolvar/core/file_system.hpp"

namespace tolvar::app {
namespace {

namespace fs = std::filesystem;

TEST(InitialSessionGrid, FitsTheTextAreaBelowTheTabBarAndClamps) {
    struct Case {
        Rect client;
        CellMetrics cell;
        pty::GridSize expected;
    };
    const Case cases[] = {
        {{0, 0, 800, 600}, {8, 16}, {34, 98}},  // (600 - 34 - 6 - 2) / 16, (800 - 6 - 6) / 8
        {{0, 0, 812, 58}, {8, 16}, {1, 100}},
        {{0, 0, 800, 40}, {8, 16}, {1, 98}},      // shorter than the tab bar and insets
        {{0, 0, 10, 600}, {8, 16}, {34, 1}},      // narrower than the insets
        {{0, 0, 0, 0}, {8, 16}, {1, 1}},          // a failed client-rectangle query
        {{0, 0, 800, 600}, {0, -3}, {558, 788}},  // degenerate cells count as 1 pixel
        {{0, 0, 1'000'000, 1'000'000}, {1, 1}, {32767, 32767}},
        {{-50, 0, 50, 600}, {10, 16}, {34, 8}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(initial_session_grid(c.client, c.cell), c.expected)
            << c.client.right << "x" << c.client.bottom;
    }
}

class WorkingDir : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("tolvar-start-test-" + std::to_string(std::random_device{}()));
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
}  // namespace tolvar::app
