#include "view/pane_painter_win.hpp"

#include <algorithm>
#include <functional>
#include <span>

#include "view/box_drawing_win.hpp"

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
          initial_align_(SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP)) {
        if (font_) {
            lines_ = font_->lines();
        } else {
            // Lines for a DC font nobody measured: the text sits at the top.
            lines_.baseline = cell.text_height * 4 / 5;
            lines_.underline_top = std::min(lines_.baseline + 1, cell.height - 1);
            lines_.strike_top = cell.text_height / 2;
        }
        dc_ascent_ = lines_.baseline - std::max((cell.height - cell.text_height) / 2, 0);
    }
    ~GdiRunSink() {
        SetTextAlign(dc_, initial_align_);
        if (current_font_ != initial_font_) SelectObject(dc_, initial_font_);
    }
    GdiRunSink(const GdiRunSink&) = delete;
    GdiRunSink& operator=(const GdiRunSink&) = delete;

    void set_row_top(int y) { y_ = y; }
    int runs() const { return runs_; }

    // Runs in the font selected now are drawn at once; the others wait
    // for finish(), which draws them a font at a time: selecting a font
    // costs more than drawing a run.
    void draw(const TextRun& run) override {
        ++runs_;
        const int x = text_.left + cell_.width * run.first_col;
        const Rect cells{x, y_, x + cell_.width * run.cells, y_ + cell_.height};
        HFONT wanted = current_font_;
        int ascent = dc_ascent_;
        if (font_) {
            wanted = font_->face(run.style.font, run.style.face);
            ascent = font_->ascent(run.style.font, run.style.face);
        }
        if (wanted == current_font_) {
            paint(cells, ascent, run.fg, run.bg, run.style, run.text, run.advances.data(),
                  run.boxes);
            return;
        }
        deferred_.push_back({cells, ascent, run.fg, run.bg, run.style, wanted, text_store_.size(),
                             run.text.size(), boxes_store_.size(), run.boxes.size()});
        text_store_.append(run.text);
        advances_store_.insert(advances_store_.end(), run.advances.begin(), run.advances.end());
        boxes_store_.insert(boxes_store_.end(), run.boxes.begin(), run.boxes.end());
    }

    void finish() {
        std::ranges::stable_sort(deferred_, std::less<>(), &Deferred::font);
        for (const Deferred& d : deferred_) {
            if (d.font != current_font_) {
                SelectObject(dc_, d.font);
                current_font_ = d.font;
            }
            paint(d.cells, d.ascent, d.fg, d.bg, d.style,
                  std::u16string_view(text_store_).substr(d.text_at, d.text_size),
                  advances_store_.data() + d.text_at,
                  std::span<const BoxCell>(boxes_store_).subspan(d.boxes_at, d.boxes_size));
        }
        deferred_.clear();
        text_store_.clear();
        advances_store_.clear();
        boxes_store_.clear();
    }

  private:
    struct Deferred {
        Rect cells;
        int ascent;
        Rgb fg;
        Rgb bg;
        RunStyle style;
        HFONT font;
        std::size_t text_at;
        std::size_t text_size;
        std::size_t boxes_at;
        std::size_t boxes_size;
    };

    // Text is drawn from its top, lowered by the terminal font's baseline
    // less the run font's ascent, so fonts of the chain share the baseline.
    void paint(const Rect& cells, int ascent, Rgb fg, Rgb bg, const RunStyle& style,
               std::u16string_view text, const int* advances, std::span<const BoxCell> boxes) {
        const RECT box{cells.left, cells.top, cells.right, cells.bottom};
        SetTextColor(dc_, colorref(fg));
        SetBkColor(dc_, colorref(bg));
        ExtTextOutW(dc_, cells.left, cells.top + lines_.baseline - ascent, ETO_OPAQUE | ETO_CLIPPED,
                    &box, reinterpret_cast<const wchar_t*>(text.data()),
                    static_cast<UINT>(text.size()), advances);
        for (const BoxCell& b : boxes) {
            const int left = text_.left + cell_.width * b.col;
            draw_box_glyph(dc_, b.cp, {left, cells.top, left + cell_.width, cells.bottom}, fg, bg,
                           box_stroke_);
        }
        if (style.underline != pty::Underline::None || style.strikethrough) {
            decorate(style, cells, cell_.width, lines_, decoration_);
            for (const Rect& bar : decoration_.underline) fill(dc_, bar, style.underline_color);
            if (!decoration_.wave.empty()) draw_wave(style.underline_color);
            if (decoration_.strike) fill(dc_, *decoration_.strike, fg);
        }
    }

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
    int dc_ascent_ = 0;
    int runs_ = 0;
    HFONT initial_font_;
    HFONT current_font_;
    UINT initial_align_;
    Decoration decoration_;
    std::vector<POINT> points_;
    std::vector<Deferred> deferred_;
    std::u16string text_store_;
    std::vector<int> advances_store_;
    std::vector<BoxCell> boxes_store_;
};

// A doubled line (double width or height): its runs drawn at the normal size
// into a scratch image, then stretched over the row, so every font of the
// chain, the program's box glyphs and the lines under text double alike.
// The scratch image is kept for the next one: the UI thread is the only
// painter. A scratch that cannot be made leaves the row as the background.
class DoubledRows {
  public:
    int draw(HDC dc, const PaneLook& look, Rgb background, RunBuilder& builder,
             const pty::LineCells& line, pty::LineNumber number, std::uint16_t row,
             const Rect& text, const CellMetrics& cell, std::uint16_t cols,
             const std::optional<SelectionSpan>& selection, std::span<const MatchSpan> matches,
             std::optional<std::uint16_t> block_col) {
        const std::uint16_t cells = shown_cells(line.size, cols);
        const DoubledRow doubled = doubled_row(text, cell, row, line.size, cells);
        if (!ready(dc, doubled.width, cell.height)) return 0;
        HDC scratch = dc_.get();
        // The sink expects the terminal font selected, as in the pane's DC.
        SelectObject(scratch, GetCurrentObject(dc, OBJ_FONT));
        const Rect area{0, 0, doubled.width, cell.height};
        fill(scratch, area, background);
        int runs = 0;
        {
            GdiRunSink sink(scratch, look, area, cell);
            builder.row(line, number, cells, selection, matches, sink, block_col);
            sink.finish();
            runs = sink.runs();
        }
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, text.left, text.top, text.right, text.bottom);
        SetStretchBltMode(dc, COLORONCOLOR);
        const Rect& to = doubled.target;
        StretchBlt(dc, to.left, to.top, to.width(), to.height(), scratch, 0, doubled.source_top,
                   doubled.width, doubled.source_height, SRCCOPY);
        RestoreDC(dc, saved);
        return runs;
    }

  private:
    bool ready(HDC dc, int width, int height) {
        if (!dc_) dc_ = MemoryDc(CreateCompatibleDC(dc));
        if (!dc_) return false;
        if (bitmap_ && width <= width_ && height <= height_) return true;
        width_ = std::max(width, width_);
        height_ = std::max(height, height_);
        Bitmap bitmap(CreateCompatibleBitmap(dc, width_, height_));
        if (!bitmap) return false;
        // Selecting the new one lets the old one go.
        SelectObject(dc_.get(), bitmap.get());
        bitmap_ = std::move(bitmap);
        return true;
    }

    MemoryDc dc_;
    Bitmap bitmap_;
    int width_ = 0;
    int height_ = 0;
};

// What the cursor and the ghost text look like, as one value: a paint that
// finds it unchanged leaves their row alone.
std::uint64_t overlay_value(const PaneOverlay& overlay, const CursorLook& cursor, bool shown,
                            bool hollow) {
    std::uint64_t h = 0xcbf29ce484222325u;
    const auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 0x100000001b3u; };
    mix(overlay.cursor ? 1u + overlay.cursor->col : 0u);
    mix(shown << 1 | hollow);
    mix(static_cast<std::uint64_t>(cursor.shape));
    for (const GhostCell& g : overlay.ghost) {
        mix(static_cast<std::uint64_t>(g.cell.left));
        for (const char16_t c : g.text) mix(c);
    }
    return h;
}

// The find box's matches as one value.
std::uint64_t find_value(const Find* find) {
    if (!find) return 0;
    std::uint64_t h = 0x84222325cbf29ce4u;
    const auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 0x100000001b3u; };
    for (const char c : find->query()) mix(static_cast<unsigned char>(c));
    mix(find->matches().size());
    if (const auto current = find->current()) {
        mix(current->start.line);
        mix(current->start.col);
    }
    return h | 1;
}

PaneStats draw_model(HDC dc, const PaneLook& look, const pty::TerminalModel& model, const Tab* tab,
                     const Rect& text, const CellMetrics& raw_cell, bool focused,
                     const std::optional<SelectionSpan>& selection, const Find* find,
                     PaneMemory* memory) {
    const CellMetrics cell{std::max(raw_cell.width, 1), std::max(raw_cell.height, 1),
                           raw_cell.text_height};
    const Palette palette = screen_palette(look.palette, model.reverse_video());
    const Theme& theme = palette.theme();
    PaneStats stats;
    stats.extent = HistoryExtent::of(model);
    stats.offset = tab ? tab->scroll().offset(stats.extent) : 0;
    const pty::LineNumber top = stats.extent.end - stats.offset;
    const VisibleGrid grid = visible_grid(model, text, cell);

    PaneOverlay overlay;
    if (focused) {
        if (tab) {
            overlay = pane_overlay(model, *tab, text, cell, true, stats.offset);
        } else if (!model.hide_cursor()) {
            const pty::LineSize size = model.row_size(model.cursor().row);
            overlay.cursor = model.cursor();
            overlay.cursor->col = std::min(overlay.cursor->col, shown_cells(size, model.cols()));
            overlay.cursor_cell = cursor_cell(text, cell, *overlay.cursor, size);
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

    PanePlan plan;
    plan.whole = true;
    if (memory) {
        PaneShown now;
        now.text = text;
        // The window's focus shows in the cursor alone, which the overlay holds.
        now.look = std::uint64_t{focused};
        now.rows = grid.rows;
        now.offset = stats.offset;
        now.top = top;
        now.selection = selection;
        now.find = find_value(find);
        if (overlay.cursor) {
            now.overlay_row = overlay.cursor->row;
        } else if (!overlay.ghost.empty()) {
            now.overlay_row =
                static_cast<std::uint16_t>((overlay.ghost.front().cell.top - text.top) / cell.height);
        }
        now.overlay = overlay_value(overlay, cursor, cursor_shown, hollow);
        const pty::Damage damage = model.damage_since(memory->shown.seq);
        now.seq = damage.now;
        plan = plan_pane(memory->shown, now, damage);
        memory->shown = now;
    }
    stats.whole = plan.whole;

    if (plan.whole) {
        // The frame's background is the theme's, not the reversed screen's.
        if (look.fill_background || model.reverse_video()) fill(dc, text, theme.background);
    } else {
        for (const pty::ScrollMove& m : plan.scrolls) {
            const RECT band{text.left, text.top + m.top * cell.height, text.right,
                            text.top + (m.bottom + 1) * cell.height};
            ScrollDC(dc, 0, -m.count * cell.height, &band, &band, nullptr, nullptr);
        }
    }
    const auto drawn = [&](std::uint16_t r) {
        return plan.whole || std::ranges::binary_search(plan.rows, r);
    };
    {
        GdiRunSink sink(dc, look, text, cell);
        GlyphFonts* fonts = look.font ? &look.font->glyphs() : nullptr;
        RunBuilder builder(palette, cell.width, grid.cols, fonts);
        // One line buffer for every paint: the UI thread is the only painter.
        static pty::LineCells line;
        std::vector<MatchSpan> spans;
        static DoubledRows doubled;
        int doubled_runs = 0;
        const auto draw_row = [&](std::uint16_t r) {
            const int y = text.top + r * cell.height;
            if (!plan.whole) fill(dc, {text.left, y, text.right, y + cell.height}, theme.background);
            sink.set_row_top(y);
            model.line(top + r, line);
            spans.clear();
            if (find) spans = match_spans(*find, top + r, grid.cols);
            const std::optional<std::uint16_t> block_col =
                block && block->row == r ? std::optional(block->col) : std::nullopt;
            if (drawn_doubled(line.size)) [[unlikely]] {
                doubled_runs += doubled.draw(dc, look, theme.background, builder, line, top + r, r,
                                             text, cell, grid.cols, selection, spans, block_col);
                ++stats.rows;
                return;
            }
            builder.row(line, top + r, grid.cols, selection, spans, sink, block_col);
            ++stats.rows;
        };
        if (plan.whole) {
            for (std::uint16_t r = 0; r < grid.rows; ++r) draw_row(r);
        } else {
            for (const std::uint16_t r : plan.rows) draw_row(r);
        }
        sink.finish();
        stats.runs = sink.runs() + doubled_runs;
    }
    for (const GhostCell& ghost : overlay.ghost) {
        if (drawn(static_cast<std::uint16_t>((ghost.cell.top - text.top) / cell.height)))
            draw_text(dc, ghost.text, ghost.cell, k_ghost_text);
    }
    if (overlay.cursor_cell && cursor_shown && drawn(overlay.cursor->row)) {
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
                     const std::optional<SelectionSpan>& selection, const Find* find,
                     PaneMemory* memory) {
    PaneStats stats;
    if (!tab.session()) return stats;
    tab.session()->model().with([&](const pty::TerminalModel& model) {
        stats = draw_model(dc, look, model, &tab, text, cell, focused, selection, find, memory);
    });
    return stats;
}

PaneStats paint_screen(HDC dc, const PaneLook& look, const pty::TerminalModel& model,
                       const Rect& text, const CellMetrics& cell, bool focused,
                       const std::optional<SelectionSpan>& selection, PaneMemory* memory) {
    return draw_model(dc, look, model, nullptr, text, cell, focused, selection, nullptr, memory);
}

}  // namespace tolvar::app::win
