#include "dialogs/profile_editor.hpp"

#include <variant>

#include "tolvar/core/ids.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/proto/serial_line.hpp"

namespace tolvar::app {

namespace {

std::string trimmed(std::string_view text) {
    return std::string(core::trim_unicode(text));
}

std::optional<std::string> unless_empty(std::string_view text) {
    std::string t = trimmed(text);
    if (t.empty()) return std::nullopt;
    return t;
}

std::string joined(const std::vector<std::string>& args) {
    std::string out;
    for (const std::string& arg : args) {
        if (!out.empty()) out += ' ';
        out += arg;
    }
    return out;
}

}  // namespace

KindLayout kind_layout(int kind) {
    switch (kind < 0 ? 0 : kind > k_serial_kind ? k_serial_kind : kind) {
        case 0:
            return {{"Command", "", "", "", ""}, false};
        case 1:
            return {{"Host", "Port", "User", "Identity file", "Extra args"}, false};
        case 2:
            return {{"Host", "Port", "User", "Domain", ""}, true};
        case 3:
            return {{"Host", "Port", "Viewer path", "Extra args", ""}, false};
        default:
            return {{"Port", "Baud rate", "Data bits", "", ""}, false, true};
    }
}

ProfileFields fields_of(const core::ConnectionProfile& profile) {
    ProfileFields f;
    f.name = profile.name;
    f.group = profile.group.value_or("");
    // A stored index the palette does not have selects no entry at all.
    if (profile.color) f.color = core::usable_color(profile.color) ? *profile.color + 1 : -1;
    f.kind = static_cast<int>(profile.kind.index());
    std::visit(
        [&](const auto& kind) {
            using Kind = std::decay_t<decltype(kind)>;
            if constexpr (std::is_same_v<Kind, core::LocalShell>) {
                f.rows[0] = kind.command;
            } else if constexpr (std::is_same_v<Kind, core::Serial>) {
                const proto::SerialLine line = proto::read_serial_settings(kind).line;
                f.rows[0] = kind.port;
                f.rows[1] = std::to_string(line.baud);
                f.rows[2] = std::to_string(line.data_bits);
                f.parity = static_cast<int>(line.parity);
                f.stop_bits = static_cast<int>(line.stop_bits);
                f.flow_control = static_cast<int>(line.flow_control);
            } else {
                f.rows[0] = kind.host;
                f.rows[1] = std::to_string(kind.port);
                if constexpr (std::is_same_v<Kind, core::Ssh>) {
                    f.rows[2] = kind.user.value_or("");
                    f.rows[3] = kind.identity_file.value_or("");
                    f.rows[4] = joined(kind.extra_args);
                } else if constexpr (std::is_same_v<Kind, core::Rdp>) {
                    f.rows[2] = kind.user.value_or("");
                    f.rows[3] = kind.domain.value_or("");
                    f.fullscreen = kind.fullscreen;
                    f.admin = kind.admin;
                } else {
                    f.rows[2] = kind.viewer_path.value_or("");
                    f.rows[3] = joined(kind.extra_args);
                }
            }
        },
        profile.kind);
    return f;
}

std::uint16_t read_port(std::string_view text, std::uint16_t fallback) {
    std::string_view digits = core::trim_unicode(text);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty()) return fallback;
    unsigned value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 65535) return fallback;
    }
    return value == 0 ? fallback : static_cast<std::uint16_t>(value);
}

std::optional<std::uint32_t> read_whole_number(std::string_view text, std::uint32_t fallback,
                                               std::uint32_t low, std::uint32_t high) {
    const std::string_view digits = core::trim_unicode(text);
    if (digits.empty()) return fallback;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > high) return std::nullopt;
    }
    if (value < low) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::vector<std::string> split_extra_args(std::string_view text) {
    std::string repaired;
    if (!core::is_valid_utf8(text)) {
        repaired = core::utf16_to_utf8_lossy(core::utf8_to_utf16(text));
        text = repaired;
    }
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t at = pos;
        if (core::is_unicode_whitespace(core::next_code_point(text, pos))) {
            if (at > start) args.emplace_back(text.substr(start, at - start));
            start = pos;
        }
    }
    if (start < text.size()) args.emplace_back(text.substr(start));
    return args;
}

Expected<core::ConnectionProfile, std::string> accept_fields(
    const ProfileFields& f, const std::optional<core::ConnectionProfile>& input) {
    core::ConnectionProfile profile;
    profile.name = trimmed(f.name);
    if (profile.name.empty()) return unexpected(std::string("A profile name is required."));

    const std::string first = trimmed(f.rows[0]);
    if (f.kind >= k_serial_kind) {
        if (first.empty()) return unexpected(std::string("A port is required."));
        const auto baud = read_whole_number(f.rows[1], proto::k_default_baud, 1, proto::k_max_baud);
        if (!baud) {
            return unexpected(std::string("The baud rate must be a whole number from 1 to 10000000."));
        }
        const auto bits = read_whole_number(f.rows[2], proto::k_default_data_bits, 5, 8);
        if (!bits) return unexpected(std::string("Data bits must be 5, 6, 7 or 8."));
        const auto pick = [](int index, std::size_t count) {
            return index < 0 || static_cast<std::size_t>(index) >= count
                       ? std::size_t{0}
                       : static_cast<std::size_t>(index);
        };
        proto::SerialLine line;
        line.port = first;
        line.baud = *baud;
        line.data_bits = static_cast<std::uint8_t>(*bits);
        line.parity = static_cast<proto::Parity>(pick(f.parity, k_parity_labels.size()));
        line.stop_bits = static_cast<proto::StopBits>(pick(f.stop_bits, k_stop_bits_labels.size()));
        line.flow_control =
            static_cast<proto::FlowControl>(pick(f.flow_control, k_flow_control_labels.size()));
        profile.kind = proto::stored_serial(line);
    } else if (f.kind < 1) {
        if (first.empty()) return unexpected(std::string("A shell command is required."));
        profile.kind = core::LocalShell{first};
    } else {
        if (first.empty()) return unexpected(std::string("A host is required."));
        if (f.kind == 1) {
            core::Ssh ssh;
            ssh.host = first;
            ssh.port = read_port(f.rows[1], 22);
            ssh.user = unless_empty(f.rows[2]);
            ssh.identity_file = unless_empty(f.rows[3]);
            ssh.extra_args = split_extra_args(f.rows[4]);
            profile.kind = std::move(ssh);
        } else if (f.kind == 2) {
            core::Rdp rdp;
            rdp.host = first;
            rdp.port = read_port(f.rows[1], 3389);
            rdp.user = unless_empty(f.rows[2]);
            rdp.domain = unless_empty(f.rows[3]);
            rdp.fullscreen = f.fullscreen;
            rdp.admin = f.admin;
            profile.kind = std::move(rdp);
        } else {
            core::Vnc vnc;
            vnc.host = first;
            vnc.port = read_port(f.rows[1], 5900);
            vnc.viewer_path = unless_empty(f.rows[2]);
            vnc.extra_args = split_extra_args(f.rows[3]);
            profile.kind = std::move(vnc);
        }
    }

    if (f.color >= 1 && static_cast<std::size_t>(f.color) <= core::k_palette_size) {
        profile.color = static_cast<std::uint8_t>(f.color - 1);
    }
    profile.id = input ? input->id : core::new_id('p');
    profile.group = unless_empty(f.group);
    return profile;
}

}  // namespace tolvar::app
