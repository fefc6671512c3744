// A session's log as text: the lines of the primary screen as they scroll
// into the history, so that a line redrawn with carriage returns (a progress
// bar) is logged in its last state, escape sequences never appear and a
// full-screen program on the alternate screen is not logged line by line;
// at the end, what is left on the screen. Portable; read under the session's
// model lock, the writing is the caller's.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "tolvar/core/file_system.hpp"
#include "tolvar/pty/shared_model.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::app {

class LogLines {
  public:
    // Logs from the screen's first line on: what the screen shows when
    // logging starts is logged, the history before it is not.
    explicit LogLines(const pty::TerminalModel& model) : next_(model.history_end()) {}
    explicit LogLines(pty::LineNumber first) : next_(first) {}

    // The lines that entered the history since the last call, each ending
    // in a line feed; a wrapped run is taken whole once it has ended. Lines
    // that left the history before they were taken are lost, counted in
    // lost().
    std::string scrolled(const pty::TerminalModel& model);
    // Everything not taken yet through the last row of the screen that holds
    // anything, for the end of the log (the history only while the alternate
    // screen is on).
    std::string rest(const pty::TerminalModel& model);
    std::uint64_t lost() const { return lost_; }

  private:
    pty::LineNumber next_;
    std::uint64_t lost_ = 0;
};

// Appends a log's text to its file on a thread of its own, so that neither
// the reader nor the UI waits for the disk: write() only queues; the queue
// is written at least once a second, as soon as it holds k_write_soon
// bytes, and when the writer ends. The first failed write (disk full, folder
// gone) ends the log: `failed` is called once, on the writer's thread, with a
// sentence for the user, and nothing more is written. A queue the disk
// cannot keep up with is cut at k_max_queued bytes, with a line in the log
// saying how much was left out.
class LogWriter {
  public:
    static constexpr std::size_t k_max_queued = 16u << 20;
    static constexpr std::size_t k_write_soon = 1u << 20;
    // How long ending a writer waits for its last write before leaving it to
    // finish alone.
    static constexpr std::chrono::milliseconds k_end_wait{100};
    using Failed = std::function<void(const std::string& message)>;

    // `fs` outlives the writer, and any writer left to finish until
    // finish_all.
    LogWriter(core::FileSystem& fs, core::Path path, Failed failed);
    // Writes what is queued; a disk that takes longer than k_end_wait is
    // left to finish it alone, for the caller (the UI) must not hang on it.
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    void write(std::string_view text);
    const core::Path& path() const;
    bool failed() const;
    // The sentence `failed` was given; empty while the log goes on.
    std::string failure() const;

    // Waits up to `limit` for the writers left to finish; false when one has
    // not (a disk that stopped answering). For the program's exit.
    static bool finish_all(std::chrono::milliseconds limit);

    struct State;

  private:
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// A tab's log while it is on: the lines taken from its session's model and
// their writer. Taking and the end read the model under its lock (UI
// thread); the end writes the screen's rest and lets the writer finish. It
// shares the model, so it can end after the session has closed.
class TabLog {
  public:
    TabLog(std::shared_ptr<pty::SharedModel> model, std::unique_ptr<LogWriter> writer);
    ~TabLog();
    TabLog(const TabLog&) = delete;
    TabLog& operator=(const TabLog&) = delete;

    // Queues what has scrolled off since the last call.
    void take();
    const LogWriter& writer() const { return *writer_; }

  private:
    std::shared_ptr<pty::SharedModel> model_;
    LogLines lines_;
    std::unique_ptr<LogWriter> writer_;
};

// "{title} {yyyy-mm-dd} {hh-mm-ss}.log", the title made safe as for "Save
// output…" ("session" when nothing of it is left).
std::string log_file_name(std::string_view title, int year, int month, int day, int hour,
                          int minute, int second);

}  // namespace tolvar::app
