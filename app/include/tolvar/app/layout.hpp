// The terminal area's layout: which tabs show as panes in each view mode, the
// grid they sit on, their captions and text rectangles, the session sizes the
// layout pass applies, and what a click below the tab bar hits. Pure
// functions of AppState and the client rectangle; drawing is Win32. UI thread.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "tolvar/app/app_state.hpp"
#include "tolvar/app/fonts.hpp"
#include "tolvar/app/geometry.hpp"
#include "tolvar/pty/pty_session.hpp"

namespace tolvar::app {

inline constexpr int k_caption_inset = 28;   // top of the text below a caption
inline constexpr int k_plain_top_inset = 6;  // top of the text without one

// The client area below the tab bar.
Rect terminal_area(const Rect& client);

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
std::vector<std::size_t> visible_tabs(const AppState& state);

struct Pane {
    std::size_t tab = 0;
    Rect rect;
    bool caption = false;  // tiled with two or more panes
};
// The panes of the current view in grid order; empty in BrowseGroups.
std::vector<Pane> panes(const AppState& state, const Rect& client);

// Where a session's text goes inside a pane or card.
Rect text_rect(const Rect& pane, bool caption);
// The caption strip and the colour block at its left edge.
Rect caption_rect(const Rect& pane);
Rect caption_color_block(const Rect& pane);
Rect caption_title_rect(const Rect& pane);

// Rows and columns of text that fit `text`, each 1..32767.
pty::GridSize grid_size_for(const Rect& text, const CellMetrics& cell);

// The layout pass: the size every affected session gets. Single view sizes
// every tab to the full area so that switching tabs never resizes; tiled
// views size only the shown tabs; the browser sizes the tab cards. An empty
// client area (a minimized window) sizes nothing.
struct SessionSize {
    std::size_t tab = 0;
    pty::GridSize size;
    friend constexpr bool operator==(const SessionSize&, const SessionSize&) = default;
};
std::vector<SessionSize> layout_sizes(const AppState& state, const Rect& client,
                                      const CellMetrics& cell);

// With `toggle`, asking for the mode already set goes back to Single.
void set_view_mode(AppState& state, ViewMode mode, bool toggle);

// A left click below the tab bar.
struct AreaHit {
    enum class Kind { UpButton, Card, PaneArea };
    Kind kind = Kind::PaneArea;
    std::size_t card = 0;  // for Card
};
AreaHit terminal_area_hit(const AppState& state, const Rect& client, int x, int y);

// The pane under the point, whatever the number of panes.
std::optional<Pane> pane_at(const AppState& state, const Rect& client, int x, int y);
// The tab of the pane under the point, only when two or more panes show.
std::optional<std::size_t> pane_hit(const AppState& state, const Rect& client, int x, int y);
// The pane that shows `tab`, if it is shown.
std::optional<Pane> pane_of_tab(const AppState& state, const Rect& client, std::size_t tab);

inline constexpr Rgb k_caption_background{25, 29, 36};
inline constexpr Rgb k_caption_text{225, 229, 237};
inline constexpr Rgb k_frame_active{86, 156, 214};
inline constexpr Rgb k_frame_inactive{45, 50, 60};

}  // namespace tolvar::app
