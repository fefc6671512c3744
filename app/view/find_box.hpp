// The find box's operations on the workspace state (AppState opens and
// closes it): searching as the query changes, stepping through the matches
// with the pane scrolled to each, and where its controls lie. Closing it
// leaves the view where it is. The box's controls are Win32. UI thread; the
// model is read under its lock.
#pragma once

#include <string>

#include "view/geometry.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

// Searches the box's tab; the pane scrolls to the current match.
void set_find_query(AppState& state, std::string query);
// Next (down towards the live screen) or previous, after searching again
// what the session holds now.
void step_find(AppState& state, bool backwards);
// "n of m" of the open box; empty when none is open.
std::string find_status(const AppState& state);

// The box at the top right of its pane: the query edit, "n of m", and the
// previous and next buttons.
struct FindBoxLayout {
    Rect frame;
    Rect edit;
    Rect status;
    Rect previous;
    Rect next;
};
FindBoxLayout find_box_layout(const Rect& pane, Scale scale);

}  // namespace tolvar::app
