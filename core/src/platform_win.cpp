#include <optional>

#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::core {

std::int64_t system_time_100ns() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const std::int64_t since_1601 = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    constexpr std::int64_t k_1601_to_1970 = 116'444'736'000'000'000;
    return since_1601 - k_1601_to_1970;
}

std::int64_t thread_cpu_time_100ns() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    const auto ticks = [](const FILETIME& ft) {
        return static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    };
    return ticks(kernel) + ticks(user);
}

LocalTime local_time_now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::optional<std::string> environment_variable(std::string_view name) {
    const std::wstring wname = win::to_wide(name);
    DWORD size = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring value(size, L'\0');
    SetLastError(ERROR_SUCCESS);
    size = GetEnvironmentVariableW(wname.c_str(), value.data(), size);
    if (size == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    value.resize(size);
    return utf16_to_utf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(value.data()), value.size()));
}

}  // namespace tolvar::core
