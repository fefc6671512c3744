#include "workspace/app_state.hpp"

#include <algorithm>

#include "workspace/browser.hpp"

namespace tolvar::app {

// ------------------------------------------------------------ lookups

Tab* AppState::find_tab(TabId id) {
    for (Tab& t : tabs_) {
        if (t.id_ == id) return &t;
    }
    return nullptr;
}

const Tab* AppState::find_tab(TabId id) const {
    return const_cast<AppState*>(this)->find_tab(id);
}

std::optional<std::size_t> AppState::position_of(TabId id) const {
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        if (tabs_[i].id_ == id) return i;
    }
    return std::nullopt;
}

Tab* AppState::tab_of_session(pty::SessionId id) {
    for (Tab& t : tabs_) {
        if (t.session() && t.session()->id() == id) return &t;
    }
    return nullptr;
}

TabGroup* AppState::find_group(GroupId id) {
    for (TabGroup& g : groups_) {
        if (g.id_ == id) return &g;
    }
    return nullptr;
}

const TabGroup* AppState::find_group(GroupId id) const {
    return const_cast<AppState*>(this)->find_group(id);
}

// ------------------------------------------------------------ configuration

std::vector<std::string> AppState::load_config(core::LoadedConfig config) {
    config_ = std::move(config);
    AppearanceRead read = read_appearance(config_.settings);
    appearance_ = std::move(read.appearance);
    return std::move(read.notices);
}

void AppState::replace_settings(core::Settings settings) {
    config_.settings = std::move(settings);
    appearance_ = read_appearance(config_.settings).appearance;
}

void AppState::replace_profiles(std::vector<core::ConnectionProfile> profiles) {
    config_.profiles = std::move(profiles);
}

// ------------------------------------------------------------ marks and boxes

void AppState::start_selection(MouseSelection started) {
    selection_ = std::move(started);
    selection_.state = find_tab(selection_.tab) ? SelectionState::Selecting : SelectionState::None;
}

void AppState::resume_selection() {
    if (selection_.state != SelectionState::None) selection_.state = SelectionState::Selecting;
}

void AppState::move_selection(pty::LinePosition anchor, pty::LinePosition end) {
    if (selection_.state == SelectionState::None) return;
    selection_.anchor = anchor;
    selection_.end = end;
}

void AppState::finish_selection_drag() {
    if (selection_.state == SelectionState::Selecting) selection_.state = SelectionState::Finished;
}

void AppState::clear_selection() {
    selection_.state = SelectionState::None;
}

void AppState::set_hovered_link(HoveredLink link) {
    if (find_tab(link.tab)) {
        hovered_link_ = std::move(link);
    } else {
        hovered_link_.reset();
    }
}

void AppState::clear_hovered_link() {
    hovered_link_.reset();
}

bool AppState::open_find() {
    const Tab* active = active_tab();
    if (!active) return false;
    if (!find_ || find_->tab != active->id()) find_ = FindBox{active->id(), {}};
    return true;
}

void AppState::close_find() {
    find_.reset();
}

void AppState::forget_marks_on(TabId id) {
    if (selection_.tab == id) selection_.state = SelectionState::None;
    if (hovered_link_ && hovered_link_->tab == id) hovered_link_.reset();
}

void AppState::refresh_find(const Tab& tab) {
    if (!find_ || find_->tab != tab.id() || !tab.session()) return;
    tab.session()->model().with(
        [&](const pty::TerminalModel& model) { find_->find.refresh(model); });
}

// ------------------------------------------------------------ a tab's screen

void AppState::clear_scrollback(TabId id) {
    Tab* tab = find_tab(id);
    if (!tab || !tab->session()) return;
    tab->session()->model().with([](pty::TerminalModel& model) { model.clear_scrollback(); });
    // Line numbers go on counting, so the marks on the screen stay right.
    tab->scroll().to_live();
    refresh_find(*tab);
}

std::unique_ptr<Session> AppState::restart_tab(TabId id, std::unique_ptr<Session> session,
                                               std::optional<std::string> command,
                                               std::optional<proto::SerialLine> serial) {
    Tab* tab = find_tab(id);
    if (!tab) return session;
    std::unique_ptr<Session> old =
        tab->restart(std::move(session), std::move(command), std::move(serial));
    forget_marks_on(id);
    refresh_find(*tab);
    return old;
}

Tab::Dropped AppState::end_failed_session(TabId id) {
    Tab* tab = find_tab(id);
    if (!tab) return {};
    forget_marks_on(id);
    return tab->fail();
}

// ------------------------------------------------------------ one tab

void TypedLine::set_text(std::string text) {
    text_ = std::move(text);
    suggestion_.reset();
}

void TypedLine::suggest(bool autocomplete) {
    suggestion_.reset();
    if (!autocomplete || text_.empty()) return;
    for (auto it = history_.rbegin(); it != history_.rend(); ++it) {
        if (it->size() > text_.size() && it->starts_with(text_)) {
            suggestion_ = *it;
            return;
        }
    }
}

void TypedLine::remember(std::string line) {
    history_.push_back(std::move(line));
    suggestion_.reset();
}

void TypedLine::clear() {
    text_.clear();
    suggestion_.reset();
}

Tab::Tab(TabStart start)
    : color_(start.color),
      title_(std::move(start.title)),
      custom_title_(start.own_title),
      record_id_(std::move(start.record_id)),
      profile_id_(std::move(start.profile_id)),
      command_(std::move(start.command)),
      serial_(std::move(start.serial)),
      session_(std::move(start.session)),
      typed_(std::move(start.history)) {}

bool Tab::take_title_change(const pty::TerminalModel& model) {
    const pty::Damage damage = model.damage_since(title_seen_);
    title_seen_ = damage.now;
    if (!damage.title) return false;
    // A record that lost track of a flood says everything changed, the title
    // too: what counts is whether it reads otherwise, or every pane of the
    // window would be drawn again for nothing.
    std::string title = model.title();
    if (title == title_shown_) return false;
    title_shown_ = std::move(title);
    return true;
}

void Tab::rename(std::string title) {
    title_ = std::move(title);
    custom_title_ = true;
}

void Tab::start_log(std::unique_ptr<TabLog> log) {
    if (session_ && !log_) log_ = std::move(log);
}

void Tab::program_ended(pty::SessionEnd end) {
    ended_ = end;
    typed_.clear();
    scroll_.to_live();
}

// What was typed and the view belonged to the session that ended or was replaced.
void Tab::forget_typing_and_view() {
    typed_.clear();
    typed_.take_submitted();
    scroll_.to_live();
}

std::unique_ptr<Session> Tab::restart(std::unique_ptr<Session> session,
                                      std::optional<std::string> command,
                                      std::optional<proto::SerialLine> serial) {
    // A log covers one start of the session: it ends on the old screen.
    log_.reset();
    std::swap(session_, session);
    command_ = std::move(command);
    serial_ = std::move(serial);
    ended_.reset();
    forget_typing_and_view();
    title_seen_ = 0;  // a number of the old model's
    return session;
}

Tab::Dropped Tab::fail() {
    ended_ = pty::SessionEnd{};
    forget_typing_and_view();
    Dropped dropped;
    dropped.log = std::move(log_);
    dropped.session = std::move(session_);
    return dropped;
}

// ------------------------------------------------------------ tabs

TabId AppState::add_tab(Tab tab, const std::optional<std::string>& group_name) {
    tab.id_ = TabId{++next_tab_id_};
    tab.group_.reset();
    const TabId id = tab.id_;
    std::optional<GroupId> group;
    if (group_name) group = group_by_name(*group_name);
    tabs_.push_back(std::move(tab));
    if (group) set_tab_group(id, group);
    active_ = id;
    settle();
    return id;
}

TabId AppState::insert_tab_after(Tab tab, TabId after) {
    const std::optional<std::size_t> position = position_of(after);
    if (!position) return add_tab(std::move(tab));
    tab.id_ = TabId{++next_tab_id_};
    // Right after a member of its group keeps the group's tabs adjacent.
    tab.group_ = tabs_[*position].group_;
    const TabId id = tab.id_;
    tabs_.insert(tabs_.begin() + static_cast<std::ptrdiff_t>(*position + 1), std::move(tab));
    active_ = id;
    settle();
    return id;
}

std::optional<Tab> AppState::remove_tab(TabId id) {
    const std::optional<std::size_t> position = position_of(id);
    if (!position) return std::nullopt;
    const std::size_t active_at = active_position();
    std::optional<Tab> removed(std::move(tabs_[*position]));
    tabs_.erase(tabs_.begin() + static_cast<std::ptrdiff_t>(*position));
    active_ = tabs_.empty() ? TabId{} : tabs_[std::min(active_at, tabs_.size() - 1)].id_;
    // Closing any tab ends the selection, as it always has; the link and the
    // find box go only with their own tab.
    selection_.state = SelectionState::None;
    settle();
    return removed;
}

void AppState::set_active(TabId id) {
    if (find_tab(id)) active_ = id;
}

void AppState::cycle_active(bool backwards) {
    const std::size_t n = tabs_.size();
    if (n == 0) return;
    active_ = tabs_[(active_position() + (backwards ? n - 1 : 1)) % n].id_;
}

void AppState::set_tab_group(TabId id, std::optional<GroupId> group) {
    const std::optional<std::size_t> position = position_of(id);
    if (!position || (group && !find_group(*group))) return;
    tabs_[*position].group_ = group;
    if (group) {
        // Tabs of one group stay adjacent, in the order they joined.
        Tab moved = std::move(tabs_[*position]);
        tabs_.erase(tabs_.begin() + static_cast<std::ptrdiff_t>(*position));
        std::size_t insert_at = std::min(*position, tabs_.size());
        for (std::size_t i = tabs_.size(); i-- > 0;) {
            if (tabs_[i].group_ == group) {
                insert_at = i + 1;
                break;
            }
        }
        tabs_.insert(tabs_.begin() + static_cast<std::ptrdiff_t>(insert_at), std::move(moved));
    }
    settle();
}

GroupId AppState::new_group_for(TabId tab) {
    if (!find_tab(tab)) return GroupId{};
    const GroupId id = add_group("Group " + std::to_string(next_group_id_ + 1));
    set_tab_group(tab, id);
    return id;
}

// ------------------------------------------------------------ groups

GroupId AppState::add_group(std::string name) {
    TabGroup group;
    group.name = std::move(name);
    group.id_ = GroupId{++next_group_id_};
    group.color_ = static_cast<std::uint8_t>((next_group_id_ - 1) % 8);
    groups_.push_back(std::move(group));
    return groups_.back().id_;
}

GroupId AppState::group_by_name(std::string_view name) {
    for (const TabGroup& g : groups_) {
        if (g.name == name) return g.id_;
    }
    return add_group(std::string(name));
}

void AppState::set_group_parent(GroupId id, std::optional<GroupId> parent) {
    TabGroup* group = find_group(id);
    // A parent that is no group would hide the group from every browser level.
    if (!group || (parent && !find_group(*parent))) return;
    for (std::optional<GroupId> walk = parent; walk;) {
        if (*walk == id) return;
        const TabGroup* up = find_group(*walk);
        walk = up ? up->parent_ : std::nullopt;
    }
    group->parent_ = parent;
    settle();
}

void AppState::toggle_broadcast(GroupId id) {
    if (!find_group(id)) return;
    if (!broadcast_.erase(id)) broadcast_.insert(id);
}

void AppState::activate_first_of(GroupId id) {
    for (const Tab& t : tabs_) {
        if (t.group_ == id) {
            active_ = t.id_;
            return;
        }
    }
}

// ------------------------------------------------------------ the view

void AppState::set_view_mode(ViewMode mode) {
    if (mode == ViewMode::BrowseGroups && view_mode_ != mode &&
        tile_selection_ >= browser_entries(*this).size()) {
        tile_selection_ = 0;
    }
    view_mode_ = mode;
    settle();
}

void AppState::enter_group(GroupId id) {
    if (!find_group(id)) return;
    browse_path_.push_back(id);
    tile_selection_ = 0;
}

bool AppState::leave_group() {
    if (browse_path_.empty()) return false;
    browse_path_.pop_back();
    tile_selection_ = 0;
    return true;
}

void AppState::select_entry(std::size_t position) {
    tile_selection_ = position;
    settle();
}

// ------------------------------------------------------------ the rules

void AppState::settle() {
    std::set<GroupId> used;
    for (const Tab& t : tabs_) {
        if (t.group_) used.insert(*t.group_);
    }
    for (bool grew = true; grew;) {
        grew = false;
        for (const TabGroup& g : groups_) {
            if (g.parent_ && used.contains(g.id_) && used.insert(*g.parent_).second) grew = true;
        }
    }
    std::erase_if(groups_, [&](const TabGroup& g) { return !used.contains(g.id_); });
    std::erase_if(broadcast_, [&](GroupId id) { return !find_group(id); });
    for (std::size_t i = 0; i < browse_path_.size(); ++i) {
        if (!find_group(browse_path_[i])) {
            browse_path_.resize(i);
            tile_selection_ = 0;
            break;
        }
    }
    if (!find_tab(active_)) active_ = tabs_.empty() ? TabId{} : tabs_.front().id_;
    if (selection_.state != SelectionState::None && !find_tab(selection_.tab)) {
        selection_.state = SelectionState::None;
    }
    if (hovered_link_ && !find_tab(hovered_link_->tab)) hovered_link_.reset();
    if (find_ && !find_tab(find_->tab)) find_.reset();
    if (view_mode_ == ViewMode::BrowseGroups) {
        const std::size_t n = browser_entries(*this).size();
        tile_selection_ = n == 0 ? 0 : std::min(tile_selection_, n - 1);
    }
}

// ------------------------------------------------------------ the cell

void StateCell::submit(Change change) {
    if (closed_) {
        ++counts_.dropped;
        return;
    }
    ++counts_.changes;
    if (changing_) {
        ++counts_.deferred;
        waiting_.push_back(std::move(change));
        return;
    }
    run(change);
    // The outermost one runs what waits, each with its then before the next,
    // so every operation ends before the next one asked for begins.
    if (draining_) return;
    struct Drained {
        bool& draining;
        ~Drained() { draining = false; }
    } drained{draining_};
    draining_ = true;
    while (!waiting_.empty()) {
        Change next = std::move(waiting_.front());
        waiting_.pop_front();
        run(next);
    }
}

void StateCell::run(Change& change) {
    UniqueFunction<void()> then;
    {
        // Let go of the state even when a change throws; what waits runs with
        // the next change.
        struct Release {
            bool& changing;
            ~Release() { changing = false; }
        } release{changing_};
        changing_ = true;
        then = change(state_);
    }
    if (then) then();
}

void StateCell::close() {
    closed_ = true;
    counts_.dropped += waiting_.size();
    waiting_.clear();
}

}  // namespace tolvar::app
