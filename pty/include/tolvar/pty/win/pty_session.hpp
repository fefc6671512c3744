// A child program running in a Windows pseudo console, and the detached
// reader, overlapped reads completed on the system's thread pool, that feeds
// its output to a SharedModel and reports through the owner's SessionEvents. A session is used only on the UI thread; the
// reader shares nothing with it but the model and the output signal.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tolvar/core/expected.hpp"
#include "tolvar/core/win/win32.hpp"
#include "tolvar/pty/pty_session.hpp"
#include "tolvar/pty/session_events.hpp"
#include "tolvar/pty/shared_model.hpp"

namespace tolvar::pty {

class PseudoConsole;

class PtySession {
  public:
    // Starts `command` (or the COMSPEC shell) in a new pseudo console of
    // `size`, in `working_dir` as given (none: the current directory), and
    // its reader, which reports to `events` (not null). A failed start still
    // spends its session id, and leaves no process or handle behind.
    static Expected<PtySession, StartError> start(const std::optional<std::string>& command,
                                                  const std::optional<std::string>& working_dir,
                                                  GridSize size,
                                                  std::shared_ptr<SessionEvents> events);

    // What a start on another thread makes beforehand, so that its tab has
    // the session's id and model before the program runs. The console takes
    // the model's size as it is when the start begins.
    struct Prepared {
        SessionId id = 0;
        std::shared_ptr<SharedModel> model;
    };
    static Expected<PtySession, StartError> start(const std::optional<std::string>& command,
                                                  const std::optional<std::string>& working_dir,
                                                  Prepared prepared,
                                                  std::shared_ptr<SessionEvents> events);

    PtySession(PtySession&&) noexcept;
    PtySession& operator=(PtySession&&) noexcept;
    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;
    // Ends the child and closes the pseudo console, which ends the reader; its
    // late ended() then names an id nobody owns.
    ~PtySession();

    SessionId id() const { return id_; }
    std::uint16_t rows() const { return rows_; }
    std::uint16_t cols() const { return cols_; }
    SharedModel& model() const { return *model_; }
    // The model outlives the session while the reader still holds it.
    const std::shared_ptr<SharedModel>& shared_model() const { return model_; }

    // Hands the bytes to the child as keyboard input, synchronously. When the
    // child is gone or the pipe fails, the rest is dropped without a word.
    void write(std::string_view bytes);
    // Resizes the pseudo console and then the model. An unchanged size makes
    // no call; a refused one keeps the old size, for the next layout to retry.
    void resize(std::uint16_t rows, std::uint16_t cols);
    // The output so far has been taken in: the next chunk notifies again.
    // Call it before reading the model, or output fed in between is missed.
    void acknowledge_output() { signal_->acknowledge(); }

  private:
    PtySession(std::shared_ptr<SharedModel> model, std::shared_ptr<OutputSignal> signal,
               SessionId id, std::unique_ptr<PseudoConsole> console,
               core::win::UniqueHandle process, core::win::UniqueHandle input, GridSize size);
    void close();

    std::shared_ptr<SharedModel> model_;
    std::shared_ptr<OutputSignal> signal_;
    SessionId id_ = 0;
    std::unique_ptr<PseudoConsole> console_;
    core::win::UniqueHandle process_;
    core::win::UniqueHandle input_;
    std::uint16_t rows_ = 0;
    std::uint16_t cols_ = 0;
};

}  // namespace tolvar::pty
