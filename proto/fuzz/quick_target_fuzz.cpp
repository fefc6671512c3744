// Arbitrary quick-connect lines. An accepted target must obey every field
// rule and read back as itself when written out again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tolvar/proto/rules.hpp"

using namespace tolvar::proto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto target = parse_quick_target(line);
    if (!target) {
        if (target.error().kind() != LaunchError::Kind::InvalidProfile) std::abort();
        return 0;
    }
    if (!validate_host(target->host) || target->port == 0) std::abort();
    if (target->user && !validate_name_field("user", *target->user)) std::abort();

    std::string again = target->user ? *target->user + "@" : "";
    const bool v6 = target->host.find(':') != std::string::npos;
    again += v6 ? "[" + target->host + "]" : target->host;
    again += ":" + std::to_string(target->port);
    const auto reread = parse_quick_target(again);
    if (!reread || !(*reread == *target)) std::abort();
    return 0;
}
