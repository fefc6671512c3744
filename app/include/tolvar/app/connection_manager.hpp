// The rules of the connection manager: list lines, the filter, selection
// moves and the profile commands, working on the dialog's own copy of the
// profiles behind a small surface of its controls; and the hand-back after
// the dialog has closed. Win32 only moves text in and out. UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/app/workspace.hpp"
#include "tolvar/core/records.hpp"

namespace tolvar::app {

// "local — cmd", "ssh user@host:22", "rdp host:3389", "vnc host:5900".
std::string kind_summary(const core::ProfileKind& kind);
// "{name} — {summary}"
std::string profile_line(const core::ConnectionProfile& profile);
// Indexes of the profiles whose lower-cased "{name} {summary}" contains the
// trimmed, lower-cased filter; all of them for an empty filter.
std::vector<std::size_t> matching_profiles(const std::vector<core::ConnectionProfile>& profiles,
                                           std::string_view filter);

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
    // The profile editor: nothing when cancelled.
    virtual std::optional<core::ConnectionProfile> edit_profile(
        const std::optional<core::ConnectionProfile>& profile) = 0;
    // Ends the modal loop after the current message.
    virtual void end() = 0;
};

enum class ManagerKey { Up, Down, Insert, Delete, CtrlD, F2 };

class ConnectionManager {
  public:
    explicit ConnectionManager(std::vector<core::ConnectionProfile> profiles)
        : profiles_(std::move(profiles)) {}

    // Every refresh selects the first line again.
    void refresh(ManagerSurface& surface);
    void move_selection(ManagerSurface& surface, int delta);
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
    bool modified() const { return modified_; }
    const std::optional<std::string>& connect_id() const { return connect_id_; }
    // The chosen profile itself: a hand-edited file may give two profiles
    // the same id, and the one the user picked is the one to open.
    const core::ConnectionProfile* chosen() const;

  private:
    std::optional<std::size_t> selected(const ManagerSurface& surface) const;

    std::vector<core::ConnectionProfile> profiles_;
    std::vector<std::size_t> shown_;
    std::optional<std::string> connect_id_;
    std::size_t connect_index_ = 0;
    bool modified_ = false;
};

// After the dialog is gone: a changed list replaces the application's and is
// saved; then the chosen profile, if still there, is opened.
void finish_connection_manager(Workspace& workspace, const ConnectionManager& manager);

}  // namespace tolvar::app
