#include "tolvar/proto/rules.hpp"

#include <algorithm>
#include <array>

#include "tolvar/core/json_text.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::proto {

namespace {

LaunchError invalid(std::string message) {
    return LaunchError::invalid_profile(std::move(message));
}

bool is_control(char32_t c) {
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F);
}

bool is_host_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == ':';
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

LaunchResult<void> check_no_controls(std::string_view label, std::string_view value) {
    std::size_t pos = 0;
    while (pos < value.size()) {
        if (is_control(core::next_code_point(value, pos))) {
            return unexpected(invalid(std::string(label) + " contains control characters"));
        }
    }
    return {};
}

bool host_is_valid(std::string_view host) {
    return !host.empty() && host.front() != '-' && std::ranges::all_of(host, is_host_char);
}

LaunchResult<void> validate_host(std::string_view host) {
    if (host.empty()) return unexpected(invalid("host is empty"));
    if (host.front() == '-') return unexpected(invalid("host must not start with '-'"));
    // Every allowed character is ASCII, so any byte of a multi-byte sequence
    // fails exactly where its code point would.
    for (const char c : host) {
        if (!is_host_char(c)) {
            return unexpected(
                invalid("host contains invalid characters: " + core::debug_quote(host)));
        }
    }
    return {};
}

LaunchResult<std::uint16_t> parse_port(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    const auto bad = [&] { return unexpected(invalid("bad port: " + core::debug_quote(text))); };
    if (digits.empty()) return bad();
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return bad();
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 65535) return bad();
    }
    const auto port = static_cast<std::uint16_t>(value);
    if (auto nonzero = check_port_nonzero(port); !nonzero) return unexpected(nonzero.error());
    return port;
}

LaunchResult<void> check_port_nonzero(std::uint16_t port) {
    if (port == 0) return unexpected(invalid("port must be non-zero"));
    return {};
}

LaunchResult<void> validate_name_field(std::string_view label, std::string_view value) {
    if (auto clean = check_no_controls(label, value); !clean) return clean;
    if (value.empty()) return unexpected(invalid(std::string(label) + " is empty"));
    if (value.front() == '-') {
        return unexpected(invalid(std::string(label) + " must not start with '-'"));
    }
    return {};
}

namespace {

// Names that run a local program or load a local library wherever ssh reads
// them: joined to -o, as an entry of their own after -o, or inside a value.
constexpr std::array<std::string_view, 7> k_forbidden_words = {
    "proxycommand",   "localcommand",        "remotecommand", "knownhostscommand",
    "pkcs11provider", "securitykeyprovider", "xauthlocation"};

// ssh's single-letter options that take a value (getopt's "x:"); any other
// letter is a flag, or unknown, which makes ssh stop with its usage.
constexpr std::string_view k_ssh_value_letters = "BbcDEeFIiJLlmOoPpQRSWw";

struct ForbiddenLetter {
    char letter;
    std::string_view name;
};
// -I loads a PKCS#11 library; -F reads a configuration file, which may hold
// any of the forbidden words.
constexpr std::array<ForbiddenLetter, 2> k_forbidden_letters = {{{'I', "-I"}, {'F', "-F"}}};

LaunchError forbidden(const std::string& entry, std::string_view option) {
    return invalid("extra_args entry " + core::debug_quote(entry) + " contains forbidden option (" +
                   std::string(option) + ")");
}

std::optional<std::string_view> forbidden_word(const std::string& entry) {
    // Full Unicode lower-casing turns no non-ASCII code point into a letter of
    // these words (only U+0130 and U+212A lower-case into ASCII, as "i" with a
    // combining dot and "k"), so folding ASCII finds exactly the same matches.
    std::string lowered = entry;
    for (char& c : lowered) c = ascii_lower(c);
    for (const std::string_view word : k_forbidden_words) {
        if (lowered.find(word) != std::string::npos) return word;
    }
    return std::nullopt;
}

// Where ssh's getopt stands between two entries.
struct SshOptionReader {
    bool value_next = false;  // the entry before ended with a letter awaiting its value
    bool ended = false;       // "--" was read: nothing after it is an option

    // The forbidden letter this entry holds where getopt reads it as an option.
    std::optional<std::string_view> read(std::string_view entry) {
        if (value_next) {
            value_next = false;
            return std::nullopt;
        }
        if (ended || entry.size() < 2 || entry.front() != '-') return std::nullopt;
        if (entry == "--") {
            ended = true;
            return std::nullopt;
        }
        for (std::size_t i = 1; i < entry.size(); ++i) {
            for (const ForbiddenLetter& f : k_forbidden_letters) {
                if (entry[i] == f.letter) return f.name;
            }
            if (k_ssh_value_letters.find(entry[i]) != std::string_view::npos) {
                // The rest of the entry is the value, or else the next entry.
                value_next = i + 1 == entry.size();
                return std::nullopt;
            }
        }
        return std::nullopt;
    }
};

LaunchResult<void> check_args(std::span<const std::string> args, bool as_ssh_options) {
    SshOptionReader reader;
    for (const std::string& entry : args) {
        if (auto clean = check_no_controls("extra_args entry", entry); !clean) return clean;
        if (const auto word = forbidden_word(entry)) return unexpected(forbidden(entry, *word));
        if (!as_ssh_options) continue;
        if (const auto letter = reader.read(entry)) return unexpected(forbidden(entry, *letter));
    }
    return {};
}

}  // namespace

LaunchResult<void> check_extra_args(std::span<const std::string> args) {
    return check_args(args, false);
}

LaunchResult<void> check_ssh_extra_args(std::span<const std::string> args) {
    return check_args(args, true);
}

LaunchResult<QuickTarget> parse_quick_target(std::string_view line) {
    const std::string_view text = core::trim_unicode(line);
    if (text.empty()) return unexpected(invalid("quick connect input is empty"));
    if (auto clean = check_no_controls("quick connect input", text); !clean) {
        return unexpected(clean.error());
    }

    QuickTarget target;
    std::string_view rest = text;
    if (const std::size_t at = text.rfind('@'); at != std::string_view::npos) {
        if (at == 0) return unexpected(invalid("user is empty"));
        target.user = std::string(text.substr(0, at));
        rest = text.substr(at + 1);
    }

    std::string_view host = rest;
    std::optional<std::string_view> port_text;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']', 1);
        if (close == std::string_view::npos) return unexpected(invalid("unclosed '[' in host"));
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                return unexpected(
                    invalid("unexpected text after ']': " + core::debug_quote(after)));
            }
            port_text = after.substr(1);
        }
    } else if (const std::size_t colon = rest.find(':');
               colon != std::string_view::npos &&
               rest.find(':', colon + 1) == std::string_view::npos) {
        // Two colons or more make a bare IPv6 address, which takes the default port.
        host = rest.substr(0, colon);
        port_text = rest.substr(colon + 1);
    }
    if (port_text) {
        auto port = parse_port(*port_text);
        if (!port) return unexpected(port.error());
        target.port = *port;
    }

    if (auto valid = validate_host(host); !valid) return unexpected(valid.error());
    target.host = std::string(host);
    if (target.user) {
        if (auto valid = validate_name_field("user", *target.user); !valid) {
            return unexpected(valid.error());
        }
    }
    return target;
}

}  // namespace tolvar::proto
