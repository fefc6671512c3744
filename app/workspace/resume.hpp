// Reopening the tabs of the last run from their saved records: each record
// becomes a fresh session from its profile, or a default shell when the
// profile is gone. Outside clients are never started from here. UI thread.
#pragma once

#include <optional>
#include <vector>

#include "workspace/workspace.hpp"

namespace tolvar::app {

// The request that reopens one record, or nothing when the record's profile
// cannot become a tab (its plan fails or starts an outside client).
std::optional<OpenRequest> resume_request(const core::SessionRecord& record,
                                          const std::vector<core::ConnectionProfile>& profiles,
                                          Workspace& workspace);

// Opens a tab per record, in order, and saves the list once; whether any
// tab was opened.
bool resume_sessions(Workspace& workspace, const std::vector<core::SessionRecord>& records);

}  // namespace tolvar::app
