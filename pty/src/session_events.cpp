#include "tolvar/pty/session_events.hpp"

#include <array>

namespace tolvar::pty {

void pump_output(const ReadOutput& read, SharedModel& model, OutputSignal& signal,
                 SessionEvents& events, SessionId id, const ReadEnd& how_it_ended) noexcept {
    std::array<char, k_output_chunk> buffer{};
    // An exception here (from a read or an owner that broke its contract)
    // ends the output early; the owner still hears of the end.
    try {
        for (;;) {
            const std::size_t read_bytes = read(buffer);
            if (read_bytes == 0) break;
            const std::string_view chunk(buffer.data(), read_bytes);
            model.with([chunk](TerminalModel& m) { m.feed(chunk); });
            if (signal.raise() && !events.output(id)) signal.withdraw();
        }
    } catch (...) {
    }
    SessionEnd end;
    try {
        if (how_it_ended) end = how_it_ended();
    } catch (...) {
    }
    try {
        events.ended(id, end);
    } catch (...) {
    }
}

}  // namespace tolvar::pty
