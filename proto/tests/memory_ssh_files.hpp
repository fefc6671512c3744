// SSH configuration files held in memory for the reader's tests: files by
// full path, folders as the paths' prefixes, and a count of reads so that a
// test can see where a loop stopped.
#pragma once

#include <map>
#include <set>
#include <string>

#include "tolvar/proto/ssh_config.hpp"

namespace tolvar::proto::testing {

class MemoryFiles final : public SshConfigFiles {
  public:
    std::map<std::string, std::string> files;
    std::set<std::string> unreadable;
    std::size_t reads = 0;
    std::size_t listings = 0;

    Expected<std::string, core::IoError> read_file(const std::string& path,
                                                   std::size_t limit) override {
        ++reads;
        if (unreadable.contains(path))
            return unexpected(core::IoError{5, "Access is denied", false});
        auto it = files.find(path);
        if (it == files.end()) return unexpected(core::IoError{2, "not found", true});
        return it->second.substr(0, limit);
    }

    Expected<std::vector<Entry>, core::IoError> list_directory(const std::string& path) override {
        ++listings;
        const std::string prefix = path.ends_with('\\') ? path : path + "\\";
        std::map<std::string, bool> names;
        for (const auto& [file, text] : files) {
            if (!file.starts_with(prefix)) continue;
            const std::string rest = file.substr(prefix.size());
            const auto slash = rest.find('\\');
            names[rest.substr(0, slash)] |= slash != std::string::npos;
        }
        if (names.empty()) return unexpected(core::IoError{3, "no folder", true});
        std::vector<Entry> entries;
        // Listed backwards: the reader, like glob, must sort.
        for (auto it = names.rbegin(); it != names.rend(); ++it) {
            entries.push_back({it->first, it->second});
        }
        return entries;
    }
};

}  // namespace tolvar::proto::testing
