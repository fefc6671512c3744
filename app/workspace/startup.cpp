#include "workspace/startup.hpp"

#include "sessions/session_end.hpp"
#include "workspace/resume.hpp"

namespace tolvar::app {

namespace {

// Parse errors name their file already; the notice names it once.
std::string reason(const core::LoadProblem& problem) {
    std::string text = problem.error.text();
    const std::string prefix = problem.file + ": ";
    if (text.starts_with(prefix)) text.erase(0, prefix.size());
    return text;
}

}  // namespace

std::string load_problem_text(const core::LoadProblem& problem) {
    if (problem.kind == core::LoadProblem::Kind::NotWritten) {
        return "Cannot write " + problem.file + ": " + reason(problem) + ".";
    }
    std::string text = "Cannot read " + problem.file + ": " + reason(problem) +
                       ". Its defaults are used until it is mended";
    if (problem.kept_as) text += "; a copy is kept as " + core::path_to_utf8(*problem.kept_as);
    return text + ".";
}

void load_configuration(StateCell& cell, Notifier& notifier, core::FileSystem& fs,
                        const core::StoreResult<core::Path>& data_dir) {
    if (!data_dir) {
        notifier.notify("Cannot use the data folder: " + data_dir.error().text() +
                        ". Nothing is saved during this run.");
        return;
    }
    struct Read {
        std::vector<core::LoadProblem> problems;
        std::vector<std::string> notices;
    };
    cell.change(
        [&fs, dir = *data_dir](AppState& state) {
            Read read;
            core::LoadedConfig config = state.config();
            read.problems = core::load_at_startup(fs, dir, config);
            read.notices = state.load_config(std::move(config));
            if (auto notice = read_close_on_exit(state.config().settings).notice) {
                read.notices.push_back(std::move(*notice));
            }
            return read;
        },
        [&notifier](Read read) {
            for (const core::LoadProblem& problem : read.problems) {
                notifier.notify(load_problem_text(problem));
            }
            for (std::string& notice : read.notices) notifier.notify(std::move(notice));
        });
}

void open_first_tabs(Workspace& workspace, SaveSchedule& saves, Notifier& notifier,
                     core::FileSystem& fs) {
    saves.hold_session_list(false);
    const auto [dir, resume] = workspace.cell().read([](const AppState& s) {
        return std::pair(s.config().data_dir, s.config().settings.restore_sessions_on_start);
    });
    if (resume && dir) {
        core::LoadedSessions saved = core::load_sessions(fs, *dir);
        if (saved.problem) notifier.notify(load_problem_text(*saved.problem));
        if (resume_sessions(workspace, saved.sessions)) return;
    }
    workspace.open_tab({});
}

void StartupTrace::record(StartupMark mark, std::int64_t microseconds,
                          std::int64_t cpu_microseconds) {
    if (!wants(mark)) return;
    written_[static_cast<std::size_t>(mark)] = true;
    static constexpr std::array<const char*, 3> k_names{"window_painted", "tabs_opening",
                                                        "prompt_painted"};
    const std::string line = std::string(k_names[static_cast<std::size_t>(mark)]) + " " +
                             std::to_string(microseconds) + " " + std::to_string(cpu_microseconds) +
                             "\n";
    (void)fs_.append_file(*file_, line);
}

}  // namespace tolvar::app
