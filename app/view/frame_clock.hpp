// When output may paint: no more often than the display shows frames. The
// first output after a quiet spell paints at once; output within a frame of
// the last paint waits for the rest of that frame, and more output while it
// waits adds nothing but its panes. The first output after a key was typed
// (its echo) paints at once too, so typing shows no later than it would
// without the cap and adds at most a frame a key. Portable; the timer is the
// window's.
#pragma once

#include <cstdint>

namespace tolvar::app {

using Micros = std::int64_t;

// The time between frames of a display refreshing `hz` times a second; 0 and
// 1 (what the system says for "the hardware's default") or anything past
// what a display does count as 60 Hz.
Micros frame_interval(std::uint32_t hz);

class FrameClock {
  public:
    enum class Ask {
        Now,      // invalidate what the output changed
        Arm,      // arm the timer for wait(), then invalidate
        Waiting,  // the armed timer covers it
    };

    explicit FrameClock(Micros interval = frame_interval(0)) : interval_(interval) {}

    void set_interval(Micros interval) { interval_ = interval > 0 ? interval : frame_interval(0); }
    Micros interval() const { return interval_; }

    // Output changed a pane at `now`.
    Ask output(Micros now);
    // A key was typed at `now`: the output after it, if it comes within
    // k_echo_window, does not wait.
    void typed(Micros now) {
        typed_at_ = now;
        echo_due_ = true;
    }
    static constexpr Micros k_echo_window = 250'000;
    // The time to arm the timer for after Ask::Arm; at least 1.
    Micros wait() const { return wait_; }
    // The armed timer fired (or was dropped): what waited is invalidated now.
    void fired() { armed_ = false; }
    bool armed() const { return armed_; }
    // A paint began at `now`; whatever it draws counts as this frame.
    void painted(Micros now) {
        last_paint_ = now;
        painted_once_ = true;
    }

  private:
    Micros interval_;
    Micros last_paint_ = 0;
    bool painted_once_ = false;
    bool armed_ = false;
    Micros wait_ = 0;
    Micros typed_at_ = 0;
    bool echo_due_ = false;
};

}  // namespace tolvar::app
