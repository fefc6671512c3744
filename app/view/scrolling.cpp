#include "view/scrolling.hpp"

#include <algorithm>

namespace tolvar::app {

// ------------------------------------------------------------ the view

std::uint64_t ScrollView::offset(const HistoryExtent& h) const {
    if (!top_ || h.alternate) return 0;
    const pty::LineNumber top = std::max(*top_, h.begin);
    return top < h.end ? std::min(h.end - top, h.kept()) : 0;
}

void ScrollView::scroll(const HistoryExtent& h, std::int64_t lines) {
    if (h.alternate) return;
    const auto now = static_cast<std::int64_t>(offset(h));
    const auto next = static_cast<std::uint64_t>(
        std::clamp<std::int64_t>(now + lines, 0, static_cast<std::int64_t>(h.kept())));
    if (next == 0) {
        top_.reset();
    } else {
        top_ = h.end - next;
    }
}

void ScrollView::to_oldest(const HistoryExtent& h) {
    if (h.alternate) return;
    if (h.kept() == 0) {
        top_.reset();
    } else {
        top_ = h.begin;
    }
}

void ScrollView::reveal(const HistoryExtent& h, pty::LineNumber line) {
    if (h.alternate) return;
    const pty::LineNumber top = top_line(h);
    const pty::LineNumber rows = std::max<pty::LineNumber>(h.rows, 1);
    if (line >= top && line < top + rows) return;
    const pty::LineNumber wanted = line < top ? line : line - rows + 1;
    scroll(h,
           static_cast<std::int64_t>(top) - static_cast<std::int64_t>(std::max(wanted, h.begin)));
}

void ScrollView::settle(const HistoryExtent& h) {
    if (!top_) return;
    if (offset(h) == 0 && !h.alternate) {
        top_.reset();
    } else if (*top_ < h.begin) {
        top_ = h.begin;
    }
}

// ------------------------------------------------------------ the wheel

WheelAccumulator::Step WheelAccumulator::add(int delta, unsigned lines_per_notch) {
    constexpr long long k_notch = 120;
    if (lines_per_notch == 0 || delta == 0) return {};
    if (carried_ != 0 && (carried_ > 0) != (delta > 0)) carried_ = 0;
    if (lines_per_notch == k_page) {
        carried_ += delta;
        const auto pages = static_cast<int>(carried_ / k_notch);
        carried_ -= pages * k_notch;
        return {0, pages};
    }
    carried_ += static_cast<long long>(delta) * lines_per_notch;
    const auto lines = static_cast<int>(carried_ / k_notch);
    carried_ -= lines * k_notch;
    return {lines, 0};
}

// ------------------------------------------------------------ the indicator

namespace {

// Lines of history and screen together, and how many of them a page shows.
struct Span {
    std::uint64_t total;
    std::uint64_t page;
};

Span span_of(const HistoryExtent& h) {
    const std::uint64_t page = std::max<std::uint64_t>(h.rows, 1);
    return {h.kept() + page, page};
}

}  // namespace

ScrollIndicator scroll_indicator(const Rect& pane, const Rect& text, const HistoryExtent& h,
                                 std::uint64_t offset, Scale scale) {
    ScrollIndicator out;
    out.track = {pane.right - scale(5), text.top, pane.right - scale(1), text.bottom};
    const int height = std::max(out.track.height(), 1);
    const Span span = span_of(h);
    const int thumb =
        std::clamp(static_cast<int>(static_cast<std::uint64_t>(height) * span.page / span.total),
                   std::min(scale(8), height), height);
    // The top line's place among the lines the page can start at.
    const std::uint64_t first = h.kept() - std::min(offset, h.kept());
    const std::uint64_t starts = span.total - span.page;
    const int top =
        starts == 0 ? 0
                    : static_cast<int>(static_cast<std::uint64_t>(height - thumb) * first / starts);
    out.thumb = {out.track.left, out.track.top + top, out.track.right, out.track.top + top + thumb};
    return out;
}

std::uint64_t offset_at(const ScrollIndicator& indicator, const HistoryExtent& h, int y) {
    const int room = indicator.track.height() - indicator.thumb.height();
    const Span span = span_of(h);
    const std::uint64_t starts = span.total - span.page;
    if (room <= 0 || starts == 0) return 0;
    const int from_top = std::clamp(y - indicator.track.top, 0, room);
    const std::uint64_t first =
        starts * static_cast<std::uint64_t>(from_top) / static_cast<std::uint64_t>(room);
    return h.kept() - std::min(first, h.kept());
}

}  // namespace tolvar::app
