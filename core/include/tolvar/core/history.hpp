// Per-session history files: history\<session id>.jsonl in the data
// directory, one compact HistoryEntry per line, only ever appended to.
// UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/store.hpp"

namespace tolvar::core {

// Letters, digits, '-', '.', '_'; not empty, "." or "..", and no name
// Windows opens as a device (the file would be one).
bool is_valid_session_id(std::string_view id);

StoreResult<Path> history_path(const Path& data_dir, std::string_view session_id);

// The submitted text without its trailing carriage returns and line feeds.
std::string_view strip_line_end(std::string_view text);

// Whether a submitted line is worth recording: not empty or white space only.
bool is_recordable_line(std::string_view stripped);

// The file part of recording a submitted line: appends {"ts":..,"line":..}
// and a line feed. A previous torn write is closed with a line feed first so
// it cannot swallow this entry.
StoreResult<void> append_history_entry(FileSystem& fs, const Path& data_dir,
                                       std::string_view session_id, std::string_view line,
                                       std::uint64_t ts);

// Entries in file order; a missing file is an empty history. Lines damaged
// by a torn write (not valid JSON or UTF-8) are skipped, not fatal.
StoreResult<std::vector<HistoryEntry>> read_history(FileSystem& fs, const Path& data_dir,
                                                    std::string_view session_id);

StoreResult<void> delete_history(FileSystem& fs, const Path& data_dir, std::string_view session_id);

// Removes every regular file of the history directory; subdirectories stay.
StoreResult<void> delete_all_history(FileSystem& fs, const Path& data_dir);

}  // namespace tolvar::core
