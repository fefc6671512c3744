#include "tolvar/proto/serial_line.hpp"

#include <optional>

#include "tolvar/core/json_text.hpp"
#include "tolvar/core/lowercase.hpp"
#include "tolvar/proto/rules.hpp"

namespace tolvar::proto {

namespace {

using core::JsonValue;

constexpr std::string_view k_device_prefix = "\\\\.\\";
constexpr std::size_t k_longest_port_name = 64;

bool port_name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

// Absent and null mean the default and tell nothing.
const JsonValue* given(const core::RawJson& raw) {
    if (!raw.value || raw.value->kind == JsonValue::Kind::Null) return nullptr;
    return &*raw.value;
}

std::optional<std::uint64_t> whole_number(const JsonValue& value) {
    if (value.kind == JsonValue::Kind::Uint) return value.uint_value;
    if (value.kind == JsonValue::Kind::Int && value.int_value >= 0) {
        return static_cast<std::uint64_t>(value.int_value);
    }
    return std::nullopt;
}

template <std::size_t N>
std::optional<std::size_t> named(const JsonValue& value,
                                 const std::array<std::string_view, N>& names) {
    if (value.kind != JsonValue::Kind::String) return std::nullopt;
    for (std::size_t i = 0; i < N; ++i) {
        if (core::ascii_iequals(value.text, names[i])) return i;
    }
    return std::nullopt;
}

template <std::size_t N>
std::string one_of(const std::array<std::string_view, N>& names) {
    std::string text = "one of ";
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) text += i + 1 == N ? " or " : ", ";
        text += '"';
        text += names[i];
        text += '"';
    }
    return text;
}

class Notices {
  public:
    Notices(SerialRead& read, std::string_view port) : read_(read), port_(port) {}

    void refuse(std::string_view key, const JsonValue& value, std::string_view expected,
                std::string_view fallback) {
        read_.notices.push_back("profiles.json: " + std::string(port_) + ": \"" + std::string(key) +
                                "\" is " + core::shown_json(value) + ", not " +
                                std::string(expected) + "; " + std::string(fallback) + " is used");
    }

  private:
    SerialRead& read_;
    std::string_view port_;
};

std::optional<StopBits> stop_bits_of(const JsonValue& value) {
    if (auto index = named(value, k_stop_bits_names)) return static_cast<StopBits>(*index);
    if (value.kind == JsonValue::Kind::Float) {
        if (value.float_value == 1.0) return StopBits::One;
        if (value.float_value == 1.5) return StopBits::OneAndHalf;
        if (value.float_value == 2.0) return StopBits::Two;
    }
    if (const auto number = whole_number(value)) {
        if (*number == 1) return StopBits::One;
        if (*number == 2) return StopBits::Two;
    }
    return std::nullopt;
}

}  // namespace

LaunchResult<void> validate_port(std::string_view port) {
    if (auto clean = check_no_controls("port", port); !clean) return clean;
    std::string_view name = port;
    if (name.starts_with(k_device_prefix)) name.remove_prefix(k_device_prefix.size());
    if (name.empty()) return unexpected(LaunchError::invalid_profile("port is empty"));
    if (name.size() > k_longest_port_name) {
        return unexpected(LaunchError::invalid_profile("port is longer than 64 characters"));
    }
    for (const char c : name) {
        if (!port_name_char(c)) {
            return unexpected(LaunchError::invalid_profile(
                "port must be a name like COM3 or \\\\.\\COM10, not a path"));
        }
    }
    return {};
}

LaunchResult<SerialRead> read_serial(const core::Serial& stored) {
    if (auto valid = validate_port(stored.port); !valid) return unexpected(valid.error());
    return read_serial_settings(stored);
}

SerialRead read_serial_settings(const core::Serial& stored) {
    SerialRead read;
    SerialLine& line = read.line;
    line.port = stored.port;
    Notices told(read, stored.port);

    if (const JsonValue* baud = given(stored.baud)) {
        const auto number = whole_number(*baud);
        if (number && *number >= 1 && *number <= k_max_baud) {
            line.baud = static_cast<std::uint32_t>(*number);
        } else {
            told.refuse("baud", *baud, "a whole number from 1 to 10000000", "9600");
        }
    }
    if (const JsonValue* bits = given(stored.data_bits)) {
        const auto number = whole_number(*bits);
        if (number && *number >= 5 && *number <= 8) {
            line.data_bits = static_cast<std::uint8_t>(*number);
        } else {
            told.refuse("data_bits", *bits, "5, 6, 7 or 8", "8");
        }
    }
    if (const JsonValue* parity = given(stored.parity)) {
        if (const auto index = named(*parity, k_parity_names)) {
            line.parity = static_cast<Parity>(*index);
        } else {
            told.refuse("parity", *parity, one_of(k_parity_names), "\"none\"");
        }
    }
    if (const JsonValue* stop = given(stored.stop_bits)) {
        if (const auto bits = stop_bits_of(*stop)) {
            line.stop_bits = *bits;
        } else {
            told.refuse("stop_bits", *stop, one_of(k_stop_bits_names), "\"1\"");
        }
    }
    if (const JsonValue* flow = given(stored.flow_control)) {
        if (const auto index = named(*flow, k_flow_control_names)) {
            line.flow_control = static_cast<FlowControl>(*index);
        } else {
            told.refuse("flow_control", *flow, one_of(k_flow_control_names), "\"none\"");
        }
    }
    return read;
}

core::Serial stored_serial(const SerialLine& line) {
    const auto number = [](std::uint64_t value) {
        JsonValue v;
        v.kind = JsonValue::Kind::Uint;
        v.uint_value = value;
        return core::RawJson{v};
    };
    const auto name = [](std::string_view text) {
        return core::RawJson{JsonValue::string(std::string(text))};
    };
    core::Serial stored;
    stored.port = line.port;
    stored.baud = number(line.baud);
    stored.data_bits = number(line.data_bits);
    stored.parity = name(k_parity_names[static_cast<std::size_t>(line.parity)]);
    stored.stop_bits = name(k_stop_bits_names[static_cast<std::size_t>(line.stop_bits)]);
    stored.flow_control = name(k_flow_control_names[static_cast<std::size_t>(line.flow_control)]);
    return stored;
}

std::string device_path(std::string_view port) {
    if (port.starts_with(k_device_prefix)) return std::string(port);
    return std::string(k_device_prefix) + std::string(port);
}

DcbFields dcb_fields(const SerialLine& line) {
    DcbFields dcb;
    dcb.baud_rate = line.baud;
    dcb.byte_size = line.data_bits;
    dcb.parity = static_cast<std::uint8_t>(line.parity);
    dcb.stop_bits = static_cast<std::uint8_t>(line.stop_bits);
    dcb.check_parity = line.parity != Parity::None;
    // DTR and RTS raised: many devices stay silent until they see them.
    dcb.dtr_control = 1;
    dcb.rts_control = 1;
    switch (line.flow_control) {
        case FlowControl::None:
            break;
        case FlowControl::XonXoff:
            dcb.out_x = true;
            dcb.in_x = true;
            break;
        case FlowControl::RtsCts:
            dcb.out_cts_flow = true;
            dcb.rts_control = 2;
            break;
    }
    dcb.xon_char = 0x11;
    dcb.xoff_char = 0x13;
    return dcb;
}

std::string line_summary(const SerialLine& line) {
    static constexpr char k_parity_letters[] = "NOEMS";
    std::string text = line.port + " " + std::to_string(line.baud) + " " +
                       std::to_string(line.data_bits) +
                       k_parity_letters[static_cast<std::size_t>(line.parity)] +
                       std::string(k_stop_bits_names[static_cast<std::size_t>(line.stop_bits)]);
    if (line.flow_control == FlowControl::XonXoff) text += " XON/XOFF";
    if (line.flow_control == FlowControl::RtsCts) text += " RTS/CTS";
    return text;
}

}  // namespace tolvar::proto
