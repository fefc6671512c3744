// A session whose program is being started on another thread. Its id and
// model are the running session's from the first, so output notices, paint
// and the session list need not know; what is typed meanwhile waits, in
// order, and a resize sizes the model, whose size the start then takes. UI
// thread only, but for `wanted()`, which the starting thread reads.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "tolvar/core/expected.hpp"
#include "workspace/ports.hpp"

namespace tolvar::app {

class StartingSession final : public Session {
  public:
    // Typed input kept while starting; what comes beyond it is dropped and
    // told when the session runs. A paste of a megabyte still fits.
    static constexpr std::size_t k_max_waiting = std::size_t{1} << 20;

    StartingSession(pty::SessionId id, std::shared_ptr<pty::SharedModel> model);
    // Tells the starting thread that nobody waits for the session any more.
    ~StartingSession() override;
    StartingSession(const StartingSession&) = delete;
    StartingSession& operator=(const StartingSession&) = delete;

    pty::SessionId id() const override { return id_; }
    void write(std::string_view bytes) override;
    void resize(std::uint16_t rows, std::uint16_t cols) override;
    const std::shared_ptr<pty::SharedModel>& shared_model() const override { return model_; }
    void acknowledge_output() override {
        if (running_) running_->acknowledge_output();
    }
    bool starting() const override { return !running_; }
    StartingSession* as_starting() override { return running_ ? nullptr : this; }

    // False once the tab that held this session is gone: a start not yet
    // begun need not begin.
    std::shared_ptr<const std::atomic<bool>> wanted() const { return wanted_; }

    // The start ended. A running session (same id, same model) takes what was
    // typed and the size now asked for, and the count of typed bytes that
    // were dropped is returned; a failure's message comes back as it was.
    // After a failure the session stays starting and is to be dropped.
    Expected<std::size_t, std::string> finish(
        Expected<std::unique_ptr<Session>, std::string> started);

  private:
    pty::SessionId id_;
    std::shared_ptr<pty::SharedModel> model_;
    std::shared_ptr<std::atomic<bool>> wanted_ = std::make_shared<std::atomic<bool>>(true);
    std::unique_ptr<Session> running_;
    std::string waiting_;
    std::size_t dropped_ = 0;
};

}  // namespace tolvar::app
