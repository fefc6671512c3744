// The rules of the connection manager: list lines, the filter, selection
// moves and the profile commands, working on the dialog's own copy of the
// profiles and on the hosts of the user's SSH configuration (listed after
// them, never changed) behind a small surface of its controls; and the
// hand-back after the dialog has closed. Win32 only moves text in and out.
// UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/records.hpp"
#include "tolvar/proto/ssh_config.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {

// "local — cmd", "ssh user@host:22", "rdp host:3389", "vnc host:5900".
std::string kind_summary(const core::ProfileKind& kind);
// "{name} — {summary}"
std::string profile_line(const core::ConnectionProfile& profile);
// Indexes of the profiles whose lower-cased "{name} {summary}" contains the
// trimmed, lower-cased filter; all of them for an empty filter.
std::vector<std::size_t> matching_profiles(const std::vector<core::ConnectionProfile>& profiles,
                                           std::string_view filter);

// "ssh user@host:port — from SSH configuration", as ssh resolves the alias.
std::string ssh_host_summary(const proto::SshConfigHost& host);
// "{alias} — {summary}"
std::string ssh_host_line(const proto::SshConfigHost& host);
// As matching_profiles, with the alias for the name.
std::vector<std::size_t> matching_ssh_hosts(const std::vector<proto::SshConfigHost>& hosts,
                                            std::string_view filter);
// The stored profile Duplicate makes of a configuration host. Its host is
// the alias, so ssh still applies the configuration (keys, jumps, options);
// port and user are the resolved ones, for the editor to show. Fails on a
// port ssh would refuse.
proto::LaunchResult<core::ConnectionProfile> profile_from_ssh_host(
    const proto::SshConfigHost& host);

// The hosts of the user's SSH configuration, read now; a file that exists
// but cannot be read, or a limit reached, is told in a notice.
std::vector<proto::SshConfigHost> read_ssh_hosts(Notifier& notifier, proto::SshConfigFiles& files,
                                                 const proto::SshConfigLocations& where);

// The manager's controls and the dialogs it opens, as its rules see them.
class ManagerSurface {
  public:
    virtual ~ManagerSurface() = default;
    // The filter edit's text, read as the dialog frame reads edits.
    virtual std::string filter_text() const = 0;
    // Replaces the list box's lines.
    virtual void show_lines(const std::vector<std::string>& lines) = 0;
    virtual std::optional<std::size_t> selected_line() const = 0;
    virtual void select_line(std::size_t line) = 0;
    // The question box; true only for Yes.
    virtual bool ask(const std::string& question) = 0;
    // The information box.
    virtual void inform(const std::string& text) = 0;
    // Whether Edit and Delete can act on the selected line.
    virtual void set_editable(bool editable) = 0;
    // The profile editor: nothing when cancelled.
    virtual std::optional<core::ConnectionProfile> edit_profile(
        const std::optional<core::ConnectionProfile>& profile) = 0;
    // Ends the modal loop after the current message.
    virtual void end() = 0;
};

enum class ManagerKey { Up, Down, Insert, Delete, CtrlD, F2 };

class ConnectionManager {
  public:
    explicit ConnectionManager(std::vector<core::ConnectionProfile> profiles,
                               std::vector<proto::SshConfigHost> ssh_hosts = {})
        : profiles_(std::move(profiles)), ssh_hosts_(std::move(ssh_hosts)) {}

    // Every refresh selects the first line again.
    void refresh(ManagerSurface& surface);
    void move_selection(ManagerSurface& surface, int delta);
    // The user picked another line: Edit and Delete follow it.
    void selection_changed(ManagerSurface& surface);
    void connect(ManagerSurface& surface);
    void add(ManagerSurface& surface);
    void edit(ManagerSurface& surface);
    void duplicate(ManagerSurface& surface);
    void remove(ManagerSurface& surface);
    // The key table; false leaves the key to the focused control (Delete
    // while typing in the filter edits the filter).
    bool on_key(ManagerSurface& surface, ManagerKey key, bool filter_focused);

    const std::vector<core::ConnectionProfile>& profiles() const { return profiles_; }
    const std::vector<std::size_t>& shown() const { return shown_; }
    const std::vector<proto::SshConfigHost>& ssh_hosts() const { return ssh_hosts_; }
    // Indexes into ssh_hosts() of the lines after the profiles'.
    const std::vector<std::size_t>& shown_ssh_hosts() const { return shown_hosts_; }
    bool modified() const { return modified_; }
    const std::optional<std::string>& connect_id() const { return connect_id_; }
    // The chosen profile itself: a hand-edited file may give two profiles
    // the same id, and the one the user picked is the one to open.
    const core::ConnectionProfile* chosen() const;
    // The configuration host chosen instead of a profile.
    const proto::SshConfigHost* chosen_ssh_host() const;

  private:
    struct Selected {
        bool from_config = false;
        std::size_t index = 0;  // into profiles_ or ssh_hosts_
    };
    std::optional<Selected> selection(const ManagerSurface& surface) const;
    // The selected profile; a configuration host is told it cannot be `what`.
    std::optional<std::size_t> selected_profile(ManagerSurface& surface, std::string_view what);

    std::vector<core::ConnectionProfile> profiles_;
    std::vector<proto::SshConfigHost> ssh_hosts_;
    std::vector<std::size_t> shown_;
    std::vector<std::size_t> shown_hosts_;
    std::optional<std::size_t> connect_host_;
    std::optional<std::string> connect_id_;
    std::size_t connect_index_ = 0;
    bool modified_ = false;
};

// After the dialog is gone: a changed list replaces the application's and is
// saved; then the chosen profile, if still there, is opened.
void finish_connection_manager(Workspace& workspace, SaveSchedule& saves,
                               const ConnectionManager& manager);

}  // namespace tolvar::app
