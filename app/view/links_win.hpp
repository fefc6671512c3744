// Opening links from the panes: the system's answer to whether a path is a
// folder, for the link rule. UI thread only.
#pragma once

#include "view/links.hpp"

namespace tolvar::app::win {

class SystemFolders final : public FolderProbe {
  public:
    bool is_folder(const std::string& path) const override;
};

}  // namespace tolvar::app::win
