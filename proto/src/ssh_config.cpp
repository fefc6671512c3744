#include "tolvar/proto/ssh_config.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "tolvar/core/lowercase.hpp"
#include "tolvar/proto/command_line.hpp"
#include "tolvar/proto/launch_plan.hpp"
#include "tolvar/proto/rules.hpp"

namespace tolvar::proto {

using core::ascii_lower;

// ------------------------------------------------------------ the seam

Expected<std::vector<SshConfigFiles::Entry>, core::IoError> list_ssh_config_directory(
    core::FileSystem& fs, const std::string& path) {
    auto listed = fs.list_directory(core::path_from_utf8(path));
    if (!listed) return unexpected(std::move(listed.error()));
    std::vector<SshConfigFiles::Entry> entries;
    entries.reserve(listed->size());
    for (const core::DirEntry& entry : *listed) {
        entries.push_back(
            {core::path_to_utf8(entry.name), entry.type == core::FileType::Directory});
    }
    return entries;
}

bool names_a_device(std::string_view path) {
    if (path.size() < 3) return false;
    const auto slash = [](char c) { return c == '\\' || c == '/'; };
    const bool unc_like = slash(path[0]) && slash(path[1]) && (path[2] == '.' || path[2] == '?');
    const bool nt = slash(path[0]) && path[1] == '?' && path[2] == '?';
    return (unc_like || nt) && (path.size() == 3 || slash(path[3]));
}

SshConfigLocations ssh_config_locations(LaunchSystem& system) {
    return {system.environment_variable("USERPROFILE").value_or(""),
            system.environment_variable("ProgramData").value_or("")};
}

namespace {

// '*' and '?' over ASCII-folded text; iterative, so a pattern of many stars
// costs no more than text times pattern. Each step spends one of `steps`;
// none left, it fails, and the caller tells the budget is spent.
bool wildcard_match(std::string_view pattern, std::string_view text, std::uint64_t& steps) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (steps == 0) return false;
        --steps;
        if (p < pattern.size() &&
            (pattern[p] == '?' || ascii_lower(pattern[p]) == ascii_lower(text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool wildcard_match(std::string_view pattern, std::string_view text) {
    std::uint64_t unbounded = ~std::uint64_t{0};
    return wildcard_match(pattern, text, unbounded);
}

bool has_wildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

// ------------------------------------------------------------ lines

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The keywords the listing reads; every other one is passed over.
enum class Keyword { Other, Host, Match, Include, HostName, User, Port };

Keyword keyword_of(std::string_view lower) {
    if (lower == "host") return Keyword::Host;
    if (lower == "match") return Keyword::Match;
    if (lower == "include") return Keyword::Include;
    if (lower == "hostname") return Keyword::HostName;
    if (lower == "user") return Keyword::User;
    if (lower == "port") return Keyword::Port;
    return Keyword::Other;
}

struct Line {
    Keyword keyword = Keyword::Other;
    std::vector<std::string> args;
};

// A line as ssh splits it: the keyword, one optional '=', then arguments in
// single or double quotes with backslash escapes of quotes, backslashes and
// (outside quotes) spaces; an unquoted '#' at the start of an argument ends
// the line. Nothing for a blank or comment line, or for quotes left open,
// which ssh refuses.
std::optional<Line> split_line(std::string_view text) {
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !is_blank(text[i]) && text[i] != '=') ++i;
    if (i == start || text[start] == '#') return std::nullopt;
    Line line;
    std::string keyword;
    keyword.reserve(i - start);
    for (std::size_t k = start; k < i; ++k) keyword += ascii_lower(text[k]);
    line.keyword = keyword_of(keyword);
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i < text.size() && text[i] == '=') ++i;

    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (text[i] == '#') break;
        std::string arg;
        char quote = 0;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\\' && i + 1 < text.size()) {
                const char next = text[i + 1];
                if (next == '\'' || next == '"' || next == '\\' || (quote == 0 && next == ' ')) {
                    ++i;
                    arg += next;
                } else {
                    arg += c;  // C:\Users stays as written
                }
            } else if (quote == 0 && (c == ' ' || c == '\t')) {
                break;
            } else if (quote == 0 && (c == '"' || c == '\'')) {
                quote = c;
            } else if (quote != 0 && c == quote) {
                quote = 0;
            } else {
                arg += c;
            }
        }
        if (quote != 0) return std::nullopt;
        line.args.push_back(std::move(arg));
    }
    return line;
}

// ------------------------------------------------------------ reading

// What resolving needs of the files, in the order ssh meets it, includes
// spliced in place. The arguments are those of the reader's split lines, so
// a file included many times is not copied each time.
struct Directive {
    enum class Kind { FileStart, Host, Match, HostName, User, Port, IncludeStart, IncludeEnd };
    Kind kind;
    std::span<const std::string> args;  // Host patterns, or the one value of a setting
};

constexpr std::string_view k_bom = "\xEF\xBB\xBF";

class Reader {
  public:
    Reader(SshConfigFiles& files, std::string home) : files_(files), home_(std::move(home)) {}

    void read_top(const std::string& path, const std::string& base) {
        directives.push_back({Directive::Kind::FileStart, {}});
        read(path, base, 0);
    }

    // Pieces, not one block: a list of thousands would be copied and
    // grown by fresh pages at every doubling.
    std::deque<Directive> directives;
    std::vector<std::string> failures;

  private:
    void tell_once(bool& told, std::string text) {
        if (told) return;
        told = true;
        failures.push_back(std::move(text));
    }

    // Each directive and each of its arguments counts.
    bool room_for_directive(std::size_t args = 0) {
        if (weight_ + 1 + args <= k_ssh_config_directives) {
            weight_ += 1 + args;
            return true;
        }
        tell_once(told_directives_,
                  "The SSH configuration holds more than " +
                      std::to_string(k_ssh_config_directives) +
                      " Host patterns, HostName, User, Port and Include lines; the rest is "
                      "not read.");
        return false;
    }

    void read(const std::string& path, const std::string& base, int depth) {
        if (files_read_ >= k_ssh_config_files) {
            tell_once(told_files_, "The SSH configuration includes more than " +
                                       std::to_string(k_ssh_config_files) +
                                       " files; the rest are not read.");
            return;
        }
        ++files_read_;
        const FileLines& file = lines_of(path);
        if (file.error) {
            if (!file.error->not_found) {
                failures.push_back("Cannot read the SSH configuration " + path + ": " +
                                   file.error->text + ". Its hosts are not listed.");
            }
            return;
        }
        bool in_match = false;
        for (const Line& line : file.lines) {
            if (!take(line, base, depth, in_match)) return;
        }
    }

    // A file is read and split once per listing however often it is
    // included: a loop of includes would otherwise read it again at every
    // level, up to the file budget.
    struct FileLines {
        std::optional<core::IoError> error;
        std::vector<Line> lines;
    };

    const FileLines& lines_of(const std::string& path) {
        if (auto it = files_cache_.find(path); it != files_cache_.end()) return it->second;
        FileLines file;
        // A device or a pipe may never end, or wait forever for its first byte.
        if (names_a_device(path)) {
            file.error = core::IoError{0, std::string(k_not_a_regular_file), false};
        } else if (!told_bytes_) {
            split_into(file, path);
        }
        // The map's nodes stay put, so the reference and the directives'
        // spans outlive later reads.
        return files_cache_.emplace(path, std::move(file)).first->second;
    }

    void split_into(FileLines& file, const std::string& path) {
        auto text = files_.read_file(path, bytes_left_ + 1);
        if (!text) {
            file.error = std::move(text.error());
        } else if (text->size() > bytes_left_) {
            bytes_left_ = 0;
            tell_once(told_bytes_, "The SSH configuration is larger than " +
                                       std::to_string(k_ssh_config_bytes >> 20) + " MB; " + path +
                                       " and the files after it are not read.");
        } else {
            bytes_left_ -= text->size();
            std::string_view rest = *text;
            if (rest.starts_with(k_bom)) rest.remove_prefix(k_bom.size());
            while (!rest.empty()) {
                const std::size_t end = rest.find('\n');
                const std::string_view raw = rest.substr(0, end);
                rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
                auto line = split_line(raw);
                if (line && line->keyword != Keyword::Other) file.lines.push_back(std::move(*line));
            }
        }
    }

    // False once the directive budget is spent.
    bool take(const Line& line, const std::string& base, int depth, bool& in_match) {
        using Kind = Directive::Kind;
        Kind kind = Kind::Host;
        switch (line.keyword) {
            case Keyword::Other:
                return true;
            case Keyword::Host:
                in_match = false;
                break;
            case Keyword::Match:
                in_match = true;
                kind = Kind::Match;
                break;
            case Keyword::Include:
                // Nothing of a Match block applies here, its includes neither.
                if (!in_match) return include(line.args, base, depth);
                return true;
            case Keyword::HostName:
                kind = Kind::HostName;
                break;
            case Keyword::User:
                kind = Kind::User;
                break;
            case Keyword::Port:
                kind = Kind::Port;
                break;
        }
        std::span<const std::string> args = line.args;
        if (kind != Kind::Host && kind != Kind::Match) {
            if (args.empty()) return true;  // ssh refuses it; it sets nothing
            args = args.first(1);
        }
        if (kind == Kind::Host && std::ranges::any_of(args, [](const std::string& pattern) {
                return pattern.size() > k_ssh_host_pattern_bytes;
            })) {
            // Matched against every alias, a huge pattern stalls the listing;
            // dropping only it could drop a negation, so the line matches nothing.
            tell_once(told_pattern_, "The SSH configuration has a Host pattern longer than " +
                                         std::to_string(k_ssh_host_pattern_bytes) +
                                         " bytes; its Host line applies to no host.");
            args = {};
        }
        if (!room_for_directive(args.size())) return false;
        directives.push_back({kind, args});
        return true;
    }

    bool include(const std::vector<std::string>& args, const std::string& base, int depth) {
        for (const std::string& arg : args) {
            if (arg.empty()) continue;
            const std::string path = resolve(arg, base);
            if (depth + 1 > k_ssh_include_depth) {
                tell_once(told_depth_, "The SSH configuration's includes nest deeper than " +
                                           std::to_string(k_ssh_include_depth) +
                                           " levels (do they include each other?); " + path +
                                           " and the deeper ones are not read.");
                continue;
            }
            for (const std::string& file : expand(path)) {
                if (!room_for_directive()) return false;
                directives.push_back({Directive::Kind::IncludeStart, {}});
                read(file, base, depth + 1);
                // The end is kept even past the budget: it restores the
                // state of the including block.
                directives.push_back({Directive::Kind::IncludeEnd, {}});
                if (told_directives_) return false;
            }
        }
        return true;
    }

    // "~" is the user's profile; other relative paths lie below the folder
    // of the file that was read first (~\.ssh or %ProgramData%\ssh).
    std::string resolve(const std::string& arg, const std::string& base) const {
        std::string path;
        if (arg == "~" || arg.starts_with("~/") || arg.starts_with("~\\")) {
            path = home_ + arg.substr(1);
        } else if (arg.front() == '/' || arg.front() == '\\' ||
                   (arg.size() >= 2 && arg[1] == ':' &&
                    ((arg[0] >= 'a' && arg[0] <= 'z') || (arg[0] >= 'A' && arg[0] <= 'Z')))) {
            path = arg;
        } else {
            path = join_windows_path(base, arg);
        }
        std::ranges::replace(path, '/', '\\');
        return path;
    }

    // The files a path with wildcards names, in name order as glob gives
    // them; a path without any is itself, read or found missing later.
    std::vector<std::string> expand(const std::string& path) {
        std::vector<std::string> found;
        expand_into(path, found);
        return found;
    }

    void expand_into(const std::string& path, std::vector<std::string>& found) {
        const std::size_t wild = path.find_first_of("*?");
        // A device path is not listed (the pipes' folder lists every pipe):
        // reading it tells why it is refused.
        if (wild == std::string::npos || names_a_device(path)) {
            found.push_back(path);
            return;
        }
        const std::size_t slash = path.rfind('\\', wild);
        const std::size_t name_end = path.find('\\', wild);
        std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
        if (dir.empty() || dir.back() == ':') dir += '\\';
        const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
        const std::string pattern = path.substr(
            name_start, name_end == std::string::npos ? std::string::npos : name_end - name_start);
        const bool last = name_end == std::string::npos;

        if (folders_listed_ >= k_ssh_config_folders) {
            tell_once(told_folders_, "The SSH configuration's Include wildcards search more than " +
                                         std::to_string(k_ssh_config_folders) +
                                         " folders; the rest are not searched.");
            return;
        }
        ++folders_listed_;
        auto entries = files_.list_directory(dir);
        if (!entries) {
            if (!entries.error().not_found) {
                failures.push_back("Cannot read the SSH configuration folder " + dir + ": " +
                                   entries.error().text + ". Its hosts are not listed.");
            }
            return;
        }
        std::ranges::sort(*entries, {}, &SshConfigFiles::Entry::name);
        for (const SshConfigFiles::Entry& entry : *entries) {
            // As glob: a wildcard does not match a leading dot.
            if (entry.name.starts_with('.') && !pattern.starts_with('.')) continue;
            if (entry.directory == last || !wildcard_match(pattern, entry.name)) continue;
            if (found.size() >= k_ssh_config_files) return;
            std::string match = join_windows_path(dir, entry.name);
            if (last) {
                found.push_back(std::move(match));
            } else {
                expand_into(match + path.substr(name_end), found);
            }
        }
    }

    SshConfigFiles& files_;
    std::string home_;
    std::unordered_map<std::string, FileLines> files_cache_;
    std::size_t files_read_ = 0;
    std::size_t weight_ = 0;
    std::size_t bytes_left_ = k_ssh_config_bytes;
    std::size_t folders_listed_ = 0;
    bool told_bytes_ = false;
    bool told_pattern_ = false;
    bool told_folders_ = false;
    bool told_depth_ = false;
    bool told_files_ = false;
    bool told_directives_ = false;
};

// ------------------------------------------------------------ resolving

// A Host line applies when one of its patterns matches and none of its
// negated ones does.
bool host_line_matches(std::span<const std::string> patterns, std::string_view alias,
                       std::uint64_t& steps) {
    bool matched = false;
    for (const std::string& pattern : patterns) {
        if (pattern.empty()) continue;
        const bool negated = pattern.front() == '!';
        const std::string_view body = std::string_view(pattern).substr(negated ? 1 : 0);
        if (!wildcard_match(body, alias, steps)) continue;
        if (negated) return false;
        matched = true;
    }
    return matched;
}

std::string expand_host_name(std::string_view value, std::string_view alias) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 1 < value.size() &&
            (value[i + 1] == 'h' || value[i + 1] == '%')) {
            out += value[i + 1] == 'h' ? alias : "%";
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

// First value wins, over both files and every block that applies, as ssh
// walks them for this alias.
using DirectiveIt = std::deque<Directive>::const_iterator;

SshConfigHost resolve_host(DirectiveIt first, DirectiveIt last, const std::string& alias,
                           std::uint64_t& steps) {
    using Kind = Directive::Kind;
    struct Saved {
        bool active;
        bool never;
    };
    std::optional<std::string> host_name;
    std::optional<std::string> user;
    std::optional<std::string> port;
    bool active = true;
    // Inside a file included from a block that does not apply, no Host line
    // applies either.
    bool never = false;
    std::vector<Saved> saved;
    for (; first != last; ++first) {
        const Directive& d = *first;
        switch (d.kind) {
            case Kind::FileStart:
                active = true;
                never = false;
                saved.clear();
                break;
            case Kind::Host:
                active = !never && host_line_matches(d.args, alias, steps);
                break;
            case Kind::Match:
                active = false;
                break;
            case Kind::IncludeStart:
                saved.push_back({active, never});
                never = never || !active;
                break;
            case Kind::IncludeEnd:
                if (!saved.empty()) {
                    active = saved.back().active;
                    never = saved.back().never;
                    saved.pop_back();
                }
                break;
            case Kind::HostName:
                if (active && !host_name) host_name = d.args.front();
                break;
            case Kind::User:
                if (active && !user) user = d.args.front();
                break;
            case Kind::Port:
                if (active && !port) port = d.args.front();
                break;
        }
        if (host_name && user && port) break;
    }
    SshConfigHost host;
    host.alias = alias;
    host.host_name = host_name ? expand_host_name(*host_name, alias) : alias;
    host.user = std::move(user);
    if (port) host.port = std::move(*port);
    return host;
}

}  // namespace

bool ssh_pattern_matches(std::string_view pattern, std::string_view host) {
    return wildcard_match(pattern, host);
}

SshConfigListing read_ssh_config(SshConfigFiles& files, const SshConfigLocations& where) {
    Reader reader(files, where.home);
    if (!where.home.empty()) {
        const std::string dir = join_windows_path(where.home, ".ssh");
        reader.read_top(join_windows_path(dir, "config"), dir);
    }
    if (!where.program_data.empty()) {
        const std::string dir = join_windows_path(where.program_data, "ssh");
        reader.read_top(join_windows_path(dir, "ssh_config"), dir);
    }

    SshConfigListing listing;
    listing.failures = std::move(reader.failures);
    std::vector<std::string> aliases;
    std::unordered_set<std::string> seen;  // ASCII-folded: ssh matches them so
    bool full = false;
    for (const Directive& d : reader.directives) {
        if (full) break;
        if (d.kind != Directive::Kind::Host) continue;
        for (const std::string& token : d.args) {
            if (token.empty() || token.front() == '!' || has_wildcard(token)) continue;
            // An alias becomes ssh's own argument: the host rules keep it
            // from reading as an option or carrying anything but a name.
            if (!host_is_valid(token)) continue;
            std::string folded = token;
            for (char& c : folded) c = ascii_lower(c);
            if (seen.contains(folded)) continue;
            if (aliases.size() >= k_ssh_config_hosts) {
                full = true;
                break;
            }
            seen.insert(std::move(folded));
            aliases.push_back(token);
        }
    }
    if (full) {
        listing.failures.push_back("The SSH configuration names more than " +
                                   std::to_string(k_ssh_config_hosts) + " hosts; the first " +
                                   std::to_string(k_ssh_config_hosts) + " are listed.");
    }
    // Nothing after the last setting changes what any alias resolves to.
    const auto last_setting = std::find_if(
        reader.directives.crbegin(), reader.directives.crend(), [](const Directive& d) {
            return d.kind == Directive::Kind::HostName || d.kind == Directive::Kind::User ||
                   d.kind == Directive::Kind::Port;
        });
    const DirectiveIt walked_end = last_setting.base();
    listing.hosts.reserve(aliases.size());
    // Patterns and aliases within their caps can still cost pattern times
    // alias for every pair: minutes, for a file built to.
    std::uint64_t steps = k_ssh_match_steps;
    for (const std::string& alias : aliases) {
        SshConfigHost host = resolve_host(reader.directives.cbegin(), walked_end, alias, steps);
        if (steps == 0) {
            listing.failures.push_back(
                "The SSH configuration's Host patterns take too long to match; the first " +
                std::to_string(listing.hosts.size()) + " hosts are listed.");
            break;
        }
        listing.hosts.push_back(std::move(host));
    }
    return listing;
}

}  // namespace tolvar::proto
