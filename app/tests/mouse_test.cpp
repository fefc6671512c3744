#include "input/mouse.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "pane_points.hpp"
#include "states.hpp"
#include "view/layout.hpp"
#include "view/scrolling.hpp"
#include "workspace/notices.hpp"

namespace tolvar::app {
namespace {

using testing::k_96;
using testing::k_cell;
using testing::k_client;
using testing::px;
using testing::py;

constexpr Modifiers k_ctrl{.ctrl = true};
constexpr MouseButton k_left = MouseButton::Left;

// Records what the rules asked of the window; like the other ports, none of
// it may come while a change holds the state.
class FakeMousePort final : public MousePort {
  public:
    explicit FakeMousePort(StateCell& cell) : cell_(cell) {}
    Rect client() const override { return k_client; }
    Scale scale() const override { return k_96; }
    CellMetrics cell() const override { return k_cell; }
    DoubleClickLimits double_click_limits() const override { return {500, 4, 4}; }
    void capture() override { touch(), captured = true; }
    void release_capture() override { touch(), captured = false; }
    bool start_drag_timer() override { return touch(), timer = true; }
    void stop_drag_timer() override { touch(), timer = false; }
    void set_cursor(bool hand) override { touch(), cursors.push_back(hand); }
    void invalidate() override { touch(), ++invalidates; }
    void end_rename() override { touch(), ++rename_ends; }
    void show_text(const std::string& text) override { touch(), shown.push_back(text); }
    void open_item_menu(BarItem item, int, int) override { touch(), menus.push_back(item); }
    bool report_press(MouseButton, const PointerEvent&) override { return touch(), application; }
    bool report_release(MouseButton, const PointerEvent&) override {
        return touch(), application;
    }
    bool report_motion(const PointerEvent&) override { return touch(), application; }
    bool report_wheel(int, const PointerEvent&) override { return touch(), application; }

    // The pane's application takes every event.
    bool application = false;
    bool captured = false;
    bool timer = false;
    int invalidates = 0;
    int rename_ends = 0;
    std::vector<bool> cursors;
    std::vector<std::string> shown;
    std::vector<BarItem> menus;
    int reentry_refused = 0;

  private:
    void touch() {
        if (cell_.changing()) ++reentry_refused;
    }
    StateCell& cell_;
};

struct Mouse : ::testing::Test {
    testing::Rig rig;
    FakeMousePort port{rig.cell};
    InputController input{rig.ws, rig.commands, rig.fs};
    MouseController mouse{rig.ws, rig.commands, input, port};
    std::uint32_t clock = 1000;

    Mouse() { rig.open(); }
    ~Mouse() override {
        EXPECT_EQ(port.reentry_refused, 0);
        EXPECT_EQ(rig.port.reentry_refused, 0);
        EXPECT_EQ(rig.window.reentry_refused, 0);
    }

    AppState& state() { return rig.state(); }
    PointerEvent at(int x, int y, Modifiers m = {}) { return {x, y, m, clock}; }
    void press(int x, int y, Modifiers m = {}, MouseButton b = k_left) {
        mouse.press(b, at(x, y, m));
    }
    void release() { mouse.release(k_left, at(0, 0)); }
    void click(int x, int y, Modifiers m = {}) {
        press(x, y, m);
        release();
    }
    // As the system sends one: press, release, the double-click message in
    // place of the second press, release.
    void double_click(int x, int y, Modifiers m = {}) {
        click(x, y, m);
        clock += 100;
        mouse.double_click(k_left, at(x, y, m));
        release();
    }
    void feed(std::string_view bytes, std::size_t tab = 0) {
        rig.tab(tab).session()->model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
    }
    std::vector<std::string>& copied() { return rig.port.copied; }
    static std::pair<int, int> centre(const Rect& r) {
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // Item `index` of `items` in the tab bar.
    BarItemBox bar_item(std::size_t items, std::size_t index) {
        return bar_item_box(k_client.width(), items, index, k_96);
    }
};

// ------------------------------------------------------------ the tab bar

TEST_F(Mouse, APressOnACloseMarkClosesThatTabAndItsDoubleClickRenamesWhatSlidUnderNothing) {
    rig.open(2);
    const TabId second = rig.id(1), third = rig.id(2);
    const auto [x, y] = centre(bar_item(3, 1).close_mark);
    double_click(x, y);
    // The first click closed the second tab; the third slid under the
    // pointer, and the double-click's message closes nothing more.
    ASSERT_EQ(state().tabs().size(), 2u);
    EXPECT_FALSE(state().find_tab(second));
    EXPECT_TRUE(state().find_tab(third));
    EXPECT_TRUE(rig.port.renames.empty());
}

TEST_F(Mouse, ADoubleClickOnABodyRenamesTheItemItsPressLandedOn) {
    rig.open(2);
    const auto [x, y] = centre(bar_item(3, 1).title);
    double_click(x, y);
    EXPECT_EQ(state().active_tab()->id(), rig.id(1));
    EXPECT_EQ(rig.port.renames, (std::vector<RenameTarget>{rig.id(1)}));

    // A collapsed group's label expands into its tabs at the first click;
    // the double-click renames the group, not the tab now under the pointer.
    const GroupId group = testing::make_group(state(), "web", {rig.id(0), rig.id(1)}, true);
    rig.port.renames.clear();
    const auto [lx, ly] = centre(bar_item(2, 0).title);
    double_click(lx, ly);
    EXPECT_FALSE(state().find_group(group)->collapsed);
    EXPECT_EQ(rig.port.renames, (std::vector<RenameTarget>{group}));
}

TEST_F(Mouse, ThePlusOpensATabMiddleClosesRightOpensTheMenuOrPastes) {
    press(k_client.width() - 10, 10);
    ASSERT_EQ(state().tabs().size(), 2u);
    const TabId first = rig.id(0), second = rig.id(1);

    const auto [x, y] = centre(bar_item(2, 0).title);
    press(x, y, {}, MouseButton::Right);
    EXPECT_EQ(port.menus, (std::vector<BarItem>{first}));
    press(x, y, {}, MouseButton::Middle);
    ASSERT_EQ(state().tabs().size(), 1u);
    EXPECT_EQ(rig.id(0), second);

    rig.port.clipboard = "ls\n";
    press(px(3), py(3), {}, MouseButton::Right);
    EXPECT_EQ(static_cast<testing::FakeSession&>(*rig.tab(0).session()).written, "ls\r");
    // Every press ends an inline rename first.
    EXPECT_EQ(port.rename_ends, 4);
}

// ------------------------------------------------------------ links

TEST_F(Mouse, ACtrlDoubleOrTripleClickOnALinkOpensItOnce) {
    feed("see https://a.example/x now");
    double_click(px(6), py(0), k_ctrl);
    clock += 100;
    click(px(6), py(0), k_ctrl);
    EXPECT_EQ(rig.port.links, (std::vector<std::string>{"https://a.example/x"}));
    // The presses were the link's: none started a selection to copy.
    EXPECT_EQ(state().selection().state, SelectionState::None);
    EXPECT_TRUE(copied().empty());
    EXPECT_FALSE(port.captured);
    // Another click later is a click of its own.
    clock += 1000;
    click(px(6), py(0), k_ctrl);
    EXPECT_EQ(rig.port.links.size(), 2u);
}

TEST_F(Mouse, TheHandFollowsALinkWhileCtrlIsHeld) {
    feed("see https://a.example/x now");
    mouse.move(at(px(6), py(0)));
    EXPECT_TRUE(port.cursors.empty());
    mouse.move(at(px(6), py(0), k_ctrl));
    EXPECT_EQ(port.cursors, (std::vector<bool>{true}));
    EXPECT_TRUE(mouse.link_cursor());
    EXPECT_EQ(port.cursors, (std::vector<bool>{true, true}));
    // Ctrl let go with the pointer still.
    mouse.link_keys(at(px(6), py(0)));
    EXPECT_EQ(port.cursors.back(), false);
    EXPECT_FALSE(mouse.link_cursor());
}

// ------------------------------------------------------------ selection

TEST_F(Mouse, TheReleaseCopiesTheDragAndLetsThePointerGo) {
    feed("first line\r\nsecond");
    press(px(0), py(0));
    EXPECT_TRUE(port.captured);
    mouse.move(at(px(4), py(0)));
    release();
    EXPECT_FALSE(port.captured);
    EXPECT_EQ(copied(), (std::vector<std::string>{"first"}));
    // A click on one cell copies nothing.
    click(px(2), py(1));
    EXPECT_EQ(copied().size(), 1u);
}

TEST_F(Mouse, AThirdClickSelectsTheLineOnlyWithinTheDoubleClickTimeAndRectangle) {
    feed("first line\r\nsecond");
    const auto triple = [&](std::uint32_t wait, int dx) {
        copied().clear();
        double_click(px(1), py(0));
        clock += wait;
        click(px(1) + dx, py(0));
        return copied();
    };
    using Copies = std::vector<std::string>;
    EXPECT_EQ(triple(500, 2), (Copies{"first", "first line"}));
    // Too late, or too far: a click of its own, on one cell.
    clock += 5000;
    EXPECT_EQ(triple(501, 0), (Copies{"first"}));
    clock += 5000;
    EXPECT_EQ(triple(100, 3), (Copies{"first"}));
    // The system's clock wraps between the double-click and the press.
    clock = 0xFFFFFFFFu - 150;
    EXPECT_EQ(triple(100, 0), (Copies{"first", "first line"}));
    // Only the press right after the double-click is its third.
    clock += 100;
    copied().clear();
    click(px(1), py(0));
    EXPECT_TRUE(copied().empty());
}

TEST_F(Mouse, APressTheApplicationTakesIsNotTheSelections) {
    feed("first line");
    port.application = true;
    press(px(0), py(0));
    mouse.move(at(px(4), py(0)));
    release();
    EXPECT_EQ(state().selection().state, SelectionState::None);
    EXPECT_FALSE(port.captured);
    EXPECT_TRUE(copied().empty());
    EXPECT_EQ(port.rename_ends, 1);
}

TEST_F(Mouse, APressOnAnotherTiledPaneMakesItsTabActive) {
    rig.open();
    state().set_view_mode(ViewMode::TileAll);
    const std::vector<Pane> shown = panes(state(), k_client, k_96);
    ASSERT_EQ(shown.size(), 2u);
    const auto [x, y] = centre(text_rect(shown[1].rect, shown[1].caption, k_96));
    click(x, y);
    EXPECT_EQ(state().active_tab()->id(), shown[1].tab);
}

// ------------------------------------------------------------ scrolling

struct MouseOverHistory : Mouse {
    MouseOverHistory() {
        for (int i = 0; i < 100; ++i) feed("line " + std::to_string(i) + "\r\n");
    }
    Tab& tab() { return rig.tab(0); }
    std::uint64_t offset() { return tab().scroll().offset(history_extent(tab())); }
    ScrollIndicator indicator() {
        const Pane pane = panes(state(), k_client, k_96).at(0);
        return scroll_indicator(pane.rect, text_rect(pane.rect, pane.caption, k_96),
                                history_extent(tab()), offset(), k_96);
    }
};

TEST_F(MouseOverHistory, TheIndicatorDragsTheViewUntilTheRelease) {
    tab().scroll().scroll(history_extent(tab()), 40);
    const Rect thumb = indicator().thumb;
    const int x = (thumb.left + thumb.right) / 2;
    press(x, thumb.top + 1);
    // On the thumb the press moves the view no more than rounding does,
    // and selects nothing.
    EXPECT_NEAR(static_cast<double>(offset()), 40.0, 1.0);
    EXPECT_TRUE(port.captured);
    EXPECT_EQ(state().selection().state, SelectionState::None);
    mouse.move(at(x, thumb.top + 1 + 3 * thumb.height()));
    const std::uint64_t dragged = offset();
    EXPECT_LT(dragged, 40u);
    release();
    EXPECT_FALSE(port.captured);
    mouse.move(at(x, thumb.top));
    EXPECT_EQ(offset(), dragged);
    EXPECT_TRUE(copied().empty());

    // Live, there is no indicator to grab: the press selects.
    tab().scroll().to_live();
    press(x, thumb.top + 1);
    EXPECT_EQ(state().selection().state, SelectionState::Selecting);
    release();
}

TEST_F(MouseOverHistory, ADragPastThePanesTopScrollsOnUntilTheRelease) {
    press(px(2), py(3));
    mouse.move(at(px(2), 36));
    ASSERT_TRUE(port.timer);
    mouse.drag_scroll_tick();
    mouse.drag_scroll_tick();
    EXPECT_EQ(offset(), 2u);
    // Back inside, the timer stops; the release copies lines from history.
    mouse.move(at(px(2), py(1)));
    EXPECT_FALSE(port.timer);
    mouse.move(at(px(2), 36));
    release();
    EXPECT_FALSE(port.timer);
    ASSERT_EQ(copied().size(), 1u);
    EXPECT_NE(copied()[0].find("line 7"), std::string::npos) << copied()[0];
}

TEST_F(MouseOverHistory, TheWheelScrollsThePaneUnlessTheApplicationTakesIt) {
    mouse.wheel(120, at(px(2), py(2)), 3);
    EXPECT_EQ(offset(), 3u);
    port.application = true;
    mouse.wheel(120, at(px(2), py(2)), 3);
    EXPECT_EQ(offset(), 3u);
}

// ------------------------------------------------------------ notices

TEST_F(Mouse, ANoticesTextShowsItWholeAndItsCloseMarkDismissesIt) {
    rig.notifier.notify("Could not start: the program was not found.");
    const NoticeRow row = notice_rows(state().notices(), k_client, k_96).at(0);
    const auto [tx, ty] = centre(row.text);
    // The double-click's second press is a click of its own.
    double_click(tx, ty);
    EXPECT_EQ(port.shown.size(), 2u);
    EXPECT_EQ(port.shown[0], "Could not start: the program was not found.");
    EXPECT_EQ(state().selection().state, SelectionState::None);
    const auto [cx, cy] = centre(row.close_mark);
    click(cx, cy);
    EXPECT_TRUE(state().notices().empty());
}

}  // namespace
}  // namespace tolvar::app
