// States for the rules tests, built through AppState's own changes.
#pragma once

#include <initializer_list>
#include <string>

#include "workspace/app_state.hpp"

namespace tolvar::app::testing {

// The configuration changed as if its files had held it at start; the
// appearance follows its settings.
template <class F>
void configure(AppState& s, F edit) {
    core::LoadedConfig config = s.config();
    edit(config);
    s.load_config(std::move(config));
}

// Tabs titled "T0", "T1", ..., the first one active.
inline AppState with_tabs(std::size_t n) {
    AppState s;
    for (std::size_t i = 0; i < n; ++i) {
        s.add_tab(Tab({.title = "T" + std::to_string(i)}));
    }
    if (n > 0) s.set_active(s.tabs()[0].id());
    return s;
}

inline TabId tab_at(const AppState& s, std::size_t position) {
    return s.tabs().at(position).id();
}

// A new group of the tabs, in that order; each joins after the last, so
// members that were not adjacent move.
inline GroupId make_group(AppState& s, std::string name, std::initializer_list<TabId> members,
                          bool collapsed = false) {
    const GroupId id = s.new_group_for(*members.begin());
    for (const TabId member : members) s.set_tab_group(member, id);
    s.find_group(id)->name = std::move(name);
    s.find_group(id)->collapsed = collapsed;
    return id;
}

}  // namespace tolvar::app::testing
