#include "sessions_win.hpp"

#include "dialog_frame_win.hpp"
#include "failures_win.hpp"
#include "tolvar/proto/win/external.hpp"

namespace tolvar::app::win {

Expected<std::unique_ptr<Session>, std::string> ConsoleStarter::start(
    const SessionRequest& request) {
    auto session = pty::PtySession::start(window_(), request.command, request.working_dir,
                                          pty::CellSize{cell_.width, cell_.height});
    if (!session) return unexpected(std::move(session.error().text));
    return std::unique_ptr<Session>(std::make_unique<ConsoleSession>(std::move(*session)));
}

void SystemExternals::start_external(const proto::External& plan) {
    proto::start_external_plan(
        plan, [this](const std::string& text) { error_box(owner_(), text); }, report_failure);
}

}  // namespace tolvar::app::win
