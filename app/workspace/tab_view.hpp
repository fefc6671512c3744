// What a tab shows, read from its session's model: the title as the bar and
// the captions show it, and how far back its pane is scrolled. Reads only;
// callers hold the state (a read or a change). UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "workspace/app_state.hpp"

namespace tolvar::app {

// Stored title, or the terminal's own title unless the user gave one, with
// "» " in front while the tab's group broadcasts.
std::string display_title(const AppState& state, const Tab& tab);
// The title as the tab bar and pane captions show it: display_title with
// "[ended] " in front once the program ended, "[starting…] " while it is
// being started, and "↑ " while scrolled back.
std::string marked_title(const AppState& state, const Tab& tab);

// Where the tab's session's lines stand now, read under its model lock; all
// zero when there is no session or the lock is poisoned.
HistoryExtent history_extent(const Tab& tab);
// Whether the tab's pane shows history rather than its live screen.
bool scrolled_back(const Tab& tab);
// "↑ " before a title, for a tab whose pane is scrolled back.
inline constexpr std::string_view k_scrolled_back_mark = "\xE2\x86\x91 ";
inline constexpr std::string_view k_starting_mark = "[starting\xE2\x80\xA6] ";

}  // namespace tolvar::app
