// The paint plan against a real model: a pane that keeps its pixels, blits
// what the plan moves and draws only the rows it names must end with what a
// whole redraw gives, after any edit, scroll, cursor move, selection or
// overlay change.
#include "view/paint_plan.hpp"

#include <gtest/gtest.h>

#include "fakes.hpp"
#include "workspace/tab_view.hpp"

#include <random>
#include <string>
#include <vector>

namespace tolvar::app {
namespace {

// A pane's pixels, one string a row: the cells' text, '*' after a selected
// cell, the overlay drawn after the row.
struct Pane {
    std::uint16_t rows = 0;
    std::uint16_t cols = 0;
    std::vector<std::string> pixels;
    PaneShown shown;
};

struct Frame {
    std::optional<SelectionSpan> selection;
    std::optional<std::uint16_t> overlay_row;
    std::uint64_t overlay = 0;
    std::uint64_t look = 0;
};

PaneShown shown_now(const pty::TerminalModel& m, const Pane& pane, const Frame& f,
                    std::uint64_t seq) {
    PaneShown s;
    s.seq = seq;
    s.text = {0, 0, pane.cols * 8, pane.rows * 16};
    s.look = f.look;
    s.rows = pane.rows;
    s.top = m.history_end();
    s.selection = f.selection;
    s.overlay_row = f.overlay_row;
    s.overlay = f.overlay;
    return s;
}

std::string draw_row(const pty::TerminalModel& m, const Frame& f, std::uint16_t cols,
                     std::uint16_t r) {
    std::string out;
    const pty::LineNumber line = m.history_end() + r;
    for (std::uint16_t c = 0; c < cols; ++c) {
        const std::string cell = m.cell(r, c).contents;
        out += cell.empty() ? " " : cell;
        if (f.selection && f.selection->contains(line, c)) out += '*';
    }
    if (f.overlay_row == r) out += "|" + std::to_string(f.overlay);
    return out;
}

std::vector<std::string> draw_all(const pty::TerminalModel& m, const Frame& f,
                                  const Pane& pane) {
    std::vector<std::string> rows;
    for (std::uint16_t r = 0; r < pane.rows; ++r) rows.push_back(draw_row(m, f, pane.cols, r));
    return rows;
}

// One paint by the plan; returns it for the caller's checks.
PanePlan paint(const pty::TerminalModel& m, const Frame& f, Pane& pane) {
    const pty::Damage damage = m.damage_since(pane.shown.seq);
    const PaneShown now = shown_now(m, pane, f, damage.now);
    const PanePlan plan = plan_pane(pane.shown, now, damage);
    if (plan.whole) {
        pane.pixels = draw_all(m, f, pane);
    } else {
        for (const pty::ScrollMove& s : plan.scrolls) {
            std::vector<std::string> old = pane.pixels;
            for (int r = s.top; r <= s.bottom; ++r) {
                const int from = r + s.count;
                pane.pixels[r] = from >= s.top && from <= s.bottom ? old[from] : "?";
            }
        }
        for (const std::uint16_t r : plan.rows) pane.pixels[r] = draw_row(m, f, pane.cols, r);
    }
    pane.shown = now;
    return plan;
}

TEST(PaintPlan, RandomEditsScrollsSelectionsAndOverlaysEndAsAWholeRedraw) {
    const char* edits[] = {
        "abc",          "\r\n",        "\n",          "\x1b[2;5r",   "\x1b[r",
        "\x1b[S",       "\x1b[2T",     "\x1b[3;1H",   "\x1b[L",      "\x1b[M",
        "\x1b[2J",      "\x1b[K",      "\x1bM",       "\x1b[1;4H",   "wide\xe4\xb8\xad",
        "\x1b[31mred",  "\x1b[0m",     "\x1b[6;1H\n", "\x1b[4;1H",   "\x1b[2P",
    };
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937 rng(seed);
        pty::TerminalModel m(6, 10, 100);
        Pane pane{6, 10, {}, {}};
        Frame f;
        std::size_t partial = 0;
        for (int step = 0; step < 80; ++step) {
            const unsigned what = rng() % 10;
            if (what < 6) {
                m.feed(edits[rng() % std::size(edits)]);
            } else if (what == 6) {
                const pty::LineNumber top = m.history_end();
                if (rng() % 3 == 0) {
                    f.selection.reset();
                } else {
                    f.selection = SelectionSpan({top + rng() % 6, static_cast<std::uint16_t>(rng() % 10)},
                                                {top + rng() % 6, static_cast<std::uint16_t>(rng() % 10)},
                                                rng() % 4 == 0);
                }
            } else if (what == 7) {
                f.overlay_row = m.cursor().row;
                f.overlay = rng() % 3;
            } else if (what == 8) {
                f.overlay_row.reset();
            }
            const PanePlan plan = paint(m, f, pane);
            partial += !plan.whole;
            ASSERT_EQ(pane.pixels, draw_all(m, f, pane)) << "seed " << seed << " step " << step;
        }
        // Most paints are partial: the plan is not a whole redraw in disguise.
        EXPECT_GT(partial, 40u) << "seed " << seed;
    }
}

TEST(PaintPlan, OneRowAndOneScrollAreAllThatIsDrawn) {
    pty::TerminalModel m(5, 8, 100);
    Pane pane{5, 8, {}, {}};
    Frame f;
    m.feed("a\r\nb\r\nc");
    EXPECT_TRUE(paint(m, f, pane).whole);
    EXPECT_TRUE(paint(m, f, pane).empty());  // nothing changed

    m.feed("\x1b[2;3Hx");
    PanePlan plan = paint(m, f, pane);
    EXPECT_FALSE(plan.whole);
    EXPECT_TRUE(plan.scrolls.empty());
    EXPECT_EQ(plan.rows, std::vector<std::uint16_t>{1});

    // A line feed at the bottom: one blit of the screen and the row that came in.
    m.feed("\x1b[5;1H\n");
    plan = paint(m, f, pane);
    ASSERT_EQ(plan.scrolls.size(), 1u);
    EXPECT_EQ(plan.scrolls[0], (pty::ScrollMove{0, 4, 1}));
    EXPECT_EQ(plan.rows, std::vector<std::uint16_t>{4});

    // The cursor drawn on a row: where it was and where it is.
    f.overlay_row = 4;
    paint(m, f, pane);
    m.feed("\x1b[2;1H");
    f.overlay_row = 1;
    plan = paint(m, f, pane);
    EXPECT_EQ(plan.rows, (std::vector<std::uint16_t>{1, 4}));
}

TEST(PaintPlan, WhatEveryRowIsDrawnWithRedrawsThePane) {
    pty::TerminalModel m(4, 8, 100);
    Pane pane{4, 8, {}, {}};
    Frame f;
    paint(m, f, pane);
    f.look = 1;  // a theme, a font, the focus
    EXPECT_TRUE(paint(m, f, pane).whole);
    m.feed("\x1b[?5h");  // reverse video: a mode
    EXPECT_TRUE(paint(m, f, pane).whole);
    m.feed("\x1b[?1049h");  // the other screen
    EXPECT_TRUE(paint(m, f, pane).whole);

    // Output into a view scrolled back: the rows do not say what it shows.
    const pty::Damage none = m.damage_since(pane.shown.seq);
    PaneShown back = pane.shown;
    back.seq = none.now;
    back.offset = 3;
    PaneShown drawn = back;
    pty::Damage damage;
    damage.now = none.now;
    EXPECT_TRUE(plan_pane(drawn, back, damage).empty());
    damage.rows = {2};
    EXPECT_TRUE(plan_pane(drawn, back, damage).whole);

    // A region that reaches past the rows the pane shows.
    drawn.offset = back.offset = 0;
    damage.rows.clear();
    damage.scrolls = {{0, 4, 1}};
    EXPECT_TRUE(plan_pane(drawn, back, damage).whole);
}


// Output may repaint panes alone only while nothing else of the frame would
// look different: output that leaves the bar and captions as they were keeps
// the chrome; a title, a view scrolled back or live again, a selection, a
// notice or a tile layout changes it.
TEST(FrameChrome, ChangesWithWhatOutputDoesNotDraw) {
    testing::Rig rig;
    rig.open(2);
    const Rect client{0, 0, 800, 600};
    const Scale scale{96};
    auto& session = static_cast<testing::FakeSession&>(*rig.tab(1).session());
    const auto feed = [&](const std::string& bytes) {
        session.model().with([&](pty::TerminalModel& m) { m.feed(bytes); });
    };
    const auto chrome = [&] { return frame_chrome(rig.state(), client, scale); };
    const std::uint64_t start = chrome();
    feed("output\r\n");
    EXPECT_EQ(chrome(), start);
    feed("\x1b]0;build\x07");
    const std::uint64_t titled = chrome();
    EXPECT_NE(titled, start);

    feed(std::string(40, '\n'));
    Tab& tab = rig.tab(1);
    tab.scroll().scroll(history_extent(tab), 3);
    const std::uint64_t back = chrome();
    EXPECT_NE(back, titled);
    tab.scroll().to_live();
    EXPECT_EQ(chrome(), titled);

    rig.state().start_selection({rig.id(1), {0, 0}, {0, 3}, SelectionState::Selecting});
    EXPECT_NE(chrome(), titled);
    rig.state().clear_selection();
    EXPECT_EQ(chrome(), titled);
    rig.notifier.notify("something failed");
    EXPECT_NE(chrome(), titled);
}

}  // namespace
}  // namespace tolvar::app
