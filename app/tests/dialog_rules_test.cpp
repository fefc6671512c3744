#include "dialogs/dialog_rules.hpp"

#include <gtest/gtest.h>

#include "look/fonts.hpp"

namespace tolvar::app {
namespace {

TEST(DialogScaling, ByDpiWithAFloorOf96) {
    EXPECT_EQ(scale_for_dpi(520, 144), 780);
    EXPECT_EQ(scale_for_dpi(-12, 144), -18);  // the 9-point font at 144 DPI
    EXPECT_EQ(scale_for_dpi(416, 72), 416);
    EXPECT_EQ(scale_for_dpi(7, 120), 8);
}

TEST(EditText, First511UnitsLossyAndTrimmed) {
    std::u16string long_text = u"  " + std::u16string(598, u'x');
    EXPECT_EQ(edit_text_from_utf16(long_text), std::string(509, 'x'));
    // A pair cut at the limit leaves half a surrogate: it becomes U+FFFD.
    std::u16string cut = std::u16string(510, u'a') + u"\U0001F600";
    EXPECT_EQ(edit_text_from_utf16(cut), std::string(510, 'a') + "\xEF\xBF\xBD");
    EXPECT_EQ(edit_text_from_utf16(u"\u3000 host \t"), "host");
}

// Regression: Enter on a focused Cancel accepted the dialog, and Ctrl+A in an
// edit selected nothing.
TEST(DialogKeys, EnterPressesAFocusedButtonCtrlASelectsAnEdit) {
    using enum DialogKeyAction;
    using enum FocusedControl;
    const Modifiers none, ctrl{true, false, false}, ctrl_shift{true, true, false},
        altgr{true, false, true}, shift{false, true, false};
    const VirtualKey a = vk::letter('A');
    struct Case {
        VirtualKey key;
        Modifiers modifiers;
        FocusedControl focused;
        DialogKeyAction action;
    };
    const Case cases[] = {
        {vk::k_escape, none, Edit, End},
        {vk::k_escape, none, PushButton, End},
        {vk::k_escape, shift, Other, End},
        {vk::k_return, none, PushButton, PressFocused},
        {vk::k_return, ctrl, PushButton, PressFocused},
        {vk::k_return, none, Edit, RunDefault},
        // List boxes, combo boxes and check boxes.
        {vk::k_return, none, Other, RunDefault},
        {a, ctrl, Edit, SelectAll},
        {a, ctrl_shift, Edit, SelectAll},
        {a, altgr, Edit, Pass},
        {a, none, Edit, Pass},
        {a, shift, Edit, Pass},
        {a, ctrl, PushButton, Pass},
        {a, ctrl, Other, Pass},
        {vk::letter('D'), ctrl, Edit, Pass},
        {vk::k_tab, none, PushButton, Pass},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dialog_key_action(c.key, c.modifiers, c.focused), c.action)
            << "key " << c.key << " focus " << static_cast<int>(c.focused);
    }
}

TEST(Fonts, CandidatesSizesAndFaceMatching) {
    core::FontSettings font;
    font.family = "";
    font.fallbacks = {"Menlo", "", "Consolas"};
    EXPECT_EQ(font_candidates(font), (std::vector<std::string>{"Menlo", "Consolas"}));
    EXPECT_EQ(font_pixel_height(96, 12.0f), 16);
    EXPECT_EQ(font_pixel_height(144, 12.0f), 24);
    EXPECT_EQ(font_pixel_height(72, 100.0f), 96);  // 72 points at 96 DPI
    EXPECT_EQ(font_pixel_height(96, 1.0f), 8);
    EXPECT_TRUE(same_face("consolas", "Consolas"));
    EXPECT_FALSE(same_face("SF Mono", "DejaVu Sans Mono"));
}

}  // namespace
}  // namespace tolvar::app
