#include "tolvar/pty/session_events.hpp"

#include <array>
#include <string>

namespace tolvar::pty {

void pump_output(const ReadOutput& read, SharedModel& model, OutputSignal& signal,
                 SessionEvents& events, SessionId id, const ReadEnd& how_it_ended,
                 const WriteInput& answer) noexcept {
    std::array<char, k_output_chunk> buffer{};
    std::string replies;
    // An exception here (from a read or an owner that broke its contract)
    // ends the output early; the owner still hears of the end.
    try {
        for (;;) {
            const std::size_t read_bytes = read(buffer);
            if (read_bytes == 0) break;
            const std::string_view chunk(buffer.data(), read_bytes);
            model.with([&](TerminalModel& m) {
                if (answer) m.set_answering(true);
                m.feed(chunk);
                if (answer) replies = m.take_answers();
            });
            // Written outside the lock; a failed write is the session's end,
            // which the next read reports.
            if (!replies.empty()) answer(replies);
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
