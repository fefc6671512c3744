#include "tolvar/proto/rules.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "tolvar/core/json_text.hpp"
#include "tolvar/core/lowercase.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::proto {

using core::ascii_lower;

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
// SmartcardDevice is ssh's older name for PKCS11Provider.
constexpr std::array<std::string_view, 8> k_forbidden_words = {
    "proxycommand",   "localcommand",        "remotecommand", "knownhostscommand",
    "pkcs11provider", "securitykeyprovider", "xauthlocation", "smartcarddevice"};

// ssh's single-letter options that take a value (getopt's "x:"); any other
// letter is a flag, or unknown, which makes ssh stop with its usage.
constexpr std::string_view k_ssh_value_letters = "BbcDEeFIiJLlmOoPpQRSWw";

struct ForbiddenLetter {
    char letter;
    std::string_view name;
};
// -I loads a PKCS#11 library; -F reads a configuration file, which may hold
// any of the forbidden words; -E appends ssh's log, with what the server
// sends, to whatever file it names.
constexpr std::array<ForbiddenLetter, 3> k_forbidden_letters = {
    {{'I', "-I"}, {'F', "-F"}, {'E', "-E"}}};

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

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

// ssh drops one pair of double quotes around a value.
std::string_view unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

// A jump user is spliced unquoted into the command line ssh builds for the
// hop, so it keeps to the characters of a name: those of a host, and the at
// signs and backslashes of a domain account.
bool jump_user_is_valid(std::string_view user) {
    return !user.empty() && user.front() != '-' && std::ranges::all_of(user, [](char c) {
        return is_host_char(c) || c == '@' || c == '\\';
    });
}

// ssh splices each hop of a jump list ("[ssh://][user@]host[:port]", comma
// separated) into a command line of its own, so each meets the host rules.
bool jump_list_is_valid(std::string_view value) {
    value = unquoted(value);
    for (;;) {
        const std::size_t comma = value.find(',');
        std::string_view hop = value.substr(0, comma);
        if (hop.starts_with("ssh://")) hop.remove_prefix(6);
        // parse_quick_target forgives surrounding white space; ssh would not.
        if (hop.empty() || core::trim_unicode(hop) != hop) return false;
        const auto target = parse_quick_target(hop);
        if (!target || (target->user && !jump_user_is_valid(*target->user))) return false;
        if (comma == std::string_view::npos) return true;
        value.remove_prefix(comma + 1);
    }
}

// ssh expands %h in a HostName to the host it was given, which the profile's
// rules already hold; the name itself ends up where the host would.
bool host_name_is_valid(std::string_view value) {
    const std::string_view given = unquoted(value);
    std::string name;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const bool host = given[i] == '%' && i + 1 < given.size() && given[i + 1] == 'h';
        name += host ? 'h' : given[i];
        if (host) ++i;
    }
    return host_is_valid(name);
}

// The first known-hosts file is where ssh writes the keys it learns; the
// null device and "none" are the usual way to keep none.
bool known_hosts_value_is_valid(std::string_view value) {
    std::string lowered(unquoted(value));
    for (char& c : lowered) c = ascii_lower(c);
    return lowered == "none" || lowered == "nul" || lowered == "/dev/null";
}

struct OptionRule {
    std::string_view key;  // lower case, as ssh compares it
    bool (*value_is_valid)(std::string_view);
};
// Keys that ssh reads from -o only with values that stay clear of the
// refusals above. Include (another configuration file, like -F) and Match
// (whose "exec" runs a program) are refused whatever follows.
constexpr std::array<OptionRule, 5> k_option_rules = {{
    {"proxyjump", jump_list_is_valid},
    {"hostname", host_name_is_valid},
    {"userknownhostsfile", known_hosts_value_is_valid},
    {"include", nullptr},
    {"match", nullptr},
}};

// The value of -o, "Key=Value", "Key Value" or with blanks and '=' around the
// key, as ssh splits a configuration line.
std::optional<std::string_view> option_failure(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (is_blank(text[i]) || text[i] == '=')) ++i;
    const std::size_t key_start = i;
    while (i < text.size() && !is_blank(text[i]) && text[i] != '=') ++i;
    std::string key(unquoted(text.substr(key_start, i - key_start)));
    for (char& c : key) c = ascii_lower(c);
    std::string_view value = trim_blanks(text.substr(i));
    if (!value.empty() && value.front() == '=') value = trim_blanks(value.substr(1));
    for (const OptionRule& rule : k_option_rules) {
        if (key != rule.key) continue;
        if (rule.value_is_valid && rule.value_is_valid(value)) return std::nullopt;
        return rule.key;
    }
    return std::nullopt;
}

// The option that the value of a letter's option names, when its value is
// refused.
std::optional<std::string_view> value_failure(char letter, std::string_view value) {
    if (letter == 'J') {
        if (jump_list_is_valid(value)) return std::nullopt;
        return "-J";
    }
    if (letter == 'o') return option_failure(value);
    return std::nullopt;
}

// Where ssh's getopt stands between two entries.
struct SshOptionReader {
    char value_next = 0;  // the letter before that awaits this entry as its value
    bool ended = false;   // "--" was read: nothing after it is an option

    // The forbidden option this entry holds where getopt reads it.
    std::optional<std::string_view> read(std::string_view entry) {
        if (value_next != 0) {
            const char letter = std::exchange(value_next, 0);
            return value_failure(letter, entry);
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
                if (i + 1 == entry.size()) {
                    value_next = entry[i];
                    return std::nullopt;
                }
                return value_failure(entry[i], entry.substr(i + 1));
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
