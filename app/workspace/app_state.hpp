// The single state of the UI thread: configuration, tabs, groups and view
// state, and the guard through which every operation reaches it. AppState
// owns the rules that tie tabs, groups and the view together (the active tab,
// group membership, pruning, the broadcast set, the browse path and the
// browser selection) and keeps them true after every change it makes.
// Tabs and groups are named by ids that never change or get reused; list
// positions are for drawing and the keys that count tabs. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "look/appearance.hpp"
#include "sessions/session_log.hpp"
#include "tolvar/core/store.hpp"
#include "view/find.hpp"
#include "view/geometry.hpp"
#include "view/scrolling.hpp"
#include "workspace/notices.hpp"
#include "workspace/ports.hpp"
#include "workspace/unique_function.hpp"

namespace tolvar::app {

// Distinct types, so that an id can never be taken for a list position.
enum class TabId : std::uint64_t {};
enum class GroupId : std::uint64_t {};

constexpr std::uint64_t id_value(TabId id) {
    return static_cast<std::uint64_t>(id);
}
constexpr std::uint64_t id_value(GroupId id) {
    return static_cast<std::uint64_t>(id);
}

// A tab-bar item, a browser entry, a rename or menu subject: a tab or a group.
using TabOrGroup = std::variant<TabId, GroupId>;

struct NamedColor {
    std::string_view name;
    Rgb rgb;
};

// Shared by tab colours, group colours and the colour menu.
inline constexpr std::array<NamedColor, core::k_palette_size> k_color_table{{
    {"Red", {231, 72, 86}},
    {"Orange", {247, 140, 60}},
    {"Yellow", {249, 241, 165}},
    {"Green", {22, 198, 12}},
    {"Cyan", {97, 214, 214}},
    {"Blue", {59, 120, 255}},
    {"Purple", {200, 80, 200}},
    {"Gray", {150, 150, 150}},
}};

// The colour of a stored index; nothing for none or an index above 7.
constexpr std::optional<Rgb> color_rgb(std::optional<std::uint8_t> index) {
    if (auto usable = core::usable_color(index)) return k_color_table[*usable].rgb;
    return std::nullopt;
}

enum class ViewMode { Single, TileGroup, TileAll, BrowseGroups };

enum class SelectionState : std::uint8_t { Finished = 0, Selecting = 1, None = 2 };

// The mouse text selection, one for the whole window. Its ends are lines of
// the session's history and screen with their cells, so it stays on its text
// while output arrives and while the pane scrolls.
// A double or triple click selects, and its drag extends, by whole words or
// lines; `unit_start`..`unit_end` is the unit first clicked, which stays
// selected whichever way the drag goes.
enum class SelectionUnit : std::uint8_t { Cell, Word, Line };

struct MouseSelection {
    TabId tab{};
    pty::LinePosition anchor;  // where the button went down
    pty::LinePosition end;     // under the pointer
    SelectionState state = SelectionState::None;
    SelectionUnit unit = SelectionUnit::Cell;
    bool block = false;  // a rectangle of the columns between the ends
    pty::LinePosition unit_start;
    pty::LinePosition unit_end;
};

// The find box, over one pane at a time.
struct FindBox {
    TabId tab{};
    Find find;
};

// A line the user submitted, waiting for the session to show it was echoed:
// where the cursor's line began (through the rows it wraps from) and on which
// screen. A prompt that reads without echo never shows it, so it is dropped.
struct SubmittedLine {
    std::string text;
    pty::LineNumber start = 0;
    bool alternate = false;
};

// What the user types on a tab's line: the line so far, the lines typed
// before (the newest last), the one suggested from them, and the one
// submitted and waiting for its echo.
class TypedLine {
  public:
    TypedLine() = default;
    explicit TypedLine(std::vector<std::string> history) : history_(std::move(history)) {}

    const std::string& text() const { return text_; }
    const std::vector<std::string>& history() const { return history_; }
    // Nothing, or a line of the history that begins with the text and is longer.
    const std::optional<std::string>& suggestion() const { return suggestion_; }
    const std::optional<SubmittedLine>& submitted() const { return submitted_; }

    // Nothing is suggested for the new text until `suggest`.
    void set_text(std::string text);
    // The newest line of the history the text begins, when autocomplete is on.
    void suggest(bool autocomplete);
    std::optional<std::string> take_suggestion() {
        return std::exchange(suggestion_, std::nullopt);
    }
    // A line that was run joins the history; nothing is suggested.
    void remember(std::string line);
    void wait_for_echo(std::optional<SubmittedLine> line) { submitted_ = std::move(line); }
    std::optional<SubmittedLine> take_submitted() {
        return std::exchange(submitted_, std::nullopt);
    }
    // The text and its suggestion go; the history and the waiting line stay.
    void clear();

  private:
    std::string text_;
    std::vector<std::string> history_;
    std::optional<std::string> suggestion_;
    std::optional<SubmittedLine> submitted_;
};

// What a tab is opened with.
struct TabStart {
    std::string record_id;
    std::string title;
    // The user's or a profile's title, kept in the session record; otherwise
    // the terminal's own title shows when it has one.
    bool own_title = false;
    std::optional<std::uint8_t> color;
    std::optional<std::string> profile_id;
    // The command line the session was started with; nothing: the default shell.
    std::optional<std::string> command;
    // The port a serial tab opened, which a restart opens again.
    std::optional<proto::SerialLine> serial;
    std::vector<std::string> history;
    std::unique_ptr<Session> session;
};

class Tab {
  public:
    Tab() = default;
    explicit Tab(TabStart start);

    TabId id() const { return id_; }
    // Changing it moves the tab, so only AppState does.
    const std::optional<GroupId>& group() const { return group_; }

    const std::string& title() const { return title_; }
    bool custom_title() const { return custom_title_; }
    std::optional<std::uint8_t> color() const { return color_; }
    const std::string& record_id() const { return record_id_; }
    const std::optional<std::string>& profile_id() const { return profile_id_; }
    const std::optional<std::string>& command() const { return command_; }
    const std::optional<proto::SerialLine>& serial() const { return serial_; }
    // Nothing once its terminal failed.
    Session* session() const { return session_.get(); }
    // Set when the program ended and the tab stayed: its pane shows the last
    // screen and the exit line, and nothing typed is sent anywhere.
    const std::optional<pty::SessionEnd>& ended() const { return ended_; }
    // While "Log to file" is on. It shares the session's model, so it can
    // write the last screen whenever it ends.
    TabLog* log() const { return log_.get(); }
    const ScrollView& scroll() const { return scroll_; }
    ScrollView& scroll() { return scroll_; }
    const TypedLine& typed() const { return typed_; }
    TypedLine& typed() { return typed_; }
    // Whether the terminal's title changed since the last ask, which the
    // tab bar and the captions show.
    bool take_title_change(const pty::TerminalModel& model);

    // The user's own title, which the terminal's title no longer replaces.
    void rename(std::string title);
    void set_color(std::optional<std::uint8_t> color) { color_ = color; }
    // Refused (the log dropped) without a session or with a log running.
    void start_log(std::unique_ptr<TabLog> log);
    // Writes the screen's rest, then the writer ends.
    void end_log() { log_.reset(); }
    // The program ended and the tab stays: what was typed goes, the pane
    // shows the live screen.
    void program_ended(pty::SessionEnd end);
    // Runs `session` from now on: the log, what was typed and the view
    // belonged to the old one, which is returned for the caller to drop.
    std::unique_ptr<Session> restart(std::unique_ptr<Session> session,
                                     std::optional<std::string> command,
                                     std::optional<proto::SerialLine> serial);
    // Its terminal failed: the tab stays, ended, and gives up its log and
    // session, for the caller to drop (the log first).
    struct Dropped {
        std::unique_ptr<TabLog> log;
        std::unique_ptr<Session> session;
    };
    Dropped fail();

  private:
    friend class AppState;
    void forget_typing_and_view();

    TabId id_{};
    std::optional<GroupId> group_;
    std::optional<std::uint8_t> color_;
    std::string title_;
    bool custom_title_ = false;
    std::string record_id_;
    std::optional<std::string> profile_id_;
    std::optional<std::string> command_;
    std::optional<proto::SerialLine> serial_;
    std::unique_ptr<Session> session_;
    std::optional<pty::SessionEnd> ended_;
    // After the session, so that it ends before it when the tab is dropped.
    std::unique_ptr<TabLog> log_;
    ScrollView scroll_;
    TypedLine typed_;
    std::uint64_t title_seen_ = 0;  // the model's damage number at the last ask
    std::string title_shown_;       // the model's title then
};

struct TabGroup {
    std::string name;
    bool collapsed = false;

    GroupId id() const { return id_; }
    // Fixed at creation: (id - 1) mod 8.
    std::uint8_t color() const { return color_; }
    // Changing it could make a cycle, so only AppState does.
    const std::optional<GroupId>& parent() const { return parent_; }

  private:
    friend class AppState;
    GroupId id_{};
    std::uint8_t color_ = 0;
    std::optional<GroupId> parent_;
};

// The link under the pointer while Ctrl is held: underlined in its pane.
struct HoveredLink {
    TabId tab;
    pty::Match span;
    // What a click opens, shown first where the text may say something
    // else (link_tip); empty for a URL that reads as its target.
    std::string tip;
    friend bool operator==(const HoveredLink&, const HoveredLink&) = default;
};

class AppState {
  public:
    // ---- configuration
    const core::LoadedConfig& config() const { return config_; }
    // Read from config().settings whenever they are replaced.
    const Appearance& appearance() const { return appearance_; }
    // The configuration as read at start; what reading the appearance from
    // its settings told (values that fall back), for the user.
    std::vector<std::string> load_config(core::LoadedConfig config);
    // What the settings' other keys hold was told when they were read; it
    // is not told again.
    void replace_settings(core::Settings settings);
    void replace_profiles(std::vector<core::ConnectionProfile> profiles);

    // ---- the pointer's marks and the boxes over the panes. Each one names a
    // tab that exists, or is none: whatever drops a tab or its screen drops
    // them with it.
    const MouseSelection& selection() const { return selection_; }
    // A drag begins: the selection becomes `started`, being dragged. None
    // when its tab does not exist.
    void start_selection(MouseSelection started);
    // Shift+click: the selection shown is dragged again.
    void resume_selection();
    // The ends as the drag moves them, while there is a selection.
    void move_selection(pty::LinePosition anchor, pty::LinePosition end);
    // Button up: the selection stays shown until cleared.
    void finish_selection_drag();
    void clear_selection();

    const std::optional<HoveredLink>& hovered_link() const { return hovered_link_; }
    // None when its tab does not exist.
    void set_hovered_link(HoveredLink link);
    void clear_hovered_link();

    const std::optional<FindBox>& find() const { return find_; }
    // Over the active tab; true when the box shows (a tab exists). A box
    // already open over that tab keeps its query.
    bool open_find();
    void close_find();
    // The open box's search, which keeps its own matches right; nothing
    // while the box is closed.
    Find* find_search() { return find_ ? &find_->find : nullptr; }

    const Notices& notices() const { return notices_; }
    // As Notices::add: the id of the notice shown.
    std::uint64_t add_notice(std::string text) { return notices_.add(std::move(text)); }
    void dismiss_notice(std::uint64_t id) { notices_.dismiss(id); }

    bool help_visible() const { return help_visible_; }
    void show_help() { help_visible_ = true; }
    void hide_help() { help_visible_ = false; }
    void toggle_help() { help_visible_ = !help_visible_; }

    // Whether the notification-area icon was added.
    bool tray_added() const { return tray_added_; }
    void set_tray_added(bool added) { tray_added_ = added; }

    // ---- a tab's screen. Each keeps the marks above true for the tab.

    // Its history goes; the pane shows the live screen and the find box over
    // it searches again.
    void clear_scrollback(TabId id);
    // The tab runs `session` from now on, started from `command` or `serial`;
    // what was typed, the view, the pointer's marks and the log belonged to
    // the old one. The old session, for the caller to drop after the change;
    // `session` itself when the tab is gone.
    std::unique_ptr<Session> restart_tab(TabId id, std::unique_ptr<Session> session,
                                         std::optional<std::string> command,
                                         std::optional<proto::SerialLine> serial);
    // The tab's terminal failed: the tab stays, ended, without its session
    // and its log, which the caller drops after the change (the log first).
    Tab::Dropped end_failed_session(TabId id);

    // ---- tabs, in tab-bar order
    const std::vector<Tab>& tabs() const { return tabs_; }
    Tab* find_tab(TabId id);
    const Tab* find_tab(TabId id) const;
    std::optional<std::size_t> position_of(TabId id) const;
    Tab* tab_of_session(pty::SessionId id);
    // TabId{} when there are no tabs.
    TabId active() const { return active_; }
    Tab* active_tab() { return find_tab(active_); }
    const Tab* active_tab() const { return find_tab(active_); }
    // 0 with no tabs.
    std::size_t active_position() const { return position_of(active_).value_or(0); }

    // ---- groups, in creation order
    const std::vector<TabGroup>& groups() const { return groups_; }
    TabGroup* find_group(GroupId id);
    const TabGroup* find_group(GroupId id) const;
    bool broadcasts(GroupId id) const { return broadcast_.contains(id); }
    // Whether the tab's own group broadcasts.
    bool broadcasts(const Tab& tab) const { return tab.group_ && broadcasts(*tab.group_); }

    // ---- the view
    ViewMode view_mode() const { return view_mode_; }
    // From the top level down to the browsed group; empty at the top.
    const std::vector<GroupId>& browse_path() const { return browse_path_; }
    // A position among the browser's entries, below their count (0 for none).
    std::size_t tile_selection() const { return tile_selection_; }

    // ---- changes. Each one leaves every rule above true; ids that name
    // nothing change nothing.

    // Appends the tab, joins the group of that exact name (made when there is
    // none), and makes it active.
    TabId add_tab(Tab tab, const std::optional<std::string>& group_name = std::nullopt);
    // The tab taken out, for the caller to drop. The active position is kept,
    // so closing a tab left of the active one activates its right neighbour;
    // the mouse selection ends, and the hovered link and the find box on the
    // tab go.
    std::optional<Tab> remove_tab(TabId id);
    // Places the tab right after `after`, in its group, and makes it active;
    // appended without a group when `after` is gone.
    TabId insert_tab_after(Tab tab, TabId after);
    void set_active(TabId id);
    void cycle_active(bool backwards);
    // Joining a group moves the tab after the group's last tab (or leaves it
    // where it is when it is the first); leaving one never moves it.
    void set_tab_group(TabId tab, std::optional<GroupId> group);
    // "Group " and the new id, with the tab as its first member.
    GroupId new_group_for(TabId tab);
    // Cycles are refused: walking up from the new parent must not reach the
    // group. An unknown parent is accepted as the end of the walk is.
    void set_group_parent(GroupId group, std::optional<GroupId> parent);
    void toggle_broadcast(GroupId group);
    // The group's first tab becomes active; nothing else changes.
    void activate_first_of(GroupId group);

    void set_view_mode(ViewMode mode);
    // Browsing one level down, or back up; up is false at the top.
    void enter_group(GroupId group);
    bool leave_group();
    // Clamped to the entries of the browsed level.
    void select_entry(std::size_t position);

  private:
    GroupId add_group(std::string name);
    GroupId group_by_name(std::string_view name);
    // Restores every rule after a change: drops groups no tab needs (a group
    // without tabs of its own lives while a nested group has some), their
    // broadcast flags and browse levels, and brings the selections, the
    // hovered link and the find box back onto what exists.
    void settle();
    // The selection and the hovered link on the tab go.
    void forget_marks_on(TabId id);
    void refresh_find(const Tab& tab);

    core::LoadedConfig config_;
    Appearance appearance_;
    MouseSelection selection_;
    std::optional<HoveredLink> hovered_link_;
    std::optional<FindBox> find_;
    Notices notices_;
    bool help_visible_ = false;
    bool tray_added_ = false;

    std::vector<Tab> tabs_;
    std::vector<TabGroup> groups_;
    TabId active_{};
    std::uint64_t next_tab_id_ = 0;
    std::uint64_t next_group_id_ = 0;
    std::set<GroupId> broadcast_;
    ViewMode view_mode_ = ViewMode::Single;
    std::vector<GroupId> browse_path_;
    std::size_t tile_selection_ = 0;
};

// The one way to the state. Reads nest, also inside a change: a window
// message handled while a change waits on the system only looks. A change
// asked for while another holds the state is not refused: it waits in a
// queue and runs right after that one, in the order asked, so no user action
// is lost to a re-entrant window message (a dialog's loop, a destroy inside
// an operation). A change's `then` runs once the state is let go, with the
// change's result, before any change that waits; that is where the window is
// called, which may re-enter.
// Changes must own what they capture: a waiting one outlives its caller.
class StateCell {
  public:
    StateCell() = default;
    StateCell(const StateCell&) = delete;
    StateCell& operator=(const StateCell&) = delete;

    template <class F>
    decltype(auto) read(F&& f) const {
        return std::forward<F>(f)(view());
    }
    // The same read for code that looks in many steps; never kept past the
    // message it serves.
    const AppState& view() const { return state_; }

    // With a result: the result when the change ran at once, nothing when
    // it waits (its `then` is given the result either way).
    template <class F>
    auto change(F f) {
        return change(std::move(f), Nothing{});
    }

    template <class F, class Then>
    auto change(F f, Then then) {
        using Result = std::invoke_result_t<F&, AppState&>;
        constexpr bool has_then = !std::is_same_v<Then, Nothing>;
        if constexpr (std::is_void_v<Result>) {
            submit([f = std::move(f), then = std::move(then)](
                       AppState& state) mutable -> UniqueFunction<void()> {
                f(state);
                if constexpr (has_then) {
                    return UniqueFunction<void()>([then = std::move(then)]() mutable { then(); });
                } else {
                    return {};
                }
            });
        } else {
            auto slot = std::make_shared<std::optional<Result>>();
            submit([f = std::move(f), then = std::move(then),
                    slot](AppState& state) mutable -> UniqueFunction<void()> {
                slot->emplace(f(state));
                if constexpr (has_then) {
                    return UniqueFunction<void()>(
                        [then = std::move(then), result = **slot]() mutable {
                            then(std::move(result));
                        });
                } else {
                    return {};
                }
            });
            return std::optional<Result>(std::move(*slot));
        }
    }

    // Runs `f` once every change asked for so far has run: now when none
    // holds the state. Where a follow-up (a save, a relayout) must see them.
    template <class F>
    void after(F f) {
        change([](AppState&) {}, std::move(f));
    }

    // Whether a change holds the state now.
    bool changing() const { return changing_; }

    struct Counts {
        std::uint64_t changes = 0;
        // Asked for while another held the state, and run after it.
        std::uint64_t deferred = 0;
        // Never run: asked for after the end, or still waiting at it.
        std::uint64_t dropped = 0;
    };
    const Counts& counts() const { return counts_; }

    // The end of the window: nothing runs after it, and what still waits is
    // counted as dropped (none should).
    void close();

    // Tests and the start before the window exists, between changes only.
    AppState& unguarded() { return state_; }

  private:
    struct Nothing {};
    using Change = UniqueFunction<UniqueFunction<void()>(AppState&)>;
    void submit(Change change);
    void run(Change& change);

    AppState state_;
    bool changing_ = false;
    bool draining_ = false;
    bool closed_ = false;
    std::deque<Change> waiting_;
    Counts counts_;
};

}  // namespace tolvar::app
