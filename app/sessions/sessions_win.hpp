// The Windows implementations of the workspace's session and launch seams:
// pseudo-console and serial sessions reporting to the main window, and
// profile plans started with the system's clients. UI thread only.
#pragma once

#include <windows.h>

#include <functional>

#include "look/fonts.hpp"
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
// (the restored one while it is minimized) and the current cell.
class ConsoleStarter final : public SessionStarter {
  public:
    ConsoleStarter(std::function<HWND()> window, const CellMetrics& cell)
        : window_(std::move(window)), cell_(cell) {}
    Expected<std::unique_ptr<Session>, std::string> start(const SessionRequest& request) override;

  private:
    std::function<HWND()> window_;
    const CellMetrics& cell_;
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
