#include "tolvar/remote/devices.hpp"

#include <algorithm>
#include <functional>
#include <utility>

#include "json_members.hpp"
#include "tolvar/core/json_text.hpp"
#include "tolvar/remote/pairing.hpp"

namespace tolvar::remote {

namespace {

using core::JsonValue;
using core::JsonWriter;

std::string hex(const TokenHash& hash) {
    static constexpr char k_digits[] = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : hash) {
        out += k_digits[b >> 4];
        out += k_digits[b & 15];
    }
    return out;
}

std::optional<TokenHash> from_hex(std::string_view text) {
    if (text.size() != 64) return std::nullopt;
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    TokenHash out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int hi = digit(text[2 * i]), lo = digit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return out;
}

std::optional<std::int64_t> integer(const JsonValue& v) {
    if (v.kind == JsonValue::Kind::Int) return v.int_value;
    if (v.kind == JsonValue::Kind::Uint && v.uint_value <= INT64_MAX) {
        return static_cast<std::int64_t>(v.uint_value);
    }
    return std::nullopt;
}

JsonValue int_json(std::int64_t n) {
    JsonValue v;
    v.kind = JsonValue::Kind::Int;
    v.int_value = n;
    return v;
}

// One list drives both directions: a field's reader returns its failure.
struct Field {
    const char* key;
    std::function<std::optional<std::string>(const JsonValue&, Device&)> read;
    std::function<void(JsonWriter&, const Device&)> write;
};

Field time_field(const char* key, std::int64_t Device::*at) {
    return {key,
            [at](const JsonValue& v, Device& d) -> std::optional<std::string> {
                const auto n = integer(v);
                if (!n) return "an integer";
                d.*at = *n;
                return std::nullopt;
            },
            [at](JsonWriter& w, const Device& d) { w.value(int_json(d.*at)); }};
}

const std::vector<Field>& device_fields() {
    static const std::vector<Field> fields = {
        {"id",
         [](const JsonValue& v, Device& d) -> std::optional<std::string> {
             if (v.kind != JsonValue::Kind::String || v.text.empty()) return "a non-empty string";
             d.id = v.text;
             return std::nullopt;
         },
         [](JsonWriter& w, const Device& d) { w.string_value(d.id); }},
        {"name",
         [](const JsonValue& v, Device& d) -> std::optional<std::string> {
             if (v.kind != JsonValue::Kind::String) return "a string";
             d.name = v.text;
             return std::nullopt;
         },
         [](JsonWriter& w, const Device& d) { w.string_value(d.name); }},
        {"token_sha256",
         [](const JsonValue& v, Device& d) -> std::optional<std::string> {
             const auto hash = v.kind == JsonValue::Kind::String ? from_hex(v.text) : std::nullopt;
             if (!hash) return "64 lower-case hexadecimal digits";
             d.token_sha256 = *hash;
             return std::nullopt;
         },
         [](JsonWriter& w, const Device& d) { w.string_value(hex(d.token_sha256)); }},
        time_field("paired_at", &Device::paired_at),
        time_field("last_seen", &Device::last_seen),
        {"may_control",
         [](const JsonValue& v, Device& d) -> std::optional<std::string> {
             if (v.kind != JsonValue::Kind::Bool) return "true or false";
             d.may_control = v.boolean;
             return std::nullopt;
         },
         [](JsonWriter& w, const Device& d) { w.bool_value(d.may_control); }},
    };
    return fields;
}

}  // namespace

Expected<DevicesFile, std::string> parse_devices_file(std::string_view text) {
    const core::JsonParse parsed = core::parse_json(text);
    if (parsed.syntax_error) return unexpected(*parsed.syntax_error);
    const JsonValue& root = parsed.root;
    if (root.kind != JsonValue::Kind::Object) return unexpected(std::string("not an object"));
    DevicesFile file;
    for (const char* key : {"schema_version", "devices"}) {
        if (member(root, key).twice) {
            return unexpected("duplicate field `" + std::string(key) + "`");
        }
    }
    if (const JsonValue* version = member(root, "schema_version").value) {
        const auto n = integer(*version);
        if (!n || *n < 0 || *n > UINT32_MAX) {
            return unexpected(std::string("`schema_version`: expected an integer"));
        }
        file.schema_version = static_cast<std::uint32_t>(*n);
    }
    const JsonValue* devices = member(root, "devices").value;
    if (!devices) return unexpected(std::string("missing field `devices`"));
    if (devices->kind != JsonValue::Kind::Array) {
        return unexpected(std::string("`devices`: expected an array"));
    }
    for (std::size_t i = 0; i < devices->items.size(); ++i) {
        const JsonValue& item = devices->items[i];
        const std::string where = "devices[" + std::to_string(i) + "]";
        if (item.kind != JsonValue::Kind::Object) {
            return unexpected(where + ": expected an object");
        }
        Device device;
        for (const Field& field : device_fields()) {
            const Member found = member(item, field.key);
            if (found.twice) {
                return unexpected(where + ": duplicate field `" + field.key + "`");
            }
            const JsonValue* value = found.value;
            if (!value) return unexpected(where + ": missing field `" + field.key + "`");
            if (auto failed = field.read(*value, device)) {
                return unexpected(where + ": `" + field.key + "`: expected " + *failed);
            }
        }
        file.devices.push_back(std::move(device));
    }
    return file;
}

std::string to_pretty_json(const DevicesFile& file) {
    JsonWriter w(JsonWriter::Style::Pretty);
    w.begin_object();
    w.key("schema_version");
    w.uint_value(file.schema_version);
    w.key("devices");
    w.begin_array();
    for (const Device& device : file.devices) {
        w.begin_object();
        for (const Field& field : device_fields()) {
            w.key(field.key);
            field.write(w, device);
        }
        w.end_object();
    }
    w.end_array();
    w.end_object();
    return w.take();
}

std::optional<std::string> DeviceRegistry::find(const TokenHash& hash) const {
    const auto bytes = [](const TokenHash& h) {
        return std::string_view(reinterpret_cast<const char*>(h.data()), h.size());
    };
    std::optional<std::string> found;
    for (const Device& device : file_.devices) {
        if (same_bytes(bytes(hash), bytes(device.token_sha256)) && !found) found = device.id;
    }
    return found;
}

const Device* DeviceRegistry::device(std::string_view id) const {
    const auto it = std::find_if(file_.devices.begin(), file_.devices.end(),
                                 [id](const Device& d) { return d.id == id; });
    return it == file_.devices.end() ? nullptr : &*it;
}

Device* DeviceRegistry::find_id(std::string_view id) {
    return const_cast<Device*>(std::as_const(*this).device(id));
}

void DeviceRegistry::add(Device device) {
    file_.devices.push_back(std::move(device));
}

bool DeviceRegistry::forget(std::string_view id) {
    return std::erase_if(file_.devices, [id](const Device& d) { return d.id == id; }) > 0;
}

bool DeviceRegistry::allow_control(std::string_view id, bool allowed) {
    Device* d = find_id(id);
    if (!d) return false;
    d->may_control = allowed;
    return true;
}

bool DeviceRegistry::seen(std::string_view id, std::int64_t now) {
    Device* d = find_id(id);
    if (!d) return false;
    d->last_seen = now;
    return true;
}

}  // namespace tolvar::remote
