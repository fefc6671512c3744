// The terminal area's layout: which tabs show as panes in each view mode, the
// grid they sit on, their captions and text rectangles, the session sizes the
// layout pass applies, and what a click below the tab bar hits. Pure
// functions of AppState, the client rectangle and the DPI scale; drawing is
// Win32. UI thread.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "look/fonts.hpp"
#include "tolvar/pty/pty_session.hpp"
#include "view/geometry.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

// The client area below the tab bar.
Rect terminal_area(const Rect& client, Scale scale);

// ⌈√n⌉ columns and ⌈n / columns⌉ rows; n >= 1.
struct GridShape {
    std::size_t cols = 1;
    std::size_t rows = 1;
};
GridShape grid_shape(std::size_t n);
// The cell of item `i` of `n` over `area`. Leftover pixels at the right and
// bottom belong to no cell.
Rect grid_cell(const Rect& area, std::size_t n, std::size_t i);

// The new index after moving by (dx, dy) on the grid of n items: left and
// right wrap within the row, up and down within the column. b for n = 0.
std::size_t grid_move(std::size_t n, std::size_t b, int dx, int dy);

// The tabs shown as panes, in tab order: the active tab in Single view, the
// active tab's group (or the active tab alone) in TileGroup, every tab in
// TileAll, none in BrowseGroups.
std::vector<TabId> visible_tabs(const AppState& state);

struct Pane {
    TabId tab{};
    Rect rect;
    bool caption = false;  // tiled with two or more panes
};
// The panes of the current view in grid order; empty in BrowseGroups.
std::vector<Pane> panes(const AppState& state, const Rect& client, Scale scale);

// Where a session's text goes inside a pane or card.
Rect text_rect(const Rect& pane, bool caption, Scale scale);
// The caption strip and the colour block at its left edge.
Rect caption_rect(const Rect& pane, Scale scale);
Rect caption_color_block(const Rect& pane, Scale scale);
Rect caption_title_rect(const Rect& pane, Scale scale);

// Rows and columns of text that fit `text`, each 1..32767.
pty::GridSize grid_size_for(const Rect& text, const CellMetrics& cell);
// The size a session gets in Single view, which is also the size a new
// session starts with.
pty::GridSize single_view_size(const Rect& client, const CellMetrics& cell, Scale scale);

// The layout pass: the size every affected session gets. Single view sizes
// every tab to the full area so that switching tabs never resizes; tiled
// views size only the shown tabs; the browser sizes the tab cards. An empty
// client area (a minimized window) sizes nothing.
struct SessionSize {
    TabId tab{};
    pty::GridSize size;
    friend constexpr bool operator==(const SessionSize&, const SessionSize&) = default;
};
std::vector<SessionSize> layout_sizes(const AppState& state, const Rect& client,
                                      const CellMetrics& cell, Scale scale);

// With `toggle`, asking for the mode already set goes back to Single.
void set_view_mode(AppState& state, ViewMode mode, bool toggle);

// A left click below the tab bar.
struct AreaHit {
    enum class Kind { UpButton, Card, PaneArea };
    Kind kind = Kind::PaneArea;
    std::size_t card = 0;  // for Card
};
AreaHit terminal_area_hit(const AppState& state, const Rect& client, int x, int y, Scale scale);

// The pane under the point, whatever the number of panes.
std::optional<Pane> pane_at(const AppState& state, const Rect& client, int x, int y, Scale scale);
// The tab of the pane under the point, only when two or more panes show.
std::optional<TabId> pane_hit(const AppState& state, const Rect& client, int x, int y, Scale scale);
// The pane that shows `tab`, if it is shown.
std::optional<Pane> pane_of_tab(const AppState& state, const Rect& client, TabId tab, Scale scale);

inline constexpr Rgb k_caption_background{25, 29, 36};
inline constexpr Rgb k_caption_text{225, 229, 237};
inline constexpr Rgb k_frame_active{86, 156, 214};
inline constexpr Rgb k_frame_inactive{45, 50, 60};

}  // namespace tolvar::app
