#include "sessions/starting_session.hpp"

#include <algorithm>
#include <utility>

namespace tolvar::app {

StartingSession::StartingSession(pty::SessionId id, std::shared_ptr<pty::SharedModel> model)
    : id_(id), model_(std::move(model)) {}

StartingSession::~StartingSession() {
    wanted_->store(false);
}

void StartingSession::write(std::string_view bytes) {
    if (running_) {
        running_->write(bytes);
        return;
    }
    // Whole writes or nothing: a key's sequence cut in two would reach the
    // program as other keys.
    if (waiting_.size() + bytes.size() > k_max_waiting) {
        dropped_ += bytes.size();
        return;
    }
    waiting_.append(bytes);
}

void StartingSession::resize(std::uint16_t rows, std::uint16_t cols) {
    if (running_) {
        running_->resize(rows, cols);
        return;
    }
    model_->with([rows, cols](pty::TerminalModel& model) {
        if (model.rows() != rows || model.cols() != cols) model.set_size(rows, cols);
    });
}

Expected<std::size_t, std::string> StartingSession::finish(
    Expected<std::unique_ptr<Session>, std::string> started) {
    if (!started) return unexpected(std::move(started.error()));
    running_ = std::move(*started);
    // A resize that came while the console was being made: the running
    // session compares with the size it started at.
    std::uint16_t rows = 0, cols = 0;
    model_->with([&](const pty::TerminalModel& model) {
        rows = model.rows();
        cols = model.cols();
    });
    running_->resize(rows, cols);
    if (!waiting_.empty()) running_->write(std::exchange(waiting_, {}));
    return std::exchange(dropped_, 0);
}

}  // namespace tolvar::app
