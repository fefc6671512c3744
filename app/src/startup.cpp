#include "tolvar/app/startup.hpp"

#include "tolvar/app/resume.hpp"
#include "tolvar/app/session_end.hpp"

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

void load_configuration(Workspace& workspace, core::FileSystem& fs,
                        const core::StoreResult<core::Path>& data_dir) {
    if (!data_dir) {
        workspace.notify("Cannot use the data folder: " + data_dir.error().text() +
                         ". Nothing is saved during this run.");
        return;
    }
    std::vector<core::LoadProblem> problems;
    AppearanceRead appearance;
    std::optional<std::string> close_on_exit;
    if (auto state = workspace.cell().borrow()) {
        problems = core::load_at_startup(fs, *data_dir, (*state)->config);
        appearance = read_appearance((*state)->config.settings);
        (*state)->appearance = appearance.appearance;
        close_on_exit = read_close_on_exit((*state)->config.settings).notice;
    }
    for (const core::LoadProblem& problem : problems) workspace.notify(load_problem_text(problem));
    for (std::string& notice : appearance.notices) workspace.notify(std::move(notice));
    if (close_on_exit) workspace.notify(std::move(*close_on_exit));
}

void open_first_tabs(Workspace& workspace, core::FileSystem& fs) {
    workspace.hold_session_list(false);
    std::optional<core::Path> dir;
    bool resume = false;
    if (auto state = workspace.cell().borrow()) {
        dir = (*state)->config.data_dir;
        resume = (*state)->config.settings.restore_sessions_on_start;
    }
    if (resume && dir) {
        core::LoadedSessions saved = core::load_sessions(fs, *dir);
        if (saved.problem) workspace.notify(load_problem_text(*saved.problem));
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
