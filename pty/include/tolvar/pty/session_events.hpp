// How a session reports to its owner: the events interface the owner
// implements, the flag that coalesces output notifications, and the reader's
// steps that feed output to the model. They run where the session reads (a
// thread of its own or the system's pool), one chunk at a time; the flag is
// shared by that reader and the session's owner.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

#include "tolvar/pty/pty_session.hpp"
#include "tolvar/pty/shared_model.hpp"

namespace tolvar::pty {

// How a session tells its owner about output and about its end. Called by
// the session's reader, for one session never from two threads at once;
// implementations must be thread-safe and must not block.
class SessionEvents {
  public:
    virtual ~SessionEvents() = default;
    // Output has been fed to the model. False when the owner could not be
    // told (its queue is full): the next chunk tries again.
    virtual bool output(SessionId id) = 0;
    // The output has ended, and how the program ended; called exactly once,
    // after every output call, and never lost.
    virtual void ended(SessionId id, SessionEnd end) = 0;
};

// "Output not yet taken in": while it is set, the reader sends no further
// output notification, so a flood costs one notification per paint.
class OutputSignal {
  public:
    // True when this call set the flag, and so owes the owner a notification.
    bool raise() noexcept { return !pending_.exchange(true); }
    // The notification owed could not be delivered: the next raise owes it.
    void withdraw() noexcept { pending_.store(false); }
    // The owner is about to read the model. An exchange, not a store: it
    // takes in the reader's feed that came before the raise it clears.
    void acknowledge() noexcept { pending_.exchange(false); }

  private:
    std::atomic<bool> pending_{false};
};

inline constexpr std::size_t k_output_chunk = 8192;

// When a console's reader asks for the next chunk. A console host writes a
// flood in pieces of a few hundred bytes, and a read for each (a pool
// completion, system round trips, a model lock, a notice) cost the reader
// three times what writing them cost the host. A read whose bytes were
// already waiting shows a writer ahead of the reader, so the next read waits
// a moment for the writes to gather in the pipe; one that filled its buffer
// has more waiting and reads again at once; one that waited for its bytes
// (typed echo after a pause) is followed at once, so an echo after a pause
// is never held back and any other output at most k_gather.
struct ReadPacing {
    // A read that completed sooner than this found its bytes waiting.
    static constexpr std::chrono::microseconds k_found_waiting{2000};
    static constexpr std::chrono::milliseconds k_gather{4};
    // The wait before the next read, after one that took `waited` from being
    // asked to its completion and brought `bytes` of `room`.
    static constexpr std::chrono::milliseconds after(std::chrono::nanoseconds waited,
                                                     std::size_t bytes,
                                                     std::size_t room) noexcept {
        if (bytes >= room || waited >= k_found_waiting) return {};
        return k_gather;
    }
};

// Fills `buffer` with the next output; 0 when the output has ended or the
// read failed.
using ReadOutput = std::function<std::size_t(std::span<char> buffer)>;
// How the program ended, asked once its output has ended.
using ReadEnd = std::function<SessionEnd()>;

// Writes bytes to the session's input; false when the write failed.
using WriteInput = std::function<bool(std::string_view bytes)>;

// The reader's steps, for a reader driven by completions rather than a loop
// of its own. feed_output takes one chunk into `model` (a poisoned model
// drops it) and notifies through `signal` and `events`; with `answer`, for a
// session whose bytes reach the model unchanged (a serial port), the model
// answers the application's device questions and `answer` sends the replies
// back (behind a pseudo console the console host answers them itself). False
// when the output must end: an owner or a read broke its contract.
bool feed_output(std::string_view chunk, SharedModel& model, OutputSignal& signal,
                 SessionEvents& events, SessionId id, const WriteInput& answer = nullptr) noexcept;
// Tells the owner of the end, exactly once after the last feed_output; an
// unknown end when `how_it_ended` fails.
void end_output(SessionEvents& events, SessionId id, const ReadEnd& how_it_ended) noexcept;

// Reads chunks until the output ends and feeds each as feed_output does; then
// calls events.ended(id, how_it_ended()), exactly once, whatever failed on
// the way.
void pump_output(const ReadOutput& read, SharedModel& model, OutputSignal& signal,
                 SessionEvents& events, SessionId id, const ReadEnd& how_it_ended,
                 const WriteInput& answer = nullptr) noexcept;

}  // namespace tolvar::pty
