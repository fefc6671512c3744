// The quick-connect flow: prompt for an SSH target, parse it, plan it, open
// it as a tab; every error is shown and the prompt comes back holding what
// was typed. The prompt itself is a Win32 dialog behind a port. UI thread.
#pragma once

#include <optional>
#include <string>

#include "workspace/ports.hpp"
#include "workspace/workspace.hpp"

namespace tolvar::app {

inline constexpr char k_quick_connect_title[] = "Quick connect";
inline constexpr char k_quick_connect_label[] = "SSH target \xE2\x80\x94 [user@]host[:port]:";

class QuickConnectPort {
  public:
    virtual ~QuickConnectPort() = default;
    // The prompt dialog: the accepted text, trimmed; nothing when it was
    // cancelled or the text is empty.
    virtual std::optional<std::string> prompt_text(const std::string& title,
                                                   const std::string& label,
                                                   const std::string& initial) = 0;
    virtual void error_box(const std::string& text) = 0;
};

void quick_connect(Workspace& workspace, QuickConnectPort& port);

}  // namespace tolvar::app
