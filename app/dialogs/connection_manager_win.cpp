// The connection manager window (class TolvarConnMgr): its controls, and
// the key and command tables that hand every action to the portable rules.
#include "dialogs/connection_manager.hpp"
#include "dialogs/dialog_frame_win.hpp"
#include "dialogs/dialogs_win.hpp"
#include "tolvar/core/file_system.hpp"
#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/launch_plan.hpp"
#include "tolvar/proto/ssh_config.hpp"
#include "window/host_window_win.hpp"

namespace tolvar::app::win {

namespace {

enum : int {
    k_filter = 100,
    k_list = 101,
    k_connect = 110,
    k_new = 111,
    k_edit = 112,
    k_duplicate = 113,
    k_delete = 114,
    k_close = 115,
};

class ManagerDialog final : public Dialog, public ManagerSurface {
  public:
    explicit ManagerDialog(ConnectionManager& manager) : manager_(manager) {}

    void create_controls(DialogFrame& frame) override {
        frame_ = &frame;
        frame.add_control(L"EDIT", "", 0, k_filter, 12, 12, 496, 24);
        frame.add_control(L"LISTBOX", "", WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOTIFY, k_list,
                          12, 44, 496, 320);
        frame.add_control(L"BUTTON", "Connect", 0, k_connect, 12, 376, 84, 28);
        frame.add_control(L"BUTTON", "New (Ins)", 0, k_new, 104, 376, 72, 28);
        frame.add_control(L"BUTTON", "Edit (F2)", 0, k_edit, 184, 376, 72, 28);
        frame.add_control(L"BUTTON", "Duplicate", 0, k_duplicate, 264, 376, 88, 28);
        frame.add_control(L"BUTTON", "Delete", 0, k_delete, 360, 376, 72, 28);
        frame.add_control(L"BUTTON", "Close", 0, k_close, 440, 376, 68, 28);
        manager_.refresh(*this);
    }

    int first_focus_id() const override { return k_filter; }

    void on_default(DialogFrame&) override { manager_.connect(*this); }

    bool on_key(DialogFrame& frame, UINT vk, HWND target) override {
        std::optional<ManagerKey> key;
        switch (vk) {
            case VK_UP:
                key = ManagerKey::Up;
                break;
            case VK_DOWN:
                key = ManagerKey::Down;
                break;
            case VK_INSERT:
                key = ManagerKey::Insert;
                break;
            case VK_DELETE:
                key = ManagerKey::Delete;
                break;
            case VK_F2:
                key = ManagerKey::F2;
                break;
            case 'D':
                if (GetKeyState(VK_CONTROL) < 0) key = ManagerKey::CtrlD;
                break;
            default:
                break;
        }
        return key && manager_.on_key(*this, *key, target == frame.control(k_filter));
    }

    void on_command(DialogFrame& frame, int id, int code) override {
        switch (id) {
            case k_filter:
                if (code == EN_CHANGE) manager_.refresh(*this);
                break;
            case k_list:
                if (code == LBN_DBLCLK) manager_.connect(*this);
                if (code == LBN_SELCHANGE) manager_.selection_changed(*this);
                break;
            case k_connect:
                if (code == BN_CLICKED) manager_.connect(*this);
                break;
            case k_new:
                if (code == BN_CLICKED) manager_.add(*this);
                break;
            case k_edit:
                if (code == BN_CLICKED) manager_.edit(*this);
                break;
            case k_duplicate:
                if (code == BN_CLICKED) manager_.duplicate(*this);
                break;
            case k_delete:
                if (code == BN_CLICKED) manager_.remove(*this);
                break;
            case k_close:
                if (code == BN_CLICKED) frame.end();
                break;
            default:
                break;
        }
    }

    // ManagerSurface
    std::string filter_text() const override { return frame_->edit_text(k_filter); }

    void show_lines(const std::vector<std::string>& lines) override {
        frame_->fill_list(k_list, lines);
    }

    std::optional<std::size_t> selected_line() const override {
        return frame_->list_selection(k_list);
    }

    void select_line(std::size_t line) override {
        SendMessageW(frame_->control(k_list), LB_SETCURSEL, line, 0);
    }

    bool ask(const std::string& question) override {
        return question_box(frame_->hwnd(), question);
    }

    void inform(const std::string& text) override { info_box(frame_->hwnd(), "Connections", text); }

    void set_editable(bool editable) override {
        EnableWindow(frame_->control(k_edit), editable);
        EnableWindow(frame_->control(k_delete), editable);
    }

    std::optional<core::ConnectionProfile> edit_profile(
        const std::optional<core::ConnectionProfile>& profile) override {
        return win::edit_profile(frame_->hwnd(), profile);
    }

    void end() override { frame_->end(); }

  private:
    ConnectionManager& manager_;
    DialogFrame* frame_ = nullptr;
};

}  // namespace

void show_connection_manager(HostWindow& host) {
    std::vector<core::ConnectionProfile> profiles = host.state().view().config().profiles;
    // Read at every opening, so a change to the files shows the next time.
    std::vector<proto::SshConfigHost> ssh_hosts =
        read_ssh_hosts(host.notifier(), proto::platform_ssh_config_files(),
                       proto::ssh_config_locations(proto::platform_launch_system()));
    ConnectionManager manager(std::move(profiles), std::move(ssh_hosts));
    ManagerDialog dialog(manager);
    if (!run_dialog(host.hwnd(), k_connections_class, "Connections", 520, 416, dialog)) return;
    finish_connection_manager(host.workspace(), host.saves(), manager);
}

}  // namespace tolvar::app::win
