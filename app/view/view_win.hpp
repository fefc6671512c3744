// What the main window draws, and the fonts it draws with. The geometry and
// colour rules are portable; this file only makes GDI calls. UI thread only.
#pragma once

#include <windows.h>

#include <string>

#include "look/fonts.hpp"
#include "look/palette.hpp"
#include "look/terminal_font_win.hpp"
#include "view/gdi_win.hpp"
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

// Draws the tab bar, the terminal area (panes, or the group browser) and the
// notices into `dc`, a memory DC already filled with the palette's background.
// The help screen goes on top afterwards.
void paint_frame(HDC dc, const RECT& client, const AppState& state, const FrameStyle& style);

}  // namespace tolvar::app::win
