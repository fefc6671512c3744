#include "tolvar/remote/update_pacing.hpp"

namespace tolvar::remote {

UpdatePacing::Send UpdatePacing::due(Clock::time_point now, std::size_t queued) {
    if (queued > Limits::k_send_queue_bytes) behind_ = true;
    if (behind_) {
        if (queued > k_drained) return Send::Nothing;
        return Send::Screen;
    }
    if (!started_) return Send::Screen;
    if (wait(now) > Clock::duration::zero()) return Send::Nothing;
    return Send::Update;
}

Clock::duration UpdatePacing::wait(Clock::time_point now) const {
    if (!started_ || now < last_) return Clock::duration::zero();
    const Clock::duration since = now - last_;
    return since >= k_interval ? Clock::duration::zero() : k_interval - since;
}

void UpdatePacing::sent(Clock::time_point now) {
    started_ = true;
    behind_ = false;
    last_ = now;
}

}  // namespace tolvar::remote
