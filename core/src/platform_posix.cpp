// Native-build stand-ins for the operating-system queries the program makes
// on Windows.
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::core {

std::int64_t system_time_100ns() {
    using namespace std::chrono;
    return duration_cast<duration<std::int64_t, std::ratio<1, 10'000'000>>>(
               system_clock::now().time_since_epoch())
        .count();
}

std::int64_t thread_cpu_time_100ns() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 10'000'000 + t.tv_nsec / 100;
}

LocalTime local_time_now() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

std::optional<std::string> environment_variable(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr || !is_valid_utf8(value)) return std::nullopt;
    return std::string(value);
}

}  // namespace tolvar::core
