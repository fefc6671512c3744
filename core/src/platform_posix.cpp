// Native-build stand-ins for the operating-system queries the program makes
// on Windows.
#include <chrono>
#include <cstdlib>

#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::core {

std::int64_t system_time_100ns() {
    using namespace std::chrono;
    return duration_cast<duration<std::int64_t, std::ratio<1, 10'000'000>>>(
               system_clock::now().time_since_epoch())
        .count();
}

std::optional<std::string> environment_variable(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr || !is_valid_utf8(value)) return std::nullopt;
    return std::string(value);
}

}  // namespace tolvar::core
