// The system side of keyboard and clipboard input: the clipboard, a second
// instance of the program, the inline rename and the dialogs the keys open.
// Owned by the main window for its whole life. UI thread only.
#pragma once

#include "tolvar/app/input.hpp"

namespace tolvar::app::win {

class HostWindow;

class SystemInput final : public InputPort {
  public:
    explicit SystemInput(HostWindow& host) : host_(host) {}

    std::optional<std::string> read_clipboard() override;
    void write_clipboard(std::string_view text) override;
    void start_new_window() override;
    void start_rename(RenameTarget target) override;
    void open_connection_manager() override;
    void open_quick_connect() override;
    void open_history_viewer() override;
    void open_find() override;

  private:
    HostWindow& host_;
};

}  // namespace tolvar::app::win
