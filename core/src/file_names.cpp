#include "tolvar/core/file_names.hpp"

#include <array>

namespace tolvar::core {

namespace {

bool same_ascii_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        if (c != b[i]) return false;
    }
    return true;
}

}  // namespace

bool is_reserved_device_name(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    static constexpr std::array<std::string_view, 6> k_whole{"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view device : k_whole) {
        if (same_ascii_letters(base, device)) return true;
    }
    if (base.size() < 4) return false;
    const std::string_view prefix = base.substr(0, 3);
    if (!same_ascii_letters(prefix, "COM") && !same_ascii_letters(prefix, "LPT")) return false;
    const std::string_view number = base.substr(3);
    // Windows counts the Latin-1 superscripts as digits here, in their UTF-8.
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace tolvar::core
