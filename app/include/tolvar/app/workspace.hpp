// The workspace operations: opening, closing, grouping, colouring and
// renaming tabs, and the points where the session list is saved. Each
// operation borrows the state, changes it, lets go, and only then relays out
// or repaints through the window port. UI thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/app/app_state.hpp"
#include "tolvar/app/ports.hpp"
#include "tolvar/core/file_system.hpp"

namespace tolvar::app {

// Completion draws on at most this many of a session's recorded lines.
inline constexpr std::size_t k_history_lines_loaded = 500;

struct RenameTarget {
    enum class Kind { Tab, Group };
    Kind kind;
    std::uint64_t id;  // a session id or a group id
};

class Workspace {
  public:
    Workspace(StateCell& cell, SessionStarter& starter, WindowPort& window,
              ProfileLauncher& launcher, core::FileSystem& fs)
        : cell_(cell), starter_(starter), window_(window), launcher_(launcher), fs_(fs) {}

    StateCell& cell() { return cell_; }

    // Whether a tab was added. A session that cannot start adds nothing.
    bool open_tab(OpenRequest request);
    // A console plan becomes a tab; an outside client starts detached; a
    // plan error is shown as "Cannot connect: ...".
    void open_profile(const core::ConnectionProfile& profile);
    // Closing the last tab destroys the main window.
    void close_tab(std::size_t index);
    void close_group(GroupId id);
    void set_active_tab(std::size_t index);
    void new_tab_in_group(GroupId id);
    void toggle_group_collapsed(GroupId id);
    void toggle_group_broadcast(GroupId id);
    void activate_group(GroupId id);
    void commit_rename(RenameTarget target, std::string_view text);
    void save_session_list();

    // Relayout and repaint: the tail of every visible change.
    void refresh();

  private:
    StateCell& cell_;
    SessionStarter& starter_;
    WindowPort& window_;
    ProfileLauncher& launcher_;
    core::FileSystem& fs_;
};

// Operations that touch only the state; callers relayout and repaint.
void cycle_tab(AppState& state, bool backwards);
void set_tab_group(AppState& state, std::size_t index, std::optional<GroupId> group);
void new_group_for_tab(AppState& state, std::size_t index);
void set_tab_color(AppState& state, std::size_t index, std::optional<std::uint8_t> color);
void set_group_parent(AppState& state, GroupId id, std::optional<GroupId> parent);
void prune_groups(AppState& state);
// activate_group without layout or repaint: only the active tab changes.
void activate_group_only(AppState& state, GroupId id);
// Finds the group by exact name or creates it.
GroupId group_by_name(AppState& state, std::string_view name);

// Stored title, or the terminal's own title unless the user gave one, with
// "» " in front while the tab's group broadcasts.
std::string display_title(const AppState& state, const Tab& tab);

// One record per tab, in tab-bar order, as the session list is saved.
std::vector<core::SessionRecord> session_records(const AppState& state);

}  // namespace tolvar::app
