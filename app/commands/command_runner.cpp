#include "commands/command_runner.hpp"

#include <algorithm>

#include "commands/menus.hpp"
#include "commands/overloaded.hpp"
#include "input/completion.hpp"
#include "input/input.hpp"
#include "look/themes.hpp"
#include "tolvar/core/platform.hpp"
#include "view/layout.hpp"
#include "view/selection.hpp"
#include "workspace/browser.hpp"

namespace tolvar::app {

namespace {

// The pane the navigation arrows move to; nothing with no tabs.
std::optional<TabId> focus_target(const AppState& state, int dx, int dy) {
    const std::size_t n = state.tabs().size();
    if (n == 0) return std::nullopt;
    if (state.view_mode() == ViewMode::Single) {
        if (dx == 0) return std::nullopt;
        return state.tabs()[(state.active_position() + (dx > 0 ? 1 : n - 1)) % n].id();
    }
    const std::vector<TabId> shown = visible_tabs(state);
    if (shown.empty()) return std::nullopt;
    const auto at = std::find(shown.begin(), shown.end(), state.active());
    const std::size_t from = at == shown.end() ? 0 : static_cast<std::size_t>(at - shown.begin());
    return shown[grid_move(shown.size(), from, dx, dy)];
}

// True when the view changed.
bool scroll_tab(Tab& tab, cmd::ScrollBy by) {
    const HistoryExtent h = history_extent(tab);
    const ScrollView before = tab.scroll();
    const auto page = static_cast<std::int64_t>(std::max<std::uint16_t>(h.rows, 1));
    switch (by) {
        case cmd::ScrollBy::PageBack:
            tab.scroll().scroll(h, page);
            break;
        case cmd::ScrollBy::PageForward:
            tab.scroll().scroll(h, -page);
            break;
        case cmd::ScrollBy::LineBack:
            tab.scroll().scroll(h, 1);
            break;
        case cmd::ScrollBy::LineForward:
            tab.scroll().scroll(h, -1);
            break;
        case cmd::ScrollBy::Oldest:
            tab.scroll().to_oldest(h);
            break;
        case cmd::ScrollBy::Live:
            tab.scroll().to_live();
            break;
    }
    return !(tab.scroll() == before);
}

bool core::Settings::*switch_field(cmd::Switch which) {
    switch (which) {
        case cmd::Switch::CloseToTray:
            return &core::Settings::close_to_tray;
        case cmd::Switch::RestoreSessions:
            return &core::Settings::restore_sessions_on_start;
        case cmd::Switch::TrackHistory:
            break;
    }
    return &core::Settings::track_history;
}

std::uint64_t now_seconds() {
    return core::unix_seconds(core::system_time_100ns());
}

}  // namespace

void CommandRunner::send_and_record(std::string bytes, std::string line) {
    workspace_.cell().change([this, bytes = std::move(bytes), line = std::move(line)](AppState& s) {
        // Nothing was sent, so nothing was run.
        Tab* tab = s.active_tab();
        if (!tab || tab->ended()) return;
        submit_line(s.config(), *tab, fs_, line, now_seconds());
        send_input(s, bytes);
    });
}

void CommandRunner::execute(const Command& command) {
    using namespace cmd;
    StateCell& cell = workspace_.cell();
    // Asked for while a change holds the state (a window message handled
    // inside it): the whole command runs right after, so its reads, changes
    // and dialogs all come in the order they were asked for.
    if (cell.changing()) {
        cell.after([this, command] { execute(command); });
        return;
    }
    Workspace& ws = workspace_;
    // State-only changes, then the layout and a repaint.
    const auto relayout_after = [&](auto change) {
        cell.change(std::move(change), [&ws] { ws.refresh(); });
    };
    const auto repaint_after = [&](auto change) {
        cell.change(std::move(change), [&ws] { ws.window().invalidate(); });
    };
    std::visit(
        Overloaded{
            [&](const NewTab&) { ws.open_tab({}); },
            [&](const CloseTab& c) { ws.close_tab(c.tab); },
            [&](const DuplicateTab& c) { ws.duplicate_tab(c.tab); },
            [&](const RestartTab& c) { ws.restart_tab(c.tab); },
            [&](const RenameTab& c) {
                if (cell.read([&](const AppState& s) { return s.find_tab(c.tab) != nullptr; })) {
                    port_.start_rename(c.tab);
                }
            },
            [&](const SetTabColor& c) {
                relayout_after([c](AppState& s) {
                    if (Tab* t = s.find_tab(c.tab)) t->set_color(c.color);
                });
                saves_.save_session_list();
            },
            [&](const MoveTabToGroup& c) {
                relayout_after([c](AppState& s) { s.set_tab_group(c.tab, c.group); });
                saves_.save_session_list();
            },
            [&](const NewGroupForTab& c) {
                relayout_after([c](AppState& s) { s.new_group_for(c.tab); });
                saves_.save_session_list();
            },
            [&](const ClearScrollback& c) { ws.clear_scrollback(c.tab); },
            [&](const SaveOutput& c) {
                if (cell.read([&](const AppState& s) { return s.find_tab(c.tab) != nullptr; })) {
                    port_.save_output(c.tab);
                }
            },
            [&](const ToggleLog& c) { ws.toggle_log(c.tab); },
            [&](const ShowHistory&) { port_.open_history_viewer(); },
            [&](const GoToTab& c) { ws.set_active_tab(c.tab); },
            [&](const CycleTab& c) {
                relayout_after([c](AppState& s) { s.cycle_active(c.backwards); });
            },
            [&](const MoveFocus& c) {
                relayout_after([c](AppState& s) {
                    if (auto target = focus_target(s, c.dx, c.dy)) s.set_active(*target);
                });
            },
            [&](const NewTabInGroup& c) { ws.new_tab_in_group(c.group); },
            [&](const RenameGroup& c) {
                if (cell.read([&](const AppState& s) { return s.find_group(c.group) != nullptr; })) {
                    port_.start_rename(c.group);
                }
            },
            [&](const ToggleBroadcast& c) { ws.toggle_group_broadcast(c.group); },
            [&](const ToggleCollapsed& c) { ws.toggle_group_collapsed(c.group); },
            [&](const ActivateGroup& c) { ws.activate_group(c.group); },
            [&](const CloseGroup& c) { ws.close_group(c.group); },
            [&](const MoveGroup& c) {
                relayout_after([c](AppState& s) { s.set_group_parent(c.group, c.parent); });
            },
            [&](const ShowView& c) {
                relayout_after([c](AppState& s) {
                    if (c.group) {
                        if (!s.find_group(*c.group)) return;
                        if (c.mode == ViewMode::TileGroup) s.activate_first_of(*c.group);
                    }
                    set_view_mode(s, c.mode, false);
                });
            },
            [&](const ToggleView& c) {
                relayout_after([c](AppState& s) {
                    if (c.mode == ViewMode::BrowseGroups) {
                        toggle_browser(s);
                    } else {
                        set_view_mode(s, c.mode, true);
                    }
                });
            },
            [&](const SetTheme& c) { choose_theme(ws, saves_, c.name); },
            [&](const ToggleHelp&) { repaint_after([](AppState& s) { s.toggle_help(); }); },
            [&](const BrowserMove& c) {
                repaint_after([c](AppState& s) { browser_move(s, c.dx, c.dy); });
            },
            [&](const BrowserOpen&) { relayout_after([](AppState& s) { browser_open(s); }); },
            [&](const BrowserUp&) { relayout_after([](AppState& s) { browser_go_up(s); }); },
            [&](const BrowserCycle& c) {
                repaint_after([c](AppState& s) {
                    const std::size_t n = browser_entries(s).size();
                    if (n == 0) return;
                    const std::size_t from = std::min(s.tile_selection(), n - 1);
                    s.select_entry((from + (c.backwards ? n - 1 : 1)) % n);
                });
            },
            [&](const Scroll& c) {
                repaint_after([c](AppState& s) {
                    if (Tab* tab = s.find_tab(c.tab)) scroll_tab(*tab, c.by);
                });
            },
            [&](const cmd::Find&) { port_.open_find(); },
            [&](const CopyScreen& c) {
                std::string text = cell.read([&](const AppState& s) {
                    std::string out;
                    const Tab* tab = s.find_tab(c.tab);
                    if (!tab || !tab->session()) return out;
                    tab->session()->model().with([&](const pty::TerminalModel& model) {
                        const HistoryExtent h = HistoryExtent::of(model);
                        const pty::LineNumber top = tab->scroll().top_line(h);
                        out = std::string(
                            trim_screen_text(model.text_range({top, 0}, {top + h.rows, 0})));
                    });
                    return out;
                });
                if (!text.empty()) port_.write_clipboard(text);
            },
            [&](const CopySelection&) {
                std::string text = cell.read([&](const AppState& s) {
                    std::string out;
                    const std::optional<FinishedSelection> held = held_selection(s);
                    const Tab* tab = held ? s.find_tab(held->tab) : nullptr;
                    if (!tab || !tab->session()) return out;
                    tab->session()->model().with([&](const pty::TerminalModel& model) {
                        out = selection_text(model, held->span);
                    });
                    return out;
                });
                if (worth_copying(text)) port_.write_clipboard(text);
            },
            [&](const Paste&) {
                std::optional<std::string> text = port_.read_clipboard();
                if (!text) return;
                cell.change([text = std::move(*text)](AppState& s) { send_paste(s, text); });
            },
            [&](const OpenLink& c) {
                if (auto failure = port_.open_link(c.target)) notifier_.notify(std::move(*failure));
            },
            [&](const SendText& c) { send_and_record(c.text, c.text); },
            [&](const RunAlias& c) {
                const std::optional<core::Alias> alias =
                    cell.read([&](const AppState& s) -> std::optional<core::Alias> {
                        const auto& aliases = s.config().aliases;
                        const auto found = std::ranges::find(aliases, c.name, &core::Alias::name);
                        if (found == aliases.end()) return std::nullopt;
                        return *found;
                    });
                if (!alias) {
                    ws.window().error_box("Quick key points to a deleted alias");
                    return;
                }
                send_and_record(alias->expansion + (alias->send_enter ? "\r" : ""),
                                alias->expansion);
            },
            [&](const OpenProfile& c) {
                const std::optional<core::ConnectionProfile> profile =
                    cell.read([&](const AppState& s) -> std::optional<core::ConnectionProfile> {
                        if (const auto* found = find_profile(s.config().profiles, c.profile_id)) {
                            return *found;
                        }
                        return std::nullopt;
                    });
                if (!profile) {
                    ws.window().error_box("Quick key points to a deleted profile");
                    return;
                }
                ws.open_profile(*profile);
            },
            [&](const OpenSshHost& c) { ws.open_ssh_alias(c.alias); },
            [&](const NewWindow&) { port_.start_new_window(); },
            [&](const ConnectionManager&) { port_.open_connection_manager(); },
            [&](const QuickConnect&) { port_.open_quick_connect(); },
            [&](const CommandPalette&) { port_.open_palette(); },
            [&](const ShowWindow&) { port_.show_main_window(); },
            [&](const Summon&) { port_.summon(); },
            [&](const ToggleSwitch& c) {
                cell.change(
                    [field = switch_field(c.which)](AppState& s) {
                        core::Settings settings = s.config().settings;
                        settings.*field = !(settings.*field);
                        s.replace_settings(std::move(settings));
                    },
                    [this] { saves_.save(ConfigFile::Settings); });
            },
            [&](const CheckUpdates&) { port_.open_in_shell(k_product_page); },
            [&](const OpenSettingsFolder&) {
                const std::optional<core::Path> dir =
                    cell.read([](const AppState& s) { return s.config().data_dir; });
                if (dir) port_.open_in_shell(core::path_to_utf8(*dir));
            },
            [&](const OpenLogsFolder&) {
                if (auto dir = logs_.logs_folder()) port_.open_in_shell(core::path_to_utf8(*dir));
            },
            [&](const RemoteBridge&) {
                const core::RemoteSettings remote =
                    cell.read([](const AppState& s) { return s.config().settings.remote; });
                port_.info_box("Remote bridge", remote_bridge_text(remote));
            },
            [&](const Quit&) { port_.quit(); },
        },
        command);
}

}  // namespace tolvar::app
