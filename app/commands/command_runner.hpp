// The one place a Command is carried out. UI thread only; every change goes
// through the state cell, so a command asked for from inside another (a
// window message handled during a dialog) is done right after it, not lost.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "commands/commands.hpp"
#include "tolvar/core/file_system.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {

// What commands need from the window beyond the workspace. Every call may
// re-enter the window procedure.
class CommandPort {
  public:
    virtual ~CommandPort() = default;
    // The clipboard's text as UTF-8; nothing when there is none or it is busy.
    virtual std::optional<std::string> read_clipboard() = 0;
    virtual void write_clipboard(std::string_view text) = 0;
    // Starts the program's own executable again, with no arguments.
    virtual void start_new_window() = 0;
    virtual void start_rename(RenameTarget target) = 0;
    virtual void open_connection_manager() = 0;
    virtual void open_quick_connect() = 0;
    virtual void open_history_viewer() = 0;
    // The find box over the active pane, with the focus in it.
    virtual void open_find() = 0;
    virtual void open_palette() = 0;
    // The save dialog for the tab's output, and the writing; a failure is
    // shown by the port.
    virtual void save_output(TabId tab) = 0;
    // Restore the main window and bring it to the front, the focus on it.
    virtual void show_main_window() = 0;
    // To the front from elsewhere; away (to the tray, or minimized) when
    // the window has the focus already.
    virtual void summon() = 0;
    // A path or web address, opened as the desktop would open it.
    virtual void open_in_shell(const std::string& target) = 0;
    // A link's target, judged by the link rule and opened; the sentence
    // that tells why not, or nothing.
    virtual std::optional<std::string> open_link(const std::string& target) = 0;
    virtual void info_box(const std::string& caption, const std::string& text) = 0;
    virtual void quit() = 0;
};

class CommandRunner {
  public:
    CommandRunner(Workspace& workspace, SaveSchedule& saves, TabLogging& logs, Notifier& notifier,
                  CommandPort& port, core::FileSystem& fs)
        : workspace_(workspace),
          saves_(saves),
          logs_(logs),
          notifier_(notifier),
          port_(port),
          fs_(fs) {}

    void execute(const Command& command);

    // Sends text as typed input to the active tab (or its broadcasting
    // group) and submits `line` for its history once it shows.
    void send_and_record(std::string bytes, std::string line);

  private:
    Workspace& workspace_;
    SaveSchedule& saves_;
    TabLogging& logs_;
    Notifier& notifier_;
    CommandPort& port_;
    core::FileSystem& fs_;
};

}  // namespace tolvar::app
