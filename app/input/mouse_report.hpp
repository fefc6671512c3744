// Mouse and focus reports to applications: which mouse events an application
// that asked for reports receives, and the bytes of each in the encoding it
// chose. Pure rules over the model's modes; reading them is the caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "input/chords.hpp"
#include "look/fonts.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "view/geometry.hpp"

namespace tolvar::app {

enum class MouseButton : std::uint8_t { None, Left, Middle, Right };
enum class MouseAction : std::uint8_t { Press, Release, Motion, WheelUp, WheelDown };

struct HeldButtons {
    bool left = false;
    bool middle = false;
    bool right = false;
    bool any() const { return left || middle || right; }
};

struct MouseEvent {
    MouseAction action = MouseAction::Press;
    MouseButton button = MouseButton::None;  // of a press or release
    Modifiers modifiers;
    // The cell under the pointer, from 0 at the pane's top left; may lie
    // outside the pane while a held button drags past its edge.
    int col = 0;
    int row = 0;
    HeldButtons held;  // after the event: a press's button is held, a release's is not
};

struct ReportModes {
    pty::MouseMode mode = pty::MouseMode::None;
    pty::MouseEncoding encoding = pty::MouseEncoding::Default;
    std::uint16_t cols = 0;  // the pane's grid, to clamp to
    std::uint16_t rows = 0;
};

// The bytes for `event`, or nothing when the mode does not report it or the
// encoding cannot carry its coordinates: the default encoding ends at column
// or row 223 and UTF-8 at 2015, and a report there is dropped rather than
// sent with a wrapped or truncated byte the application would misread.
std::optional<std::string> mouse_report(const MouseEvent& event, const ReportModes& modes);

// Where a mouse event over a pane goes. Shift held keeps it local, as in
// xterm, so the user can still select and paste over an application that
// takes the mouse; otherwise, with reports on, every button and the wheel
// are the application's, not paste or scrollback.
enum class MouseRoute : std::uint8_t { Local, Application };
MouseRoute mouse_route(pty::MouseMode mode, Modifiers modifiers);

// The cell under a point, relative to the text rectangle's top left; negative
// left of or above it, so a drag past the edge clamps rather than wraps.
struct CellAt {
    int col = 0;
    int row = 0;
    friend constexpr bool operator==(CellAt, CellAt) = default;
};
CellAt cell_at(const Rect& text, const CellMetrics& cell, int x, int y);

// Mode 1004's reports.
std::string_view focus_report(bool focused);

}  // namespace tolvar::app
