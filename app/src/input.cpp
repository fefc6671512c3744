#include "tolvar/app/input.hpp"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "tolvar/app/browser.hpp"
#include "tolvar/app/completion.hpp"
#include "tolvar/app/layout.hpp"
#include "tolvar/app/selection.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
// Clang before 17 deduces no aggregate's arguments without it.
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

constexpr std::string_view k_paste_start = "\x1b[200~";
constexpr std::string_view k_paste_end = "\x1b[201~";

std::uint64_t now_seconds() {
    return core::unix_seconds(core::system_time_100ns());
}

std::size_t count_scalar_values(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

// ------------------------------------------------------------ pure helpers

namespace {

// The tabs typed input reaches: the active tab, or its whole group while the
// group broadcasts. An ended active tab takes nothing, and sends nothing to
// the tabs beside it.
template <class Bytes>
void send_each(AppState& state, const Bytes& bytes_for) {
    Tab* active = state.active_tab();
    if (!active || active->ended) return;
    const auto write = [&](const Tab& tab) {
        if (!tab.session || tab.ended) return;
        tab.session->write(bytes_for(tab));
        // What is typed belongs at the prompt, in view.
        state.find_tab(tab.id())->scroll.to_live();
    };
    if (state.broadcasts(*active)) {
        const std::optional<GroupId> group = active->group();
        for (const Tab& tab : state.tabs()) {
            if (tab.group() == group) write(tab);
        }
        return;
    }
    write(*active);
}

}  // namespace

void send_input(AppState& state, std::string_view bytes) {
    send_each(state, [&](const Tab&) { return bytes; });
}

void send_paste(AppState& state, std::string_view text) {
    // Each tab's program asked for bracketing or not; the active tab's answer
    // is nobody else's.
    send_each(state, [&](const Tab& tab) {
        bool bracketed = false;
        tab.session->model().with(
            [&](const pty::TerminalModel& model) { bracketed = model.bracketed_paste(); });
        return paste_bytes(text, bracketed);
    });
}

std::string paste_bytes(std::string_view text, bool bracketed) {
    std::string out;
    out.reserve(text.size() + (bracketed ? k_paste_start.size() + k_paste_end.size() : 0));
    if (bracketed) out += k_paste_start;
    const std::size_t body = out.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        } else if (c == '\n') {
            c = '\r';
        }
        out.push_back(c);
        // Removing a marker can join its neighbours into a new one, so the
        // check runs on the output as it grows.
        if (bracketed && out.size() - body >= k_paste_end.size() && out.ends_with(k_paste_end)) {
            out.resize(out.size() - k_paste_end.size());
        }
    }
    if (bracketed) out += k_paste_end;
    return out;
}

std::string_view trim_screen_text(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view trailing_word(std::string_view line) {
    std::size_t word = 0;
    for (std::size_t pos = 0; pos < line.size();) {
        if (core::is_unicode_whitespace(core::next_code_point(line, pos))) word = pos;
    }
    return line.substr(word);
}

const core::Alias* alias_for_line(const std::vector<core::Alias>& aliases, std::string_view line) {
    const std::string_view word = trailing_word(line);
    if (word.empty()) return nullptr;
    for (const core::Alias& alias : aliases) {
        if (alias.name == word) return &alias;
    }
    return nullptr;
}

std::string alias_bytes(const core::Alias& alias) {
    std::string bytes(count_scalar_values(alias.name), '\x7f');
    bytes += alias.expansion;
    if (alias.send_enter) bytes += '\r';
    return bytes;
}

// ------------------------------------------------------------ keys

void InputController::key_down(VirtualKey key, Modifiers modifiers) {
    drop_next_char_ = false;
    KeyRoute route;
    {
        auto state = workspace_.cell().borrow();
        if (!state) return;
        route = route_key_down(**state, key, modifiers);
    }
    drop_next_char_ = std::holds_alternative<QuickKeyHit>(route);
    std::visit(Overloaded{
                   [](NoKeyAction) {},
                   [&](BrowserKey b) { run_browser_key(b); },
                   [&](NavArrow a) { run_nav_arrow(a); },
                   [&](ShortcutKey s) { run_shortcut(s); },
                   [&](QuickKeyHit q) { run_quick_key(q.index); },
                   [&](ViewKey v) { run_view_key(v, key, modifiers); },
                   [&](SendKey s) {
                       if (auto state = workspace_.cell().borrow()) send_input(**state, s.bytes);
                   },
               },
               route);
}

bool InputController::system_key_down(VirtualKey key, Modifiers modifiers) {
    drop_next_char_ = false;
    if (key == vk::k_menu) took_alt_chord_ = false;  // a new press of Alt
    KeyRoute route;
    {
        auto state = workspace_.cell().borrow();
        if (!state) return false;
        route = route_key_down(**state, key, modifiers);
    }
    if (const auto* arrow = std::get_if<NavArrow>(&route)) {
        took_alt_chord_ = true;
        run_nav_arrow(*arrow);
        return true;
    }
    if (const auto* hit = std::get_if<QuickKeyHit>(&route)) {
        // Its Alt+letter character would otherwise beep as a menu mnemonic.
        drop_next_char_ = true;
        took_alt_chord_ = true;
        run_quick_key(hit->index);
        return true;
    }
    return false;
}

bool InputController::system_character() {
    return std::exchange(drop_next_char_, false);
}

bool InputController::key_up(VirtualKey key) {
    return key == vk::k_menu && std::exchange(took_alt_chord_, false);
}

void InputController::run_shortcut(ShortcutKey shortcut) {
    StateCell& cell = workspace_.cell();
    // The active tab's group, if it has one.
    const auto active_group = [&]() -> std::optional<GroupId> {
        auto state = cell.borrow();
        if (!state) return std::nullopt;
        const Tab* tab = (*state)->active_tab();
        return tab ? tab->group() : std::nullopt;
    };
    // State-only view changes, then the layout and a repaint.
    const auto change_view = [&](auto&& change) {
        {
            auto state = cell.borrow();
            if (!state) return;
            change(**state);
        }
        workspace_.refresh();
    };
    switch (shortcut.action) {
        case Shortcut::Paste:
            paste();
            break;
        case Shortcut::CopyScreen:
            copy_screen();
            break;
        case Shortcut::ToggleHelp:
            toggle_help();
            break;
        case Shortcut::NewTab:
            workspace_.open_tab({});
            break;
        case Shortcut::CloseTab: {
            std::optional<TabId> active;
            if (auto state = cell.borrow(); state && !(*state)->tabs().empty()) {
                active = (*state)->active();
            }
            if (active) workspace_.close_tab(*active);
            break;
        }
        case Shortcut::NewWindow:
            port_.start_new_window();
            break;
        case Shortcut::RenameTab:
            start_active_rename();
            break;
        case Shortcut::ToggleBroadcast:
            if (auto group = active_group()) workspace_.toggle_group_broadcast(*group);
            break;
        case Shortcut::ToggleCollapsed:
            if (auto group = active_group()) workspace_.toggle_group_collapsed(*group);
            break;
        case Shortcut::ToggleBrowser:
            change_view([](AppState& s) { toggle_browser(s); });
            break;
        case Shortcut::ToggleTileGroup:
            change_view([](AppState& s) { set_view_mode(s, ViewMode::TileGroup, true); });
            break;
        case Shortcut::ToggleTileAll:
            change_view([](AppState& s) { set_view_mode(s, ViewMode::TileAll, true); });
            break;
        case Shortcut::ConnectionManager:
            port_.open_connection_manager();
            break;
        case Shortcut::QuickConnect:
            port_.open_quick_connect();
            break;
        case Shortcut::HistoryViewer:
            port_.open_history_viewer();
            break;
        case Shortcut::NextTab:
        case Shortcut::PreviousTab: {
            const bool backwards = shortcut.action == Shortcut::PreviousTab;
            change_view([=](AppState& s) { s.cycle_active(backwards); });
            break;
        }
        case Shortcut::SelectTab: {
            std::optional<TabId> target;
            if (auto state = cell.borrow(); state && shortcut.tab < (*state)->tabs().size()) {
                target = (*state)->tabs()[shortcut.tab].id();
            }
            if (target) workspace_.set_active_tab(*target);
            break;
        }
    }
}

void InputController::start_active_rename() {
    std::optional<TabId> active;
    if (auto state = workspace_.cell().borrow()) {
        if (const Tab* tab = (*state)->active_tab()) active = tab->id();
    }
    if (active) port_.start_rename(*active);
}

void InputController::run_browser_key(BrowserKey key) {
    bool layout = false;
    bool repaint = false;
    {
        auto guard = workspace_.cell().borrow();
        if (!guard) return;
        AppState& state = **guard;
        switch (key.kind) {
            case BrowserKey::Kind::Move:
                browser_move(state, key.dx, key.dy);
                repaint = true;
                break;
            case BrowserKey::Kind::Open:
                layout = browser_open(state);
                break;
            case BrowserKey::Kind::Up:
                layout = browser_go_up(state);
                break;
            case BrowserKey::Kind::Leave:
                toggle_browser(state);
                layout = true;
                break;
            case BrowserKey::Kind::Cycle: {
                const std::size_t n = browser_entries(state).size();
                if (n == 0) break;
                const std::size_t from = std::min(state.tile_selection(), n - 1);
                state.select_entry((from + (key.backwards ? n - 1 : 1)) % n);
                repaint = true;
                break;
            }
        }
    }
    if (layout) {
        workspace_.refresh();
    } else if (repaint) {
        window_.invalidate();
    }
}

void InputController::run_nav_arrow(NavArrow arrow) {
    std::optional<TabId> target;
    {
        auto guard = workspace_.cell().borrow();
        if (!guard) return;
        const AppState& state = **guard;
        const std::size_t n = state.tabs().size();
        if (n == 0) return;
        if (state.view_mode() == ViewMode::Single) {
            if (arrow.dx != 0) {
                target =
                    state.tabs()[(state.active_position() + (arrow.dx > 0 ? 1 : n - 1)) % n].id();
            }
        } else {
            const std::vector<TabId> shown = visible_tabs(state);
            if (!shown.empty()) {
                const auto at = std::find(shown.begin(), shown.end(), state.active());
                const std::size_t from =
                    at == shown.end() ? 0 : static_cast<std::size_t>(at - shown.begin());
                target = shown[grid_move(shown.size(), from, arrow.dx, arrow.dy)];
            }
        }
    }
    if (target) workspace_.set_active_tab(*target);
}

void InputController::run_quick_key(std::size_t index) {
    core::QuickAction action;
    std::optional<core::Alias> alias;
    std::optional<core::ConnectionProfile> profile;
    {
        auto state = workspace_.cell().borrow();
        if (!state || index >= (*state)->config.quick_keys.size()) return;
        const core::LoadedConfig& config = (*state)->config;
        action = config.quick_keys[index].action;
        if (const auto* run = std::get_if<core::RunAlias>(&action)) {
            const auto found = std::ranges::find(config.aliases, run->alias, &core::Alias::name);
            if (found != config.aliases.end()) alias = *found;
        } else if (const auto* open = std::get_if<core::OpenProfile>(&action)) {
            if (const auto* found = find_profile(config.profiles, open->profile_id)) {
                profile = *found;
            }
        }
    }
    if (const auto* send = std::get_if<core::SendText>(&action)) {
        send_and_record(send->text, send->text);
    } else if (std::holds_alternative<core::RunAlias>(action)) {
        if (!alias) {
            window_.error_box("Quick key points to a deleted alias");
            return;
        }
        send_and_record(alias->expansion + (alias->send_enter ? "\r" : ""), alias->expansion);
    } else if (std::holds_alternative<core::OpenProfile>(action)) {
        if (!profile) {
            window_.error_box("Quick key points to a deleted profile");
            return;
        }
        workspace_.open_profile(*profile);
    } else if (std::holds_alternative<core::RenameTab>(action)) {
        start_active_rename();
    } else {
        toggle_help();
    }
}

void InputController::run_view_key(ViewKey key, VirtualKey virtual_key, Modifiers modifiers) {
    if (key == ViewKey::Find) {
        port_.open_find();
        return;
    }
    // Also on the alternate screen: these keys never meant anything to
    // applications here, and the user's copy and paste must still work.
    if (key == ViewKey::Copy) {
        copy_selection();
        return;
    }
    if (key == ViewKey::Paste) {
        paste();
        return;
    }
    bool changed = false;
    {
        auto guard = workspace_.cell().borrow();
        if (!guard) return;
        Tab* tab = (*guard)->active_tab();
        if (!tab) return;
        const HistoryExtent h = history_extent(*tab);
        if (h.alternate) {
            if (auto bytes = key_sequence(virtual_key, modifiers)) send_input(**guard, *bytes);
            return;
        }
        const ScrollView before = tab->scroll;
        const auto page = static_cast<std::int64_t>(std::max<std::uint16_t>(h.rows, 1));
        switch (key) {
            case ViewKey::PageBack:
                tab->scroll.scroll(h, page);
                break;
            case ViewKey::PageForward:
                tab->scroll.scroll(h, -page);
                break;
            case ViewKey::LineBack:
                tab->scroll.scroll(h, 1);
                break;
            case ViewKey::LineForward:
                tab->scroll.scroll(h, -1);
                break;
            case ViewKey::Oldest:
                tab->scroll.to_oldest(h);
                break;
            case ViewKey::Live:
            case ViewKey::Find:
            case ViewKey::Copy:
            case ViewKey::Paste:
                tab->scroll.to_live();
                break;
        }
        changed = !(tab->scroll == before);
    }
    if (changed) window_.invalidate();
}

void InputController::wheel(TabId pane, int delta, unsigned lines_per_notch) {
    bool changed = false;
    {
        auto guard = workspace_.cell().borrow();
        if (!guard) return;
        Tab* tab = (*guard)->find_tab(pane);
        if (!tab || !tab->session) return;
        const HistoryExtent h = history_extent(*tab);
        if (h.alternate) {
            if (tab->ended) return;
            // Three lines a notch whatever the setting, as other terminals do.
            const int lines = wheel_.add(delta, 3).lines;
            bool application_cursor = false;
            tab->session->model().with([&](const pty::TerminalModel& model) {
                application_cursor = model.application_cursor();
            });
            const std::string_view up = application_cursor ? "\x1bOA" : "\x1b[A";
            const std::string_view down = application_cursor ? "\x1bOB" : "\x1b[B";
            std::string keys;
            for (int i = 0; i < std::abs(lines); ++i) keys += lines > 0 ? up : down;
            if (!keys.empty()) tab->session->write(keys);
            return;
        }
        const WheelAccumulator::Step step = wheel_.add(delta, lines_per_notch);
        const ScrollView before = tab->scroll;
        tab->scroll.scroll(h, step.lines + step.pages * std::max<std::int64_t>(h.rows, 1));
        changed = !(tab->scroll == before);
    }
    if (changed) window_.invalidate();
}

void InputController::send_and_record(std::string_view bytes, std::string_view line) {
    auto state = workspace_.cell().borrow();
    if (!state) return;
    // Nothing was sent, so nothing was run.
    Tab* tab = (*state)->active_tab();
    if (!tab || tab->ended) return;
    submit_line((*state)->config, *tab, fs_, line, now_seconds());
    send_input(**state, bytes);
}

void InputController::toggle_help() {
    {
        auto state = workspace_.cell().borrow();
        if (!state) return;
        (*state)->help_visible = !(*state)->help_visible;
    }
    window_.invalidate();
}

// ------------------------------------------------------------ characters

void InputController::character(char16_t unit, Modifiers modifiers) {
    if (std::exchange(drop_next_char_, false)) return;
    unit = swap_backspace(unit);
    CharRoute route;
    {
        auto state = workspace_.cell().borrow();
        if (!state) return;
        route = route_char(**state, unit, modifiers);
        if (route == CharRoute::HideHelp) (*state)->help_visible = false;
    }
    switch (route) {
        case CharRoute::Ignore:
            break;
        case CharRoute::HideHelp:
            window_.invalidate();
            break;
        case CharRoute::TabKey:
            tab_key();
            break;
        case CharRoute::Restart:
        case CharRoute::CloseEnded: {
            std::optional<TabId> active;
            if (auto state = workspace_.cell().borrow(); state && (*state)->active_tab()) {
                active = (*state)->active();
            }
            if (!active) break;
            if (route == CharRoute::Restart) {
                workspace_.restart_tab(*active);
            } else {
                workspace_.close_tab(*active);
            }
            break;
        }
        case CharRoute::Text:
            if (auto text = surrogates_.push(unit)) typed_text(*text);
            break;
    }
}

void InputController::tab_key() {
    bool repaint = false;
    {
        auto guard = workspace_.cell().borrow();
        if (!guard) return;
        AppState& state = **guard;
        const core::Settings& settings = state.config.settings;
        Tab* tab = state.active_tab();
        const core::Alias* alias = settings.alias_trigger_tab && tab
                                       ? alias_for_line(state.config.aliases, tab->input_line)
                                       : nullptr;
        if (alias) {
            const std::string_view line = tab->input_line;
            std::string expanded(line.substr(0, line.size() - trailing_word(line).size()));
            expanded += alias->expansion;
            if (alias->send_enter) submit_line(state.config, *tab, fs_, expanded, now_seconds());
            send_input(state, alias_bytes(*alias));
            tab->input_line = alias->send_enter ? std::string() : expanded;
            recompute_suggestion(*tab, settings.autocomplete_history);
            repaint = true;
        } else if (auto tail = accept_suggestion(state)) {
            send_input(state, *tail);
            repaint = true;
        } else {
            send_input(state, "\t");
        }
    }
    // The ghost text changed.
    if (repaint) window_.invalidate();
}

void InputController::typed_text(std::string_view text) {
    bool repaint = false;
    {
        auto guard = workspace_.cell().borrow();
        if (!guard) return;
        AppState& state = **guard;
        repaint = state.selection.state != SelectionState::None;
        clear_selection(state);
        if (Tab* tab = state.active_tab()) {
            const std::optional<std::string> before = tab->suggestion;
            // Before the Enter is sent: the echo of the line is on screen now
            // or comes with the output that follows.
            for (const std::string& line : track_typed(tab->input_line, text)) {
                submit_line(state.config, *tab, fs_, line, now_seconds());
            }
            recompute_suggestion(*tab, state.config.settings.autocomplete_history);
            repaint = repaint || before != tab->suggestion;
        }
        send_input(state, text);
    }
    if (repaint) window_.invalidate();
}

// ------------------------------------------------------------ clipboard

void InputController::paste() {
    const std::optional<std::string> text = port_.read_clipboard();
    if (!text) return;
    auto guard = workspace_.cell().borrow();
    if (!guard) return;
    send_paste(**guard, *text);
}

void InputController::copy_selection() {
    std::string text;
    {
        auto guard = workspace_.cell().borrow();
        if (!guard) return;
        const std::optional<FinishedSelection> held = held_selection(**guard);
        const Tab* tab = held ? (*guard)->find_tab(held->tab) : nullptr;
        if (!tab || !tab->session) return;
        tab->session->model().with(
            [&](const pty::TerminalModel& model) { text = selection_text(model, held->span); });
    }
    if (worth_copying(text)) port_.write_clipboard(text);
}

void InputController::copy_screen() {
    std::string text;
    {
        auto guard = workspace_.cell().borrow();
        if (!guard) return;
        const Tab* tab = (*guard)->active_tab();
        if (!tab || !tab->session) return;
        tab->session->model().with([&](const pty::TerminalModel& model) {
            const HistoryExtent h = HistoryExtent::of(model);
            const pty::LineNumber top = tab->scroll.top_line(h);
            text = std::string(trim_screen_text(model.text_range({top, 0}, {top + h.rows, 0})));
        });
    }
    if (!text.empty()) port_.write_clipboard(text);
}

}  // namespace tolvar::app
