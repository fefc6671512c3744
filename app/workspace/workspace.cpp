#include "workspace/workspace.hpp"

#include <filesystem>
#include <memory>
#include <system_error>

#include "input/completion.hpp"
#include "sessions/session_end.hpp"
#include "sessions/starting_session.hpp"
#include "tolvar/core/history.hpp"
#include "tolvar/core/ids.hpp"
#include "tolvar/core/json_text.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {

namespace {

std::vector<std::string> load_history_lines(core::FileSystem& fs, const AppState& state,
                                            const std::string& record_id) {
    std::vector<std::string> lines;
    if (!state.config().settings.autocomplete_history || !state.config().data_dir) return lines;
    auto entries = core::read_history(fs, *state.config().data_dir, record_id);
    if (!entries) return lines;
    const std::size_t skip =
        entries->size() > k_history_lines_loaded ? entries->size() - k_history_lines_loaded : 0;
    for (std::size_t i = skip; i < entries->size(); ++i)
        lines.push_back(std::move((*entries)[i].line));
    return lines;
}

}  // namespace

// ------------------------------------------------------------ opening

SessionRequest Workspace::session_request(const Launch& launch) {
    SessionRequest start;
    start.serial = launch.serial;
    std::optional<std::string> configured_dir;
    if (!launch.serial) {
        configured_dir =
            cell_.read([](const AppState& s) { return s.config().settings.default_working_dir; });
        start.command = launch.command;
        start.working_dir = usable_working_dir(configured_dir);
    }
    if (configured_dir && !start.working_dir) {
        notifier_.notify("default_working_dir " + core::debug_quote(*configured_dir) +
                         " is not a folder; new tabs start in the folder tolvar started in.");
    }
    return start;
}

std::unique_ptr<Session> Workspace::start_session(const Launch& launch) {
    auto session = starter_.start(session_request(launch));
    if (!session) {
        notifier_.notify(std::move(session.error()));
        return nullptr;
    }
    return std::move(*session);
}

std::optional<Workspace::Started> Workspace::start_tab(OpenRequest request,
                                                      std::optional<GroupId> join) {
    std::unique_ptr<Session> session = start_session({request.command, request.serial});
    if (!session) return std::nullopt;
    return add_tab(std::move(request), std::move(session), join);
}

Workspace::Started Workspace::add_tab(OpenRequest request, std::unique_ptr<Session> session,
                                      std::optional<GroupId> join) {
    // The started child goes into the change, which owns it until the tab
    // does: waiting behind another change never drops it.
    const std::optional<TabId> id = cell_.change(
        [this, request = std::move(request), session = std::move(session),
         join](AppState& state) mutable {
            TabStart start;
            start.record_id = request.record_id ? std::move(*request.record_id) : core::new_id('s');
            start.history = load_history_lines(fs_, state, start.record_id);
            start.own_title = request.title.has_value();
            start.title = request.title ? std::move(*request.title)
                                        : "Terminal " + std::to_string(state.tabs().size() + 1);
            start.color = request.color;
            start.profile_id = std::move(request.profile_id);
            start.command = std::move(request.command);
            start.serial = std::move(request.serial);
            start.session = std::move(session);
            Tab tab(std::move(start));
            if (state.appearance().log_all_sessions && state.config().data_dir) {
                logs_.start(tab, *state.config().data_dir);
            }
            const TabId added = state.add_tab(std::move(tab), request.group);
            if (join) state.set_tab_group(added, *join);
            return added;
        },
        [this](TabId) { logs_.tell_pending(); });
    return Started{id};
}

std::optional<TabId> Workspace::open_tab(OpenRequest request) {
    const std::optional<Started> started = start_tab(std::move(request));
    if (!started) return std::nullopt;
    cell_.after([this] {
        saves_.save_session_list();
        refresh();
    });
    return started->id;
}

std::size_t Workspace::open_tabs(std::vector<OpenRequest> requests) {
    if (requests.empty()) return 0;
    // Nothing waits for a program to start: each starts on the starter's
    // thread, in turn, the last first, since it is the tab shown. A serial
    // port opens at once, and one that cannot adds no tab.
    std::vector<std::unique_ptr<Session>> sessions(requests.size());
    const auto start = [&](std::size_t i) {
        const Launch launch{requests[i].command, requests[i].serial};
        sessions[i] = launch.serial ? start_session(launch)
                                    : starter_.start_in_background(session_request(launch));
    };
    start(requests.size() - 1);
    for (std::size_t i = 0; i + 1 < requests.size(); ++i) start(i);
    std::size_t opened = 0;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (!sessions[i]) continue;
        add_tab(std::move(requests[i]), std::move(sessions[i]));
        ++opened;
    }
    if (opened == 0) return 0;
    // One save for all: a save per tab would rewrite the file and its
    // backup once per tab, and a crash in between would leave both holding
    // a partial list.
    cell_.after([this] {
        saves_.save_session_list();
        refresh();
    });
    return opened;
}

void Workspace::session_started(pty::SessionId id,
                                Expected<std::unique_ptr<Session>, std::string> started) {
    struct Outcome {
        std::optional<std::string> told;
        // A tab whose start failed, dropped after the change, as a close does.
        std::optional<Tab> failed;
        bool found = false;
        // What did not start: its session ends outside the change.
        std::unique_ptr<Session> unwanted;
    };
    cell_.change(
        [id, started = std::move(started)](AppState& state) mutable {
            // Shared: what a change hands on is copied.
            auto shared = std::make_shared<Outcome>();
            Outcome& out = *shared;
            Tab* tab = state.tab_of_session(id);
            StartingSession* starting = tab ? tab->session()->as_starting() : nullptr;
            if (!starting) {
                if (started) out.unwanted = std::move(*started);
                return shared;
            }
            out.found = true;
            const std::string title = display_title(state, *tab);
            auto finished = starting->finish(std::move(started));
            if (!finished) {
                out.told = std::move(finished.error());
                out.failed = state.remove_tab(tab->id());
            } else if (*finished > 0) {
                out.told = std::to_string(*finished) + " bytes typed into " +
                           core::debug_quote(title) +
                           " while it started did not fit and were not sent.";
            }
            return shared;
        },
        [this](std::shared_ptr<Outcome> shared) {
            Outcome& out = *shared;
            out.unwanted.reset();
            if (!out.found) return;
            if (out.told) notifier_.notify(std::move(*out.told));
            if (!out.failed) {
                window_.invalidate();
                return;
            }
            out.failed.reset();
            // As when no resumed tab starts: the window keeps a fresh tab.
            if (cell_.read([](const AppState& s) { return s.tabs().empty(); })) {
                open_tab({});
                return;
            }
            after_close();
        });
}

proto::LaunchResult<proto::LaunchPlan> Workspace::plan(const core::ProfileKind& kind) {
    return proto::build_launch_plan(kind, launch_system_);
}

std::optional<Workspace::Launch> Workspace::tab_launch(proto::LaunchPlan& plan) {
    if (const auto* console = std::get_if<proto::Console>(&plan)) {
        return Launch{console->command_line, std::nullopt};
    }
    if (auto* port = std::get_if<proto::SerialPort>(&plan)) {
        for (std::string& notice : port->notices) notifier_.notify(std::move(notice));
        return Launch{std::nullopt, std::move(port->line)};
    }
    return std::nullopt;
}

void Workspace::open_profile(const core::ConnectionProfile& profile) {
    auto launch = plan(profile.kind);
    if (!launch) {
        window_.error_box("Cannot connect: " + launch.error().display());
        return;
    }
    if (const auto* external = std::get_if<proto::External>(&*launch)) {
        externals_.start_external(*external);
        return;
    }
    Launch tab = *tab_launch(*launch);
    OpenRequest request;
    request.command = std::move(tab.command);
    request.serial = std::move(tab.serial);
    request.color = profile.color;
    request.title = profile.name;
    request.group = profile.group;
    request.profile_id = profile.id;
    open_tab(std::move(request));
}

void Workspace::open_ssh_alias(std::string_view alias) {
    auto launch = proto::ssh_alias_plan(alias, launch_system_);
    if (!launch) {
        window_.error_box("Cannot connect: " + launch.error().display());
        return;
    }
    OpenRequest request;
    request.command = std::get<proto::Console>(*launch).command_line;
    request.title = std::string(alias);
    open_tab(std::move(request));
}

void Workspace::new_tab_in_group(GroupId id) {
    // Joined in the change that adds it, so no save sees it ungrouped.
    if (!start_tab({}, id)) return;
    cell_.after([this] {
        saves_.save_session_list();
        refresh();
    });
}

// ------------------------------------------------------------ closing

void Workspace::close_tab(TabId id) {
    cell_.change(
        [id](AppState& state) {
            // Dropped after the change, in `then`: that ends its session.
            return std::make_shared<std::optional<Tab>>(state.remove_tab(id));
        },
        [this](std::shared_ptr<std::optional<Tab>> removed) {
            if (!*removed) return;
            removed->reset();
            after_close();
        });
}

void Workspace::after_close() {
    saves_.save_session_list();
    if (cell_.read([](const AppState& s) { return !s.tabs().empty(); })) {
        refresh();
    } else {
        window_.destroy();
    }
}

void Workspace::close_group(GroupId id) {
    cell_.change(
        [id](AppState& state) {
            auto removed = std::make_shared<std::vector<Tab>>();
            std::vector<TabId> members;
            for (const Tab& t : state.tabs()) {
                if (t.group() == id) members.push_back(t.id());
            }
            for (const TabId member : members) {
                if (auto tab = state.remove_tab(member)) removed->push_back(std::move(*tab));
            }
            return removed;
        },
        [this](std::shared_ptr<std::vector<Tab>> removed) {
            if (removed->empty()) return;
            removed->clear();
            after_close();
        });
}

void Workspace::end_all_tabs() {
    cell_.change(
        [](AppState& state) {
            auto tabs = std::make_shared<std::vector<Tab>>();
            while (!state.tabs().empty()) {
                tabs->push_back(std::move(*state.remove_tab(state.tabs().front().id())));
            }
            return tabs;
        },
        // After the change: ending a log waits briefly for its disk, and a
        // session's close for its console.
        [](std::shared_ptr<std::vector<Tab>> tabs) {
            for (Tab& tab : *tabs) tab.end_log();
            tabs->clear();
        });
}

// ------------------------------------------------------------ changes

void Workspace::set_active_tab(TabId id) {
    cell_.change([id](AppState& s) { s.set_active(id); }, [this] { refresh(); });
}

void Workspace::toggle_group_collapsed(GroupId id) {
    cell_.change(
        [id](AppState& s) {
            if (TabGroup* g = s.find_group(id)) g->collapsed = !g->collapsed;
        },
        [this] { window_.invalidate(); });
}

void Workspace::toggle_group_broadcast(GroupId id) {
    cell_.change([id](AppState& s) { s.toggle_broadcast(id); }, [this] { refresh(); });
}

void Workspace::activate_group(GroupId id) {
    cell_.change(
        [id](AppState& s) {
            if (TabGroup* g = s.find_group(id)) g->collapsed = false;
            s.activate_first_of(id);
        },
        [this] { refresh(); });
}

void Workspace::commit_rename(RenameTarget target, std::string_view text) {
    const std::string_view trimmed = core::trim_unicode(text);
    if (trimmed.empty()) return;
    cell_.change(
        [target, name = std::string(trimmed)](AppState& state) {
            if (const TabId* tab_id = std::get_if<TabId>(&target)) {
                if (Tab* tab = state.find_tab(*tab_id)) tab->rename(name);
            } else if (TabGroup* g = state.find_group(std::get<GroupId>(target))) {
                g->name = name;
            }
        },
        [this] { saves_.save_session_list(); });
}

void Workspace::clear_scrollback(TabId id) {
    cell_.change([id](AppState& state) { state.clear_scrollback(id); },
                 [this] { window_.invalidate(); });
}

// ------------------------------------------------------------ ended sessions

void Workspace::session_ended(pty::SessionId id, pty::SessionEnd end) {
    enum class Then { Nothing, Close, Repaint };
    cell_.change(
        [id, end](AppState& state) -> std::pair<Then, TabId> {
            Tab* tab = state.tab_of_session(id);
            if (!tab || tab->ended()) return {Then::Nothing, TabId{}};
            if (closes_tab(read_close_on_exit(state.config().settings).rule, end)) {
                return {Then::Close, tab->id()};
            }
            tab->program_ended(end);
            if (tab->session()) {
                tab->session()->model().with(
                    [end](pty::TerminalModel& model) { write_exit_line(model, end); });
            }
            return {Then::Repaint, tab->id()};
        },
        [this](std::pair<Then, TabId> next) {
            if (next.first == Then::Close) close_tab(next.second);
            if (next.first == Then::Repaint) window_.invalidate();
        });
}

Expected<Workspace::Launch, std::string> Workspace::relaunch(TabId id) {
    Launch ran;
    std::optional<core::ConnectionProfile> profile;
    const bool found_tab = cell_.read([&](const AppState& state) {
        const Tab* tab = state.find_tab(id);
        if (!tab) return false;
        ran = {tab->command(), tab->serial()};
        if (tab->profile_id()) {
            if (const auto* found = find_profile(state.config().profiles, *tab->profile_id())) {
                profile = *found;
            }
        }
        return true;
    });
    if (!found_tab) return unexpected(std::string());
    // The profile as it is now: an edit made after a failed connection is
    // what the user restarts for.
    if (!profile) return ran;
    auto launch = plan(profile->kind);
    if (!launch) return unexpected("Cannot connect: " + launch.error().display());
    if (auto tab = tab_launch(*launch)) return std::move(*tab);
    return ran;
}

void Workspace::restart_tab(TabId id) {
    auto launch = relaunch(id);
    if (!launch) {
        if (!launch.error().empty()) notifier_.notify(std::move(launch.error()));
        return;
    }
    std::unique_ptr<Session> session = start_session(*launch);
    if (!session) return;
    cell_.change(
        [this, id, launch = std::move(*launch), session = std::move(session)](
            AppState& state) mutable {
            // The session that ends: the old one, or the new one when its
            // tab closed meanwhile. Dropped after the change ends its program.
            const Tab* tab = state.find_tab(id);
            // A new log file starts with the new session.
            const bool logging =
                tab && (tab->log() != nullptr || state.appearance().log_all_sessions);
            auto old = std::make_shared<std::unique_ptr<Session>>(state.restart_tab(
                id, std::move(session), std::move(launch.command), std::move(launch.serial)));
            if (logging && state.config().data_dir) {
                logs_.start(*state.find_tab(id), *state.config().data_dir);
            }
            return old;
        },
        [this](std::shared_ptr<std::unique_ptr<Session>> old) {
            old->reset();
            logs_.tell_pending();
            refresh();
        });
}

std::optional<TabId> Workspace::duplicate_tab(TabId id) {
    TabStart copy;
    const bool found = cell_.read([&](const AppState& state) {
        const Tab* tab = state.find_tab(id);
        if (!tab) return false;
        copy.color = tab->color();
        copy.own_title = tab->custom_title();
        if (tab->custom_title()) copy.title = tab->title();
        copy.profile_id = tab->profile_id();
        return true;
    });
    if (!found) return std::nullopt;
    auto launch = relaunch(id);
    if (!launch) {
        if (!launch.error().empty()) notifier_.notify(std::move(launch.error()));
        return std::nullopt;
    }
    copy.session = start_session(*launch);
    if (!copy.session) return std::nullopt;
    copy.command = std::move(launch->command);
    copy.serial = std::move(launch->serial);
    const std::optional<TabId> added = cell_.change(
        [this, id, copy = std::move(copy)](AppState& state) mutable {
            copy.record_id = core::new_id('s');
            copy.history = load_history_lines(fs_, state, copy.record_id);
            if (!copy.own_title) {
                copy.title = "Terminal " + std::to_string(state.tabs().size() + 1);
            }
            Tab tab(std::move(copy));
            if (state.appearance().log_all_sessions && state.config().data_dir) {
                logs_.start(tab, *state.config().data_dir);
            }
            return state.insert_tab_after(std::move(tab), id);
        },
        [this](TabId) {
            logs_.tell_pending();
            saves_.save_session_list();
            refresh();
        });
    return added;
}

// ------------------------------------------------------------ output and logs

void Workspace::toggle_log(TabId id) {
    cell_.change(
        [this, id](AppState& state) {
            Tab* tab = state.find_tab(id);
            if (!tab) return;
            if (tab->log()) {
                tab->end_log();
            } else if (const auto& dir = state.config().data_dir) {
                logs_.start(*tab, *dir);
            }
        },
        [this] { take_logs(); });
}

namespace {

bool model_failed(const Tab& tab) {
    return tab.session() && tab.session()->model().poisoned();
}

}  // namespace

bool Workspace::take_output(const core::LoadedConfig& config, Tab& tab,
                            std::vector<std::string>& told) {
    logs_.take(tab, told);
    settle_submitted_line(config, tab, fs_, core::unix_seconds(core::system_time_100ns()));
    return model_failed(tab);
}

namespace {

struct OutputTaken {
    std::vector<std::string> told;
    std::vector<TabId> failed;
    std::optional<TabId> tab;  // whose output it was
    bool title = false;        // its title changed
};

}  // namespace

void Workspace::after_output(std::vector<std::string> told, const std::vector<TabId>& failed) {
    for (std::string& text : told) notifier_.notify(std::move(text));
    logs_.tell_pending();
    for (const TabId id : failed) end_failed_session(id);
}

void Workspace::take_logs() {
    cell_.change(
        [this](AppState& state) {
            OutputTaken taken;
            for (const Tab& each : state.tabs()) {
                Tab& tab = *state.find_tab(each.id());
                if (take_output(state.config(), tab, taken.told)) taken.failed.push_back(tab.id());
            }
            return taken;
        },
        [this](OutputTaken taken) { after_output(std::move(taken.told), taken.failed); });
}

void Workspace::session_output(pty::SessionId id) {
    cell_.change(
        [this, id](AppState& state) {
            OutputTaken taken;
            Tab* tab = state.tab_of_session(id);
            if (!tab) return taken;
            taken.tab = tab->id();
            // Before reading: output fed after this is told again.
            tab->session()->acknowledge_output();
            if (take_output(state.config(), *tab, taken.told)) taken.failed.push_back(tab->id());
            // A view on history that aged out under it comes back onto what
            // exists, before anything draws it; going live changes the title's mark.
            const bool live = tab->scroll().live();
            tab->scroll().settle(history_extent(*tab));
            taken.title = live != tab->scroll().live();
            tab->session()->model().with([&](const pty::TerminalModel& model) {
                taken.title = tab->take_title_change(model) || taken.title;
            });
            return taken;
        },
        [this](OutputTaken taken) {
            after_output(std::move(taken.told), taken.failed);
            // The title shows in the bar and the captions, outside the pane.
            if (taken.title) {
                window_.invalidate();
            } else if (taken.tab) {
                window_.invalidate_output(*taken.tab);
            }
        });
}

void Workspace::end_failed_session(TabId id) {
    struct Ended {
        std::unique_ptr<TabLog> log;
        std::unique_ptr<Session> session;
        std::string text;
    };
    cell_.change(
        [id](AppState& state) {
            auto ended = std::make_shared<Ended>();
            Tab* tab = state.find_tab(id);
            if (!tab || !model_failed(*tab)) return ended;
            std::string reason = tab->session()->model().failure();
            if (reason.empty()) reason = "unknown error";
            ended->text = "Session " + core::debug_quote(display_title(state, *tab)) +
                          " ended: its terminal failed (" + reason +
                          "). Enter restarts, Esc closes.";
            Tab::Dropped dropped = state.end_failed_session(id);
            ended->log = std::move(dropped.log);
            ended->session = std::move(dropped.session);
            return ended;
        },
        // After the change, the log first: it can no longer read the screen,
        // and ends with what it took.
        [this](std::shared_ptr<Ended> ended) {
            if (ended->text.empty()) return;
            ended->log.reset();
            ended->session.reset();
            notifier_.notify(std::move(ended->text));
        });
}

void Workspace::refresh() {
    window_.relayout();
    window_.invalidate();
}

// ------------------------------------------------------------ reading

std::optional<std::string> usable_working_dir(const std::optional<std::string>& configured) {
    if (!configured) return std::nullopt;
    std::error_code error;
    if (!std::filesystem::is_directory(core::path_from_utf8(*configured), error)) {
        return std::nullopt;
    }
    return configured;
}

const core::ConnectionProfile* find_profile(const std::vector<core::ConnectionProfile>& profiles,
                                            std::string_view id) {
    for (const core::ConnectionProfile& p : profiles) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

}  // namespace tolvar::app
