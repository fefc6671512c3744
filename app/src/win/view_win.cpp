#include "view_win.hpp"

#include "pane_painter_win.hpp"
#include "tolvar/app/browser.hpp"
#include "tolvar/app/layout.hpp"
#include "tolvar/app/selection.hpp"
#include "tolvar/app/tab_bar.hpp"
#include "tolvar/app/workspace.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

namespace {

HFONT create_font(const std::string& face, unsigned dpi, float size_pt) {
    const std::wstring name =
        core::win::to_wide(face.empty() ? std::string(k_fallback_face) : face);
    return CreateFontW(-font_pixel_height(dpi, size_pt), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       FF_MODERN, name.c_str());
}

std::string resolve_family(HWND window, const core::FontSettings& settings) {
    HDC dc = GetDC(window);
    std::string chosen;
    for (const std::string& candidate : font_candidates(settings)) {
        HFONT trial = create_font(candidate, 96, 12.0f);
        HGDIOBJ old = SelectObject(dc, trial);
        wchar_t face[64] = {};
        const int n = GetTextFaceW(dc, 64, face);
        SelectObject(dc, old);
        DeleteObject(trial);
        if (n > 0 && same_face(candidate, core::win::from_wide(face))) {
            chosen = candidate;
            break;
        }
    }
    ReleaseDC(window, dc);
    return chosen.empty() ? std::string(k_fallback_face) : chosen;
}

}  // namespace

TerminalFont::~TerminalFont() {
    if (font_) DeleteObject(font_);
}

HFONT TerminalFont::create(HWND window) const {
    return create_font(family_, GetDpiForWindow(window), size_pt_);
}

void TerminalFont::setup(HWND window, const core::FontSettings& settings) {
    size_pt_ = settings.size_pt;
    family_ = resolve_family(window, settings);
    HFONT font = create(window);
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    if (GetTextMetricsW(dc, &tm)) {
        cell_.width = std::max<int>(tm.tmAveCharWidth, 1);
        cell_.height = std::max<int>(tm.tmHeight + tm.tmExternalLeading, 1);
        cell_.text_height = std::max<int>(tm.tmHeight, 1);
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    if (font_) DeleteObject(font_);
    font_ = font;
}

// ------------------------------------------------------------ drawing

namespace {

// Single-line, vertically centred, clipped to the box. No prefix handling:
// an "&" in a title is text, not a mnemonic.
constexpr UINT k_text_format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;

void fill(HDC dc, const Rect& r, Rgb color) {
    HBRUSH brush = CreateSolidBrush(colorref(color));
    const RECT box{r.left, r.top, r.right, r.bottom};
    FillRect(dc, &box, brush);
    DeleteObject(brush);
}

void outline(HDC dc, const Rect& r, Rgb color) {
    HBRUSH brush = CreateSolidBrush(colorref(color));
    const RECT box{r.left, r.top, r.right, r.bottom};
    FrameRect(dc, &box, brush);
    DeleteObject(brush);
}

void text(HDC dc, std::string_view utf8, const Rect& r, Rgb color) {
    if (utf8.empty() || r.right <= r.left) return;
    const std::wstring wide = core::win::to_wide(utf8);
    RECT box{r.left, r.top, r.right, r.bottom};
    SetTextColor(dc, colorref(color));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &box, k_text_format);
}

void paint_tab_bar(HDC dc, int width, const AppState& state) {
    const std::vector<BarItem> items = bar_items(state);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const BarItemBox box = bar_item_box(width, items.size(), i);
        if (!box.visible()) break;
        const BarItemLook look = bar_item_look(state, items[i]);
        fill(dc, box.item, look.background);
        if (look.top_stripe) fill(dc, box.top_stripe, *look.top_stripe);
        if (look.bottom_stripe) fill(dc, box.bottom_stripe, *look.bottom_stripe);
        text(dc, look.text, box.title, k_bar_text);
        text(dc, "x", box.close_mark, k_bar_text);
    }
    fill(dc, plus_button_box(width), k_plus_background);
    text(dc, "+", plus_text_box(width), k_plus_text);
}

void paint_caption(HDC dc, const AppState& state, const Tab& tab, const Rect& pane,
                   std::optional<Rgb> block) {
    fill(dc, caption_rect(pane), k_caption_background);
    if (block) fill(dc, caption_color_block(pane), *block);
    text(dc, display_title(state, tab), caption_title_rect(pane), k_caption_text);
}

// The tab's own colour, or else its group's.
std::optional<Rgb> tab_or_group_color(const AppState& state, const Tab& tab) {
    if (auto own = color_rgb(tab.color)) return own;
    if (tab.group) {
        if (const TabGroup* g = state.find_group(*tab.group)) return color_rgb(g->color);
    }
    return std::nullopt;
}

void paint_panes(HDC dc, const Rect& client, const AppState& state, const CellMetrics& cell) {
    for (const Pane& pane : panes(state, client)) {
        const Tab& tab = state.tabs[pane.tab];
        const bool active = pane.tab == state.active;
        if (pane.caption) paint_caption(dc, state, tab, pane.rect, tab_or_group_color(state, tab));
        paint_pane(dc, tab, text_rect(pane.rect, pane.caption), cell, active,
                   pane_selection(state, pane.tab));
        if (pane.caption) outline(dc, pane.rect, active ? k_frame_active : k_frame_inactive);
    }
}

void paint_group_card(HDC dc, const AppState& state, const TabGroup& group, const Rect& card,
                      const CellMetrics& cell) {
    const Rect inner{card.left + 1, card.top + 1, card.right - 1, card.bottom - 1};
    fill(dc, inner, k_card_background);
    if (auto color = color_rgb(group.color)) {
        fill(dc, {inner.left, inner.top, inner.left + 6, inner.bottom}, *color);
    }
    const int middle = (card.top + card.bottom) / 2;
    const int line = cell.height + 4;
    text(dc, group_card_title(group), {card.left + 21, middle - line, card.right - 11, middle},
         k_card_title);
    text(dc, group_card_counts(state, group.id),
         {card.left + 21, middle, card.right - 11, middle + line}, k_card_counts);
}

void paint_browser(HDC dc, const Rect& client, const AppState& state, const CellMetrics& cell) {
    fill(dc, breadcrumb_bar(client), k_breadcrumb_background);
    text(dc, breadcrumb_text(state), breadcrumb_text_rect(client), k_breadcrumb_text);

    const UpButtonLook up = up_button_look(!state.browse_path.empty());
    const Rect button = up_button(client);
    fill(dc, button, up.fill);
    outline(dc, button, up.frame);
    text(dc, "\xE2\x86\x91 Up", button, up.text);  // ↑

    const std::vector<BrowserEntry> entries = browser_entries(state);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Rect card = card_rect(client, entries.size(), i);
        const bool selected = i == state.tile_selection;
        if (entries[i].kind == BrowserEntry::Kind::Group) {
            if (const TabGroup* group = state.find_group(entries[i].key)) {
                paint_group_card(dc, state, *group, card, cell);
            }
        } else if (entries[i].key < state.tabs.size()) {
            const Tab& tab = state.tabs[entries[i].key];
            paint_caption(dc, state, tab, card, color_rgb(tab.color));
            paint_pane(dc, tab, text_rect(card, true), cell, selected, std::nullopt);
        }
        outline(dc, card, selected ? k_frame_active : k_frame_inactive);
    }
}

}  // namespace

void paint_frame(HDC dc, const RECT& client_rect, const AppState& state, const TerminalFont& font) {
    const Rect client{client_rect.left, client_rect.top, client_rect.right, client_rect.bottom};
    // The bar uses the DC's own font; the terminal area the terminal font.
    paint_tab_bar(dc, client.width(), state);
    HGDIOBJ old = SelectObject(dc, font.font());
    if (state.view_mode == ViewMode::BrowseGroups) {
        paint_browser(dc, client, state, font.cell());
    } else {
        paint_panes(dc, client, state, font.cell());
    }
    SelectObject(dc, old);
}

}  // namespace tolvar::app::win
