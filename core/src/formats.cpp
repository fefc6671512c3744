#include "tolvar/core/formats.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <tuple>

#include "tolvar/core/json_text.hpp"

namespace tolvar::core {

namespace {

// ------------------------------------------------------------ field tables

template <class T, class M>
struct Field {
    std::string_view key;
    M T::*member;
    bool required;
};

template <class T, class M>
constexpr Field<T, M> required(std::string_view key, M T::*member) {
    return {key, member, true};
}

template <class T, class M>
constexpr Field<T, M> optional(std::string_view key, M T::*member) {
    return {key, member, false};
}

// Record<T>: the name used in type errors, and the fields in written order.
template <class T>
struct Record;

template <>
struct Record<FontSettings> {
    static constexpr std::string_view name = "FontSettings";
    static constexpr auto fields() {
        return std::tuple{optional("family", &FontSettings::family),
                          optional("fallbacks", &FontSettings::fallbacks),
                          optional("size_pt", &FontSettings::size_pt)};
    }
};

template <>
struct Record<KeySettings> {
    static constexpr std::string_view name = "KeySettings";
    static constexpr auto fields() {
        return std::tuple{optional("nav_modifier", &KeySettings::nav_modifier),
                          optional("chrome_tab_keys", &KeySettings::chrome_tab_keys)};
    }
};

template <>
struct Record<RemoteSettings> {
    static constexpr std::string_view name = "RemoteSettings";
    static constexpr auto fields() {
        return std::tuple{optional("enabled", &RemoteSettings::enabled),
                          optional("bind_addr", &RemoteSettings::bind_addr),
                          optional("allow_control", &RemoteSettings::allow_control)};
    }
};

template <>
struct Record<Settings> {
    static constexpr std::string_view name = "Settings";
    static constexpr auto fields() {
        return std::tuple{
            optional("schema_version", &Settings::schema_version),
            required("close_to_tray", &Settings::close_to_tray),
            required("restore_sessions_on_start", &Settings::restore_sessions_on_start),
            required("track_history", &Settings::track_history),
            required("sync_mode", &Settings::sync_mode),
            optional("alias_trigger_tab", &Settings::alias_trigger_tab),
            optional("autocomplete_history", &Settings::autocomplete_history),
            optional("default_working_dir", &Settings::default_working_dir),
            optional("font", &Settings::font),
            optional("keys", &Settings::keys),
            optional("remote", &Settings::remote),
            optional("theme", &Settings::theme),
            optional("colors", &Settings::colors),
            optional("bold_is_bright", &Settings::bold_is_bright),
            optional("cursor_shape", &Settings::cursor_shape),
            optional("cursor_blink", &Settings::cursor_blink),
            optional("word_delimiters", &Settings::word_delimiters),
            optional("close_on_exit", &Settings::close_on_exit),
            optional("log_all_sessions", &Settings::log_all_sessions),
            optional("summon_key", &Settings::summon_key)};
    }
};

template <>
struct Record<LocalShell> {
    static constexpr std::string_view name = "LocalShell";
    static constexpr std::string_view tag = "local_shell";
    static constexpr auto fields() { return std::tuple{required("command", &LocalShell::command)}; }
};

template <>
struct Record<Ssh> {
    static constexpr std::string_view name = "Ssh";
    static constexpr std::string_view tag = "ssh";
    static constexpr auto fields() {
        return std::tuple{required("host", &Ssh::host), optional("port", &Ssh::port),
                          optional("user", &Ssh::user),
                          optional("identity_file", &Ssh::identity_file),
                          optional("extra_args", &Ssh::extra_args)};
    }
};

template <>
struct Record<Rdp> {
    static constexpr std::string_view name = "Rdp";
    static constexpr std::string_view tag = "rdp";
    static constexpr auto fields() {
        return std::tuple{required("host", &Rdp::host),
                          optional("port", &Rdp::port),
                          optional("user", &Rdp::user),
                          optional("domain", &Rdp::domain),
                          optional("fullscreen", &Rdp::fullscreen),
                          optional("admin", &Rdp::admin)};
    }
};

template <>
struct Record<Vnc> {
    static constexpr std::string_view name = "Vnc";
    static constexpr std::string_view tag = "vnc";
    static constexpr auto fields() {
        return std::tuple{required("host", &Vnc::host), optional("port", &Vnc::port),
                          optional("viewer_path", &Vnc::viewer_path),
                          optional("extra_args", &Vnc::extra_args)};
    }
};

template <>
struct Record<Serial> {
    static constexpr std::string_view name = "Serial";
    static constexpr std::string_view tag = "serial";
    static constexpr auto fields() {
        return std::tuple{required("port", &Serial::port), optional("baud", &Serial::baud),
                          optional("data_bits", &Serial::data_bits),
                          optional("parity", &Serial::parity),
                          optional("stop_bits", &Serial::stop_bits),
                          optional("flow_control", &Serial::flow_control)};
    }
};

template <>
struct Record<ConnectionProfile> {
    static constexpr std::string_view name = "ConnectionProfile";
    static constexpr auto fields() {
        return std::tuple{required("id", &ConnectionProfile::id),
                          required("name", &ConnectionProfile::name),
                          required("kind", &ConnectionProfile::kind),
                          optional("group", &ConnectionProfile::group),
                          optional("color", &ConnectionProfile::color)};
    }
};

template <>
struct Record<ProfilesFile> {
    static constexpr std::string_view name = "ProfilesFile";
    static constexpr auto fields() {
        return std::tuple{required("schema_version", &ProfilesFile::schema_version),
                          required("profiles", &ProfilesFile::profiles)};
    }
};

template <>
struct Record<Alias> {
    static constexpr std::string_view name = "Alias";
    static constexpr auto fields() {
        return std::tuple{required("name", &Alias::name), required("expansion", &Alias::expansion),
                          optional("send_enter", &Alias::send_enter)};
    }
};

template <>
struct Record<OpenProfile> {
    static constexpr std::string_view name = "OpenProfile";
    static constexpr std::string_view tag = "open_profile";
    static constexpr auto fields() {
        return std::tuple{required("profile_id", &OpenProfile::profile_id)};
    }
};

template <>
struct Record<SendText> {
    static constexpr std::string_view name = "SendText";
    static constexpr std::string_view tag = "send_text";
    static constexpr auto fields() { return std::tuple{required("text", &SendText::text)}; }
};

template <>
struct Record<RunAlias> {
    static constexpr std::string_view name = "RunAlias";
    static constexpr std::string_view tag = "run_alias";
    static constexpr auto fields() { return std::tuple{required("alias", &RunAlias::alias)}; }
};

template <>
struct Record<RenameTab> {
    static constexpr std::string_view name = "RenameTab";
    static constexpr std::string_view tag = "rename_tab";
    static constexpr auto fields() { return std::tuple{}; }
};

template <>
struct Record<ShowHelp> {
    static constexpr std::string_view name = "ShowHelp";
    static constexpr std::string_view tag = "show_help";
    static constexpr auto fields() { return std::tuple{}; }
};

template <>
struct Record<QuickKey> {
    static constexpr std::string_view name = "QuickKey";
    static constexpr auto fields() {
        return std::tuple{required("chord", &QuickKey::chord),
                          required("action", &QuickKey::action)};
    }
};

template <>
struct Record<AliasesFile> {
    static constexpr std::string_view name = "AliasesFile";
    static constexpr auto fields() {
        return std::tuple{required("schema_version", &AliasesFile::schema_version),
                          optional("aliases", &AliasesFile::aliases),
                          optional("quick_keys", &AliasesFile::quick_keys)};
    }
};

template <>
struct Record<SessionRecord> {
    static constexpr std::string_view name = "SessionRecord";
    static constexpr auto fields() {
        return std::tuple{
            required("id", &SessionRecord::id), optional("profile_id", &SessionRecord::profile_id),
            optional("title", &SessionRecord::title), optional("group", &SessionRecord::group),
            optional("color", &SessionRecord::color)};
    }
};

template <>
struct Record<SessionsFile> {
    static constexpr std::string_view name = "SessionsFile";
    static constexpr auto fields() {
        return std::tuple{required("schema_version", &SessionsFile::schema_version),
                          required("sessions", &SessionsFile::sessions)};
    }
};

template <>
struct Record<HistoryEntry> {
    static constexpr std::string_view name = "HistoryEntry";
    static constexpr auto fields() {
        return std::tuple{required("ts", &HistoryEntry::ts), required("line", &HistoryEntry::line)};
    }
};

template <class T>
concept IsRecord = requires {
    Record<T>::fields();
};

template <class T>
concept IsTaggedVariant = requires {
    Record<T>::tag;
};

template <class Tuple, class F>
constexpr void for_each_field(const Tuple& fields, F&& f) {
    std::apply(
        [&](const auto&... field) {
            std::size_t index = 0;
            (f(field, index++), ...);
        },
        fields);
}

// ---------------------------------------------------------------- reading

// A decoding failure: a message, or "incomplete" when the text ended (by a
// syntax error) before the value did; the syntax error is then reported.
struct Failure {
    std::string message;
    bool incomplete = false;
};
using Status = std::optional<Failure>;

const Status k_ok = std::nullopt;

Status incomplete() {
    return Failure{{}, true};
}

std::string unexpected_text(const JsonValue& v) {
    using K = JsonValue::Kind;
    switch (v.kind) {
        case K::Null:
            return "null";
        case K::Bool:
            return std::string("boolean `") + (v.boolean ? "true" : "false") + "`";
        case K::Int:
            return "integer `" + std::to_string(v.int_value) + "`";
        case K::Uint:
            return "integer `" + std::to_string(v.uint_value) + "`";
        case K::Float:
            return "floating point `" + format_f64(v.float_value) + "`";
        case K::String:
            return "string " + debug_quote(v.text);
        case K::Object:
            return "map";
        case K::Array:
            return "sequence";
        case K::Absent:
            break;
    }
    return "nothing";
}

Status invalid_type(const JsonValue& v, std::string_view expected) {
    if (v.kind == JsonValue::Kind::Absent) return incomplete();
    return Failure{"invalid type: " + unexpected_text(v) + ", expected " + std::string(expected)};
}

Status decode(const JsonValue& v, bool& out) {
    if (v.kind != JsonValue::Kind::Bool) return invalid_type(v, "a boolean");
    out = v.boolean;
    return k_ok;
}

Status decode(const JsonValue& v, std::string& out) {
    if (v.kind != JsonValue::Kind::String) return invalid_type(v, "a string");
    out = v.text;
    return k_ok;
}

template <class U>
constexpr std::string_view unsigned_name() {
    if constexpr (sizeof(U) == 1) return "u8";
    if constexpr (sizeof(U) == 2) return "u16";
    if constexpr (sizeof(U) == 4) return "u32";
    return "u64";
}

template <class U>
requires std::is_unsigned_v<U> &&(!std::is_same_v<U, bool>)Status
    decode(const JsonValue& v, U& out) {
    constexpr auto name = unsigned_name<U>();
    if (v.kind == JsonValue::Kind::Int) {
        return Failure{"invalid value: integer `" + std::to_string(v.int_value) + "`, expected " +
                       std::string(name)};
    }
    if (v.kind != JsonValue::Kind::Uint) return invalid_type(v, name);
    if (v.uint_value > std::numeric_limits<U>::max()) {
        return Failure{"invalid value: integer `" + std::to_string(v.uint_value) + "`, expected " +
                       std::string(name)};
    }
    out = static_cast<U>(v.uint_value);
    return k_ok;
}

Status decode(const JsonValue& v, float& out) {
    switch (v.kind) {
        case JsonValue::Kind::Float:
            // A value beyond float range would be written back as null and
            // make the whole file unreadable at the next start.
            if (!std::isfinite(static_cast<float>(v.float_value))) {
                return Failure{"invalid value: floating point `" + format_f64(v.float_value) +
                               "`, expected f32"};
            }
            out = static_cast<float>(v.float_value);
            return k_ok;
        case JsonValue::Kind::Uint:
            out = static_cast<float>(v.uint_value);
            return k_ok;
        case JsonValue::Kind::Int:
            out = static_cast<float>(v.int_value);
            return k_ok;
        default:
            return invalid_type(v, "f32");
    }
}

Status decode(const JsonValue& v, SyncMode& out) {
    if (v.kind != JsonValue::Kind::String) return invalid_type(v, "enum SyncMode");
    if (v.text == "local") {
        out = SyncMode::Local;
    } else if (v.text == "cloud") {
        out = SyncMode::Cloud;
    } else {
        return Failure{"unknown variant `" + v.text + "`, expected `local` or `cloud`"};
    }
    return k_ok;
}

// Any complete value is taken; only a cut-short text is a failure, so the
// syntax error is what gets reported.
Status decode(const JsonValue& v, RawJson& out) {
    if (v.kind == JsonValue::Kind::Absent || !v.closed) return incomplete();
    out.value = v;
    return k_ok;
}

template <class T>
Status decode(const JsonValue& v, std::optional<T>& out);
template <class T>
Status decode(const JsonValue& v, std::vector<T>& out);
template <class T>
requires IsRecord<T> Status decode(const JsonValue& v, T& out);
template <class... Alts>
Status decode(const JsonValue& v, std::variant<Alts...>& out);

template <class T>
Status decode(const JsonValue& v, std::optional<T>& out) {
    if (v.kind == JsonValue::Kind::Null) {
        out.reset();
        return k_ok;
    }
    T value{};
    if (auto st = decode(v, value)) return st;
    out = std::move(value);
    return k_ok;
}

template <class T>
Status decode(const JsonValue& v, std::vector<T>& out) {
    if (v.kind != JsonValue::Kind::Array) return invalid_type(v, "a sequence");
    out.clear();
    out.reserve(v.items.size());
    for (const JsonValue& item : v.items) {
        T value{};
        if (auto st = decode(item, value)) return st;
        out.push_back(std::move(value));
    }
    if (!v.closed) return incomplete();
    return k_ok;
}

// Members are taken in document order, so the first fault in the text is the
// one reported; missing fields are reported when the object closes. `skip`
// names the tag key of an internally tagged variant, already handled.
template <class T>
Status decode_members(const JsonValue& v, T& out, std::string_view skip = {}) {
    constexpr auto fields = Record<T>::fields();
    constexpr std::size_t count = std::tuple_size_v<decltype(fields)>;
    std::array<bool, count> seen{};
    for (const JsonMember& member : v.members) {
        if (!skip.empty() && member.key == skip) continue;
        Status status;
        for_each_field(fields, [&](const auto& field, std::size_t index) {
            if (field.key != member.key) return;
            if (seen[index]) {
                status = Failure{"duplicate field `" + std::string(field.key) + "`"};
                return;
            }
            seen[index] = true;
            status = decode(member.value, out.*(field.member));
        });
        if (status) return status;
    }
    if (!v.closed) return incomplete();
    Status missing;
    for_each_field(fields, [&](const auto& field, std::size_t index) {
        if (!missing && field.required && !seen[index]) {
            missing = Failure{"missing field `" + std::string(field.key) + "`"};
        }
    });
    return missing;
}

template <class T>
requires IsRecord<T> Status decode(const JsonValue& v, T& out) {
    if (v.kind != JsonValue::Kind::Object) {
        return invalid_type(v, "struct " + std::string(Record<T>::name));
    }
    return decode_members(v, out);
}

template <class V, std::size_t I = 0>
Status decode_alternative(const JsonValue& v, V& out, std::size_t chosen, std::string_view skip) {
    if constexpr (I < std::variant_size_v<V>) {
        if (I != chosen) return decode_alternative<V, I + 1>(v, out, chosen, skip);
        std::variant_alternative_t<I, V> alternative{};
        Status status = decode_members(v, alternative, skip);
        if (!status) out = std::move(alternative);
        return status;
    } else {
        return k_ok;
    }
}

template <class V>
constexpr std::string_view variant_name() {
    if constexpr (std::is_same_v<V, ProfileKind>) return "ProfileKind";
    return "QuickAction";
}

template <class... Alts>
std::string expected_tags() {
    std::string out = "one of ";
    bool first = true;
    ((out += (first ? "" : ", "), out += "`", out += Record<Alts>::tag, out += "`", first = false),
     ...);
    return out;
}

// An internally tagged variant: the "type" member picks the alternative and
// the other members are its fields. The tag is checked where it stands, the
// rest once the object is complete.
template <class... Alts>
Status decode(const JsonValue& v, std::variant<Alts...>& out) {
    using Variant = std::variant<Alts...>;
    constexpr std::string_view tag_key = "type";
    if (v.kind != JsonValue::Kind::Object) {
        return invalid_type(v, "internally tagged enum " + std::string(variant_name<Variant>()));
    }
    std::optional<std::size_t> chosen;
    for (const JsonMember& member : v.members) {
        if (member.key != tag_key) {
            if (member.value.kind == JsonValue::Kind::Absent || !member.value.closed) {
                return incomplete();
            }
            continue;
        }
        if (chosen) return Failure{"duplicate field `type`"};
        const JsonValue& tag = member.value;
        if (tag.kind != JsonValue::Kind::String) return invalid_type(tag, "variant identifier");
        std::size_t index = 0;
        ((Record<Alts>::tag == tag.text ? (chosen = index, 0) : 0, ++index), ...);
        if (!chosen) {
            return Failure{"unknown variant `" + tag.text + "`, expected " +
                           expected_tags<Alts...>()};
        }
    }
    if (!v.closed) return incomplete();
    if (!chosen) return Failure{"missing field `type`"};

    return decode_alternative(v, out, *chosen, tag_key);
}

template <class T>
Expected<T, std::string> read_record(std::string_view text) {
    const JsonParse parsed = parse_json(text);
    T value{};
    const Status status = decode(parsed.root, value);
    if (status && !status->incomplete) return unexpected(status->message);
    if (parsed.syntax_error) return unexpected(*parsed.syntax_error);
    if (status) return unexpected(std::string("EOF while parsing a value"));
    return value;
}

// ---------------------------------------------------------------- writing

void encode(JsonWriter& w, bool v) {
    w.bool_value(v);
}
void encode(JsonWriter& w, const std::string& v) {
    w.string_value(v);
}
void encode(JsonWriter& w, float v) {
    w.f32_value(v);
}
void encode(JsonWriter& w, const RawJson& v) {
    if (v.value) w.value(*v.value);
}
void encode(JsonWriter& w, SyncMode v) {
    w.string_value(v == SyncMode::Local ? "local" : "cloud");
}

template <class U>
requires std::is_unsigned_v<U> &&(!std::is_same_v<U, bool>)void encode(JsonWriter& w, U v) {
    w.uint_value(v);
}

template <class T>
void encode(JsonWriter& w, const std::optional<T>& v);
template <class T>
void encode(JsonWriter& w, const std::vector<T>& v);
template <class T>
requires IsRecord<T>
void encode(JsonWriter& w, const T& v);
template <class... Alts>
void encode(JsonWriter& w, const std::variant<Alts...>& v);

template <class T>
void encode(JsonWriter& w, const std::optional<T>& v) {
    if (v) {
        encode(w, *v);
    } else {
        w.null_value();
    }
}

template <class T>
void encode(JsonWriter& w, const std::vector<T>& v) {
    w.begin_array();
    for (const T& item : v) encode(w, item);
    w.end_array();
}

template <class T>
void encode_members(JsonWriter& w, const T& v) {
    for_each_field(Record<T>::fields(), [&](const auto& field, std::size_t) {
        if constexpr (std::is_same_v<std::decay_t<decltype(v.*(field.member))>, RawJson>) {
            if (!(v.*(field.member)).value) return;
        }
        w.key(field.key);
        encode(w, v.*(field.member));
    });
}

template <class T>
requires IsRecord<T>
void encode(JsonWriter& w, const T& v) {
    w.begin_object();
    encode_members(w, v);
    w.end_object();
}

template <class... Alts>
void encode(JsonWriter& w, const std::variant<Alts...>& v) {
    std::visit(
        [&](const auto& alternative) {
            using Alt = std::decay_t<decltype(alternative)>;
            w.begin_object();
            w.key("type");
            w.string_value(Record<Alt>::tag);
            encode_members(w, alternative);
            w.end_object();
        },
        v);
}

template <class T>
std::string write_record(const T& value, JsonWriter::Style style) {
    JsonWriter w(style);
    encode(w, value);
    return w.take();
}

}  // namespace

Settings fresh_settings() {
    Settings s;
    s.schema_version = 1;
    s.close_to_tray = true;
    s.restore_sessions_on_start = false;
    s.track_history = true;
    s.sync_mode = SyncMode::Local;
    s.alias_trigger_tab = true;
    s.autocomplete_history = true;
    return s;
}

Expected<Settings, std::string> parse_settings(std::string_view text) {
    return read_record<Settings>(text);
}
Expected<ProfilesFile, std::string> parse_profiles_file(std::string_view text) {
    return read_record<ProfilesFile>(text);
}
Expected<AliasesFile, std::string> parse_aliases_file(std::string_view text) {
    return read_record<AliasesFile>(text);
}
Expected<SessionsFile, std::string> parse_sessions_file(std::string_view text) {
    return read_record<SessionsFile>(text);
}
Expected<HistoryEntry, std::string> parse_history_entry(std::string_view text) {
    return read_record<HistoryEntry>(text);
}

std::string to_pretty_json(const Settings& value) {
    return write_record(value, JsonWriter::Style::Pretty);
}
std::string to_pretty_json(const ProfilesFile& value) {
    return write_record(value, JsonWriter::Style::Pretty);
}
std::string to_pretty_json(const AliasesFile& value) {
    return write_record(value, JsonWriter::Style::Pretty);
}
std::string to_pretty_json(const SessionsFile& value) {
    return write_record(value, JsonWriter::Style::Pretty);
}
std::string to_compact_json(const HistoryEntry& value) {
    return write_record(value, JsonWriter::Style::Compact);
}

}  // namespace tolvar::core
