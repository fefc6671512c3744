#include "commands/summon.hpp"

#include "input/chords.hpp"
#include "look/appearance.hpp"

namespace tolvar::app {

SummonKeyRead read_summon_key(const core::Settings& settings) {
    SummonKeyRead read;
    const core::JsonValue* value = given_setting(settings.summon_key);
    if (!value) return read;
    if (value->kind == core::JsonValue::Kind::String) {
        if (const std::optional<SystemChord> chord = parse_system_chord(value->text)) {
            read.key = SummonKey{value->text, hotkey_modifiers(*chord), chord->key};
            return read;
        }
    }
    read.notice =
        setting_notice("summon_key", *value, "a chord like \"ctrl+alt+t\" or \"win+grave\"",
                       "there is no summon key");
    return read;
}

std::string summon_refused_notice(std::string_view chord, std::string_view reason) {
    return "Cannot use the summon key \"" + std::string(chord) + "\": " + std::string(reason) +
           ". Another program may hold it; \"summon_key\" in settings.json can name another "
           "chord.";
}

SummonAction summon_action(const SummonScene& scene) {
    if (!scene.foreground || !scene.shown) return SummonAction::ShowAndFocus;
    if (scene.tray_icon && !scene.dialog_open) return SummonAction::HideToTray;
    return SummonAction::Minimize;
}

}  // namespace tolvar::app
