// The profile editor window (class TolvarProfileEd): its controls, the kind
// layout, and moving the fields in and out for the portable rules.
#include <algorithm>

#include "dialogs/dialog_frame_win.hpp"
#include "dialogs/dialogs_win.hpp"
#include "dialogs/profile_editor.hpp"
#include "tolvar/core/win/win32.hpp"
#include "window/host_window_win.hpp"

namespace tolvar::app::win {

namespace {

enum : int {
    k_kind = 200,
    k_name = 201,
    k_group = 202,
    k_color = 203,
    k_first_row = 210,
    k_fullscreen = 230,
    k_admin = 231,
    k_parity = 232,
    k_stop_bits = 233,
    k_flow_control = 234,
    k_ok = 240,
    k_cancel = 241,
};

constexpr DWORD k_combo_style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;

void add_items(HWND combo, const std::vector<std::string_view>& items) {
    for (const std::string_view item : items) {
        const std::wstring wide = core::win::to_wide(item);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

int selection_of(HWND combo) {
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return index < 0 ? -1 : static_cast<int>(index);
}

bool checked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class EditorDialog final : public Dialog {
  public:
    explicit EditorDialog(const std::optional<core::ConnectionProfile>& input) : input_(input) {}

    const std::optional<core::ConnectionProfile>& result() const { return result_; }

    void create_controls(DialogFrame& frame) override {
        const ProfileFields fields = input_ ? fields_of(*input_) : ProfileFields{};

        frame.add_control(L"STATIC", "Kind", 0, -1, 12, 16, 130, 20);
        HWND kind = frame.add_control(L"COMBOBOX", "", k_combo_style, k_kind, 150, 12, 260, 200);
        add_items(kind, {k_kind_names.begin(), k_kind_names.end()});
        SendMessageW(kind, CB_SETCURSEL, fields.kind, 0);

        frame.add_control(L"STATIC", "Name", 0, -1, 12, 46, 130, 20);
        frame.add_control(L"EDIT", fields.name, 0, k_name, 150, 42, 260, 24);
        frame.add_control(L"STATIC", "Group", 0, -1, 12, 76, 130, 20);
        frame.add_control(L"EDIT", fields.group, 0, k_group, 150, 72, 260, 24);

        frame.add_control(L"STATIC", "Color", 0, -1, 12, 106, 130, 20);
        HWND color = frame.add_control(L"COMBOBOX", "", k_combo_style, k_color, 150, 102, 260, 200);
        std::vector<std::string_view> colors{"Default"};
        for (const NamedColor& c : k_color_table) colors.push_back(c.name);
        add_items(color, colors);
        // -1, for an index beyond the palette, leaves no entry selected.
        SendMessageW(color, CB_SETCURSEL, static_cast<WPARAM>(fields.color), 0);

        for (std::size_t row = 0; row < k_field_rows; ++row) {
            const int y = 30 * static_cast<int>(row);
            labels_[row] = frame.add_control(L"STATIC", "", 0, -1, 12, 136 + y, 130, 20);
            frame.add_control(L"EDIT", fields.rows[row], 0, k_first_row + static_cast<int>(row),
                              150, 132 + y, 260, 24);
        }

        HWND fullscreen = frame.add_control(L"BUTTON", "Fullscreen", BS_AUTOCHECKBOX, k_fullscreen,
                                            150, 282, 120, 24);
        HWND admin = frame.add_control(L"BUTTON", "Admin session", BS_AUTOCHECKBOX, k_admin, 280,
                                       282, 130, 24);
        SendMessageW(fullscreen, BM_SETCHECK, fields.fullscreen ? BST_CHECKED : BST_UNCHECKED, 0);
        SendMessageW(admin, BM_SETCHECK, fields.admin ? BST_CHECKED : BST_UNCHECKED, 0);

        // The serial lists stand where rows 4 and 5 and the check boxes do,
        // which a serial profile does not show.
        const struct {
            int id;
            const char* label;
            std::vector<std::string_view> items;
            int selected;
            int y;
        } lists[] = {
            {k_parity, "Parity", {k_parity_labels.begin(), k_parity_labels.end()}, fields.parity,
             226},
            {k_stop_bits, "Stop bits", {k_stop_bits_labels.begin(), k_stop_bits_labels.end()},
             fields.stop_bits, 256},
            {k_flow_control, "Flow control",
             {k_flow_control_labels.begin(), k_flow_control_labels.end()}, fields.flow_control,
             282},
        };
        for (std::size_t i = 0; i < std::size(lists); ++i) {
            list_labels_[i] = frame.add_control(L"STATIC", lists[i].label, 0, -1, 12,
                                                lists[i].y + 4, 130, 20);
            HWND combo = frame.add_control(L"COMBOBOX", "", k_combo_style, lists[i].id, 150,
                                           lists[i].y, 260, 120);
            add_items(combo, lists[i].items);
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(std::max(lists[i].selected, 0)),
                         0);
        }

        frame.add_control(L"BUTTON", "OK", 0, k_ok, 238, 312, 80, 28);
        frame.add_control(L"BUTTON", "Cancel", 0, k_cancel, 326, 312, 84, 28);
        apply_layout(frame, fields.kind);
    }

    int first_focus_id() const override { return k_name; }

    void on_default(DialogFrame& frame) override { accept(frame); }

    void on_command(DialogFrame& frame, int id, int code) override {
        if (id == k_kind && code == CBN_SELCHANGE) {
            apply_layout(frame, selection_of(frame.control(k_kind)));
        } else if (id == k_ok && code == BN_CLICKED) {
            accept(frame);
        } else if (id == k_cancel && code == BN_CLICKED) {
            frame.end();
        }
    }

  private:
    // The edits keep their texts: only labels and visibility change.
    void apply_layout(DialogFrame& frame, int kind) {
        const KindLayout layout = kind_layout(kind);
        for (std::size_t row = 0; row < k_field_rows; ++row) {
            const std::wstring label = core::win::to_wide(layout.labels[row]);
            const int show = label.empty() ? SW_HIDE : SW_SHOW;
            SetWindowTextW(labels_[row], label.c_str());
            ShowWindow(labels_[row], show);
            ShowWindow(frame.control(k_first_row + static_cast<int>(row)), show);
        }
        const int boxes = layout.check_boxes ? SW_SHOW : SW_HIDE;
        ShowWindow(frame.control(k_fullscreen), boxes);
        ShowWindow(frame.control(k_admin), boxes);
        const int lists = layout.serial_lists ? SW_SHOW : SW_HIDE;
        for (const int id : {k_parity, k_stop_bits, k_flow_control}) {
            ShowWindow(frame.control(id), lists);
        }
        for (HWND label : list_labels_) ShowWindow(label, lists);
    }

    void accept(DialogFrame& frame) {
        ProfileFields fields;
        fields.kind = selection_of(frame.control(k_kind));
        fields.name = frame.edit_text(k_name);
        fields.group = frame.edit_text(k_group);
        fields.color = selection_of(frame.control(k_color));
        for (std::size_t row = 0; row < k_field_rows; ++row) {
            fields.rows[row] = frame.edit_text(k_first_row + static_cast<int>(row));
        }
        fields.fullscreen = checked(frame.control(k_fullscreen));
        fields.admin = checked(frame.control(k_admin));
        fields.parity = selection_of(frame.control(k_parity));
        fields.stop_bits = selection_of(frame.control(k_stop_bits));
        fields.flow_control = selection_of(frame.control(k_flow_control));
        auto profile = accept_fields(fields, input_);
        if (!profile) {
            error_box(frame.hwnd(), profile.error());
            return;
        }
        result_ = std::move(*profile);
        frame.end();
    }

    const std::optional<core::ConnectionProfile>& input_;
    std::optional<core::ConnectionProfile> result_;
    std::array<HWND, k_field_rows> labels_{};
    std::array<HWND, 3> list_labels_{};
};

}  // namespace

std::optional<core::ConnectionProfile> edit_profile(
    HWND owner, const std::optional<core::ConnectionProfile>& profile) {
    EditorDialog dialog(profile);
    run_dialog(owner, k_profile_editor_class, profile ? "Edit profile" : "New profile", 422, 352,
               dialog);
    return dialog.result();
}

}  // namespace tolvar::app::win
