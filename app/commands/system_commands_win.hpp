// What commands need from the system: the clipboard, a second instance of
// the program, the dialogs and boxes, the shell, links, and the main
// window's showing. Owned by the main window for its whole life. UI thread.
#pragma once

#include "commands/command_runner.hpp"

namespace tolvar::app::win {

class HostWindow;

class SystemCommands final : public CommandPort {
  public:
    explicit SystemCommands(HostWindow& host) : host_(host) {}

    std::optional<std::string> read_clipboard() override;
    void write_clipboard(std::string_view text) override;
    void start_new_window() override;
    void start_rename(RenameTarget target) override;
    void open_connection_manager() override;
    void open_quick_connect() override;
    void open_history_viewer() override;
    void open_find() override;
    void open_palette() override;
    void save_output(TabId tab) override;
    void show_main_window() override;
    void summon() override;
    void open_in_shell(const std::string& target) override;
    std::optional<std::string> open_link(const std::string& target) override;
    void info_box(const std::string& caption, const std::string& text) override;
    void quit() override;

  private:
    HostWindow& host_;
};

}  // namespace tolvar::app::win
