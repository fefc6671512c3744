#include "pane_painter_win.hpp"

#include <algorithm>

namespace tolvar::app::win {

namespace {

class GdiRunSink final : public RunSink {
  public:
    GdiRunSink(HDC dc, const Rect& text, const CellMetrics& cell, int row_top)
        : dc_(dc), text_(text), cell_(cell), y_(row_top) {}

    void set_row_top(int y) { y_ = y; }
    int runs() const { return runs_; }

    void draw(const TextRun& run) override {
        const int x = text_.left + cell_.width * run.first_col;
        const RECT box{x, y_, x + cell_.width * run.cells, y_ + cell_.height};
        const int offset = std::max((cell_.height - cell_.text_height) / 2, 0);
        SetTextColor(dc_, colorref(run.fg));
        SetBkColor(dc_, colorref(run.bg));
        ExtTextOutW(dc_, x, y_ + offset, ETO_OPAQUE | ETO_CLIPPED, &box,
                    reinterpret_cast<const wchar_t*>(run.text.data()),
                    static_cast<UINT>(run.text.size()), run.advances.data());
        ++runs_;
    }

  private:
    HDC dc_;
    Rect text_;
    CellMetrics cell_;
    int y_;
    int runs_ = 0;
};

PaneStats draw_model(HDC dc, const Palette& palette, const pty::TerminalModel& model,
                     const Tab* tab, const Rect& text, const CellMetrics& raw_cell, bool focused,
                     const std::optional<SelectionSpan>& selection, const Find* find) {
    const CellMetrics cell{std::max(raw_cell.width, 1), std::max(raw_cell.height, 1),
                           raw_cell.text_height};
    PaneStats stats;
    stats.extent = HistoryExtent::of(model);
    stats.offset = tab ? tab->scroll.offset(stats.extent) : 0;
    const pty::LineNumber top = stats.extent.end - stats.offset;
    const VisibleGrid grid = visible_grid(model, text, cell);
    fill(dc, text, palette.theme().background);
    GdiRunSink sink(dc, text, cell, text.top);
    RunBuilder builder(palette, cell.width, grid.cols);
    // One line buffer for every paint: the UI thread is the only painter.
    static pty::LineCells line;
    std::vector<MatchSpan> spans;
    for (std::uint16_t r = 0; r < grid.rows; ++r) {
        sink.set_row_top(text.top + r * cell.height);
        model.line(top + r, line);
        spans.clear();
        if (find) spans = match_spans(*find, top + r, grid.cols);
        builder.row(line, top + r, grid.cols, selection, spans, sink);
    }
    if (focused) {
        PaneOverlay overlay;
        if (tab) {
            overlay = pane_overlay(model, *tab, text, cell, true, stats.offset);
        } else if (!model.hide_cursor()) {
            overlay.cursor = cursor_bar(text, cell, model.cursor());
        }
        for (const GhostCell& ghost : overlay.ghost) {
            draw_text(dc, ghost.text, ghost.cell, k_ghost_text);
        }
        if (overlay.cursor) fill(dc, *overlay.cursor, palette.theme().cursor);
    }
    stats.runs = sink.runs();
    return stats;
}

}  // namespace

PaneStats paint_pane(HDC dc, const Palette& palette, const Tab& tab, const Rect& text,
                     const CellMetrics& cell, bool focused,
                     const std::optional<SelectionSpan>& selection, const Find* find) {
    PaneStats stats;
    if (!tab.session) return stats;
    tab.session->model().with([&](const pty::TerminalModel& model) {
        stats = draw_model(dc, palette, model, &tab, text, cell, focused, selection, find);
    });
    return stats;
}

PaneStats paint_screen(HDC dc, const Palette& palette, const pty::TerminalModel& model,
                       const Rect& text, const CellMetrics& cell, bool focused,
                       const std::optional<SelectionSpan>& selection) {
    return draw_model(dc, palette, model, nullptr, text, cell, focused, selection, nullptr);
}

}  // namespace tolvar::app::win
