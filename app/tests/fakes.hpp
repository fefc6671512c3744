// Fakes of the workspace's seams, recording what the rules asked for.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "commands/command_runner.hpp"
#include "fake_launch_system.hpp"
#include "sessions/starting_session.hpp"
#include "states.hpp"
#include "test_dirs.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app::testing {

class FakeSession final : public Session {
  public:
    FakeSession(pty::SessionId id, std::vector<pty::SessionId>* closed,
                std::shared_ptr<pty::SharedModel> model = std::make_shared<pty::SharedModel>(24, 80))
        : id_(id), closed_(closed), model_(std::move(model)) {}
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
    std::unique_ptr<StartingSession> start_in_background(const SessionRequest& request) override {
        const pty::SessionId id = next_id++;
        commands.push_back(request.command);
        working_dirs.push_back(request.working_dir);
        serials.push_back(request.serial);
        auto session =
            std::make_unique<StartingSession>(id, std::make_shared<pty::SharedModel>(24, 80));
        background.push_back({id, session->shared_model(), session->wanted()});
        return session;
    }
    // Ends the background start of `id` as the starter's thread would: with
    // a running session on the same model, or with `failure`.
    void finish(Workspace& workspace, pty::SessionId id,
                std::optional<std::string> failure = std::nullopt) {
        for (const Background& b : background) {
            if (b.id != id) continue;
            if (failure) {
                workspace.session_started(id, unexpected(std::move(*failure)));
                return;
            }
            auto running = std::make_unique<FakeSession>(id, &closed, b.model);
            running_sessions[id] = running.get();
            workspace.session_started(id, std::unique_ptr<Session>(std::move(running)));
            return;
        }
    }

    struct Background {
        pty::SessionId id;
        std::shared_ptr<pty::SharedModel> model;
        std::shared_ptr<const std::atomic<bool>> wanted;
    };
    // Every background start asked for, in order.
    std::vector<Background> background;
    std::map<pty::SessionId, FakeSession*> running_sessions;

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
    // The real calls re-enter the window procedure, which may change the
    // state: no operation may still hold it.
    void relayout() override { touch(), ++relayouts; }
    void invalidate() override { touch(), ++invalidates; }
    void invalidate_output(TabId tab) override { touch(), output_invalidated.push_back(tab); }
    void destroy() override { touch(), ++destroyed; }
    void error_box(const std::string& text) override { touch(), errors.push_back(text); }

    int relayouts = 0;
    int invalidates = 0;
    std::vector<TabId> output_invalidated;
    int destroyed = 0;
    int reentry_refused = 0;
    std::vector<std::string> errors;

  private:
    void touch() {
        if (cell_.changing()) ++reentry_refused;
    }
    StateCell& cell_;
};

class FakeExternals final : public ExternalStarter {
  public:
    void start_external(const proto::External& plan) override { started.push_back(plan); }
    std::vector<proto::External> started;
};

// Records what commands asked of the window. Like the window port, the real
// calls can re-enter the window procedure: none may come inside a change.
class FakeCommandPort final : public CommandPort {
  public:
    explicit FakeCommandPort(StateCell& cell) : cell_(cell) {}
    std::optional<std::string> read_clipboard() override { return touch(), clipboard; }
    void write_clipboard(std::string_view text) override {
        touch();
        copied.emplace_back(text);
    }
    void start_new_window() override { touch(), ++new_windows; }
    void start_rename(RenameTarget target) override { touch(), renames.push_back(target); }
    void open_connection_manager() override { touch(), dialogs.push_back("connections"); }
    void open_quick_connect() override { touch(), dialogs.push_back("quick connect"); }
    void open_history_viewer() override { touch(), dialogs.push_back("history"); }
    void open_find() override { touch(), dialogs.push_back("find"); }
    void open_palette() override { touch(), dialogs.push_back("palette"); }
    void save_output(TabId tab) override { touch(), saved.push_back(tab); }
    void show_main_window() override { touch(), ++shows; }
    void summon() override { touch(), ++summons; }
    void open_in_shell(const std::string& target) override { touch(), opened.push_back(target); }
    std::optional<std::string> open_link(const std::string& target) override {
        touch();
        links.push_back(target);
        return link_failure;
    }
    void info_box(const std::string& caption, const std::string& text) override {
        touch();
        boxes.push_back(caption + "|" + text);
    }
    void quit() override { touch(), ++quits; }

    std::optional<std::string> clipboard;
    std::optional<std::string> link_failure;
    std::vector<std::string> copied;
    std::vector<std::string> dialogs;
    std::vector<RenameTarget> renames;
    std::vector<TabId> saved;
    std::vector<std::string> opened;
    std::vector<std::string> links;
    std::vector<std::string> boxes;
    int new_windows = 0, shows = 0, summons = 0, quits = 0;
    int reentry_refused = 0;

  private:
    void touch() {
        if (cell_.changing()) ++reentry_refused;
    }
    StateCell& cell_;
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
    Notifier notifier{cell, window};
    SaveSchedule saves{cell, window, fs};
    TabLogging logs{cell, notifier, fs};
    Workspace ws{cell, starter, window, externals, system, fs, notifier, saves, logs};
    FakeCommandPort port{cell};
    CommandRunner commands{ws, saves, logs, notifier, port, fs};

    AppState& state() { return *cell_guardless(); }
    Tab& tab(std::size_t position) { return *state().find_tab(id(position)); }
    TabId id(std::size_t position) { return state().tabs().at(position).id(); }
    std::vector<std::string> titles() {
        std::vector<std::string> out;
        for (const Tab& t : state().tabs()) out.push_back(t.title());
        return out;
    }
    std::vector<std::string> notices() {
        std::vector<std::string> out;
        for (const Notice& n : state().notices().shown()) out.push_back(n.text);
        return out;
    }
    void open(int n = 1) {
        for (int i = 0; i < n; ++i) ws.open_tab({});
    }

  private:
    // Tests read the state between operations only.
    AppState* cell_guardless() { return &cell.unguarded(); }
};

}  // namespace tolvar::app::testing
