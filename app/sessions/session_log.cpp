#include "sessions/session_log.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

#include "sessions/output.hpp"

namespace tolvar::app {

namespace {

// Line n's text ending in a line feed for each line that does not continue.
std::string lines_text(const pty::TerminalModel& model, pty::LineNumber from, pty::LineNumber to) {
    if (from >= to) return {};
    std::string text = model.text_range({from, 0}, {to, 0});
    if (text.empty() || text.back() != '\n') text.push_back('\n');
    return text;
}

bool wrapped(const pty::TerminalModel& model, pty::LineNumber n, pty::LineCells& scratch) {
    model.line(n, scratch);
    return scratch.wrapped;
}

}  // namespace

std::string LogLines::scrolled(const pty::TerminalModel& model) {
    // A gap in a log must read as one, not pass for what the session printed.
    std::string text;
    if (next_ < model.history_begin()) {
        const pty::LineNumber gone = model.history_begin() - next_;
        lost_ += gone;
        next_ = model.history_begin();
        text = "[" + std::to_string(gone) +
               " lines of output not logged: they left the history before the log took them]\n";
    }
    // Up to the end of the last run of lines that has ended.
    pty::LineNumber end = model.history_end();
    // The end took screen lines that have not scrolled off yet.
    if (end <= next_) return text;
    pty::LineCells scratch;
    while (end > next_ && wrapped(model, end - 1, scratch)) --end;
    text += lines_text(model, next_, end);
    next_ = end;
    return text;
}

std::string LogLines::rest(const pty::TerminalModel& model) {
    std::string text = scrolled(model);
    pty::LineNumber end = model.history_end();
    if (!model.alternate_screen()) {
        pty::LineCells scratch;
        for (std::uint16_t r = model.rows(); r > 0; --r) {
            model.line(model.history_end() + r - 1, scratch);
            bool blank = true;
            for (const pty::Cell& c : scratch.cells) blank = blank && c.contents.empty();
            if (!blank) {
                end = model.history_end() + r;
                break;
            }
        }
    }
    text += lines_text(model, next_, end);
    next_ = end;
    return text;
}

struct LogWriter::State {
    State(core::FileSystem& file_system, core::Path file, Failed told)
        : fs(file_system), path(std::move(file)), on_failure(std::move(told)) {}

    void run() noexcept;

    core::FileSystem& fs;
    const core::Path path;
    const Failed on_failure;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable ended;
    std::string queued;
    std::uint64_t dropped = 0;
    bool stopping = false;
    bool done = false;
    bool failed = false;
    std::string failure;
};

namespace {

// The writers left to finish alone; process-wide, as the disk is. Never
// destroyed: a thread still writing at exit must find it.
struct Finishing {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<std::thread, std::shared_ptr<LogWriter::State>>> writers;

    // Joins those that are done, which takes no time.
    void reap() {
        std::erase_if(writers, [](auto& writer) {
            if (!writer.second->done) return false;
            writer.first.join();
            return true;
        });
    }
};

Finishing& finishing() {
    static auto* const writers = new Finishing;
    return *writers;
}

}  // namespace

LogWriter::LogWriter(core::FileSystem& fs, core::Path path, Failed failed)
    : state_(std::make_shared<State>(fs, std::move(path), std::move(failed))),
      thread_([state = state_] {
          state->run();
          // Told under the finishing lock too, so that finish_all, which
          // waits on that lock's condition, cannot miss it.
          Finishing& all = finishing();
          {
              const std::lock_guard lock(all.mutex);
              const std::lock_guard own(state->mutex);
              state->done = true;
          }
          state->ended.notify_all();
          all.changed.notify_all();
      }) {}

LogWriter::~LogWriter() {
    std::unique_lock lock(state_->mutex);
    state_->stopping = true;
    state_->wake.notify_one();
    const bool done = state_->ended.wait_for(lock, k_end_wait, [this] { return state_->done; });
    lock.unlock();
    if (done) {
        thread_.join();
        return;
    }
    Finishing& all = finishing();
    const std::lock_guard finishing_lock(all.mutex);
    all.reap();
    all.writers.emplace_back(std::move(thread_), state_);
}

bool LogWriter::finish_all(std::chrono::milliseconds limit) {
    Finishing& all = finishing();
    std::unique_lock lock(all.mutex);
    const bool finished = all.changed.wait_for(lock, limit, [&] {
        return std::all_of(all.writers.begin(), all.writers.end(),
                           [](const auto& writer) { return writer.second->done; });
    });
    all.reap();
    return finished;
}

const core::Path& LogWriter::path() const {
    return state_->path;
}

void LogWriter::write(std::string_view text) {
    State& s = *state_;
    bool soon = false;
    {
        const std::lock_guard lock(s.mutex);
        if (s.failed) return;
        if (s.queued.size() + text.size() > k_max_queued) {
            s.dropped += text.size();
            return;
        }
        // Once a second alone would cap a log at the queue's size a second,
        // dropping a flood that the disk could well keep up with.
        soon = s.queued.size() < k_write_soon && s.queued.size() + text.size() >= k_write_soon;
        s.queued.append(text);
    }
    if (soon) s.wake.notify_one();
}

bool LogWriter::failed() const {
    const std::lock_guard lock(state_->mutex);
    return state_->failed;
}

std::string LogWriter::failure() const {
    const std::lock_guard lock(state_->mutex);
    return state_->failure;
}

namespace {

pty::LineNumber next_line(pty::SharedModel& model) {
    pty::LineNumber next = 0;
    model.with([&](const pty::TerminalModel& m) { next = m.history_end(); });
    return next;
}

}  // namespace

TabLog::TabLog(std::shared_ptr<pty::SharedModel> model, std::unique_ptr<LogWriter> writer)
    : model_(std::move(model)), lines_(next_line(*model_)), writer_(std::move(writer)) {}

TabLog::~TabLog() {
    std::string text;
    model_->with([&](const pty::TerminalModel& m) { text = lines_.rest(m); });
    writer_->write(text);
}

void TabLog::take() {
    std::string text;
    model_->with([&](const pty::TerminalModel& m) { text = lines_.scrolled(m); });
    if (!text.empty()) writer_->write(text);
}

void LogWriter::State::run() noexcept {
    std::string batch;
    for (bool last = false; !last;) {
        std::uint64_t lost = 0;
        {
            std::unique_lock lock(mutex);
            wake.wait_for(lock, std::chrono::seconds(1),
                          [this] { return stopping || queued.size() >= k_write_soon; });
            last = stopping;
            batch.swap(queued);
            std::swap(lost, dropped);
        }
        if (lost != 0) {
            batch += "[" + std::to_string(lost) +
                     " bytes of output not logged: the disk did not keep up]\n";
        }
        if (batch.empty()) continue;
        std::string error;
        try {
            const auto written = fs.append_file(path, batch);
            if (!written) error = written.error().text;
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "unknown error";
        }
        batch.clear();
        if (error.empty()) continue;
        const std::string message = "Logging to " + core::path_to_utf8(path) + " stopped: " + error;
        {
            const std::lock_guard lock(mutex);
            failed = true;
            failure = message;
            queued.clear();
        }
        try {
            on_failure(message);
        } catch (...) {
        }
        return;
    }
}

std::string log_file_name(std::string_view title, int year, int month, int day, int hour,
                          int minute, int second) {
    char when[32];
    std::snprintf(when, sizeof when, " %04d-%02d-%02d %02d-%02d-%02d.log", year, month, day, hour,
                  minute, second);
    return file_name_stem(title, "session") + when;
}

}  // namespace tolvar::app
