// When a phone watching a tab is sent the tab's changes: at most
// Limits::k_updates_per_second, and never onto a queue past its bound. A
// connection that falls behind has the changes in between dropped and gets
// one fresh screen once its queue has drained, so that a flood on the
// desktop costs the phone a bounded rate and the program bounded memory.
// Pure rules; one per watching connection, one thread.
#pragma once

#include <cstddef>

#include "tolvar/remote/admission.hpp"

namespace tolvar::remote {

class UpdatePacing {
  public:
    enum class Send {
        Nothing,  // not now: wait() says how long, or the queue must drain
        Update,   // the changes since the last send
        Screen,   // a whole screen: the first, or after changes were dropped
    };

    static constexpr std::chrono::microseconds k_interval{1'000'000 / Limits::k_updates_per_second};
    // A behind connection is sent its screen once its queue is this low.
    static constexpr std::size_t k_drained = Limits::k_send_queue_bytes / 4;

    // The tab has changed, or a wait has passed: what to send now, given
    // the bytes still queued for the connection.
    Send due(Clock::time_point now, std::size_t queued);
    // How long from `now` until an update may go; zero when one may now.
    Clock::duration wait(Clock::time_point now) const;
    // What due() said was sent.
    void sent(Clock::time_point now);

  private:
    bool started_ = false;
    bool behind_ = false;
    Clock::time_point last_{};
};

}  // namespace tolvar::remote
