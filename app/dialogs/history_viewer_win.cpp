// The history viewer window (class TolvarHistory): the active tab's recorded
// lines, copying one, and the two resets.
#include "dialogs/dialog_frame_win.hpp"
#include "dialogs/dialogs_win.hpp"
#include "dialogs/history_viewer.hpp"
#include "input/clipboard_win.hpp"
#include "tolvar/core/win/win32.hpp"
#include "window/host_window_win.hpp"

namespace tolvar::app::win {

namespace {

enum : int { k_list = 400, k_copy = 401, k_reset_session = 402, k_reset_all = 403, k_close = 404 };

class HistoryDialog final : public Dialog, public HistorySurface {
  public:
    explicit HistoryDialog(HistoryViewer& viewer) : viewer_(viewer) {}

    void create_controls(DialogFrame& frame) override {
        frame_ = &frame;
        frame.add_control(L"LISTBOX", "", WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOTIFY, k_list,
                          12, 12, 496, 320);
        frame.add_control(L"BUTTON", "Copy line", 0, k_copy, 12, 344, 120, 28);
        frame.add_control(L"BUTTON", "Reset session history", 0, k_reset_session, 140, 344, 140,
                          28);
        frame.add_control(L"BUTTON", "Reset ALL history", 0, k_reset_all, 288, 344, 120, 28);
        frame.add_control(L"BUTTON", "Close", 0, k_close, 424, 344, 84, 28);
        viewer_.fill(*this);
    }

    int first_focus_id() const override { return k_list; }

    void on_default(DialogFrame&) override { viewer_.copy_selected(*this); }

    void on_command(DialogFrame& frame, int id, int code) override {
        if (id == k_list) {
            if (code == LBN_DBLCLK) viewer_.copy_selected(*this);
            return;
        }
        if (code != BN_CLICKED) return;
        switch (id) {
            case k_copy:
                viewer_.copy_selected(*this);
                break;
            case k_reset_session:
                viewer_.reset_session(*this);
                break;
            case k_reset_all:
                viewer_.reset_all(*this);
                break;
            case k_close:
                frame.end();
                break;
            default:
                break;
        }
    }

    // HistorySurface
    void show_lines(const std::vector<std::string>& lines) override {
        frame_->fill_list(k_list, lines);
    }

    std::optional<std::size_t> selected_line() const override {
        return frame_->list_selection(k_list);
    }

    bool ask(const std::string& question) override {
        return question_box(frame_->hwnd(), question);
    }

    void copy_text(const std::string& text) override { put_clipboard_text(frame_->hwnd(), text); }

  private:
    HistoryViewer& viewer_;
    DialogFrame* frame_ = nullptr;
};

}  // namespace

void show_history_viewer(HostWindow& host) {
    std::string title;
    std::string record_id;
    std::optional<core::Path> dir;
    {
        const AppState& state = host.state().view();
        const Tab* tab = state.active_tab();
        if (!tab) return;
        title = history_viewer_title(state, *tab);
        record_id = tab->record_id();
        dir = state.config().data_dir;
    }
    HistoryViewer viewer(core::platform_file_system(), std::move(dir), std::move(record_id));
    HistoryDialog dialog(viewer);
    run_dialog(host.hwnd(), k_history_class, title, 520, 384, dialog);
}

}  // namespace tolvar::app::win
