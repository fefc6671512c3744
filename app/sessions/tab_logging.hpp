// "Log to file" for the workspace's tabs: where the logs go, starting a
// tab's log with a file of its own, handing it the lines its session showed,
// and telling what failed. It owns the failures found inside a change until
// they are told after it; the logs themselves belong to their tabs. UI
// thread only, but for the wake, which a log's writer thread calls.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tolvar/core/file_system.hpp"
#include "workspace/app_state.hpp"
#include "workspace/notices.hpp"

namespace tolvar::app {

class TabLogging {
  public:
    TabLogging(StateCell& cell, Notifier& notifier, core::FileSystem& fs)
        : cell_(cell), notifier_(notifier), fs_(fs) {}

    // Inside a change: starts the log of a tab with a session and no log, in
    // the logs folder under `data_dir`; false when it cannot, with the
    // reason kept for tell_pending.
    bool start(Tab& tab, const core::Path& data_dir);
    // Inside a change: the tab's log takes the lines that scrolled off since
    // the last call. A log whose writing failed ends here, its sentence
    // added to `told`.
    void take(Tab& tab, std::vector<std::string>& told);
    // After the change: tells the logs that could not start.
    void tell_pending();

    // %APPDATA%\tolvar\logs, made when missing; nothing when it cannot be,
    // which is told, or when there is no data folder.
    std::optional<core::Path> logs_folder();

    // Called from a log's writer thread when a write failed, so that the
    // next paint tells it: the window asks for one.
    std::function<void()> wake_from_writer = [] {};

  private:
    StateCell& cell_;
    Notifier& notifier_;
    core::FileSystem& fs_;
    // Logs that could not start, found inside a change and told after it.
    std::vector<std::string> pending_;
};

}  // namespace tolvar::app
