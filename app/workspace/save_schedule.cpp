#include "workspace/save_schedule.hpp"

#include <string>
#include <string_view>

namespace tolvar::app {

namespace {

constexpr std::array<std::string_view, 3> k_file_names{"settings.json", "profiles.json",
                                                       "sessions.json"};

constexpr std::uint8_t bit(ConfigFile file) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(file));
}

core::StoreResult<void> save_file(core::FileSystem& fs, const core::Path& dir, ConfigFile file,
                                  const AppState& state) {
    switch (file) {
        case ConfigFile::Settings:
            return core::save_settings(fs, dir, state.config().settings);
        case ConfigFile::Profiles:
            return core::save_profiles(fs, dir, state.config().profiles);
        case ConfigFile::Sessions:
            break;
    }
    return core::save_sessions(fs, dir, session_records(state));
}

std::string save_failure_text(ConfigFile file, const core::StoreError& error) {
    return "Cannot save " + std::string(k_file_names[static_cast<std::size_t>(file)]) + ": " +
           error.text() + ". Nothing is lost: it is saved again at the next change.";
}

}  // namespace

void SaveSchedule::save(ConfigFile file) {
    due_ |= bit(file);
    flush();
}

void SaveSchedule::flush() {
    // The files are written in the change, from the state as it is then.
    cell_.change([this](AppState& state) { return write_due(state); },
                 [this](bool told) {
                     if (told) window_.invalidate();
                 });
}

bool SaveSchedule::write_due(AppState& state) {
    if (!state.config().data_dir) {
        due_ = 0;
        return false;
    }
    bool told = false;
    for (const ConfigFile file :
         {ConfigFile::Settings, ConfigFile::Profiles, ConfigFile::Sessions}) {
        if (!(due_ & bit(file))) continue;
        if (file == ConfigFile::Sessions && session_list_held_) continue;
        std::optional<std::uint64_t>& notice = failure_notice_[static_cast<std::size_t>(file)];
        if (auto saved = save_file(fs_, *state.config().data_dir, file, state)) {
            due_ &= static_cast<std::uint8_t>(~bit(file));
            if (notice) {
                state.dismiss_notice(*notice);
                notice.reset();
                told = true;
            }
        } else if (!notice) {
            notice = state.add_notice(save_failure_text(file, saved.error()));
            told = true;
        }
    }
    return told;
}

std::vector<core::SessionRecord> session_records(const AppState& state) {
    std::vector<core::SessionRecord> records;
    records.reserve(state.tabs().size());
    for (const Tab& t : state.tabs()) {
        core::SessionRecord r;
        r.id = t.record_id();
        r.profile_id = t.profile_id();
        if (t.custom_title()) r.title = t.title();
        if (t.group()) {
            if (const TabGroup* g = state.find_group(*t.group())) r.group = g->name;
        }
        r.color = t.color();
        records.push_back(std::move(r));
    }
    return records;
}

}  // namespace tolvar::app
