#include "window/paint_trace_win.hpp"

#include <windows.h>

#include <mutex>
#include <utility>
#include <vector>

#include "tolvar/core/platform.hpp"

namespace tolvar::app::win {

namespace {

struct Arrivals {
    std::mutex lock;
    std::vector<std::pair<pty::SessionId, std::int64_t>> first;
};

Arrivals& arrivals() {
    static Arrivals a;
    return a;
}

}  // namespace

bool paint_trace_on() {
    static const bool on = [] {
        const auto name = core::environment_variable("TOLVAR_PAINT_TRACE");
        return name && !name->empty();
    }();
    return on;
}

std::int64_t trace_now() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? f.QuadPart : 1;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<std::int64_t>(now.QuadPart / frequency * 1'000'000 +
                                     now.QuadPart % frequency * 1'000'000 / frequency);
}

void trace_output_arrived(pty::SessionId id) {
    if (!paint_trace_on()) return;
    const std::int64_t now = trace_now();
    Arrivals& a = arrivals();
    const std::lock_guard hold(a.lock);
    for (const auto& [session, time] : a.first) {
        if (session == id) return;
    }
    a.first.emplace_back(id, now);
}

std::optional<std::int64_t> take_output_arrival(pty::SessionId id) {
    if (!paint_trace_on()) return std::nullopt;
    Arrivals& a = arrivals();
    const std::lock_guard hold(a.lock);
    for (auto it = a.first.begin(); it != a.first.end(); ++it) {
        if (it->first != id) continue;
        const std::int64_t time = it->second;
        a.first.erase(it);
        return time;
    }
    return std::nullopt;
}

}  // namespace tolvar::app::win
