// The records that outlive a run: settings, connection profiles, aliases and
// quick keys, remembered sessions and history entries. Plain values with the
// defaults a reader gives an absent key; no I/O here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tolvar/core/json_text.hpp"

namespace tolvar::core {

// A value kept as the file held it, for keys the program interprets itself
// and forgives: reading never fails on it, and a save writes it back
// unchanged, so a typo stays for the user to fix. Nothing: the key was not
// in the file, and it is not written.
struct RawJson {
    std::optional<JsonValue> value;
    bool operator==(const RawJson&) const = default;
};

enum class SyncMode { Local, Cloud };

struct FontSettings {
    std::string family = "SF Mono";
    std::vector<std::string> fallbacks = {"Menlo", "Monaco", "Cascadia Mono", "Consolas"};
    float size_pt = 12.0f;
    bool operator==(const FontSettings&) const = default;
};

struct KeySettings {
    std::string nav_modifier = "alt";
    bool chrome_tab_keys = true;
    bool operator==(const KeySettings&) const = default;
};

struct RemoteSettings {
    bool enabled = false;
    std::string bind_addr = "0.0.0.0:57420";
    bool allow_control = false;
    bool operator==(const RemoteSettings&) const = default;
};

// Member initialisers are the values a file that lacks the key reads as;
// fresh_settings() holds the values of a first run, which differ.
struct Settings {
    std::uint32_t schema_version = 0;
    bool close_to_tray = false;
    bool restore_sessions_on_start = false;
    bool track_history = false;
    SyncMode sync_mode = SyncMode::Local;
    bool alias_trigger_tab = false;
    bool autocomplete_history = true;
    std::optional<std::string> default_working_dir;
    FontSettings font;
    KeySettings keys;
    RemoteSettings remote;
    // The look of the panes; the app reads them and tells what it cannot use.
    RawJson theme;
    RawJson colors;
    RawJson bold_is_bright;
    RawJson cursor_shape;
    RawJson cursor_blink;
    RawJson word_delimiters;
    // Whether a tab closes when its program ends; read by the app likewise.
    RawJson close_on_exit;
    RawJson log_all_sessions;
    // The chord that brings the window to the front from any program.
    RawJson summon_key;
    bool operator==(const Settings&) const = default;
};

Settings fresh_settings();

struct LocalShell {
    std::string command;
    bool operator==(const LocalShell&) const = default;
};

struct Ssh {
    std::string host;
    std::uint16_t port = 22;
    std::optional<std::string> user;
    std::optional<std::string> identity_file;
    std::vector<std::string> extra_args;
    bool operator==(const Ssh&) const = default;
};

struct Rdp {
    std::string host;
    std::uint16_t port = 3389;
    std::optional<std::string> user;
    std::optional<std::string> domain;
    bool fullscreen = false;
    bool admin = false;
    bool operator==(const Rdp&) const = default;
};

struct Vnc {
    std::string host;
    std::uint16_t port = 5900;
    std::optional<std::string> viewer_path;
    std::vector<std::string> extra_args;
    bool operator==(const Vnc&) const = default;
};

// A serial port read and written directly. Every key but the port is kept as
// the file held it: the connection reads them and tells what it cannot use,
// so a typo in one never makes the whole profiles file unreadable.
struct Serial {
    std::string port;
    RawJson baud;
    RawJson data_bits;
    RawJson parity;
    RawJson stop_bits;
    RawJson flow_control;
    bool operator==(const Serial&) const = default;
};

using ProfileKind = std::variant<LocalShell, Ssh, Rdp, Vnc, Serial>;

struct ConnectionProfile {
    std::string id;
    std::string name;
    ProfileKind kind;
    std::optional<std::string> group;
    std::optional<std::uint8_t> color;
    bool operator==(const ConnectionProfile&) const = default;
};

struct ProfilesFile {
    std::uint32_t schema_version = 0;
    std::vector<ConnectionProfile> profiles;
    bool operator==(const ProfilesFile&) const = default;
};

struct Alias {
    std::string name;
    std::string expansion;
    bool send_enter = false;
    bool operator==(const Alias&) const = default;
};

struct OpenProfile {
    std::string profile_id;
    bool operator==(const OpenProfile&) const = default;
};
struct SendText {
    std::string text;
    bool operator==(const SendText&) const = default;
};
struct RunAlias {
    std::string alias;
    bool operator==(const RunAlias&) const = default;
};
struct RenameTab {
    bool operator==(const RenameTab&) const = default;
};
struct ShowHelp {
    bool operator==(const ShowHelp&) const = default;
};

using QuickAction = std::variant<OpenProfile, SendText, RunAlias, RenameTab, ShowHelp>;

struct QuickKey {
    std::string chord;
    QuickAction action;
    bool operator==(const QuickKey&) const = default;
};

struct AliasesFile {
    std::uint32_t schema_version = 0;
    std::vector<Alias> aliases;
    std::vector<QuickKey> quick_keys;
    bool operator==(const AliasesFile&) const = default;
};

struct SessionRecord {
    std::string id;
    std::optional<std::string> profile_id;
    std::optional<std::string> title;
    std::optional<std::string> group;
    std::optional<std::uint8_t> color;
    bool operator==(const SessionRecord&) const = default;
};

struct SessionsFile {
    std::uint32_t schema_version = 0;
    std::vector<SessionRecord> sessions;
    bool operator==(const SessionsFile&) const = default;
};

struct HistoryEntry {
    std::uint64_t ts = 0;
    std::string line;
    bool operator==(const HistoryEntry&) const = default;
};

// The tab bar has eight colours, but a file may hold any index up to 255.
// Every user of a stored colour goes through this: above 7 means no colour.
inline constexpr std::size_t k_palette_size = 8;

constexpr std::optional<std::uint8_t> usable_color(std::optional<std::uint8_t> index) {
    if (index && *index < k_palette_size) return index;
    return std::nullopt;
}

}  // namespace tolvar::core
