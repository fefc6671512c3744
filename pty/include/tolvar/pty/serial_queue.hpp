// What a serial session has to send, waiting for its port: the user's bytes
// (keys, pastes) and the model's answers to the device's questions, in the
// order they came. Portable; not thread-safe: its owner holds the lock that
// guards it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvar::pty {

// The user's bytes that would wait past this many are dropped.
inline constexpr std::size_t k_serial_queue_bound = 4u << 20;
// Answers that would wait past this many are dropped: a device that holds
// the line (XOFF, CTS low) and keeps asking gains nothing from a stale
// answer, and must not grow the queue until the session dies.
inline constexpr std::size_t k_serial_answer_bound = 4u << 10;

class SerialQueue {
  public:
    // Keeps what fits below k_serial_queue_bound.
    void write(std::string_view bytes);
    // Keeps the answers of one chunk whole while the answers waiting stay
    // within k_serial_answer_bound; drops them whole otherwise, since a cut
    // one would reach the device as a different answer. False when dropped.
    bool answer(std::string_view bytes);
    // Everything waiting, in order; the queue is empty after.
    std::string take();
    bool empty() const { return bytes_.empty(); }

  private:
    std::string bytes_;
    std::size_t answered_ = 0;  // of bytes_, the answers' share
};

}  // namespace tolvar::pty
