#include "tolvar/app/workspace.hpp"

#include <algorithm>

#include "tolvar/core/history.hpp"
#include "tolvar/core/ids.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

TabGroup* AppState::find_group(GroupId id) {
    for (TabGroup& g : groups) {
        if (g.id == id) return &g;
    }
    return nullptr;
}

const TabGroup* AppState::find_group(GroupId id) const {
    return const_cast<AppState*>(this)->find_group(id);
}

std::optional<std::size_t> AppState::tab_index_of(pty::SessionId id) const {
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        if (tabs[i].session && tabs[i].session->id() == id) return i;
    }
    return std::nullopt;
}

namespace {

GroupId add_group(AppState& state, std::string name) {
    const GroupId id = ++state.next_group_id;
    state.groups.push_back(TabGroup{std::nullopt, std::move(name), id,
                                    static_cast<std::uint8_t>((id - 1) % 8), false});
    return id;
}

std::vector<std::string> load_history_lines(core::FileSystem& fs, const AppState& state,
                                            const std::string& record_id) {
    std::vector<std::string> lines;
    if (!state.config.settings.autocomplete_history || !state.config.data_dir) return lines;
    auto entries = core::read_history(fs, *state.config.data_dir, record_id);
    if (!entries) return lines;
    const std::size_t skip =
        entries->size() > k_history_lines_loaded ? entries->size() - k_history_lines_loaded : 0;
    for (std::size_t i = skip; i < entries->size(); ++i)
        lines.push_back(std::move((*entries)[i].line));
    return lines;
}

}  // namespace

// ------------------------------------------------------------ state only

GroupId group_by_name(AppState& state, std::string_view name) {
    for (const TabGroup& g : state.groups) {
        if (g.name == name) return g.id;
    }
    return add_group(state, std::string(name));
}

void cycle_tab(AppState& state, bool backwards) {
    const std::size_t n = state.tabs.size();
    if (n == 0) return;
    state.active = (state.active + (backwards ? n - 1 : 1)) % n;
}

void set_tab_group(AppState& state, std::size_t index, std::optional<GroupId> group) {
    if (index >= state.tabs.size()) return;
    // The active tab and the mouse selection follow their tabs, not the
    // indexes the move shifts.
    const auto session_at = [&](std::size_t i) -> std::optional<pty::SessionId> {
        if (i < state.tabs.size() && state.tabs[i].session) return state.tabs[i].session->id();
        return std::nullopt;
    };
    const std::optional<pty::SessionId> active_session = session_at(state.active);
    const std::optional<pty::SessionId> selected_session = session_at(state.selection.tab);
    state.tabs[index].group = group;
    if (group) {
        Tab moved = std::move(state.tabs[index]);
        state.tabs.erase(state.tabs.begin() + static_cast<std::ptrdiff_t>(index));
        std::size_t insert_at = std::min(index, state.tabs.size());
        for (std::size_t i = state.tabs.size(); i-- > 0;) {
            if (state.tabs[i].group == group) {
                insert_at = i + 1;
                break;
            }
        }
        state.tabs.insert(state.tabs.begin() + static_cast<std::ptrdiff_t>(insert_at),
                          std::move(moved));
    }
    if (active_session) {
        if (auto i = state.tab_index_of(*active_session)) state.active = *i;
    }
    if (selected_session) {
        if (auto i = state.tab_index_of(*selected_session)) state.selection.tab = *i;
    }
    prune_groups(state);
}

void new_group_for_tab(AppState& state, std::size_t index) {
    if (index >= state.tabs.size()) return;
    const GroupId id = add_group(state, "Group " + std::to_string(state.next_group_id + 1));
    set_tab_group(state, index, id);
}

void set_tab_color(AppState& state, std::size_t index, std::optional<std::uint8_t> color) {
    if (index < state.tabs.size()) state.tabs[index].color = color;
}

void set_group_parent(AppState& state, GroupId id, std::optional<GroupId> parent) {
    TabGroup* group = state.find_group(id);
    if (!group) return;
    if (!parent) {
        group->parent.reset();
        return;
    }
    // Refuse cycles: walking up from the new parent must never reach the group.
    std::optional<GroupId> walk = parent;
    std::size_t steps = 0;
    while (walk) {
        if (*walk == id) return;
        const TabGroup* g = state.find_group(*walk);
        if (!g || ++steps > state.groups.size()) break;
        walk = g->parent;
    }
    group->parent = parent;
}

void prune_groups(AppState& state) {
    std::set<GroupId> used;
    for (const Tab& t : state.tabs) {
        if (t.group) used.insert(*t.group);
    }
    for (bool grew = true; grew;) {
        grew = false;
        for (const TabGroup& g : state.groups) {
            if (g.parent && used.contains(g.id) && used.insert(*g.parent).second) grew = true;
        }
    }
    std::erase_if(state.groups, [&](const TabGroup& g) { return !used.contains(g.id); });
    std::erase_if(state.broadcast, [&](GroupId id) { return !used.contains(id); });
    for (std::size_t i = 0; i < state.browse_path.size(); ++i) {
        if (!state.find_group(state.browse_path[i])) {
            state.browse_path.resize(i);
            state.tile_selection = 0;
            break;
        }
    }
}

void activate_group_only(AppState& state, GroupId id) {
    for (std::size_t i = 0; i < state.tabs.size(); ++i) {
        if (state.tabs[i].group == id) {
            state.active = i;
            return;
        }
    }
}

std::string display_title(const AppState& state, const Tab& tab) {
    std::string title = tab.title;
    if (!tab.custom_title && tab.session) {
        tab.session->model().with([&](const pty::TerminalModel& model) {
            const std::string own = model.title();
            const std::string_view trimmed = core::trim_unicode(own);
            if (!trimmed.empty()) title = std::string(trimmed);
        });
    }
    if (tab.group && state.broadcast.contains(*tab.group)) title = "\xC2\xBB " + title;
    return title;
}

std::vector<core::SessionRecord> session_records(const AppState& state) {
    std::vector<core::SessionRecord> records;
    records.reserve(state.tabs.size());
    for (const Tab& t : state.tabs) {
        core::SessionRecord r;
        r.id = t.record_id;
        r.profile_id = t.profile_id;
        if (t.custom_title) r.title = t.title;
        if (t.group) {
            if (const TabGroup* g = state.find_group(*t.group)) r.group = g->name;
        }
        r.color = t.color;
        records.push_back(std::move(r));
    }
    return records;
}

// ------------------------------------------------------------ with the window

void Workspace::refresh() {
    window_.relayout();
    window_.invalidate();
}

bool Workspace::open_tab(OpenRequest request) {
    std::optional<std::string> working_dir;
    {
        auto state = cell_.borrow();
        if (!state) return false;
        working_dir = (*state)->config.settings.default_working_dir;
    }
    auto started = starter_.start(SessionRequest{request.command, working_dir});
    if (!started) return false;
    std::unique_ptr<Session> session = std::move(*started);
    {
        auto guard = cell_.borrow();
        if (!guard) return false;
        AppState& state = **guard;
        Tab tab;
        tab.record_id = request.record_id ? std::move(*request.record_id) : core::new_id('s');
        tab.history = load_history_lines(fs_, state, tab.record_id);
        tab.custom_title = request.title.has_value();
        tab.title = request.title ? std::move(*request.title)
                                  : "Terminal " + std::to_string(state.tabs.size() + 1);
        tab.color = request.color;
        tab.profile_id = std::move(request.profile_id);
        const pty::SessionId id = session->id();
        tab.session = std::move(session);
        std::optional<GroupId> group;
        if (request.group) group = group_by_name(state, *request.group);
        state.tabs.push_back(std::move(tab));
        if (group) set_tab_group(state, state.tabs.size() - 1, group);
        if (auto index = state.tab_index_of(id)) state.active = *index;
    }
    save_session_list();
    refresh();
    return true;
}

void Workspace::open_profile(const core::ConnectionProfile& profile) {
    auto plan = launcher_.plan(profile.kind);
    if (!plan) {
        window_.error_box("Cannot connect: " + plan.error().display());
        return;
    }
    if (const auto* external = std::get_if<proto::External>(&*plan)) {
        launcher_.start_external(*external);
        return;
    }
    OpenRequest request;
    request.command = std::get<proto::Console>(*plan).command_line;
    request.color = profile.color;
    request.title = profile.name;
    request.group = profile.group;
    request.profile_id = profile.id;
    open_tab(std::move(request));
}

void Workspace::close_tab(std::size_t index) {
    bool any_left = true;
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        AppState& state = **guard;
        if (index < state.tabs.size()) {
            // Dropping the tab closes its session.
            state.tabs.erase(state.tabs.begin() + static_cast<std::ptrdiff_t>(index));
            if (state.tabs.empty()) {
                state.active = 0;
            } else if (state.active >= state.tabs.size()) {
                state.active = state.tabs.size() - 1;
            }
            state.selection.state = SelectionState::None;
            prune_groups(state);
        }
        any_left = !state.tabs.empty();
    }
    save_session_list();
    if (any_left) {
        refresh();
    } else {
        window_.destroy();
    }
}

void Workspace::close_group(GroupId id) {
    std::vector<pty::SessionId> members;
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        for (const Tab& t : (*guard)->tabs) {
            if (t.group == id && t.session) members.push_back(t.session->id());
        }
    }
    for (const pty::SessionId session : members) {
        std::optional<std::size_t> index;
        {
            auto guard = cell_.borrow();
            if (!guard) return;
            index = (*guard)->tab_index_of(session);
        }
        if (index) close_tab(*index);
    }
}

void Workspace::set_active_tab(std::size_t index) {
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        if (index < (*guard)->tabs.size()) (*guard)->active = index;
    }
    refresh();
}

void Workspace::new_tab_in_group(GroupId id) {
    if (!open_tab(OpenRequest{})) return;
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        set_tab_group(**guard, (*guard)->active, id);
    }
    refresh();
}

void Workspace::toggle_group_collapsed(GroupId id) {
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        if (TabGroup* g = (*guard)->find_group(id)) g->collapsed = !g->collapsed;
    }
    window_.invalidate();
}

void Workspace::toggle_group_broadcast(GroupId id) {
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        auto& set = (*guard)->broadcast;
        if (!set.erase(id)) set.insert(id);
    }
    refresh();
}

void Workspace::activate_group(GroupId id) {
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        if (TabGroup* g = (*guard)->find_group(id)) g->collapsed = false;
        activate_group_only(**guard, id);
    }
    refresh();
}

void Workspace::commit_rename(RenameTarget target, std::string_view text) {
    const std::string_view trimmed = core::trim_unicode(text);
    if (trimmed.empty()) return;
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        AppState& state = **guard;
        if (target.kind == RenameTarget::Kind::Tab) {
            if (auto index = state.tab_index_of(target.id)) {
                state.tabs[*index].title = std::string(trimmed);
                state.tabs[*index].custom_title = true;
            }
        } else if (TabGroup* g = state.find_group(target.id)) {
            g->name = std::string(trimmed);
        }
    }
    save_session_list();
}

void Workspace::save_session_list() {
    std::optional<core::Path> dir;
    std::vector<core::SessionRecord> records;
    {
        auto guard = cell_.borrow();
        if (!guard) return;
        dir = (*guard)->config.data_dir;
        if (!dir) return;
        records = session_records(**guard);
    }
    (void)core::save_sessions(fs_, *dir, records);
}

}  // namespace tolvar::app
