// The summon key: the "summon_key" chord of settings.json, which brings the
// main window to the front from any program and sends it away again from
// tolvar itself. The reading with its notices and the choice of what a press
// does; pure functions. The window registers the chord and carries it out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tolvar/core/records.hpp"

namespace tolvar::app {

// What the system is asked to watch for: RegisterHotKey's modifier flags
// (MOD_NOREPEAT included) and virtual key.
struct SummonKey {
    std::string text;  // as the user wrote it, for the notices
    std::uint32_t modifiers = 0;
    std::uint32_t key = 0;
    friend bool operator==(const SummonKey&, const SummonKey&) = default;
};

struct SummonKeyRead {
    std::optional<SummonKey> key;
    // For a value that is no chord, which leaves the program without one.
    std::optional<std::string> notice;
};

// Absent and null mean no summon key and tell nothing.
SummonKeyRead read_summon_key(const core::Settings& settings);

// A chord the system would not take (another program holds it): `reason` is
// the system's own text.
std::string summon_refused_notice(std::string_view chord, std::string_view reason);

// The main window as a press finds it.
struct SummonScene {
    // The foreground window is the main window or one of its own (a dialog).
    bool foreground = false;
    // Visible and not minimized.
    bool shown = false;
    bool tray_icon = false;
    // A modal dialog has disabled the main window.
    bool dialog_open = false;
};

enum class SummonAction { ShowAndFocus, HideToTray, Minimize };

// A window in front is sent away, any other is brought to the front. Away is
// the tray when there is an icon to come back from, but never with a dialog
// open: hiding its owner would leave the dialog on the screen alone, while
// minimizing takes it along and brings it back with the window.
SummonAction summon_action(const SummonScene& scene);

}  // namespace tolvar::app
