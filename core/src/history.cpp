#include "tolvar/core/history.hpp"

#include "tolvar/core/file_names.hpp"
#include "tolvar/core/formats.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::core {

namespace {

Path history_dir(const Path& data_dir) {
    return data_dir / "history";
}

bool is_id_byte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

}  // namespace

bool is_valid_session_id(std::string_view id) {
    if (id.empty() || id == "." || id == ".." || is_reserved_device_name(id)) return false;
    for (const char c : id) {
        if (!is_id_byte(c)) return false;
    }
    return true;
}

StoreResult<Path> history_path(const Path& data_dir, std::string_view session_id) {
    if (!is_valid_session_id(session_id)) {
        return unexpected(StoreError::message("invalid session id: " + std::string(session_id)));
    }
    return history_dir(data_dir) / path_from_utf8(std::string(session_id) + ".jsonl");
}

std::string_view strip_line_end(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    return text;
}

bool is_recordable_line(std::string_view stripped) {
    return !trim_unicode(stripped).empty();
}

StoreResult<void> append_history_entry(FileSystem& fs, const Path& data_dir,
                                       std::string_view session_id, std::string_view line,
                                       std::uint64_t ts) {
    auto path = history_path(data_dir, session_id);
    if (!path) return unexpected(path.error());
    if (auto made = fs.create_directories(history_dir(data_dir)); !made) {
        return unexpected(StoreError::io(made.error()));
    }
    std::string text;
    if (const auto last = fs.last_byte(*path); last && *last != '\n') text += '\n';
    text += to_compact_json(HistoryEntry{ts, std::string(line)});
    text += '\n';
    if (auto appended = fs.append_file(*path, text); !appended) {
        return unexpected(StoreError::io(appended.error()));
    }
    return {};
}

StoreResult<std::vector<HistoryEntry>> read_history(FileSystem& fs, const Path& data_dir,
                                                    std::string_view session_id) {
    auto path = history_path(data_dir, session_id);
    if (!path) return unexpected(path.error());
    auto bytes = fs.read_file(*path);
    if (!bytes) {
        if (bytes.error().not_found) return std::vector<HistoryEntry>{};
        return unexpected(StoreError::io(bytes.error()));
    }
    std::vector<HistoryEntry> entries;
    std::string_view rest = *bytes;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
        if (!is_valid_utf8(line) || trim_unicode(line).empty()) continue;
        if (auto entry = parse_history_entry(line)) entries.push_back(std::move(*entry));
    }
    return entries;
}

StoreResult<void> delete_history(FileSystem& fs, const Path& data_dir,
                                 std::string_view session_id) {
    auto path = history_path(data_dir, session_id);
    if (!path) return unexpected(path.error());
    if (auto removed = fs.remove_file(*path); !removed && !removed.error().not_found) {
        return unexpected(StoreError::io(removed.error()));
    }
    return {};
}

StoreResult<void> delete_all_history(FileSystem& fs, const Path& data_dir) {
    const Path dir = history_dir(data_dir);
    auto entries = fs.list_directory(dir);
    if (!entries) return unexpected(StoreError::io(entries.error()));
    for (const DirEntry& entry : *entries) {
        if (entry.type != FileType::Regular) continue;
        if (auto removed = fs.remove_file(dir / entry.name); !removed) {
            return unexpected(StoreError::io(removed.error()));
        }
    }
    return {};
}

}  // namespace tolvar::core
