#include "input/key_routing.hpp"

#include "tolvar/core/utf.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {

namespace {

bool is_arrow(VirtualKey key) {
    return key >= vk::k_left && key <= vk::k_down;
}

NavArrow arrow_direction(VirtualKey key) {
    switch (key) {
        case vk::k_left:
            return {-1, 0};
        case vk::k_right:
            return {1, 0};
        case vk::k_up:
            return {0, -1};
        default:
            return {0, 1};
    }
}

std::optional<Shortcut> ctrl_shift_letter(VirtualKey key) {
    switch (key) {
        case vk::letter('T'):
            return Shortcut::NewTab;
        case vk::letter('W'):
            return Shortcut::CloseTab;
        case vk::letter('R'):
            return Shortcut::RenameTab;
        case vk::letter('B'):
            return Shortcut::ToggleBroadcast;
        case vk::letter('Z'):
            return Shortcut::ToggleBrowser;
        case vk::letter('G'):
            return Shortcut::ToggleTileGroup;
        case vk::letter('A'):
            return Shortcut::ToggleTileAll;
        case vk::letter('E'):
            return Shortcut::ToggleCollapsed;
        case vk::letter('O'):
            return Shortcut::ConnectionManager;
        case vk::letter('P'):
            return Shortcut::QuickConnect;
        case vk::letter('H'):
            return Shortcut::HistoryViewer;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<ShortcutKey> shortcut_for(VirtualKey key, Modifiers m, bool chrome_tab_keys) {
    if (m.alt) return std::nullopt;
    if (!m.ctrl) {
        if (m.shift && key == vk::k_insert) return ShortcutKey{Shortcut::Paste};
        return std::nullopt;
    }
    if (chrome_tab_keys && !m.shift) {
        if (key == vk::letter('T')) return ShortcutKey{Shortcut::NewTab};
        if (key == vk::letter('W')) return ShortcutKey{Shortcut::CloseTab};
        if (key == vk::letter('N')) return ShortcutKey{Shortcut::NewWindow};
    }
    if (key == vk::k_insert) return ShortcutKey{m.shift ? Shortcut::Paste : Shortcut::CopyScreen};
    if (key == vk::k_f1) return ShortcutKey{Shortcut::ToggleHelp};
    if (m.shift) {
        if (auto action = ctrl_shift_letter(key)) return ShortcutKey{*action};
    }
    if (key == vk::k_tab) return ShortcutKey{m.shift ? Shortcut::PreviousTab : Shortcut::NextTab};
    if (!m.shift && key >= vk::letter('1') && key <= vk::letter('9')) {
        return ShortcutKey{Shortcut::SelectTab, static_cast<std::size_t>(key - vk::letter('1'))};
    }
    return std::nullopt;
}

bool is_reserved_chord(VirtualKey key, Modifiers m, bool chrome_tab_keys) {
    return m.ctrl && !m.alt && shortcut_for(key, m, chrome_tab_keys).has_value();
}

std::optional<std::size_t> match_quick_key(const std::vector<core::QuickKey>& quick_keys,
                                           VirtualKey key, Modifiers modifiers) {
    for (std::size_t i = 0; i < quick_keys.size(); ++i) {
        const auto chord = parse_chord(quick_keys[i].chord);
        if (chord && *chord == Chord{key, modifiers}) return i;
    }
    return std::nullopt;
}

std::optional<ViewKey> view_key_for(VirtualKey key, Modifiers m) {
    if (m.alt || !m.shift) return std::nullopt;
    if (!m.ctrl) {
        if (key == vk::k_prior) return ViewKey::PageBack;
        if (key == vk::k_next) return ViewKey::PageForward;
        return std::nullopt;
    }
    switch (key) {
        case vk::k_up:
            return ViewKey::LineBack;
        case vk::k_down:
            return ViewKey::LineForward;
        case vk::k_home:
            return ViewKey::Oldest;
        case vk::k_end:
            return ViewKey::Live;
        case vk::letter('F'):
            return ViewKey::Find;
        case vk::letter('C'):
            return ViewKey::Copy;
        case vk::letter('V'):
            return ViewKey::Paste;
        case vk::k_space:
            return ViewKey::Palette;
        default:
            return std::nullopt;
    }
}

std::optional<BrowserKey> browser_key(VirtualKey key, Modifiers m) {
    if (m.ctrl) {
        if (key == vk::k_tab) return BrowserKey{BrowserKey::Kind::Cycle, 0, 0, m.shift};
        return std::nullopt;
    }
    if (m.shift) return std::nullopt;
    if (is_arrow(key)) {
        const NavArrow d = arrow_direction(key);
        return BrowserKey{BrowserKey::Kind::Move, d.dx, d.dy};
    }
    switch (key) {
        case vk::k_return:
            return BrowserKey{BrowserKey::Kind::Open};
        case vk::k_back:
            return BrowserKey{BrowserKey::Kind::Up};
        case vk::k_escape:
            return BrowserKey{BrowserKey::Kind::Leave};
        default:
            return std::nullopt;
    }
}

std::optional<NavArrow> nav_arrow(VirtualKey key, Modifiers modifiers, std::string_view setting) {
    if (!is_arrow(key)) return std::nullopt;
    const auto wanted = parse_modifier_set(setting);
    if (!wanted || *wanted != modifiers) return std::nullopt;
    return arrow_direction(key);
}

KeyRoute route_key_down(const AppState& state, VirtualKey key, Modifiers m) {
    const core::Settings& settings = state.config().settings;
    const bool browsing = state.view_mode() == ViewMode::BrowseGroups;
    if (browsing && !m.alt) {
        if (auto b = browser_key(key, m)) return *b;
    }
    if (auto arrow = nav_arrow(key, m, settings.keys.nav_modifier)) return *arrow;
    if (auto shortcut = shortcut_for(key, m, settings.keys.chrome_tab_keys)) return *shortcut;
    if (!is_reserved_chord(key, m, settings.keys.chrome_tab_keys)) {
        if (auto hit = match_quick_key(state.config().quick_keys, key, m)) return QuickKeyHit{*hit};
    }
    const std::optional<ViewKey> view = view_key_for(key, m);
    if (view == ViewKey::Palette) return *view;
    if (browsing) return NoKeyAction{};
    if (view) return *view;
    if (auto bytes = key_sequence(key, m)) return SendKey{*bytes};
    return NoKeyAction{};
}

CharRoute route_char(const AppState& state, char16_t unit, Modifiers m) {
    if (unit == 0x1B && state.help_visible()) return CharRoute::HideHelp;
    if (state.view_mode() == ViewMode::BrowseGroups) return CharRoute::Ignore;
    if (const Tab* tab = state.active_tab(); tab && tab->ended()) {
        if (m.ctrl || m.alt) return CharRoute::Ignore;
        if (unit == 0x0D) return CharRoute::Restart;
        if (unit == 0x1B) return CharRoute::CloseEnded;
        return CharRoute::Ignore;
    }
    if (m.ctrl) {
        // Those chords belong to shortcuts, whose key-down already acted.
        // Shortcuts need Alt up: with Alt too (AltGr is Ctrl+Alt), Shift
        // picks a layout's character, which is typed like any other.
        if ((m.shift && !m.alt) || unit == 0x09) return CharRoute::Ignore;
        if (state.config().settings.keys.chrome_tab_keys &&
            (unit == 0x0E || unit == 0x14 || unit == 0x17)) {
            return CharRoute::Ignore;
        }
        return CharRoute::Text;
    }
    if (unit == 0x09) return m.shift ? CharRoute::Ignore : CharRoute::TabKey;
    return CharRoute::Text;
}

std::optional<std::string> SurrogateJoiner::push(char16_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        // A high half that is still waiting never gets its partner.
        const bool orphan = pending_.has_value();
        pending_ = unit;
        if (orphan) return std::string("\xEF\xBF\xBD");
        return std::nullopt;
    }
    std::u16string units;
    if (pending_) units.push_back(*pending_);
    units.push_back(unit);
    pending_.reset();
    return core::utf16_to_utf8_lossy(units);
}

// ------------------------------------------------------------ keys to commands

namespace {

std::optional<GroupId> active_group(const AppState& state) {
    const Tab* tab = state.active_tab();
    return tab ? tab->group() : std::nullopt;
}

std::optional<Command> shortcut_command(const AppState& state, ShortcutKey shortcut) {
    const TabId active = state.active();
    const bool any = !state.tabs().empty();
    switch (shortcut.action) {
        case Shortcut::Paste:
            return cmd::Paste{};
        case Shortcut::CopyScreen:
            return cmd::CopyScreen{active};
        case Shortcut::ToggleHelp:
            return cmd::ToggleHelp{};
        case Shortcut::NewTab:
            return cmd::NewTab{};
        case Shortcut::CloseTab:
            if (!any) return std::nullopt;
            return cmd::CloseTab{active};
        case Shortcut::NewWindow:
            return cmd::NewWindow{};
        case Shortcut::RenameTab:
            if (!any) return std::nullopt;
            return cmd::RenameTab{active};
        case Shortcut::ToggleBroadcast:
            if (auto group = active_group(state)) return cmd::ToggleBroadcast{*group};
            return std::nullopt;
        case Shortcut::ToggleCollapsed:
            if (auto group = active_group(state)) return cmd::ToggleCollapsed{*group};
            return std::nullopt;
        case Shortcut::ToggleBrowser:
            return cmd::ToggleView{ViewMode::BrowseGroups};
        case Shortcut::ToggleTileGroup:
            return cmd::ToggleView{ViewMode::TileGroup};
        case Shortcut::ToggleTileAll:
            return cmd::ToggleView{ViewMode::TileAll};
        case Shortcut::ConnectionManager:
            return cmd::ConnectionManager{};
        case Shortcut::QuickConnect:
            return cmd::QuickConnect{};
        case Shortcut::HistoryViewer:
            return cmd::ShowHistory{};
        case Shortcut::NextTab:
            return cmd::CycleTab{false};
        case Shortcut::PreviousTab:
            return cmd::CycleTab{true};
        case Shortcut::SelectTab:
            if (shortcut.tab >= state.tabs().size()) return std::nullopt;
            return cmd::GoToTab{state.tabs()[shortcut.tab].id()};
    }
    return std::nullopt;
}

Command browser_command(BrowserKey key) {
    switch (key.kind) {
        case BrowserKey::Kind::Move:
            return cmd::BrowserMove{key.dx, key.dy};
        case BrowserKey::Kind::Open:
            return cmd::BrowserOpen{};
        case BrowserKey::Kind::Up:
            return cmd::BrowserUp{};
        case BrowserKey::Kind::Leave:
            return cmd::ToggleView{ViewMode::BrowseGroups};
        case BrowserKey::Kind::Cycle:
            break;
    }
    return cmd::BrowserCycle{key.backwards};
}

std::optional<cmd::ScrollBy> scroll_of(ViewKey key) {
    switch (key) {
        case ViewKey::PageBack:
            return cmd::ScrollBy::PageBack;
        case ViewKey::PageForward:
            return cmd::ScrollBy::PageForward;
        case ViewKey::LineBack:
            return cmd::ScrollBy::LineBack;
        case ViewKey::LineForward:
            return cmd::ScrollBy::LineForward;
        case ViewKey::Oldest:
            return cmd::ScrollBy::Oldest;
        case ViewKey::Live:
            return cmd::ScrollBy::Live;
        default:
            return std::nullopt;
    }
}

KeyAction view_key_action(const AppState& state, ViewKey view, VirtualKey key, Modifiers m) {
    switch (view) {
        case ViewKey::Find:
            return cmd::Find{};
        case ViewKey::Copy:
            return cmd::CopySelection{};
        case ViewKey::Paste:
            return cmd::Paste{};
        case ViewKey::Palette:
            return cmd::CommandPalette{};
        default:
            break;
    }
    const Tab* tab = state.active_tab();
    if (!tab) return NoKeyAction{};
    if (history_extent(*tab).alternate) {
        if (auto bytes = key_sequence(key, m)) return SendKey{*bytes};
        return NoKeyAction{};
    }
    return cmd::Scroll{tab->id(), *scroll_of(view)};
}

}  // namespace

std::optional<Command> quick_key_command(const AppState& state, const core::QuickAction& action) {
    return std::visit(
        [&](const auto& a) -> std::optional<Command> {
            using A = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<A, core::SendText>) {
                return cmd::SendText{a.text};
            } else if constexpr (std::is_same_v<A, core::RunAlias>) {
                return cmd::RunAlias{a.alias};
            } else if constexpr (std::is_same_v<A, core::OpenProfile>) {
                return cmd::OpenProfile{a.profile_id};
            } else if constexpr (std::is_same_v<A, core::RenameTab>) {
                if (state.tabs().empty()) return std::nullopt;
                return cmd::RenameTab{state.active()};
            } else {
                return cmd::ToggleHelp{};
            }
        },
        action);
}

KeyAction key_action(const AppState& state, const KeyRoute& route, VirtualKey key, Modifiers m) {
    const auto some = [](std::optional<Command> command) -> KeyAction {
        if (command) return std::move(*command);
        return NoKeyAction{};
    };
    if (const auto* b = std::get_if<BrowserKey>(&route)) return browser_command(*b);
    if (const auto* a = std::get_if<NavArrow>(&route)) return cmd::MoveFocus{a->dx, a->dy};
    if (const auto* s = std::get_if<ShortcutKey>(&route)) return some(shortcut_command(state, *s));
    if (const auto* q = std::get_if<QuickKeyHit>(&route)) {
        if (q->index >= state.config().quick_keys.size()) return NoKeyAction{};
        return some(quick_key_command(state, state.config().quick_keys[q->index].action));
    }
    if (const auto* v = std::get_if<ViewKey>(&route)) return view_key_action(state, *v, key, m);
    if (const auto* bytes = std::get_if<SendKey>(&route)) return *bytes;
    return NoKeyAction{};
}

}  // namespace tolvar::app
