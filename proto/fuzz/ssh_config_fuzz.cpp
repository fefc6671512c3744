// Arbitrary SSH configurations: the input is cut at 0xFF bytes into the
// user's file and three files it may include (by name, by folder wildcard or
// by itself). Every listed alias obeys the host rules and is no pattern, no
// alias is listed twice, and the reads stay within the file budget.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "tolvar/proto/rules.hpp"
#include "tolvar/proto/ssh_config.hpp"

using namespace tolvar;
using namespace tolvar::proto;

namespace {

class Files final : public SshConfigFiles {
  public:
    std::map<std::string, std::string> files;
    std::size_t reads = 0;

    Expected<std::string, core::IoError> read_file(const std::string& path,
                                                   std::size_t limit) override {
        ++reads;
        auto it = files.find(path);
        if (it == files.end()) return unexpected(core::IoError{2, "not found", true});
        return it->second.substr(0, limit);
    }
    Expected<std::vector<Entry>, core::IoError> list_directory(const std::string& path) override {
        std::vector<Entry> entries;
        const std::string prefix = path + "\\";
        for (const auto& [file, text] : files) {
            if (file.starts_with(prefix) && file.find('\\', prefix.size()) == std::string::npos) {
                entries.push_back({file.substr(prefix.size()), false});
            }
        }
        if (path == "C:\\U\\.ssh") entries.push_back({"d", true});
        return entries;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    static const char* const k_names[] = {"C:\\U\\.ssh\\config", "C:\\U\\.ssh\\a",
                                          "C:\\U\\.ssh\\d\\b", "C:\\U\\.ssh\\d\\c"};
    Files files;
    for (const char* name : k_names) {
        const std::size_t cut = input.find('\xFF');
        files.files[name] = std::string(input.substr(0, cut));
        if (cut == std::string_view::npos) break;
        input.remove_prefix(cut + 1);
    }
    const SshConfigListing listing = read_ssh_config(files, {"C:\\U", ""});
    if (files.reads > k_ssh_config_files) std::abort();
    if (listing.hosts.size() > k_ssh_config_hosts) std::abort();
    std::set<std::string> seen;
    for (const SshConfigHost& host : listing.hosts) {
        if (!validate_host(host.alias)) std::abort();
        if (host.alias.find_first_of("*?!") != std::string::npos) std::abort();
        std::string folded = host.alias;
        for (char& c : folded) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (!seen.insert(folded).second) std::abort();
    }
    return 0;
}
