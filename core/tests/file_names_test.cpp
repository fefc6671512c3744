#include "tolvar/core/file_names.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolvar::core {
namespace {

std::vector<std::string> every_device() {
    std::vector<std::string> names{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* port : {"COM", "LPT"}) {
        for (char digit = '0'; digit <= '9'; ++digit) names.push_back(port + std::string(1, digit));
        for (const char* superscript : {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"})
            names.push_back(port + std::string(superscript));
    }
    return names;
}

std::string lower(std::string s) {
    for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
}

// Windows opens these as the device whatever follows the first dot, so a
// log named "COM1.lab 2026-12-09.log" went to the serial port.
TEST(ReservedDeviceNames, EveryDeviceInAnyCaseWithAnyExtensionAndTrailingSpaces) {
    for (const std::string& device : every_device()) {
        std::string mixed = lower(device);
        mixed[0] = device[0];
        for (const std::string& name :
             {device, lower(device), mixed, device + ".txt",
              device + ".lab 2026-12-09 21-00-00.log", device + ".tar.gz", device + "  .log",
              device + " ", device + ".", device + " . ."}) {
            EXPECT_TRUE(is_reserved_device_name(name)) << name;
        }
    }
}

TEST(ReservedDeviceNames, NamesThatOnlyLookLikeDevicesAreFiles) {
    for (const char* name : {"",
                             ".",
                             "CONSOLE.log",
                             "CONSOLE",
                             "COM10",
                             "COM10.txt",
                             "com1x",
                             "LPT",
                             "COM",
                             "COM.1",
                             "CO",
                             "CONIN",
                             "CONOUT",
                             "CONIN$x",
                             "xCON",
                             "NUL_",
                             "_NUL",
                             "COM1 2026-12-09.txt",
                             "AUXILIARY.txt",
                             "COM\xE2\x81\xB4",
                             "COM\xC2\xB9\xC2\xB9",
                             "LPT\xC2\xB0",
                             "session 2026-01-02.log",
                             "s-1700000000000-0"}) {
        EXPECT_FALSE(is_reserved_device_name(name)) << name;
    }
}

}  // namespace
}  // namespace tolvar::core
