// The start-up steps that need no window of their own: loading the
// configuration, with what failed told as notices, and opening the first
// tabs (the last run's, or one shell). The main window loads while it is
// created and opens the tabs after its first paint. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "tolvar/core/store.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {

// Without a data directory nothing is loaded or saved, and the user is told.
void load_configuration(StateCell& cell, Notifier& notifier, core::FileSystem& fs,
                        const core::StoreResult<core::Path>& data_dir);

// Ends the session list's hold, then resumes the saved tabs when that is
// on; one default tab when it is off or none opened.
void open_first_tabs(Workspace& workspace, SaveSchedule& saves, Notifier& notifier,
                     core::FileSystem& fs);

// "Cannot read settings.json: ... a copy is kept as ..." and the like.
std::string load_problem_text(const core::LoadProblem& problem);

// The moments the start-up benchmark reads (tools/bench/startup).
enum class StartupMark : std::uint8_t { WindowPainted, TabsOpening, PromptPainted };

// With a file named (TOLVAR_STARTUP_TRACE), each mark is appended to it once
// as "name microseconds cpu", the time since the process was created and the
// processor time it has used, both in microseconds; without one nothing is
// done. The processor time is what a loaded machine disturbs least. A failed
// write loses the mark only: the benchmark reports a mark missing, and the
// program is not disturbed for it.
class StartupTrace {
  public:
    StartupTrace(core::FileSystem& fs, std::optional<core::Path> file)
        : fs_(fs), file_(std::move(file)) {}
    // Still to be written: false once written, and always without a file.
    bool wants(StartupMark mark) const {
        return file_ && !written_[static_cast<std::size_t>(mark)];
    }
    void record(StartupMark mark, std::int64_t microseconds, std::int64_t cpu_microseconds);

  private:
    core::FileSystem& fs_;
    std::optional<core::Path> file_;
    std::array<bool, 3> written_{};
};

}  // namespace tolvar::app
