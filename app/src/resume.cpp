#include "tolvar/app/resume.hpp"

namespace tolvar::app {

std::optional<OpenRequest> resume_request(const core::SessionRecord& record,
                                          const std::vector<core::ConnectionProfile>& profiles,
                                          ProfileLauncher& launcher) {
    const core::ConnectionProfile* profile = nullptr;
    if (record.profile_id) {
        for (const core::ConnectionProfile& p : profiles) {
            if (p.id == *record.profile_id) {
                profile = &p;
                break;
            }
        }
    }
    OpenRequest request;
    if (profile) {
        auto plan = launcher.plan(profile->kind);
        if (!plan) return std::nullopt;
        const auto* console = std::get_if<proto::Console>(&*plan);
        if (!console) return std::nullopt;
        request.command = console->command_line;
        request.profile_id = profile->id;
    }
    request.title = record.title ? record.title
                    : profile    ? std::optional(profile->name)
                                 : std::nullopt;
    request.color = record.color ? record.color : profile ? profile->color : std::nullopt;
    request.group = record.group ? record.group : profile ? profile->group : std::nullopt;
    request.record_id = record.id;
    return request;
}

bool resume_sessions(Workspace& workspace, ProfileLauncher& launcher,
                     const std::vector<core::SessionRecord>& records) {
    std::vector<core::ConnectionProfile> profiles;
    {
        auto guard = workspace.cell().borrow();
        if (!guard) return false;
        profiles = (*guard)->config.profiles;
    }
    bool opened = false;
    for (const core::SessionRecord& record : records) {
        if (auto request = resume_request(record, profiles, launcher)) {
            opened = workspace.open_tab(std::move(*request)) || opened;
        }
    }
    return opened;
}

}  // namespace tolvar::app
