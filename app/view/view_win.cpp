#include "view/view_win.hpp"

#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"
#include "view/box_drawing.hpp"
#include "view/layout.hpp"
#include "view/links.hpp"
#include "view/paint_plan.hpp"
#include "view/pane_painter_win.hpp"
#include "view/scrolling.hpp"
#include "view/selection.hpp"
#include "view/tab_bar.hpp"
#include "workspace/browser.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app::win {

// ------------------------------------------------------------ drawing

namespace {

void paint_tab_bar(HDC dc, int width, const AppState& state, Scale scale) {
    const std::vector<BarItem> items = bar_items(state);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const BarItemBox box = bar_item_box(width, items.size(), i, scale);
        if (!box.visible()) break;
        const BarItemLook look = bar_item_look(state, items[i]);
        fill(dc, box.item, look.background);
        if (look.top_stripe) fill(dc, box.top_stripe, *look.top_stripe);
        if (look.bottom_stripe) fill(dc, box.bottom_stripe, *look.bottom_stripe);
        // A title too long for its item ends in an ellipsis before the mark.
        draw_text(dc, look.text, box.title, k_bar_text, true);
        draw_text(dc, "x", box.close_mark, k_bar_text);
    }
    fill(dc, plus_button_box(width, scale), k_plus_background);
    draw_text(dc, "+", plus_text_box(width, scale), k_plus_text);
}

void paint_caption(HDC dc, const AppState& state, const Tab& tab, const Rect& pane,
                   std::optional<Rgb> block, Scale scale) {
    fill(dc, caption_rect(pane, scale), k_caption_background);
    if (block) fill(dc, caption_color_block(pane, scale), *block);
    draw_text(dc, marked_title(state, tab), caption_title_rect(pane, scale), k_caption_text, true);
}

// The bar at the right edge of a pane that shows history.
void paint_scroll_indicator(HDC dc, const Rect& pane, const Rect& text, const PaneStats& drawn,
                            Scale scale) {
    if (drawn.offset == 0) return;
    const ScrollIndicator bar = scroll_indicator(pane, text, drawn.extent, drawn.offset, scale);
    fill(dc, bar.track, k_scroll_track);
    fill(dc, bar.thumb, k_scroll_thumb);
}

const Find* find_over(const AppState& state, TabId tab) {
    return state.find() && state.find()->tab == tab ? &state.find()->find : nullptr;
}

// The tab's own colour, or else its group's.
std::optional<Rgb> tab_or_group_color(const AppState& state, const Tab& tab) {
    if (auto own = color_rgb(tab.color())) return own;
    if (tab.group()) {
        if (const TabGroup* g = state.find_group(*tab.group())) return color_rgb(g->color());
    }
    return std::nullopt;
}

PaneLook pane_look(const FrameStyle& style) {
    PaneLook look(style.palette);
    look.font = &style.terminal;
    look.cursor = style.cursor;
    look.blink_on = style.blink_on;
    look.window_focused = style.window_focused;
    look.cursor_thickness = style.scale(2);
    look.box_stroke = box_stroke(style.terminal.cell().width, style.scale.dpi);
    return look;
}

// The target an application's link opens, which its text may not show.
void paint_link_tip(HDC dc, const std::string& tip, const std::vector<Rect>& underline,
                    const Rect& text, const FrameStyle& style) {
    const Selected ui(dc, style.ui_font);
    const std::u16string label = core::utf8_to_utf16(tip);
    SIZE size{};
    GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(label.data()),
                          static_cast<int>(label.size()), &size);
    const int pad = style.scale(6);
    const Rect box = link_tip_box(underline, style.terminal.cell().height, size.cx + 2 * pad,
                                  size.cy + style.scale(6), text);
    fill(dc, box, k_notice_background);
    outline(dc, box, k_notice_rule);
    draw_text(dc, label, {box.left + pad, box.top, box.right - pad, box.bottom}, k_notice_text,
              true);
}

// A pane's text, and over it its scroll indicator and hovered link; with
// `memory`, only what changed since it was last drawn there.
PaneStats paint_pane_text(HDC dc, const Pane& pane, const Tab& tab, const AppState& state,
                     const FrameStyle& style, const PaneLook& look, PaneMemory* memory) {
    const CellMetrics& cell = style.terminal.cell();
    const Scale scale = style.scale;
    const bool active = pane.tab == state.active();
    const Rect text = text_rect(pane.rect, pane.caption, scale);
    const bool hovered = state.hovered_link() && state.hovered_link()->tab == pane.tab;
    // The link's underline and tip are drawn over the rows, which do not know them.
    if (memory && hovered) memory->shown = {};
    const PaneStats drawn = paint_pane(dc, look, tab, text, cell, active,
                                       pane_selection(state, pane.tab), find_over(state, pane.tab),
                                       memory);
    paint_scroll_indicator(dc, pane.rect, text, drawn, scale);
    if (hovered) {
        const std::vector<Rect> underline = link_underline(
            state.hovered_link()->span, tab.scroll().top_line(history_extent(tab)),
            static_cast<std::uint16_t>(cells_in(text.height(), cell.height)),
            static_cast<std::uint16_t>(cells_in(text.width(), cell.width)), text, cell, scale(1));
        for (const Rect& r : underline) fill(dc, r, style.palette.theme().foreground);
        if (!underline.empty() && !state.hovered_link()->tip.empty())
            paint_link_tip(dc, state.hovered_link()->tip, underline, text, style);
    }
    return drawn;
}

void paint_panes(HDC dc, const Rect& client, const AppState& state, const FrameStyle& style,
                 BackBuffer* buffer) {
    const Scale scale = style.scale;
    PaneLook look = pane_look(style);
    look.fill_background = false;
    for (const Pane& pane : panes(state, client, scale)) {
        const Tab* tab = state.find_tab(pane.tab);
        if (!tab) continue;
        const bool active = pane.tab == state.active();
        if (pane.caption) {
            paint_caption(dc, state, *tab, pane.rect, tab_or_group_color(state, *tab), scale);
        }
        PaneMemory* memory = buffer ? &buffer->pane(pane.tab) : nullptr;
        if (memory) memory->shown = {};  // a whole frame draws every pane whole
        const PaneStats drawn = paint_pane_text(dc, pane, *tab, state, style, look, memory);
        if (buffer && drawn.rows > 0) buffer->count_draw(pane.tab);
        if (pane.caption) outline(dc, pane.rect, active ? k_frame_active : k_frame_inactive);
    }
}

void paint_group_card(HDC dc, const AppState& state, const TabGroup& group, const Rect& card,
                      const CellMetrics& cell, Scale scale) {
    const Rect inner{card.left + 1, card.top + 1, card.right - 1, card.bottom - 1};
    fill(dc, inner, k_card_background);
    if (auto color = color_rgb(group.color())) {
        fill(dc, {inner.left, inner.top, inner.left + scale(6), inner.bottom}, *color);
    }
    const int middle = (card.top + card.bottom) / 2;
    const int line = cell.height + scale(4);
    const int left = card.left + scale(21);
    const int right = card.right - scale(11);
    draw_text(dc, group_card_title(group), {left, middle - line, right, middle}, k_card_title,
              true);
    draw_text(dc, group_card_counts(state, group.id()), {left, middle, right, middle + line},
              k_card_counts, true);
}

void paint_browser(HDC dc, const Rect& client, const AppState& state, const FrameStyle& style) {
    const CellMetrics& cell = style.terminal.cell();
    const Scale scale = style.scale;
    const PaneLook look = pane_look(style);
    fill(dc, breadcrumb_bar(client, scale), k_breadcrumb_background);
    draw_text(dc, breadcrumb_text(state), breadcrumb_text_rect(client, scale), k_breadcrumb_text,
              true);

    const UpButtonLook up = up_button_look(!state.browse_path().empty());
    const Rect button = up_button(client, scale);
    fill(dc, button, up.fill);
    outline(dc, button, up.frame);
    draw_text(dc, "\xE2\x86\x91 Up", button, up.text);  // ↑

    const std::vector<BrowserEntry> entries = browser_entries(state);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Rect card = card_rect(client, entries.size(), i, scale);
        const bool selected = i == state.tile_selection();
        if (const GroupId* group_id = std::get_if<GroupId>(&entries[i])) {
            if (const TabGroup* group = state.find_group(*group_id)) {
                paint_group_card(dc, state, *group, card, cell, scale);
            }
        } else if (const Tab* tab = state.find_tab(std::get<TabId>(entries[i]))) {
            paint_caption(dc, state, *tab, card, color_rgb(tab->color()), scale);
            paint_pane(dc, look, *tab, text_rect(card, true, scale), cell, selected, std::nullopt);
        }
        outline(dc, card, selected ? k_frame_active : k_frame_inactive);
    }
}

void paint_notices(HDC dc, const Rect& client, const AppState& state, Scale scale) {
    for (const NoticeRow& row : notice_rows(state.notices(), client, scale)) {
        const auto notice = std::ranges::find(state.notices().shown(), row.id, &Notice::id);
        if (notice == state.notices().shown().end()) continue;
        fill(dc, row.row, k_notice_background);
        fill(dc, {row.row.left, row.row.bottom - 1, row.row.right, row.row.bottom}, k_notice_rule);
        draw_text(dc, notice->text, row.text, k_notice_text, true);
        draw_text(dc, "x", row.close_mark, k_notice_text);
    }
}

}  // namespace

HDC BackBuffer::prepare(HDC like, int width, int height, bool& remade) {
    remade = false;
    if (dc_ && width == width_ && height == height_) return dc_.get();
    remade = true;
    drop();
    MemoryDc dc(CreateCompatibleDC(like));
    Bitmap bitmap(CreateCompatibleBitmap(like, width, height));
    if (!dc || !bitmap) return nullptr;
    initial_bitmap_ = SelectObject(dc.get(), bitmap.get());
    dc_ = std::move(dc);
    bitmap_ = std::move(bitmap);
    width_ = width;
    height_ = height;
    return dc_.get();
}

void BackBuffer::drop() {
    if (dc_) SelectObject(dc_.get(), initial_bitmap_);
    bitmap_.reset();
    dc_.reset();
    width_ = height_ = 0;
    panes_.clear();
}

PaneMemory& BackBuffer::pane(TabId tab) {
    const auto it = std::ranges::find(panes_, tab, &std::pair<TabId, PaneMemory>::first);
    if (it != panes_.end()) return it->second;
    return panes_.emplace_back(tab, PaneMemory{}).second;
}

void BackBuffer::count_draw(TabId tab) {
    const auto it = std::ranges::find(draws_, tab, &std::pair<TabId, std::uint64_t>::first);
    if (it != draws_.end()) {
        ++it->second;
    } else {
        draws_.emplace_back(tab, 1);
    }
}

std::uint64_t BackBuffer::draws(TabId tab) const {
    const auto it = std::ranges::find(draws_, tab, &std::pair<TabId, std::uint64_t>::first);
    return it != draws_.end() ? it->second : 0;
}

bool output_paints_alone(const AppState& state, bool palette_open) {
    return !palette_open && !state.help_visible() && state.notices().shown().empty() &&
           state.view_mode() != ViewMode::BrowseGroups;
}

OutputPainted paint_output(const RECT& client_rect, const AppState& state,
                           const FrameStyle& style, BackBuffer& buffer,
                           std::span<const TabId> tabs) {
    OutputPainted painted;
    const Rect client{client_rect.left, client_rect.top, client_rect.right, client_rect.bottom};
    HDC dc = buffer.dc();
    if (!dc) return painted;
    const Selected terminal(dc, style.terminal.font());
    const PaneLook look = pane_look(style);
    for (const Pane& pane : panes(state, client, style.scale)) {
        if (std::ranges::find(tabs, pane.tab) == tabs.end()) continue;
        const Tab* tab = state.find_tab(pane.tab);
        if (!tab) continue;
        const PaneStats drawn =
            paint_pane_text(dc, pane, *tab, state, style, look, &buffer.pane(pane.tab));
        painted.panes += drawn.rows > 0;
        if (drawn.rows > 0) buffer.count_draw(pane.tab);
        painted.rows += drawn.rows;
        painted.runs += drawn.runs;
    }
    return painted;
}

void paint_frame(HDC dc, const RECT& client_rect, const AppState& state, const FrameStyle& style,
                 BackBuffer* buffer) {
    const Rect client{client_rect.left, client_rect.top, client_rect.right, client_rect.bottom};
    if (buffer) {
        buffer->forget_panes();
        buffer->set_chrome(frame_chrome(state, client, style.scale));
    }
    {
        const Selected ui(dc, style.ui_font);
        paint_tab_bar(dc, client.width(), state, style.scale);
    }
    {
        const Selected terminal(dc, style.terminal.font());
        if (state.view_mode() == ViewMode::BrowseGroups) {
            paint_browser(dc, client, state, style);
        } else {
            paint_panes(dc, client, state, style, buffer);
        }
    }
    const Selected ui(dc, style.ui_font);
    paint_notices(dc, client, state, style.scale);
}

}  // namespace tolvar::app::win
