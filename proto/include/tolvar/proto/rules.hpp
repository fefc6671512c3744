// Quick-connect targets and the field rules every connection is held to
// before anything starts. Pure text functions on UTF-8, no system calls; each
// stops at the first rule that fails.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tolvar/proto/launch_error.hpp"

namespace tolvar::proto {

struct QuickTarget {
    std::optional<std::string> user;
    std::string host;  // never bracketed
    std::uint16_t port = 22;
    bool operator==(const QuickTarget&) const = default;
};

// "[user@]host[:port]", "[user@][v6-address][:port]" or a bare IPv6 address.
LaunchResult<QuickTarget> parse_quick_target(std::string_view line);

// Refuses C0 controls, DEL and C1 controls: "{label} contains control characters".
LaunchResult<void> check_no_controls(std::string_view label, std::string_view value);

LaunchResult<void> validate_host(std::string_view host);
// The same rule without the sentence, for callers that only sort names.
bool host_is_valid(std::string_view host);

// Strict decimal 1..65535 with an optional leading '+'.
LaunchResult<std::uint16_t> parse_port(std::string_view text);
LaunchResult<void> check_port_nonzero(std::uint16_t port);

// A user name (label "user") or an RDP domain (label "domain").
LaunchResult<void> validate_name_field(std::string_view label, std::string_view value);

// Refuses entries that name, in any case and anywhere, an option that makes
// ssh run a command (ProxyCommand, LocalCommand, RemoteCommand,
// KnownHostsCommand, XAuthLocation) or load a library (PKCS11Provider, its
// older name SmartcardDevice, SecurityKeyProvider). Entry by entry; the first
// failing one is reported.
LaunchResult<void> check_extra_args(std::span<const std::string> args);

// check_extra_args, and the entries read the way ssh's getopt reads them,
// since they become ssh's own arguments: -I (a PKCS#11 library), -F (a
// configuration file, which can name any of the above) and -E (a log file to
// append to) are refused. A jump list (-J, -o ProxyJump) and -o HostName are
// held to the host rules, since ssh splices them into a command line; -o
// UserKnownHostsFile, a file ssh writes, may only be the null device or
// "none"; -o Include and -o Match are refused. An entry starting with '-'
// bundles single-letter options; the first letter taking a value ends the
// bundle, and the rest of the entry, or else the next entry, is its value,
// not options ("-l" "-Fred" is a user). "--" ends the options.
// Not for other programs: VNC viewers have options like -FullScreen.
LaunchResult<void> check_ssh_extra_args(std::span<const std::string> args);

}  // namespace tolvar::proto
