// The Windows implementations of the workspace's session and launch seams:
// pseudo-console and serial sessions reporting to the main window, and
// profile plans started with the system's clients. UI thread only, but for
// the starter's own thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "look/fonts.hpp"
#include "sessions/starting_session.hpp"
#include "tolvar/pty/win/pty_session.hpp"
#include "tolvar/pty/win/serial_session.hpp"
#include "workspace/app_state.hpp"
#include "workspace/ports.hpp"

namespace tolvar::app::win {

// A pseudo-console session (pty::PtySession) or a serial one
// (pty::SerialSession) as the workspace sees it.
template <class Running>
class SessionOf final : public Session {
  public:
    explicit SessionOf(Running session) : session_(std::move(session)) {}
    pty::SessionId id() const override { return session_.id(); }
    void write(std::string_view bytes) override { session_.write(bytes); }
    void resize(std::uint16_t rows, std::uint16_t cols) override { session_.resize(rows, cols); }
    const std::shared_ptr<pty::SharedModel>& shared_model() const override {
        return session_.shared_model();
    }
    void acknowledge_output() override { session_.acknowledge_output(); }

  private:
    Running session_;
};

// Starts sessions that report to the main window, sized for its client area
// (the restored one while it is minimized) and the current cell. Background
// starts run in turn on one thread of its own; each one's outcome waits here
// for the window, which is told by WM_APP_SESSION_STARTED (wParam the id).
class ConsoleStarter final : public SessionStarter {
  public:
    ConsoleStarter(std::function<HWND()> window, const CellMetrics& cell);
    // Starts not yet begun are dropped; one under way is waited for.
    ~ConsoleStarter() override;
    ConsoleStarter(const ConsoleStarter&) = delete;
    ConsoleStarter& operator=(const ConsoleStarter&) = delete;

    Expected<std::unique_ptr<Session>, std::string> start(const SessionRequest& request) override;
    std::unique_ptr<StartingSession> start_in_background(const SessionRequest& request) override;
    // The outcome of the background start of `id`, once: a session that ran
    // past its tab is still handed over, for the workspace to end.
    Expected<std::unique_ptr<Session>, std::string> take_started(pty::SessionId id);
    // A session's output came. The first background start's first output
    // lets the others begin: until the shown tab's prompt is painted, they
    // would only slow it down.
    void output_came(pty::SessionId id);

  private:
    struct Job {
        SessionRequest request;
        pty::PtySession::Prepared prepared;
        std::shared_ptr<const std::atomic<bool>> wanted;
        HWND window = nullptr;
    };
    pty::GridSize size_for(HWND window) const;
    void run() noexcept;

    std::function<HWND()> window_;
    const CellMetrics& cell_;
    // A test's file: while it exists, background starts after the first
    // (the tab shown) wait, at most a minute, so that a test can act while
    // tabs are still starting.
    std::optional<std::wstring> hold_file_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::map<pty::SessionId, Expected<std::unique_ptr<Session>, std::string>> started_;
    bool stopping_ = false;
    // The first background start, until its first output (or a second)
    // lets the rest begin.
    std::atomic<pty::SessionId> waiting_for_ = 0;
    bool released_ = false;
    std::thread thread_;  // last: it runs on everything above
};

// Outside clients started with the system's programs; failures in an error
// box over the main window.
class SystemExternals final : public ExternalStarter {
  public:
    explicit SystemExternals(std::function<HWND()> owner) : owner_(std::move(owner)) {}
    void start_external(const proto::External& plan) override;

  private:
    std::function<HWND()> owner_;
};

}  // namespace tolvar::app::win
