#include "window/failures_win.hpp"

#include <exception>
#include <mutex>
#include <utility>

namespace tolvar::app::win {

namespace {

std::mutex g_mutex;
HWND g_window = nullptr;
std::vector<std::string> g_failures;

}  // namespace

void set_failure_window(HWND window) noexcept {
    const std::lock_guard lock(g_mutex);
    g_window = window;
}

void report_failure(const std::string& text) noexcept {
    HWND window = nullptr;
    try {
        const std::lock_guard lock(g_mutex);
        g_failures.push_back(text);
        window = g_window;
    } catch (...) {
        return;
    }
    if (window) PostMessageW(window, WM_APP_FAILURE, 0, 0);
}

std::vector<std::string> take_failures() {
    const std::lock_guard lock(g_mutex);
    return std::exchange(g_failures, {});
}

std::string current_exception_text() noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        try {
            return error.what();
        } catch (...) {
        }
    } catch (...) {
    }
    return "unknown error";
}

std::string interrupted_text(const std::string& what) {
    return "An internal error interrupted the last action (" + what +
           "); tolvar goes on. If it happens again, please report it.";
}

}  // namespace tolvar::app::win
