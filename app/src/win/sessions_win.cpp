#include "sessions_win.hpp"

#include "dialog_frame_win.hpp"
#include "tolvar/proto/win/external.hpp"

namespace tolvar::app::win {

std::unique_ptr<Session> ConsoleStarter::start(const std::optional<std::string>& command,
                                               const std::optional<std::string>& working_dir) {
    auto session = pty::PtySession::start(window_(), command, working_dir,
                                          pty::CellSize{cell_.width, cell_.height});
    if (!session) return nullptr;
    return std::make_unique<ConsoleSession>(std::move(*session));
}

proto::LaunchResult<proto::LaunchPlan> SystemLauncher::plan(const core::ProfileKind& kind) {
    return proto::build_launch_plan(kind);
}

void SystemLauncher::start_external(const proto::External& plan) {
    proto::start_external_plan(plan,
                               [this](const std::string& text) { error_box(owner_(), text); });
}

}  // namespace tolvar::app::win
