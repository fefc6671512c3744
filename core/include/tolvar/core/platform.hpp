// The few operating-system queries the portable core needs, with one
// implementation per platform (Windows ships; POSIX serves the native
// build). Safe to call from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar::core {

// System time in 100-nanosecond ticks since 1970-01-01 00:00 UTC; negative
// when the clock reads earlier.
std::int64_t system_time_100ns();

// The processor time the calling thread has used, in 100-nanosecond ticks:
// what a piece of work costs, whatever else the machine runs meanwhile.
std::int64_t thread_cpu_time_100ns();

// The wall clock in the user's time zone, to the second.
struct LocalTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
LocalTime local_time_now();

// The variable's value as UTF-8, or nothing when it is unset or its value is
// not valid Unicode.
std::optional<std::string> environment_variable(std::string_view name);

// Whole seconds since 1970, truncated; 0 for a clock before 1970.
constexpr std::uint64_t unix_seconds(std::int64_t time_100ns) {
    return time_100ns < 0 ? 0 : static_cast<std::uint64_t>(time_100ns) / 10'000'000u;
}

}  // namespace tolvar::core
