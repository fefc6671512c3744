// The rules of the profile editor: which rows each kind shows, filling the
// fields from a profile, and turning the typed fields back into one. Only
// the fields without which nothing can start are checked here; the deeper
// rules apply when the profile is opened. Pure functions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/expected.hpp"
#include "tolvar/core/records.hpp"

namespace tolvar::app {

inline constexpr std::array<std::string_view, 5> k_kind_names{"Local shell", "SSH", "RDP", "VNC",
                                                              "Serial"};
inline constexpr int k_serial_kind = 4;
inline constexpr std::size_t k_field_rows = 5;

// The serial kind's lists, in the order of the line settings' enums.
inline constexpr std::array<std::string_view, 5> k_parity_labels{"None", "Odd", "Even", "Mark",
                                                                 "Space"};
inline constexpr std::array<std::string_view, 3> k_stop_bits_labels{"1", "1.5", "2"};
inline constexpr std::array<std::string_view, 3> k_flow_control_labels{"None", "XON/XOFF",
                                                                       "RTS/CTS"};

struct KindLayout {
    std::array<std::string_view, k_field_rows> labels;  // empty hides the row
    bool check_boxes = false;
    // Parity, stop bits and flow control, in place of the last rows.
    bool serial_lists = false;
};

// Indexes below 0 count as 0, above 4 as 4.
KindLayout kind_layout(int kind);

// What the editor's controls hold. The rows belong to no kind: their texts
// stay when the kind changes.
struct ProfileFields {
    int kind = 0;
    std::string name;
    std::string group;
    int color = 0;  // 0 "Default", n the colour index n - 1, -1 no entry
    std::array<std::string, k_field_rows> rows;
    bool fullscreen = false;
    bool admin = false;
    // Indexes into the serial lists; -1 (no entry) is the first.
    int parity = 0;
    int stop_bits = 0;
    int flow_control = 0;
    bool operator==(const ProfileFields&) const = default;
};

// The fields of a New dialog are ProfileFields{}; these are Edit's.
ProfileFields fields_of(const core::ConnectionProfile& profile);

// A port from 1 to 65535 with an optional leading '+'; anything else is the
// kind's default.
std::uint16_t read_port(std::string_view text, std::uint16_t fallback);

// Decimal digits from `low` to `high`; blank is the fallback, anything else
// nothing.
std::optional<std::uint32_t> read_whole_number(std::string_view text, std::uint32_t fallback,
                                               std::uint32_t low, std::uint32_t high);

// Runs of Unicode white space separate the entries.
std::vector<std::string> split_extra_args(std::string_view text);

// The profile the fields describe, or the error box text that keeps the
// editor open. Editing keeps the input's id; a new profile gets a "p" id.
Expected<core::ConnectionProfile, std::string> accept_fields(
    const ProfileFields& fields, const std::optional<core::ConnectionProfile>& input);

}  // namespace tolvar::app
