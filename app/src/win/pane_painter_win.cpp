#include "pane_painter_win.hpp"

#include <algorithm>

#include "box_drawing_win.hpp"

namespace tolvar::app::win {

namespace {

class GdiRunSink final : public RunSink {
  public:
    GdiRunSink(HDC dc, const PaneLook& look, const Rect& text, const CellMetrics& cell)
        : dc_(dc),
          font_(look.font),
          text_(text),
          cell_(cell),
          y_(text.top),
          box_stroke_(look.box_stroke),
          initial_font_(static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT))),
          current_font_(initial_font_),
          initial_align_(SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP)) {
        if (font_) {
            lines_ = font_->lines();
        } else {
            // Lines for a DC font nobody measured: the text sits at the top.
            lines_.baseline = cell.text_height * 4 / 5;
            lines_.underline_top = std::min(lines_.baseline + 1, cell.height - 1);
            lines_.strike_top = cell.text_height / 2;
        }
    }
    ~GdiRunSink() {
        SetTextAlign(dc_, initial_align_);
        if (current_font_ != initial_font_) SelectObject(dc_, initial_font_);
    }
    GdiRunSink(const GdiRunSink&) = delete;
    GdiRunSink& operator=(const GdiRunSink&) = delete;

    void set_row_top(int y) { y_ = y; }
    int runs() const { return runs_; }

    void draw(const TextRun& run) override {
        const int x = text_.left + cell_.width * run.first_col;
        const Rect cells{x, y_, x + cell_.width * run.cells, y_ + cell_.height};
        const RECT box{cells.left, cells.top, cells.right, cells.bottom};
        if (font_) {
            HFONT wanted = font_->face(run.style.font, run.style.face);
            if (wanted != current_font_) {
                SelectObject(dc_, wanted);
                current_font_ = wanted;
            }
        }
        SetTextColor(dc_, colorref(run.fg));
        SetBkColor(dc_, colorref(run.bg));
        ExtTextOutW(dc_, x, y_ + lines_.baseline, ETO_OPAQUE | ETO_CLIPPED, &box,
                    reinterpret_cast<const wchar_t*>(run.text.data()),
                    static_cast<UINT>(run.text.size()), run.advances.data());
        ++runs_;
        for (const BoxCell& b : run.boxes) {
            const int left = text_.left + cell_.width * b.col;
            draw_box_glyph(dc_, b.cp, {left, y_, left + cell_.width, y_ + cell_.height}, run.fg,
                           run.bg, box_stroke_);
        }
        if (run.style.underline != pty::Underline::None || run.style.strikethrough) {
            decorate(run.style, cells, cell_.width, lines_, decoration_);
            for (const Rect& bar : decoration_.underline) fill(dc_, bar, run.style.underline_color);
            if (!decoration_.wave.empty()) draw_wave(run.style.underline_color);
            if (decoration_.strike) fill(dc_, *decoration_.strike, run.fg);
        }
    }

  private:
    void draw_wave(Rgb color) {
        points_.assign(decoration_.wave.size(), POINT{});
        const HGDIOBJ old = SelectObject(dc_, GetStockObject(DC_PEN));
        SetDCPenColor(dc_, colorref(color));
        for (int i = 0; i < decoration_.wave_width; ++i) {
            for (std::size_t p = 0; p < points_.size(); ++p) {
                points_[p] = {decoration_.wave[p].x, decoration_.wave[p].y + i};
            }
            Polyline(dc_, points_.data(), static_cast<int>(points_.size()));
        }
        SelectObject(dc_, old);
    }

    HDC dc_;
    const TerminalFont* font_;
    Rect text_;
    CellMetrics cell_;
    LineMetrics lines_;
    int y_;
    int box_stroke_;
    int runs_ = 0;
    HFONT initial_font_;
    HFONT current_font_;
    UINT initial_align_;
    Decoration decoration_;
    std::vector<POINT> points_;
};

PaneStats draw_model(HDC dc, const PaneLook& look, const pty::TerminalModel& model, const Tab* tab,
                     const Rect& text, const CellMetrics& raw_cell, bool focused,
                     const std::optional<SelectionSpan>& selection, const Find* find) {
    const CellMetrics cell{std::max(raw_cell.width, 1), std::max(raw_cell.height, 1),
                           raw_cell.text_height};
    const Theme& theme = look.palette.theme();
    PaneStats stats;
    stats.extent = HistoryExtent::of(model);
    stats.offset = tab ? tab->scroll.offset(stats.extent) : 0;
    const pty::LineNumber top = stats.extent.end - stats.offset;
    const VisibleGrid grid = visible_grid(model, text, cell);

    PaneOverlay overlay;
    if (focused) {
        if (tab) {
            overlay = pane_overlay(model, *tab, text, cell, true, stats.offset);
        } else if (!model.hide_cursor()) {
            overlay.cursor = model.cursor();
            overlay.cursor_cell = cursor_cell(text, cell, model.cursor());
            if (!overlay.cursor_cell) overlay.cursor.reset();
        }
    }
    const CursorLook cursor = cursor_look(model.cursor_style(), look.cursor);
    const bool hollow = !look.window_focused;
    const bool cursor_shown = hollow || !cursor.blinks || look.blink_on;
    std::optional<pty::Position> block;
    if (overlay.cursor && cursor_shown && !hollow && cursor.shape == pty::CursorShape::Block) {
        block = overlay.cursor;
    }

    fill(dc, text, theme.background);
    {
        GdiRunSink sink(dc, look, text, cell);
        GlyphFonts* fonts = look.font ? &look.font->glyphs() : nullptr;
        RunBuilder builder(look.palette, cell.width, grid.cols, fonts);
        // One line buffer for every paint: the UI thread is the only painter.
        static pty::LineCells line;
        std::vector<MatchSpan> spans;
        for (std::uint16_t r = 0; r < grid.rows; ++r) {
            sink.set_row_top(text.top + r * cell.height);
            model.line(top + r, line);
            spans.clear();
            if (find) spans = match_spans(*find, top + r, grid.cols);
            const std::optional<std::uint16_t> block_col =
                block && block->row == r ? std::optional(block->col) : std::nullopt;
            builder.row(line, top + r, grid.cols, selection, spans, sink, block_col);
        }
        stats.runs = sink.runs();
    }
    for (const GhostCell& ghost : overlay.ghost)
        draw_text(dc, ghost.text, ghost.cell, k_ghost_text);
    if (overlay.cursor_cell && cursor_shown) {
        for (const Rect& r :
             cursor_rects(cursor.shape, hollow, *overlay.cursor_cell, look.cursor_thickness)) {
            fill(dc, r, theme.cursor);
        }
    }
    return stats;
}

}  // namespace

PaneStats paint_pane(HDC dc, const PaneLook& look, const Tab& tab, const Rect& text,
                     const CellMetrics& cell, bool focused,
                     const std::optional<SelectionSpan>& selection, const Find* find) {
    PaneStats stats;
    if (!tab.session) return stats;
    tab.session->model().with([&](const pty::TerminalModel& model) {
        stats = draw_model(dc, look, model, &tab, text, cell, focused, selection, find);
    });
    return stats;
}

PaneStats paint_screen(HDC dc, const PaneLook& look, const pty::TerminalModel& model,
                       const Rect& text, const CellMetrics& cell, bool focused,
                       const std::optional<SelectionSpan>& selection) {
    return draw_model(dc, look, model, nullptr, text, cell, focused, selection, nullptr);
}

}  // namespace tolvar::app::win
