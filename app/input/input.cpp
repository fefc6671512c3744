#include "input/input.hpp"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "input/completion.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"
#include "view/layout.hpp"
#include "view/selection.hpp"
#include "workspace/browser.hpp"

namespace tolvar::app {

namespace {

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
    if (!active || active->ended()) return;
    const auto write = [&](const Tab& tab) {
        if (!tab.session() || tab.ended()) return;
        tab.session()->write(bytes_for(tab));
        // What is typed belongs at the prompt, in view.
        state.find_tab(tab.id())->scroll().to_live();
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
        tab.session()->model().with(
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

bool InputController::run_route(const KeyRoute& route, VirtualKey key, Modifiers modifiers) {
    KeyAction action = workspace_.cell().read(
        [&](const AppState& state) { return key_action(state, route, key, modifiers); });
    if (auto* command = std::get_if<Command>(&action)) {
        commands_.execute(*command);
        return true;
    }
    if (const auto* send = std::get_if<SendKey>(&action)) {
        workspace_.cell().change([bytes = std::string(send->bytes)](AppState& state) {
            send_input(state, bytes);
        });
        return true;
    }
    return false;
}

void InputController::key_down(VirtualKey key, Modifiers modifiers) {
    const KeyRoute route = workspace_.cell().read(
        [&](const AppState& state) { return route_key_down(state, key, modifiers); });
    drop_next_char_ = std::holds_alternative<QuickKeyHit>(route);
    run_route(route, key, modifiers);
}

bool InputController::system_key_down(VirtualKey key, Modifiers modifiers) {
    drop_next_char_ = false;
    if (key == vk::k_menu) took_alt_chord_ = false;  // a new press of Alt
    const KeyRoute route = workspace_.cell().read(
        [&](const AppState& state) { return route_key_down(state, key, modifiers); });
    const bool quick = std::holds_alternative<QuickKeyHit>(route);
    if (!quick && !std::holds_alternative<NavArrow>(route)) return false;
    took_alt_chord_ = true;
    // Its Alt+letter character would otherwise beep as a menu mnemonic.
    drop_next_char_ = quick;
    run_route(route, key, modifiers);
    return true;
}

bool InputController::system_character() {
    return std::exchange(drop_next_char_, false);
}

bool InputController::key_up(VirtualKey key) {
    return key == vk::k_menu && std::exchange(took_alt_chord_, false);
}

void InputController::wheel(TabId pane, int delta, unsigned lines_per_notch) {
    // The accumulator belongs to this controller, which outlives any change.
    workspace_.cell().change(
        [this, pane, delta, lines_per_notch](AppState& state) {
            Tab* tab = state.find_tab(pane);
            if (!tab || !tab->session()) return false;
            const HistoryExtent h = history_extent(*tab);
            if (h.alternate) {
                if (tab->ended()) return false;
                // Three lines a notch whatever the setting, as other terminals do.
                const int lines = wheel_.add(delta, 3).lines;
                bool application_cursor = false;
                tab->session()->model().with([&](const pty::TerminalModel& model) {
                    application_cursor = model.application_cursor();
                });
                const std::string_view up = application_cursor ? "\x1bOA" : "\x1b[A";
                const std::string_view down = application_cursor ? "\x1bOB" : "\x1b[B";
                std::string keys;
                for (int i = 0; i < std::abs(lines); ++i) keys += lines > 0 ? up : down;
                if (!keys.empty()) tab->session()->write(keys);
                return false;
            }
            const WheelAccumulator::Step step = wheel_.add(delta, lines_per_notch);
            const ScrollView before = tab->scroll();
            tab->scroll().scroll(h, step.lines + step.pages * std::max<std::int64_t>(h.rows, 1));
            return !(tab->scroll() == before);
        },
        [this](bool changed) {
            if (changed) workspace_.window().invalidate();
        });
}

// ------------------------------------------------------------ characters

void InputController::character(char16_t unit, Modifiers modifiers) {
    if (std::exchange(drop_next_char_, false)) return;
    unit = swap_backspace(unit);
    const auto [route, active] = workspace_.cell().read([&](const AppState& state) {
        return std::pair(route_char(state, unit, modifiers), state.active());
    });
    switch (route) {
        case CharRoute::Ignore:
            break;
        case CharRoute::HideHelp:
            workspace_.cell().change([](AppState& state) { state.hide_help(); },
                                     [this] { workspace_.window().invalidate(); });
            break;
        case CharRoute::TabKey:
            tab_key();
            break;
        case CharRoute::Restart:
            commands_.execute(cmd::RestartTab{active});
            break;
        case CharRoute::CloseEnded:
            commands_.execute(cmd::CloseTab{active});
            break;
        case CharRoute::Text:
            if (auto text = surrogates_.push(unit)) typed_text(std::move(*text));
            break;
    }
}

void InputController::tab_key() {
    workspace_.cell().change(
        [this](AppState& state) {
            const core::Settings& settings = state.config().settings;
            Tab* tab = state.active_tab();
            const core::Alias* alias =
                settings.alias_trigger_tab && tab
                    ? alias_for_line(state.config().aliases, tab->typed().text())
                    : nullptr;
            if (alias) {
                const std::string_view line = tab->typed().text();
                std::string expanded(line.substr(0, line.size() - trailing_word(line).size()));
                expanded += alias->expansion;
                if (alias->send_enter)
                    submit_line(state.config(), *tab, fs_, expanded, now_seconds());
                send_input(state, alias_bytes(*alias));
                tab->typed().set_text(alias->send_enter ? std::string() : expanded);
                tab->typed().suggest(settings.autocomplete_history);
                return true;
            }
            if (auto tail = accept_suggestion(state)) {
                send_input(state, *tail);
                return true;
            }
            send_input(state, "\t");
            return false;
        },
        // The ghost text changed.
        [this](bool repaint) {
            if (repaint) workspace_.window().invalidate();
        });
}

void InputController::typed_text(std::string text) {
    workspace_.cell().change(
        [this, text = std::move(text)](AppState& state) {
            bool repaint = state.selection().state != SelectionState::None;
            state.clear_selection();
            if (Tab* tab = state.active_tab()) {
                const std::optional<std::string> before = tab->typed().suggestion();
                // Before the Enter is sent: the echo of the line is on screen
                // now or comes with the output that follows.
                std::string typed = tab->typed().text();
                const std::vector<std::string> completed = track_typed(typed, text);
                tab->typed().set_text(std::move(typed));
                for (const std::string& line : completed) {
                    submit_line(state.config(), *tab, fs_, line, now_seconds());
                }
                tab->typed().suggest(state.config().settings.autocomplete_history);
                repaint = repaint || before != tab->typed().suggestion();
            }
            send_input(state, text);
            return repaint;
        },
        [this](bool repaint) {
            if (repaint) workspace_.window().invalidate();
        });
}

}  // namespace tolvar::app
