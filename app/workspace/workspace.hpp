// The workspace's tab operations: opening, closing, grouping, renaming,
// restarting and ending tabs, and the work a session's output and end ask
// of its tab. Each operation borrows the state, changes it, lets go, and
// only then relays out or repaints through the window port; it uses the
// save schedule, the tabs' logging and the notifier, which it does not own.
// UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sessions/tab_logging.hpp"
#include "tolvar/core/file_system.hpp"
#include "workspace/app_state.hpp"
#include "workspace/notices.hpp"
#include "workspace/ports.hpp"
#include "workspace/save_schedule.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {

// Completion draws on at most this many of a session's recorded lines.
inline constexpr std::size_t k_history_lines_loaded = 500;

struct OpenRequest {
    std::optional<std::uint8_t> color;
    std::optional<std::string> command;
    std::optional<std::string> title;
    std::optional<std::string> group;
    std::optional<std::string> profile_id;
    std::optional<std::string> record_id;
    // A serial tab: the port instead of a command.
    std::optional<proto::SerialLine> serial;
};

using RenameTarget = TabOrGroup;

class Workspace {
  public:
    Workspace(StateCell& cell, SessionStarter& starter, WindowPort& window,
              ExternalStarter& externals, proto::LaunchSystem& launch_system, core::FileSystem& fs,
              Notifier& notifier, SaveSchedule& saves, TabLogging& logs)
        : cell_(cell),
          starter_(starter),
          window_(window),
          externals_(externals),
          launch_system_(launch_system),
          fs_(fs),
          notifier_(notifier),
          saves_(saves),
          logs_(logs) {}

    StateCell& cell() { return cell_; }
    WindowPort& window() { return window_; }

    // The new tab, which is active. A session that cannot start adds nothing
    // and says why in a notice. Asked for inside another change, the tab is
    // added right after it, and there is no id to give yet.
    std::optional<TabId> open_tab(OpenRequest request);
    // Several tabs at once, as a resume opens them: one save and one layout
    // for all; their programs start on the starter's thread, the last tab's
    // (the one shown) first, and each tab shows it is starting until then.
    // How many tabs were added.
    std::size_t open_tabs(std::vector<OpenRequest> requests);
    // A console plan becomes a tab; an outside client starts detached; a
    // plan error is shown as "Cannot connect: ...".
    void open_profile(const core::ConnectionProfile& profile);
    proto::LaunchResult<proto::LaunchPlan> plan(const core::ProfileKind& kind);
    // What a tab runs: a command (nothing: the default shell), or a port.
    struct Launch {
        std::optional<std::string> command;
        std::optional<proto::SerialLine> serial;
    };
    // What a plan runs in a tab, with the notices of a serial line told;
    // nothing for an outside client.
    std::optional<Launch> tab_launch(proto::LaunchPlan& plan);
    // A host of the user's SSH configuration: a tab titled with its alias
    // that runs ssh with the alias alone.
    void open_ssh_alias(std::string_view alias);
    // Closing the last tab destroys the main window.
    void close_tab(TabId id);
    // The window's end: every tab is taken out, each log ends with the screen
    // its user last saw, then the sessions close in tab order. No save.
    void end_all_tabs();
    void close_group(GroupId id);
    void set_active_tab(TabId id);
    void new_tab_in_group(GroupId id);
    void toggle_group_collapsed(GroupId id);
    void toggle_group_broadcast(GroupId id);
    void activate_group(GroupId id);
    void commit_rename(RenameTarget target, std::string_view text);
    // Empties the tab's history; its pane shows the live screen.
    void clear_scrollback(TabId id);
    // "Log to file": starts the tab's log in the logs folder, or ends it.
    void toggle_log(TabId id);
    // Every tab's output since the last paint: the logs' text queued for
    // their writers (a log whose writing failed ends here with its notice),
    // submitted lines judged, and a tab whose model failed ended as
    // session_output ends it. UI thread, at paint.
    void take_logs();
    // A session's output notice: the tab's own work, done whether or not the
    // window paints (a window hidden in the tray does not): the output is
    // acknowledged, so the next one is told too, and its log takes the lines
    // that scrolled off. A tab whose model failed ends, its session closed,
    // with the reason in a notice. An id no tab holds changes nothing.
    void session_output(pty::SessionId id);

    // A session's program ended: its tab closes, or stays under the exit
    // line, as close_on_exit says. An id no tab holds (a session the user
    // closed) or a tab that already ended changes nothing.
    void session_ended(pty::SessionId id, pty::SessionEnd end);
    // A start asked of the starter's thread ended: the tab runs its session,
    // given what was typed meanwhile (what did not fit is told). A start that
    // failed takes its tab away and says why, as a tab that cannot start
    // adds none; a window left with no tab opens a fresh one. A session no
    // starting tab waits for (its tab closed) ends.
    void session_started(pty::SessionId id,
                         Expected<std::unique_ptr<Session>, std::string> started);
    // Starts the tab's profile, as it is now, or its command again in the
    // same tab, which keeps its title, group, colour, record id and typed
    // lines. A start that fails leaves the tab as it was and says why.
    void restart_tab(TabId id);
    // The tab's profile or command in a new tab right after it, in its
    // group, with its colour and the title the user gave it.
    std::optional<TabId> duplicate_tab(TabId id);

    // Relayout and repaint: the tail of every visible change.
    void refresh();

  private:
    // A tab whose session started; its id when it was added at once.
    struct Started {
        std::optional<TabId> id;
    };
    // Opens without saving or laying out; nothing when the session could
    // not start. `join`: the group it joins as it is added.
    std::optional<Started> start_tab(OpenRequest request, std::optional<GroupId> join = {});
    Started add_tab(OpenRequest request, std::unique_ptr<Session> session,
                    std::optional<GroupId> join = {});
    // What the launch asks the starter for, with the notice of a default
    // working folder that is not one.
    SessionRequest session_request(const Launch& launch);
    // A session for the launch; nothing, with a notice, when it cannot start.
    std::unique_ptr<Session> start_session(const Launch& launch);
    // What a restart or duplicate of the tab runs: its profile's plan when
    // the profile still exists and opens a tab, else what the tab ran. A
    // plan error is the "Cannot connect: ..." text; an empty error, a tab
    // that is gone.
    Expected<Launch, std::string> relaunch(TabId id);
    // The save and the relayout of a close, or the end of the window when no
    // tab is left.
    void after_close();
    // The notices and the ends that taking output found, told after the change.
    void after_output(std::vector<std::string> told, const std::vector<TabId>& failed);
    // What a tab's new output asks of it: its log takes the new lines (a
    // failed log ends, its sentence added to `told`) and a submitted line is
    // judged by its echo. True when the tab's model has failed.
    bool take_output(const core::LoadedConfig& config, Tab& tab, std::vector<std::string>& told);
    // Ends a tab whose model can no longer be read: like a program's end,
    // but with no screen to keep, so the session closes and a notice says
    // why.
    void end_failed_session(TabId id);

    StateCell& cell_;
    SessionStarter& starter_;
    WindowPort& window_;
    ExternalStarter& externals_;
    proto::LaunchSystem& launch_system_;
    core::FileSystem& fs_;
    Notifier& notifier_;
    SaveSchedule& saves_;
    TabLogging& logs_;
};

// The configured default working directory when it names an existing
// directory (links followed); otherwise nothing, and the child inherits
// the program's current directory.
std::optional<std::string> usable_working_dir(const std::optional<std::string>& configured);

// The profile with that id; a hand-edited file may hold two, and the first wins.
const core::ConnectionProfile* find_profile(const std::vector<core::ConnectionProfile>& profiles,
                                            std::string_view id);

}  // namespace tolvar::app
