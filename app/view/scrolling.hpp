// Scrolling a pane through its session's history: where the view sits,
// anchored to the lines it shows, the wheel's partial notches, and the scroll
// indicator's geometry. Rules over the model's line numbers; reading them
// from the model, under its lock, is the caller's. UI thread only.
#pragma once

#include <cstdint>
#include <optional>

#include "tolvar/pty/terminal_model.hpp"
#include "view/geometry.hpp"

namespace tolvar::app {

// The session's lines as the view sees them at one moment.
struct HistoryExtent {
    pty::LineNumber begin = 0;  // the oldest line kept
    pty::LineNumber end = 0;    // the live screen's first line
    std::uint16_t rows = 0;     // of the live screen
    bool alternate = false;     // the alternate screen, which has no history, is shown

    static HistoryExtent of(const pty::TerminalModel& model) {
        return {model.history_begin(), model.history_end(), model.rows(), model.alternate_screen()};
    }
    std::uint64_t kept() const { return end - begin; }
};

// How far a pane is scrolled back. Held as the line at the top of the view,
// so output that arrives while the user reads moves nothing they see: the
// offset grows with every line pushed into history, until the lines they
// read age out and the view stops at the oldest one.
class ScrollView {
  public:
    bool live() const { return !top_; }
    // Lines back from live, 0 to kept(); 0 while the alternate screen shows.
    std::uint64_t offset(const HistoryExtent& h) const;
    // The line shown at the top of the pane.
    pty::LineNumber top_line(const HistoryExtent& h) const { return h.end - offset(h); }

    // Positive goes back into history. Clamped to the oldest line; reaching
    // the live screen is live.
    void scroll(const HistoryExtent& h, std::int64_t lines);
    void to_oldest(const HistoryExtent& h);
    void to_live() { top_.reset(); }
    // Scrolls as little as needed for `line` to be in view.
    void reveal(const HistoryExtent& h, pty::LineNumber line);
    // Live again once nothing is left to look back at (a cleared history).
    void settle(const HistoryExtent& h);

    friend bool operator==(const ScrollView&, const ScrollView&) = default;

  private:
    std::optional<pty::LineNumber> top_;
};

// Wheel messages as whole lines (or pages): WHEEL_DELTA, 120, is one notch;
// a high-resolution wheel sends fractions of it, carried over here. Turning
// the other way drops what was carried.
class WheelAccumulator {
  public:
    // The system's lines per notch, or this for a page per notch.
    static constexpr unsigned k_page = 0xFFFFFFFFu;

    struct Step {
        int lines = 0;  // positive: away from the user, back into history
        int pages = 0;
        friend bool operator==(Step, Step) = default;
    };
    Step add(int delta, unsigned lines_per_notch);
    void reset() { carried_ = 0; }

  private:
    long long carried_ = 0;
};

// The bar at a scrolled-back pane's right edge: the track spans the text's
// height in the pane's right inset, the thumb shows where the visible lines
// sit in history and screen together and how much of them they are.
struct ScrollIndicator {
    Rect track;
    Rect thumb;
};
ScrollIndicator scroll_indicator(const Rect& pane, const Rect& text, const HistoryExtent& h,
                                 std::uint64_t offset, Scale scale);
// The offset that puts the thumb's top at `y` (dragging it).
std::uint64_t offset_at(const ScrollIndicator& indicator, const HistoryExtent& h, int y);

}  // namespace tolvar::app
