#include "dialogs/history_viewer.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/history.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

class FakeList final : public HistorySurface {
  public:
    void show_lines(const std::vector<std::string>& l) override {
        lines = l;
        selection.reset();
        ++fills;
    }
    std::optional<std::size_t> selected_line() const override { return selection; }
    bool ask(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void copy_text(const std::string& text) override { copied.push_back(text); }

    std::vector<std::string> lines;
    std::optional<std::size_t> selection;
    bool answer = false;
    int fills = 0;
    std::vector<std::string> questions;
    std::vector<std::string> copied;
};

struct Files {
    core::testing::ScratchDir dir;
    core::FileSystem& fs = core::platform_file_system();
    Files() {
        EXPECT_TRUE(fs.create_directories(dir.path() / "history"));
        record("s-a", "ls -la");
        record("s-a", "git status");
        record("s-b", "top");
    }
    void record(const char* id, const char* line) {
        EXPECT_TRUE(core::append_history_entry(fs, dir.path(), id, line, 1));
    }
};

TEST(HistoryViewer, ListsAndCopiesExactlyTheSelectedLine) {
    Files files;
    HistoryViewer viewer(files.fs, files.dir.path(), "s-a");
    FakeList list;
    viewer.fill(list);
    EXPECT_EQ(list.lines, (std::vector<std::string>{"ls -la", "git status"}));
    viewer.copy_selected(list);  // nothing selected
    list.selection = 5;
    viewer.copy_selected(list);
    list.selection = 1;
    viewer.copy_selected(list);
    EXPECT_EQ(list.copied, (std::vector<std::string>{"git status"}));

    FakeList empty;
    HistoryViewer none(files.fs, files.dir.path(), "s-never");
    none.fill(empty);
    EXPECT_TRUE(empty.lines.empty());
    HistoryViewer no_dir(files.fs, std::nullopt, "s-a");
    no_dir.fill(empty);
    EXPECT_TRUE(empty.lines.empty());
}

TEST(HistoryViewer, ResetsAskAndRefill) {
    Files files;
    HistoryViewer viewer(files.fs, files.dir.path(), "s-a");
    FakeList list;
    viewer.fill(list);
    viewer.reset_session(list);  // declined
    EXPECT_EQ(list.questions,
              (std::vector<std::string>{"Reset the tracked history for this session?"}));
    EXPECT_EQ(list.lines.size(), 2u);
    list.answer = true;
    viewer.reset_session(list);
    EXPECT_TRUE(list.lines.empty());

    // Resetting everything also empties the other sessions' files.
    HistoryViewer other(files.fs, files.dir.path(), "s-b");
    FakeList other_list;
    other.fill(other_list);
    EXPECT_EQ(other_list.lines.size(), 1u);
    files.record("s-a", "again");
    viewer.fill(list);
    viewer.reset_all(list);
    EXPECT_EQ(list.questions.back(),
              "Reset ALL tracked history for every session? This cannot be undone.");
    EXPECT_TRUE(list.lines.empty());
    other.fill(other_list);
    EXPECT_TRUE(other_list.lines.empty());
}

TEST(HistoryViewer, TitleLeavesOutTheBroadcastMark) {
    Rig rig;
    rig.ws.open_tab({.title = "build", .group = "G"});
    rig.state().toggle_broadcast(*rig.tab(0).group());
    EXPECT_EQ(display_title(rig.state(), rig.tab(0)), "\xC2\xBB build");
    EXPECT_EQ(history_viewer_title(rig.state(), rig.tab(0)), "History \xE2\x80\x94 build");
}

}  // namespace
}  // namespace tolvar::app
