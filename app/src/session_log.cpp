#include "tolvar/app/session_log.hpp"

#include <chrono>
#include <cstdio>
#include <exception>

#include "tolvar/app/output.hpp"

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
    if (next_ < model.history_begin()) {
        lost_ += model.history_begin() - next_;
        next_ = model.history_begin();
    }
    // Up to the end of the last run of lines that has ended.
    pty::LineNumber end = model.history_end();
    // The end took screen lines that have not scrolled off yet.
    if (end <= next_) return {};
    pty::LineCells scratch;
    while (end > next_ && wrapped(model, end - 1, scratch)) --end;
    std::string text = lines_text(model, next_, end);
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

LogWriter::LogWriter(core::FileSystem& fs, core::Path path, Failed failed)
    : fs_(fs), path_(std::move(path)), on_failure_(std::move(failed)), thread_([this] { run(); }) {}

LogWriter::~LogWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void LogWriter::write(std::string_view text) {
    bool soon = false;
    {
        const std::lock_guard lock(mutex_);
        if (failed_) return;
        if (queued_.size() + text.size() > k_max_queued) {
            dropped_ += text.size();
            return;
        }
        // Once a second alone would cap a log at the queue's size a second,
        // dropping a flood that the disk could well keep up with.
        soon = queued_.size() < k_write_soon && queued_.size() + text.size() >= k_write_soon;
        queued_.append(text);
    }
    if (soon) wake_.notify_one();
}

bool LogWriter::failed() const {
    const std::lock_guard lock(mutex_);
    return failed_;
}

std::string LogWriter::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

namespace {

pty::LineNumber next_line(pty::SharedModel& model) {
    pty::LineNumber next = 0;
    model.with([&](const pty::TerminalModel& m) { next = m.history_end(); });
    return next;
}

}  // namespace

TabLog::TabLog(pty::SharedModel& model, std::unique_ptr<LogWriter> writer)
    : model_(model), lines_(next_line(model)), writer_(std::move(writer)) {}

TabLog::~TabLog() {
    std::string text;
    model_.with([&](const pty::TerminalModel& m) { text = lines_.rest(m); });
    writer_->write(text);
}

void TabLog::take() {
    std::string text;
    model_.with([&](const pty::TerminalModel& m) { text = lines_.scrolled(m); });
    if (!text.empty()) writer_->write(text);
}

void LogWriter::run() noexcept {
    std::string batch;
    for (bool last = false; !last;) {
        std::uint64_t dropped = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::seconds(1),
                           [this] { return stopping_ || queued_.size() >= k_write_soon; });
            last = stopping_;
            batch.swap(queued_);
            std::swap(dropped, dropped_);
        }
        if (dropped != 0) {
            batch += "[" + std::to_string(dropped) +
                     " bytes of output not logged: the disk did not keep up]\n";
        }
        if (batch.empty()) continue;
        std::string failure;
        try {
            const auto written = fs_.append_file(path_, batch);
            if (!written) failure = written.error().text;
        } catch (const std::exception& e) {
            failure = e.what();
        } catch (...) {
            failure = "unknown error";
        }
        batch.clear();
        if (failure.empty()) continue;
        const std::string message =
            "Logging to " + core::path_to_utf8(path_) + " stopped: " + failure;
        {
            const std::lock_guard lock(mutex_);
            failed_ = true;
            failure_ = message;
            queued_.clear();
        }
        try {
            on_failure_(message);
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
