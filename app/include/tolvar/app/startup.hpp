// The start-up steps that need no window of their own: loading the
// configuration, with what failed told as notices, and opening the first
// tabs (the last run's, or one shell). The main window calls them in order
// around creating its fonts and icon. UI thread only.
#pragma once

#include <string>

#include "tolvar/app/workspace.hpp"
#include "tolvar/core/store.hpp"

namespace tolvar::app {

// Without a data directory nothing is loaded or saved, and the user is told.
void load_configuration(Workspace& workspace, core::FileSystem& fs,
                        const core::StoreResult<core::Path>& data_dir);

// Resumes the saved tabs when that is on; one default tab when it is off or
// none opened.
void open_first_tabs(Workspace& workspace, core::FileSystem& fs);

// "Cannot read settings.json: ... a copy is kept as ..." and the like.
std::string load_problem_text(const core::LoadProblem& problem);

}  // namespace tolvar::app
