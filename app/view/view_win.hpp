// What the main window draws, and the fonts it draws with. The geometry and
// colour rules are portable; this file only makes GDI calls. UI thread only.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "look/fonts.hpp"
#include "look/palette.hpp"
#include "look/terminal_font_win.hpp"
#include "view/gdi_win.hpp"
#include "view/pane_painter_win.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app::win {

inline constexpr Rgb k_window_background{12, 14, 18};

// What a frame is drawn with: the terminal font and the colours for the
// panes, the UI font for the tab bar and the notices, the chrome's DPI scale
// and how the cursor looks now.
struct FrameStyle {
    const TerminalFont& terminal;
    const Palette& palette;
    HFONT ui_font;
    Scale scale;
    CursorPrefs cursor;
    bool blink_on = true;        // the phase of a blinking cursor
    bool window_focused = true;  // else the cursor is hollow
};

// The frame kept between paints: a bitmap the size of the client area in a
// memory DC, and what each pane in it was drawn from.
class BackBuffer {
  public:
    BackBuffer() = default;
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;
    ~BackBuffer() { drop(); }

    // The DC, remade for a new size (then `remade`, what it holds is
    // undefined and every pane forgotten); null when GDI refused.
    HDC prepare(HDC like, int width, int height, bool& remade);
    HDC dc() const { return dc_.get(); }
    // Nothing held any more: the next frame is drawn whole.
    void drop();

    // What a pane of the last frames left, by tab; made empty when asked for.
    PaneMemory& pane(TabId tab);
    void forget_panes() { panes_.clear(); }
    // frame_chrome of the last whole frame.
    std::uint64_t chrome() const { return chrome_; }
    void set_chrome(std::uint64_t chrome) { chrome_ = chrome; }

    // How many paints drew rows of each tab's pane, for the tests and the
    // benchmarks; kept across new sizes and whole frames.
    void count_draw(TabId tab);
    std::uint64_t draws(TabId tab) const;

  private:
    MemoryDc dc_;
    Bitmap bitmap_;
    HGDIOBJ initial_bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::pair<TabId, PaneMemory>> panes_;
    std::uint64_t chrome_ = 0;
    std::vector<std::pair<TabId, std::uint64_t>> draws_;
};

// Draws the tab bar, the terminal area (panes, or the group browser) and the
// notices into `dc`, a memory DC already filled with the palette's background.
// The help screen goes on top afterwards. With `buffer`, whose DC `dc` is,
// the panes drawn are recalled there for paint_output.
void paint_frame(HDC dc, const RECT& client, const AppState& state, const FrameStyle& style,
                 BackBuffer* buffer = nullptr);

// Whether paint_output can bring the frame up to date: nothing drawn over
// the panes (the help screen, the palette, notices) and panes, not cards.
bool output_paints_alone(const AppState& state, bool palette_open);

// What paint_output drew, for measuring it.
struct OutputPainted {
    int panes = 0;  // that drew anything
    int rows = 0;
    int runs = 0;   // ExtTextOutW calls
};

// Brings the panes of `tabs` in the buffer's frame up to date with their
// sessions' screens, drawing only what changed in each (paint_pane with its
// memory). The rest of the frame must be as the last paint left it.
OutputPainted paint_output(const RECT& client, const AppState& state, const FrameStyle& style,
                           BackBuffer& buffer, std::span<const TabId> tabs);

}  // namespace tolvar::app::win
