#include "tolvar/core/file_names.hpp"

#include <array>

#include "tolvar/core/lowercase.hpp"

namespace tolvar::core {

bool is_reserved_device_name(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    static constexpr std::array<std::string_view, 6> k_whole{"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view device : k_whole) {
        if (ascii_iequals(base, device)) return true;
    }
    if (base.size() < 4) return false;
    const std::string_view prefix = base.substr(0, 3);
    if (!ascii_iequals(prefix, "COM") && !ascii_iequals(prefix, "LPT")) return false;
    const std::string_view number = base.substr(3);
    // Windows counts the Latin-1 superscripts as digits here, in their UTF-8.
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace tolvar::core
