// What the main window draws, and the fonts it draws with. The geometry and
// colour rules are portable; this file only makes GDI calls. UI thread only.
#pragma once

#include <windows.h>

#include <string>

#include "gdi_win.hpp"
#include "tolvar/app/app_state.hpp"
#include "tolvar/app/fonts.hpp"
#include "tolvar/app/palette.hpp"

namespace tolvar::app::win {

inline constexpr Rgb k_window_background{12, 14, 18};

// The terminal font and its cell, re-created when the DPI changes.
class TerminalFont {
  public:
    TerminalFont() = default;
    TerminalFont(const TerminalFont&) = delete;
    TerminalFont& operator=(const TerminalFont&) = delete;

    // Resolves the family once per call and re-creates the font for the
    // window's DPI; a failed measurement keeps the previous cell.
    void setup(HWND window, const core::FontSettings& settings);
    // A new font of the resolved family for the window's DPI.
    Font create(HWND window) const;

    HFONT font() const { return font_.get(); }
    const CellMetrics& cell() const { return cell_; }
    const std::string& family() const { return family_; }

  private:
    std::string family_;
    float size_pt_ = 12.0f;
    Font font_;
    CellMetrics cell_;
};

// What a frame is drawn with: the terminal font for the panes, the UI font
// for the tab bar and the notices, and the chrome's DPI scale.
struct FrameStyle {
    const TerminalFont& terminal;
    const Palette& palette;
    HFONT ui_font;
    Scale scale;
};

// Draws the tab bar, the terminal area (panes, or the group browser) and the
// notices into `dc`, a memory DC already filled with the window background.
// The help screen goes on top afterwards.
void paint_frame(HDC dc, const RECT& client, const AppState& state, const FrameStyle& style);

}  // namespace tolvar::app::win
