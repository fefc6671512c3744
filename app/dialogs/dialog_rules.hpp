// The portable rules of the modal dialog frame and the message boxes: DPI
// scaling, reading an edit control and what the frame's loop does with a
// key. The frame itself is Win32 code.
#pragma once

#include <string>
#include <string_view>

#include "input/chords.hpp"
#include "view/geometry.hpp"

namespace tolvar::app {

// An edit control is read into 512 UTF-16 units, so at most 511 arrive.
inline constexpr std::size_t k_edit_read_units = 511;

// The first 511 units as UTF-8 (unpaired surrogates become U+FFFD), trimmed.
std::string edit_text_from_utf16(std::u16string_view text);

// The control a key pressed in a dialog goes to, as far as the loop cares.
enum class FocusedControl { PushButton, Edit, Other };

enum class DialogKeyAction {
    End,           // the dialog ends without a result
    PressFocused,  // the focused button is pressed, as its click would
    RunDefault,    // the dialog's default action
    SelectAll,     // the focused edit's whole text is selected
    Pass,          // the dialog's key table, then the dialog manager
};

// Escape ends any dialog. Enter presses a focused push button, as Windows
// dialogs do, so Enter on Cancel cancels; anywhere else it runs the default
// action. Ctrl+A selects an edit's text, which the EDIT control does not do
// everywhere by itself; the key is taken, so it neither types nor reaches
// the key table.
DialogKeyAction dialog_key_action(VirtualKey key, Modifiers modifiers, FocusedControl focused);

}  // namespace tolvar::app
