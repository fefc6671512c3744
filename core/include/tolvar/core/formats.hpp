// The JSON forms of the records: reading with exact failure messages and
// writing the exact text the files hold. Each record's mapping is declared
// once and drives both directions. Pure functions.
#pragma once

#include <string>
#include <string_view>

#include "tolvar/core/expected.hpp"
#include "tolvar/core/records.hpp"

namespace tolvar::core {

// A failure is the reader's message, e.g. "missing field `sync_mode`".
Expected<Settings, std::string> parse_settings(std::string_view text);
Expected<ProfilesFile, std::string> parse_profiles_file(std::string_view text);
Expected<AliasesFile, std::string> parse_aliases_file(std::string_view text);
Expected<SessionsFile, std::string> parse_sessions_file(std::string_view text);
Expected<HistoryEntry, std::string> parse_history_entry(std::string_view text);

// Pretty text with two-space indentation and no final newline.
std::string to_pretty_json(const Settings& value);
std::string to_pretty_json(const ProfilesFile& value);
std::string to_pretty_json(const AliasesFile& value);
std::string to_pretty_json(const SessionsFile& value);

// One line, no spaces: {"ts":1,"line":"..."}
std::string to_compact_json(const HistoryEntry& value);

}  // namespace tolvar::core
