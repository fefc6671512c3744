#include "workspace/resume.hpp"

namespace tolvar::app {

std::optional<OpenRequest> resume_request(const core::SessionRecord& record,
                                          const std::vector<core::ConnectionProfile>& profiles,
                                          Workspace& workspace) {
    const core::ConnectionProfile* profile =
        record.profile_id ? find_profile(profiles, *record.profile_id) : nullptr;
    OpenRequest request;
    if (profile) {
        // Outside clients are never resumed, and planning one would leave
        // its connection file behind.
        if (std::holds_alternative<core::Rdp>(profile->kind) ||
            std::holds_alternative<core::Vnc>(profile->kind)) {
            return std::nullopt;
        }
        auto plan = workspace.plan(profile->kind);
        if (!plan) return std::nullopt;
        auto tab = workspace.tab_launch(*plan);
        if (!tab) return std::nullopt;
        request.command = std::move(tab->command);
        request.serial = std::move(tab->serial);
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

bool resume_sessions(Workspace& workspace, const std::vector<core::SessionRecord>& records) {
    const std::vector<core::ConnectionProfile> profiles =
        workspace.cell().read([](const AppState& s) { return s.config().profiles; });
    std::vector<OpenRequest> requests;
    for (const core::SessionRecord& record : records) {
        if (auto request = resume_request(record, profiles, workspace)) {
            requests.push_back(std::move(*request));
        }
    }
    return workspace.open_tabs(std::move(requests)) > 0;
}

}  // namespace tolvar::app
