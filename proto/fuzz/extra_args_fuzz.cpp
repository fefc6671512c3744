// Arbitrary extra-argument lists (entries separated by NUL bytes). The list
// must fail exactly when one entry fails alone, with the first such entry's
// error. Read as ssh options an entry's meaning depends on the ones before
// it, so there the list fails exactly when a prefix fails, with the shortest
// such prefix's error, and whatever the plain rule refuses stays refused.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/proto/rules.hpp"

using namespace tolvar::proto;

namespace {

void check_entries_alone(const std::vector<std::string>& args) {
    const auto whole = check_extra_args(args);
    for (const std::string& arg : args) {
        const auto alone = check_extra_args(std::vector<std::string>{arg});
        if (alone) continue;
        if (whole || whole.error().message() != alone.error().message()) std::abort();
        return;
    }
    if (!whole) std::abort();
}

void check_ssh_prefixes(const std::vector<std::string>& args) {
    const auto whole = check_ssh_extra_args(args);
    if (!check_extra_args(args) && whole) std::abort();
    const std::span<const std::string> all(args);
    for (std::size_t n = 1; n <= all.size(); ++n) {
        const auto prefix = check_ssh_extra_args(all.first(n));
        if (prefix) continue;
        if (whole || whole.error().message() != prefix.error().message()) std::abort();
        return;
    }
    if (!whole) std::abort();
}

// The prefix check is quadratic in the entries; lists longer than any a
// user types only slow it down.
constexpr std::size_t k_max_entries = 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string_view::npos;
         start = end + 1) {
        if (args.size() + 1 == k_max_entries) return 0;
        args.emplace_back(bytes.substr(start, end - start));
    }
    args.emplace_back(bytes.substr(start));

    check_entries_alone(args);
    check_ssh_prefixes(args);
    return 0;
}
