#include "view/frame_clock.hpp"

namespace tolvar::app {

Micros frame_interval(std::uint32_t hz) {
    // Past 1000 Hz a frame is shorter than the timer can wait.
    if (hz <= 1 || hz > 1000) hz = 60;
    return (1'000'000 + hz / 2) / hz;
}

FrameClock::Ask FrameClock::output(Micros now) {
    if (echo_due_) {
        echo_due_ = false;
        // What the timer waits for is painted now; it finds nothing left.
        if (now - typed_at_ <= k_echo_window && now >= typed_at_) return Ask::Now;
    }
    if (armed_) return Ask::Waiting;
    const Micros since = now - last_paint_;
    // A clock that went back (another core's counter) must not stall output.
    if (!painted_once_ || since >= interval_ || since < 0) return Ask::Now;
    armed_ = true;
    wait_ = interval_ - since;
    return Ask::Arm;
}

}  // namespace tolvar::app
