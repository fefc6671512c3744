// A serial port's line settings: read from a stored Serial profile (a value
// it cannot use falls back to its default and says so), checked, written back
// for the editor, and mapped to the fields of the system's device control
// block. Pure functions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/records.hpp"
#include "tolvar/proto/launch_error.hpp"

namespace tolvar::proto {

enum class Parity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : std::uint8_t { One, OneAndHalf, Two };
enum class FlowControl : std::uint8_t { None, XonXoff, RtsCts };

// The names stored in a profile, in the order of the enums.
inline constexpr std::array<std::string_view, 5> k_parity_names{"none", "odd", "even", "mark",
                                                                "space"};
inline constexpr std::array<std::string_view, 3> k_stop_bits_names{"1", "1.5", "2"};
inline constexpr std::array<std::string_view, 3> k_flow_control_names{"none", "xon_xoff",
                                                                      "rts_cts"};

inline constexpr std::uint32_t k_default_baud = 9600;
inline constexpr std::uint32_t k_max_baud = 10'000'000;
inline constexpr std::uint8_t k_default_data_bits = 8;

struct SerialLine {
    std::string port;
    std::uint32_t baud = k_default_baud;
    std::uint8_t data_bits = k_default_data_bits;
    Parity parity = Parity::None;
    StopBits stop_bits = StopBits::One;
    FlowControl flow_control = FlowControl::None;
    bool operator==(const SerialLine&) const = default;
};

struct SerialRead {
    SerialLine line;
    // One per value that could not be used, each naming its default.
    std::vector<std::string> notices;
};

// A port the system names itself: "COM3", or a device path "\\.\COM10". Any
// other path is refused, so a profile cannot open a file or pipe as a port.
LaunchResult<void> validate_port(std::string_view port);

// The line a profile describes. The port must pass validate_port; the other
// values fall back to their defaults, each with a notice naming the port:
// "profiles.json: COM3: "parity" is "odd ", not one of ...; "none" is used".
LaunchResult<SerialRead> read_serial(const core::Serial& stored);
// The same without the port's check, for the editor, which shows any port.
SerialRead read_serial_settings(const core::Serial& stored);

// The stored form with every key written, as the editor saves a profile.
core::Serial stored_serial(const SerialLine& line);

// What CreateFile opens: "\\.\" before a bare name, which ports from COM10
// up need and every port accepts.
std::string device_path(std::string_view port);

// The device control block's fields with the system's numeric values: the
// Win32 side copies them into a DCB and checks the constants at compile time.
struct DcbFields {
    std::uint32_t baud_rate = 0;
    std::uint8_t byte_size = 0;
    std::uint8_t parity = 0;     // NOPARITY 0, ODD 1, EVEN 2, MARK 3, SPACE 4
    std::uint8_t stop_bits = 0;  // ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2
    bool check_parity = false;   // fParity
    bool out_x = false;          // fOutX: stop sending on XOFF
    bool in_x = false;           // fInX: send XOFF when the buffer fills
    bool out_cts_flow = false;   // fOutxCtsFlow
    std::uint8_t rts_control = 0;  // RTS_CONTROL_ENABLE 1, RTS_CONTROL_HANDSHAKE 2
    std::uint8_t dtr_control = 0;  // DTR_CONTROL_ENABLE 1
    char xon_char = 0;
    char xoff_char = 0;
    bool operator==(const DcbFields&) const = default;
};

DcbFields dcb_fields(const SerialLine& line);

// "COM3 9600 8N1", as the manager lists it; flow control after it when on.
std::string line_summary(const SerialLine& line);

}  // namespace tolvar::proto
