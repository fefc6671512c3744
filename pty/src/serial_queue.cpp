#include "tolvar/pty/serial_queue.hpp"

#include <algorithm>
#include <utility>

namespace tolvar::pty {

void SerialQueue::write(std::string_view bytes) {
    const std::size_t room = k_serial_queue_bound - std::min(k_serial_queue_bound, bytes_.size());
    bytes_.append(bytes.substr(0, room));
}

bool SerialQueue::answer(std::string_view bytes) {
    if (answered_ + bytes.size() > k_serial_answer_bound) return false;
    bytes_.append(bytes);
    answered_ += bytes.size();
    return true;
}

std::string SerialQueue::take() {
    answered_ = 0;
    return std::exchange(bytes_, {});
}

}  // namespace tolvar::pty
