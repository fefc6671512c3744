// Fakes of the workspace's seams, recording what the rules asked for.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "fake_launch_system.hpp"
#include "test_dirs.hpp"
#include "tolvar/app/workspace.hpp"

namespace tolvar::app::testing {

class FakeSession final : public Session {
  public:
    FakeSession(pty::SessionId id, std::vector<pty::SessionId>* closed)
        : id_(id), closed_(closed), model_(std::make_shared<pty::SharedModel>(24, 80)) {}
    ~FakeSession() override {
        if (closed_) closed_->push_back(id_);
    }
    pty::SessionId id() const override { return id_; }
    void write(std::string_view bytes) override {
        written += bytes;
        if (!echo) return;
        // As a terminal's line discipline echoes before the program reads.
        std::string shown;
        for (char c : bytes) shown += c == '\x7f' ? "\b \b" : c == '\r' ? "\r\n" : std::string(1, c);
        model_->with([&](pty::TerminalModel& m) { m.feed(shown); });
    }
    void resize(std::uint16_t rows, std::uint16_t cols) override { size = {rows, cols}; }
    const std::shared_ptr<pty::SharedModel>& shared_model() const override { return model_; }
    void acknowledge_output() override { ++acknowledged; }

    std::string written;
    bool echo = false;
    pty::GridSize size{24, 80};
    int acknowledged = 0;

  private:
    pty::SessionId id_;
    std::vector<pty::SessionId>* closed_;
    std::shared_ptr<pty::SharedModel> model_;
};

class FakeStarter final : public SessionStarter {
  public:
    Expected<std::unique_ptr<Session>, std::string> start(const SessionRequest& request) override {
        const pty::SessionId id = next_id++;
        commands.push_back(request.command);
        working_dirs.push_back(request.working_dir);
        serials.push_back(request.serial);
        if (fail_next) return unexpected(*std::exchange(fail_next, std::nullopt));
        return std::unique_ptr<Session>(std::make_unique<FakeSession>(id, &closed));
    }

    pty::SessionId next_id = 1;
    // The message the next start fails with.
    std::optional<std::string> fail_next;
    std::vector<std::optional<std::string>> commands;
    std::vector<std::optional<std::string>> working_dirs;
    std::vector<std::optional<proto::SerialLine>> serials;
    std::vector<pty::SessionId> closed;
};

class FakeWindow final : public WindowPort {
  public:
    explicit FakeWindow(StateCell& cell) : cell_(cell) {}
    // The real calls re-enter the window procedure, which borrows the state:
    // borrowing here proves no operation still holds it.
    void relayout() override { touch(), ++relayouts; }
    void invalidate() override { touch(), ++invalidates; }
    void destroy() override { touch(), ++destroyed; }
    void error_box(const std::string& text) override { touch(), errors.push_back(text); }

    int relayouts = 0;
    int invalidates = 0;
    int destroyed = 0;
    int reentry_refused = 0;
    std::vector<std::string> errors;

  private:
    void touch() {
        if (!cell_.borrow()) ++reentry_refused;
    }
    StateCell& cell_;
};

class FakeExternals final : public ExternalStarter {
  public:
    void start_external(const proto::External& plan) override { started.push_back(plan); }
    std::vector<proto::External> started;
};

// A workspace with fakes, the real launch plans over a fake system, and the
// real file system behind a wrapper that fails on request.
struct Rig {
    FakeStarter starter;  // outlives the cell: closing sessions report to it
    StateCell cell;
    FakeWindow window{cell};
    FakeExternals externals;
    proto::testing::FakeSystem system;
    core::testing::FaultyFileSystem fs;
    Workspace ws{cell, starter, window, externals, system, fs};

    AppState& state() { return *cell_guardless(); }
    Tab& tab(std::size_t position) { return *state().find_tab(id(position)); }
    TabId id(std::size_t position) { return state().tabs().at(position).id(); }
    std::vector<std::string> titles() {
        std::vector<std::string> out;
        for (const Tab& t : state().tabs()) out.push_back(t.title);
        return out;
    }
    std::vector<std::string> notices() {
        std::vector<std::string> out;
        for (const Notice& n : state().notices.shown()) out.push_back(n.text);
        return out;
    }
    void open(int n = 1) {
        for (int i = 0; i < n; ++i) ws.open_tab({});
    }

  private:
    AppState* cell_guardless() {
        auto guard = cell.borrow();
        return &**guard;  // tests read the state between operations only
    }
};

}  // namespace tolvar::app::testing
