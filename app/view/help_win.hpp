// The help screen drawn over the frame while it is visible. UI thread only.
#pragma once

#include <windows.h>

#include "view/view_win.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app::win {

// Draws the panel into `dc` when the state says help is visible.
void paint_help(HDC dc, const RECT& client, const AppState& state, const TerminalFont& font,
                Scale scale);

}  // namespace tolvar::app::win
