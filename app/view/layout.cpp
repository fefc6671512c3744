#include "view/layout.hpp"

#include <algorithm>

#include "workspace/browser.hpp"

namespace tolvar::app {

Rect terminal_area(const Rect& client, Scale scale) {
    return {client.left, tab_bar_height(scale), client.right, client.bottom};
}

GridShape grid_shape(std::size_t n) {
    GridShape shape;
    while (shape.cols * shape.cols < n) ++shape.cols;
    shape.rows = n == 0 ? 1 : (n + shape.cols - 1) / shape.cols;
    return shape;
}

Rect grid_cell(const Rect& area, std::size_t n, std::size_t i) {
    const GridShape shape = grid_shape(std::max<std::size_t>(n, 1));
    const int cw = std::max(area.width() / static_cast<int>(shape.cols), 1);
    const int ch = std::max(area.height() / static_cast<int>(shape.rows), 1);
    const int col = static_cast<int>(i % shape.cols);
    const int row = static_cast<int>(i / shape.cols);
    return {area.left + cw * col, area.top + ch * row, area.left + cw * (col + 1),
            area.top + ch * (row + 1)};
}

namespace {

// Non-negative remainder of a signed step over `m` items.
std::size_t wrap(long long value, std::size_t m) {
    const long long mod = static_cast<long long>(m);
    return static_cast<std::size_t>(((value % mod) + mod) % mod);
}

}  // namespace

std::size_t grid_move(std::size_t n, std::size_t b, int dx, int dy) {
    if (n == 0) return b;
    const std::size_t c = grid_shape(n).cols;
    b = std::min(b, n - 1);
    if (dx != 0) {
        const std::size_t first = c * (b / c);
        const std::size_t length = std::min(n - first, c);
        return first + wrap(static_cast<long long>(b % c) + dx, length);
    }
    if (dy != 0) {
        const std::size_t k = b % c;
        const std::size_t height = (n - 1 - k) / c + 1;
        return k + c * wrap(static_cast<long long>(b / c) + dy, height);
    }
    return b;
}

std::vector<TabId> visible_tabs(const AppState& state) {
    std::vector<TabId> shown;
    const Tab* active = state.active_tab();
    switch (state.view_mode()) {
        case ViewMode::Single:
            if (active) shown.push_back(active->id());
            break;
        case ViewMode::TileGroup:
            if (active && active->group()) {
                for (const Tab& t : state.tabs()) {
                    if (t.group() == active->group()) shown.push_back(t.id());
                }
            } else if (active) {
                shown.push_back(active->id());
            }
            break;
        case ViewMode::TileAll:
            for (const Tab& t : state.tabs()) shown.push_back(t.id());
            break;
        case ViewMode::BrowseGroups:
            break;
    }
    return shown;
}

std::vector<Pane> panes(const AppState& state, const Rect& client, Scale scale) {
    const std::vector<TabId> shown = visible_tabs(state);
    const Rect area = terminal_area(client, scale);
    std::vector<Pane> out;
    out.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        out.push_back({shown[i], grid_cell(area, shown.size(), i), shown.size() >= 2});
    }
    return out;
}

Rect text_rect(const Rect& pane, bool caption, Scale scale) {
    return {pane.left + scale(6), pane.top + scale(caption ? 28 : 6), pane.right - scale(6),
            pane.bottom - scale(2)};
}

// The frame around a tiled pane is one pixel at every DPI; the caption sits
// inside it.
Rect caption_rect(const Rect& pane, Scale scale) {
    return {pane.left + 1, pane.top + 1, pane.right - 1, pane.top + scale(22)};
}

Rect caption_color_block(const Rect& pane, Scale scale) {
    return {pane.left + 1, pane.top + 1, pane.left + 1 + scale(4), pane.top + scale(22)};
}

Rect caption_title_rect(const Rect& pane, Scale scale) {
    return {pane.left + scale(11), pane.top + 1, pane.right - scale(7), pane.top + scale(22)};
}

pty::GridSize grid_size_for(const Rect& text, const CellMetrics& cell) {
    // Never empty: a session has at least one cell.
    const auto fit = [](int pixels, int size) {
        return static_cast<std::uint16_t>(
            std::clamp(cells_in(std::max(pixels, 1), size), 1, 32767));
    };
    return {fit(text.height(), cell.height), fit(text.width(), cell.width)};
}

pty::GridSize single_view_size(const Rect& client, const CellMetrics& cell, Scale scale) {
    return grid_size_for(text_rect(terminal_area(client, scale), false, scale), cell);
}

std::vector<SessionSize> layout_sizes(const AppState& state, const Rect& client,
                                      const CellMetrics& cell, Scale scale) {
    std::vector<SessionSize> sizes;
    // A minimized window has an empty client area: cutting every session to
    // one cell would wipe what their screens hold, so sizes stay as they are.
    if (state.tabs().empty() || client.width() <= 0 || client.height() <= 0) return sizes;
    switch (state.view_mode()) {
        case ViewMode::Single: {
            const pty::GridSize size = single_view_size(client, cell, scale);
            for (const Tab& t : state.tabs()) sizes.push_back({t.id(), size});
            break;
        }
        case ViewMode::TileGroup:
        case ViewMode::TileAll:
            for (const Pane& pane : panes(state, client, scale)) {
                sizes.push_back(
                    {pane.tab, grid_size_for(text_rect(pane.rect, pane.caption, scale), cell)});
            }
            break;
        case ViewMode::BrowseGroups: {
            const std::vector<BrowserEntry> entries = browser_entries(state);
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const TabId* tab = std::get_if<TabId>(&entries[i]);
                if (!tab) continue;
                const Rect card = card_rect(client, entries.size(), i, scale);
                sizes.push_back({*tab, grid_size_for(text_rect(card, true, scale), cell)});
            }
            break;
        }
    }
    return sizes;
}

void set_view_mode(AppState& state, ViewMode mode, bool toggle) {
    state.set_view_mode(toggle && state.view_mode() == mode ? ViewMode::Single : mode);
}

AreaHit terminal_area_hit(const AppState& state, const Rect& client, int x, int y, Scale scale) {
    if (state.view_mode() != ViewMode::BrowseGroups) return {};
    if (up_button(client, scale).contains(x, y) && !state.browse_path().empty()) {
        return {AreaHit::Kind::UpButton, 0};
    }
    const std::size_t n = browser_entries(state).size();
    for (std::size_t i = 0; i < n; ++i) {
        if (card_rect(client, n, i, scale).contains(x, y)) return {AreaHit::Kind::Card, i};
    }
    return {};
}

std::optional<Pane> pane_at(const AppState& state, const Rect& client, int x, int y, Scale scale) {
    for (const Pane& pane : panes(state, client, scale)) {
        if (pane.rect.contains(x, y)) return pane;
    }
    return std::nullopt;
}

std::optional<TabId> pane_hit(const AppState& state, const Rect& client, int x, int y,
                              Scale scale) {
    const std::vector<Pane> shown = panes(state, client, scale);
    if (shown.size() < 2) return std::nullopt;
    for (const Pane& pane : shown) {
        if (pane.rect.contains(x, y)) return pane.tab;
    }
    return std::nullopt;
}

std::optional<Pane> pane_of_tab(const AppState& state, const Rect& client, TabId tab, Scale scale) {
    for (const Pane& pane : panes(state, client, scale)) {
        if (pane.tab == tab) return pane;
    }
    return std::nullopt;
}

}  // namespace tolvar::app
