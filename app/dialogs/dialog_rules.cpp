#include "dialogs/dialog_rules.hpp"

#include "tolvar/core/utf.hpp"

namespace tolvar::app {

std::string edit_text_from_utf16(std::u16string_view text) {
    const std::string utf8 = core::utf16_to_utf8_lossy(text.substr(0, k_edit_read_units));
    return std::string(core::trim_unicode(utf8));
}

DialogKeyAction dialog_key_action(VirtualKey key, Modifiers modifiers, FocusedControl focused) {
    if (key == vk::k_escape) return DialogKeyAction::End;
    if (key == vk::k_return) {
        return focused == FocusedControl::PushButton ? DialogKeyAction::PressFocused
                                                     : DialogKeyAction::RunDefault;
    }
    // Ctrl+Alt is AltGr, which types characters of its own.
    if (key == vk::letter('A') && modifiers.ctrl && !modifiers.alt &&
        focused == FocusedControl::Edit) {
        return DialogKeyAction::SelectAll;
    }
    return DialogKeyAction::Pass;
}

}  // namespace tolvar::app
