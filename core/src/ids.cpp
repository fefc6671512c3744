#include "tolvar/core/ids.hpp"

#include <atomic>

#include "tolvar/core/platform.hpp"

namespace tolvar::core {

namespace {
std::atomic<std::uint64_t> g_id_sequence{0};
}

std::string format_id(char prefix, std::int64_t time_100ns, std::uint64_t sequence) {
    const std::uint64_t ms = time_100ns < 0 ? 0 : static_cast<std::uint64_t>(time_100ns) / 10'000u;
    std::string id(1, prefix);
    id += '-';
    id += std::to_string(ms);
    id += '-';
    id += std::to_string(sequence);
    return id;
}

std::string new_id(char prefix) {
    const std::int64_t now = system_time_100ns();
    return format_id(prefix, now, g_id_sequence.fetch_add(1, std::memory_order_relaxed));
}

}  // namespace tolvar::core
