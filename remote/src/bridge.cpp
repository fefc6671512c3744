#include "tolvar/remote/bridge.hpp"

#include <algorithm>

#include "json_members.hpp"
#include "tolvar/core/json_text.hpp"

namespace tolvar::remote {

namespace {

using core::JsonValue;
using core::JsonWriter;

// A message's member of one kind; nothing when absent, of another kind or
// given twice.
const JsonValue* member(const JsonValue& object, std::string_view key, JsonValue::Kind kind) {
    const Member found = remote::member(object, key);
    return !found.twice && found.value && found.value->kind == kind ? found.value : nullptr;
}

std::optional<std::string> text_of(const JsonValue& object, std::string_view key) {
    const JsonValue* v = member(object, key, JsonValue::Kind::String);
    return v ? std::optional<std::string>(v->text) : std::nullopt;
}

std::optional<std::uint64_t> number_of(const JsonValue& object, std::string_view key) {
    if (const JsonValue* v = member(object, key, JsonValue::Kind::Uint)) return v->uint_value;
    if (const JsonValue* v = member(object, key, JsonValue::Kind::Int); v && v->int_value >= 0) {
        return static_cast<std::uint64_t>(v->int_value);
    }
    return std::nullopt;
}

std::optional<JsonValue> object_of(std::string_view message) {
    core::JsonParse parsed = core::parse_json(message);
    if (parsed.syntax_error || parsed.root.kind != JsonValue::Kind::Object) return std::nullopt;
    return std::move(parsed.root);
}

std::string message(std::string_view type,
                    std::initializer_list<std::pair<std::string_view, std::string_view>> fields) {
    JsonWriter w(JsonWriter::Style::Compact);
    w.begin_object();
    w.key("type");
    w.string_value(type);
    for (const auto& [key, value] : fields) {
        w.key(key);
        w.string_value(value);
    }
    w.end_object();
    return w.take();
}

}  // namespace

std::string token_text(const DeviceToken& token) {
    return base64url(token.data(), token.size());
}

Bridge::Bridge(BridgeHost& host, DevicesFile devices, bool allow_control)
    : host_(host), registry_(std::move(devices)), allow_control_(allow_control) {}

std::optional<ConnectionId> Bridge::connected(std::string address, Clock::time_point now) {
    const auto unproven =
        std::count_if(connections_.begin(), connections_.end(),
                      [](const auto& e) { return e.second.stage != Stage::Watching; });
    if (static_cast<std::size_t>(unproven) >= Limits::k_half_open) return std::nullopt;
    const ConnectionId id = next_++;
    Connection c;
    c.address = std::move(address);
    c.since = now;
    connections_.emplace(id, std::move(c));
    return id;
}

void Bridge::received(ConnectionId id, std::string_view text, Clock::time_point now) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    Connection& c = it->second;
    if (!c.rate.take(now)) return end(id, CloseCode::Policy);
    switch (c.stage) {
        case Stage::Unproven:
            return first(id, c, text, now);
        case Stage::Asking:
            // Nothing is read while the desktop asks.
            return end(id, CloseCode::Policy);
        case Stage::Watching:
            return then(id, c, text);
    }
}

void Bridge::first(ConnectionId id, Connection& c, std::string_view text, Clock::time_point now) {
    if (!attempts_.may_try(c.address, now)) {
        return refuse(id, "Too many failed attempts from this address: wait a minute.");
    }
    const std::optional<JsonValue> m = object_of(text);
    const std::optional<std::string> type = m ? text_of(*m, "type") : std::nullopt;
    if (type == "hello") {
        const std::optional<std::string> token = text_of(*m, "token");
        const std::optional<std::string> device =
            token && token->size() == 43 ? registry_.find(host_.hash(*token)) : std::nullopt;
        if (!device) {
            attempts_.failed(c.address, now);
            return refuse(id, "This phone is not paired, or was forgotten: pair it again.");
        }
        const auto same =
            std::count_if(connections_.begin(), connections_.end(), [&](const auto& e) {
                return e.second.stage == Stage::Watching && e.second.device == *device;
            });
        if (static_cast<std::size_t>(same) >= Limits::k_connections_per_device) {
            return refuse(id, "This phone has too many connections open.");
        }
        c.device = *device;
        registry_.seen(*device, host_.wall_now());
        host_.devices_changed(registry_.file());
        return welcome(id, c);
    }
    if (type == "pair") {
        const std::optional<std::string> secret = text_of(*m, "secret");
        const std::optional<std::string> name = text_of(*m, "name");
        switch (offer_.claim(secret.value_or(""), now)) {
            case PairingOffer::Verdict::Accepted:
                break;
            case PairingOffer::Verdict::Expired:
                return refuse(id, "This pairing code has expired: show a new one on the desktop.");
            case PairingOffer::Verdict::Spent:
                attempts_.failed(c.address, now);
                return refuse(id, "This pairing code was used already.");
            case PairingOffer::Verdict::None:
            case PairingOffer::Verdict::Wrong:
                attempts_.failed(c.address, now);
                return refuse(id, "This pairing code is not the one the desktop shows.");
        }
        std::optional<std::string> code;
        while (!code) code = approval_code(host_.random_word());
        c.stage = Stage::Asking;
        c.name = device_name(name.value_or(""));
        host_.send(id, message("code", {{"code", *code}}));
        host_.ask(id, c.name, *code);
        return;
    }
    attempts_.failed(c.address, now);
    refuse(id, "The first message must be hello or pair.", CloseCode::Protocol);
}

void Bridge::answer(ConnectionId id, bool allowed) {
    const auto it = connections_.find(id);
    if (it == connections_.end() || it->second.stage != Stage::Asking) return;
    Connection& c = it->second;
    if (!allowed) return refuse(id, "The desktop did not allow this phone.");
    const DeviceToken token = host_.new_token();
    const std::string text = token_text(token);
    Device device;
    device.id = host_.new_device_id();
    device.name = c.name;
    device.token_sha256 = host_.hash(text);
    device.paired_at = device.last_seen = host_.wall_now();
    c.device = device.id;
    registry_.add(std::move(device));
    host_.devices_changed(registry_.file());
    host_.send(id, message("paired", {{"token", text}}));
    welcome(id, c);
}

void Bridge::welcome(ConnectionId id, Connection& c) {
    c.stage = Stage::Watching;
    const Device* device = registry_.device(c.device);
    JsonWriter w(JsonWriter::Style::Compact);
    w.begin_object();
    w.key("type");
    w.string_value("welcome");
    w.key("name");
    w.string_value(device ? device->name : "");
    w.key("control");
    w.bool_value(may_control(c));
    w.key("fingerprint");
    w.string_value(host_.fingerprint());
    w.end_object();
    host_.send(id, w.take());
    then(id, c, R"({"type":"tabs"})");
}

bool Bridge::may_control(const Connection& c) const {
    const Device* device = registry_.device(c.device);
    return allow_control_ && device && device->may_control;
}

void Bridge::then(ConnectionId id, Connection& c, std::string_view text) {
    const std::optional<JsonValue> m = object_of(text);
    const std::optional<std::string> type = m ? text_of(*m, "type") : std::nullopt;
    if (type == "tabs") {
        JsonWriter w(JsonWriter::Style::Compact);
        w.begin_object();
        w.key("type");
        w.string_value("tabs");
        w.key("tabs");
        w.begin_array();
        for (const TabEntry& tab : host_.tabs()) {
            w.begin_object();
            w.key("id");
            w.uint_value(tab.id);
            w.key("title");
            w.string_value(tab.title);
            w.key("group");
            w.string_value(tab.group);
            w.key("color");
            w.string_value(tab.color);
            w.key("ended");
            w.bool_value(tab.ended);
            w.key("broadcast");
            w.bool_value(tab.broadcast);
            w.end_object();
        }
        w.end_array();
        w.end_object();
        host_.send(id, w.take());
        return;
    }
    if (type == "open") {
        const std::optional<std::uint64_t> tab = number_of(*m, "tab");
        if (c.tab) host_.unwatch(id);
        c.tab.reset();
        if (!tab || !host_.watch(id, *tab)) {
            host_.send(id, message("error", {{"reason", "That tab is not open any more."}}));
            return;
        }
        c.tab = *tab;
        return;
    }
    if (type == "type") {
        const std::optional<std::uint64_t> tab = number_of(*m, "tab");
        const std::optional<std::string> typed = text_of(*m, "text");
        if (!may_control(c)) {
            host_.send(id, message("error", {{"reason", "This phone may only watch."}}));
            return;
        }
        // Only into the tab it watches: what the phone sends is what it sees.
        if (!tab || !typed || c.tab != tab) {
            host_.send(id, message("error", {{"reason", "Open the tab before typing into it."}}));
            return;
        }
        if (const auto refused = host_.type(*tab, *typed)) {
            host_.send(id, message("error", {{"reason", *refused}}));
        }
        return;
    }
    host_.send(id, message("error", {{"reason", "Unknown message."}}));
}

void Bridge::refuse(ConnectionId id, std::string_view reason, CloseCode code) {
    host_.send(id, message("refused", {{"reason", reason}}));
    end(id, code);
}

void Bridge::end(ConnectionId id, CloseCode code) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    if (it->second.stage == Stage::Asking) host_.unask(id);
    if (it->second.tab) host_.unwatch(id);
    connections_.erase(it);
    host_.close(id, code);
}

void Bridge::disconnected(ConnectionId id) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    if (it->second.stage == Stage::Asking) host_.unask(id);
    if (it->second.tab) host_.unwatch(id);
    connections_.erase(it);
}

void Bridge::tick(Clock::time_point now) {
    std::vector<ConnectionId> late;
    for (const auto& [id, c] : connections_) {
        if (c.stage == Stage::Unproven && now - c.since >= Limits::k_half_open_deadline) {
            late.push_back(id);
        }
    }
    for (const ConnectionId id : late) end(id, CloseCode::Policy);
}

void Bridge::forget(std::string_view device_id) {
    if (!registry_.forget(device_id)) return;
    host_.devices_changed(registry_.file());
    std::vector<ConnectionId> gone;
    for (const auto& [id, c] : connections_) {
        if (c.stage == Stage::Watching && c.device == device_id) gone.push_back(id);
    }
    for (const ConnectionId id : gone) end(id, CloseCode::Policy);
}

void Bridge::allow_control(std::string_view device_id, bool allowed) {
    if (!registry_.allow_control(device_id, allowed)) return;
    host_.devices_changed(registry_.file());
    // The page shows its key bar only while it may use it.
    for (const auto& [id, c] : connections_) {
        if (c.stage != Stage::Watching || c.device != device_id) continue;
        JsonWriter w(JsonWriter::Style::Compact);
        w.begin_object();
        w.key("type");
        w.string_value("control");
        w.key("control");
        w.bool_value(may_control(c));
        w.end_object();
        host_.send(id, w.take());
    }
}

void Bridge::stop() {
    offer_.close();
    std::vector<ConnectionId> all;
    for (const auto& entry : connections_) all.push_back(entry.first);
    for (const ConnectionId id : all) end(id, CloseCode::GoingAway);
}

std::vector<std::pair<std::uint64_t, bool>> Bridge::watched() const {
    std::vector<std::pair<std::uint64_t, bool>> out;
    for (const auto& [id, c] : connections_) {
        if (c.tab) out.emplace_back(*c.tab, may_control(c));
    }
    return out;
}

}  // namespace tolvar::remote
