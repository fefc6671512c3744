// The seams between the workspace rules and the system: a running session,
// how sessions start, the main window, and how outside clients start. The
// Win32 shell implements them; tests use fakes. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tolvar/core/expected.hpp"
#include "tolvar/proto/launch_plan.hpp"
#include "tolvar/pty/pty_session.hpp"
#include "tolvar/pty/shared_model.hpp"

namespace tolvar::app {

enum class TabId : std::uint64_t;  // app_state.hpp
class StartingSession;             // sessions/starting_session.hpp

// One child program in a pseudo console, or an open serial port. Destroying
// it ends the child or closes the port.
class Session {
  public:
    virtual ~Session() = default;
    virtual pty::SessionId id() const = 0;
    virtual void write(std::string_view bytes) = 0;
    virtual void resize(std::uint16_t rows, std::uint16_t cols) = 0;
    // Shared with the session's reader and with whatever must still read the
    // last screen after the session has closed (a log ending).
    virtual const std::shared_ptr<pty::SharedModel>& shared_model() const = 0;
    pty::SharedModel& model() const { return *shared_model(); }
    // The output so far has been taken in: the next output notifies again.
    virtual void acknowledge_output() = 0;
    // Its program is still being started on another thread.
    virtual bool starting() const { return false; }
    virtual StartingSession* as_starting() { return nullptr; }
};

struct SessionRequest {
    std::optional<std::string> command;      // the default shell when absent
    std::optional<std::string> working_dir;  // an existing directory, or inherit
    // A serial port to read and write instead of a program; then the two
    // above do not apply.
    std::optional<proto::SerialLine> serial;
};

class SessionStarter {
  public:
    virtual ~SessionStarter() = default;
    // The session, or the message that tells the user what failed and why.
    virtual Expected<std::unique_ptr<Session>, std::string> start(
        const SessionRequest& request) = 0;
    // The same start on another thread, in the order asked: the session
    // returned is starting, and the window hands the start's outcome to
    // Workspace::session_started. Dropping the session before its start has
    // begun means it never begins.
    virtual std::unique_ptr<StartingSession> start_in_background(
        const SessionRequest& request) = 0;
};

// The main window as the workspace sees it. Every call may re-enter the
// window procedure, so none may be made while the state is borrowed.
class WindowPort {
  public:
    virtual ~WindowPort() = default;
    // The layout pass: places panes and resizes the sessions they show.
    virtual void relayout() = 0;
    // Repaint the whole client area, without erasing.
    virtual void invalidate() = 0;
    // The tab's session drew: repaint what changed in its pane, if shown.
    virtual void invalidate_output(TabId tab) = 0;
    // Destroy the main window, which ends the program.
    virtual void destroy() = 0;
    // A modal error box, for what the user has to acknowledge before going on.
    virtual void error_box(const std::string& text) = 0;
};

// Outside clients (remote desktop, VNC) start detached; a failed start is
// shown by the starter itself.
class ExternalStarter {
  public:
    virtual ~ExternalStarter() = default;
    virtual void start_external(const proto::External& plan) = 0;
};

}  // namespace tolvar::app
