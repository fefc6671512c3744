#include "sessions/tab_logging.hpp"

#include <memory>
#include <utility>

#include "tolvar/core/platform.hpp"

namespace tolvar::app {

namespace {

core::Path logs_folder_of(const core::Path& data_dir) {
    return data_dir / "logs";
}

}  // namespace

bool TabLogging::start(Tab& tab, const core::Path& data_dir) {
    if (!tab.session() || tab.log()) return true;
    const core::Path dir = logs_folder_of(data_dir);
    if (auto made = fs_.create_directories(dir); !made) {
        pending_.push_back("Cannot log to " + core::path_to_utf8(dir) + ": " + made.error().text);
        return false;
    }
    const core::LocalTime t = core::local_time_now();
    const std::string name =
        log_file_name(tab.title(), t.year, t.month, t.day, t.hour, t.minute, t.second);
    // Two starts of one title in one second get files of their own.
    core::Path path = dir / core::path_from_utf8(name);
    for (int n = 2; fs_.exists(path) && n < 100; ++n) {
        path = dir / core::path_from_utf8(name.substr(0, name.size() - 4) + " (" +
                                          std::to_string(n) + ").log");
    }
    tab.start_log(std::make_unique<TabLog>(
        tab.session()->shared_model(),
        std::make_unique<LogWriter>(fs_, path,
                                    [wake = wake_from_writer](const std::string&) { wake(); })));
    return true;
}

void TabLogging::take(Tab& tab, std::vector<std::string>& told) {
    if (tab.log() && tab.log()->writer().failed()) {
        told.push_back(tab.log()->writer().failure());
        tab.end_log();
    } else if (tab.log()) {
        tab.log()->take();
    }
}

void TabLogging::tell_pending() {
    std::vector<std::string> told = std::exchange(pending_, {});
    for (std::string& text : told) notifier_.notify(std::move(text));
}

std::optional<core::Path> TabLogging::logs_folder() {
    const std::optional<core::Path> dir =
        cell_.read([](const AppState& s) { return s.config().data_dir; });
    if (!dir) return std::nullopt;
    const core::Path logs = logs_folder_of(*dir);
    if (auto made = fs_.create_directories(logs); !made) {
        notifier_.notify("Cannot open " + core::path_to_utf8(logs) + ": " + made.error().text);
        return std::nullopt;
    }
    return logs;
}

}  // namespace tolvar::app
