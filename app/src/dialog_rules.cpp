#include "tolvar/app/dialog_rules.hpp"

#include "tolvar/core/utf.hpp"

namespace tolvar::app {

std::string edit_text_from_utf16(std::u16string_view text) {
    const std::string utf8 = core::utf16_to_utf8_lossy(text.substr(0, k_edit_read_units));
    return std::string(core::trim_unicode(utf8));
}

}  // namespace tolvar::app
