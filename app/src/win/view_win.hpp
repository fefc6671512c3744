// What the main window draws, and the terminal font it draws with. The
// geometry and colour rules are portable; this file only makes GDI calls.
// UI thread only.
#pragma once

#include <windows.h>

#include <string>

#include "tolvar/app/app_state.hpp"
#include "tolvar/app/fonts.hpp"

namespace tolvar::app::win {

inline constexpr COLORREF k_window_background = RGB(12, 14, 18);

// The terminal font and its cell, re-created when the DPI changes.
class TerminalFont {
  public:
    TerminalFont() = default;
    TerminalFont(const TerminalFont&) = delete;
    TerminalFont& operator=(const TerminalFont&) = delete;
    ~TerminalFont();

    // Resolves the family once per call and re-creates the font for the
    // window's DPI; a failed measurement keeps the previous cell.
    void setup(HWND window, const core::FontSettings& settings);
    // A new font of the resolved family for the window's DPI; the caller owns it.
    HFONT create(HWND window) const;

    HFONT font() const { return font_; }
    const CellMetrics& cell() const { return cell_; }
    const std::string& family() const { return family_; }

  private:
    std::string family_;
    float size_pt_ = 12.0f;
    HFONT font_ = nullptr;
    CellMetrics cell_;
};

// Draws the tab bar and the terminal area (panes, or the group browser) into
// `dc`, a memory DC already filled with the window background and set to
// transparent text. The help screen goes on top afterwards.
void paint_frame(HDC dc, const RECT& client, const AppState& state, const TerminalFont& font);

}  // namespace tolvar::app::win
