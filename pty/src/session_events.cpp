#include "tolvar/pty/session_events.hpp"

#include <array>
#include <string>

namespace tolvar::pty {

bool feed_output(std::string_view chunk, SharedModel& model, OutputSignal& signal,
                 SessionEvents& events, SessionId id, const WriteInput& answer) noexcept {
    try {
        std::string replies;
        model.with([&](TerminalModel& m) {
            if (answer) m.set_answering(true);
            m.feed(chunk);
            if (answer) replies = m.take_answers();
        });
        // Written outside the lock; a failed write is the session's end,
        // which the next read reports.
        if (!replies.empty()) answer(replies);
        if (signal.raise() && !events.output(id)) signal.withdraw();
        return true;
    } catch (...) {
        return false;
    }
}

void end_output(SessionEvents& events, SessionId id, const ReadEnd& how_it_ended) noexcept {
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

void pump_output(const ReadOutput& read, SharedModel& model, OutputSignal& signal,
                 SessionEvents& events, SessionId id, const ReadEnd& how_it_ended,
                 const WriteInput& answer) noexcept {
    std::array<char, k_output_chunk> buffer{};
    // An exception from a read ends the output early; the owner still hears
    // of the end.
    try {
        for (;;) {
            const std::size_t read_bytes = read(buffer);
            if (read_bytes == 0) break;
            if (!feed_output(std::string_view(buffer.data(), read_bytes), model, signal, events,
                             id, answer)) {
                break;
            }
        }
    } catch (...) {
    }
    end_output(events, id, how_it_ended);
}

}  // namespace tolvar::pty
