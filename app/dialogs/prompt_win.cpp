// The prompt window (class TolvarPrompt), asking for one line of text, and
// the quick-connect flow that uses it.
#include "dialogs/dialog_frame_win.hpp"
#include "dialogs/dialogs_win.hpp"
#include "dialogs/quick_connect.hpp"
#include "window/host_window_win.hpp"

namespace tolvar::app::win {

namespace {

enum : int { k_input = 301, k_ok = 302, k_cancel = 303 };

class PromptDialog final : public Dialog {
  public:
    PromptDialog(const std::string& label, const std::string& initial)
        : label_(label), initial_(initial) {}

    const std::optional<std::string>& text() const { return text_; }

    void create_controls(DialogFrame& frame) override {
        frame.add_control(L"STATIC", label_, 0, -1, 12, 12, 396, 20);
        HWND input = frame.add_control(L"EDIT", initial_, 0, k_input, 12, 36, 396, 24);
        // A re-prompt holds the previous attempt selected: typing replaces it,
        // the arrow keys keep it for mending.
        SendMessageW(input, EM_SETSEL, 0, -1);
        frame.add_control(L"BUTTON", "OK", 0, k_ok, 244, 72, 80, 28);
        frame.add_control(L"BUTTON", "Cancel", 0, k_cancel, 332, 72, 76, 28);
    }

    int first_focus_id() const override { return k_input; }

    void on_default(DialogFrame& frame) override { accept(frame); }

    void on_command(DialogFrame& frame, int id, int code) override {
        if (code != BN_CLICKED) return;
        if (id == k_ok) accept(frame);
        if (id == k_cancel) frame.end();
    }

  private:
    void accept(DialogFrame& frame) {
        text_ = frame.edit_text(k_input);
        frame.end();
    }

    const std::string& label_;
    const std::string& initial_;
    std::optional<std::string> text_;
};

class PromptPort final : public QuickConnectPort {
  public:
    explicit PromptPort(HWND owner) : owner_(owner) {}
    std::optional<std::string> prompt_text(const std::string& title, const std::string& label,
                                           const std::string& initial) override {
        return win::prompt_text(owner_, title, label, initial);
    }
    void error_box(const std::string& text) override { win::error_box(owner_, text); }

  private:
    HWND owner_;
};

}  // namespace

std::optional<std::string> prompt_text(HWND owner, const std::string& title,
                                       const std::string& label, const std::string& initial) {
    PromptDialog dialog(label, initial);
    run_dialog(owner, k_prompt_class, title, 420, 112, dialog);
    if (!dialog.text() || dialog.text()->empty()) return std::nullopt;
    return dialog.text();
}

void quick_connect(HostWindow& host) {
    PromptPort port(host.hwnd());
    app::quick_connect(host.workspace(), port);
}

}  // namespace tolvar::app::win
