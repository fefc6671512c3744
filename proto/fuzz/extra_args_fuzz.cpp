// Arbitrary extra-argument lists (entries separated by NUL bytes). The list
// must fail exactly when one entry fails alone, with the first such entry's
// error.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/proto/rules.hpp"

using namespace tolvar::proto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string_view::npos;
         start = end + 1) {
        args.emplace_back(bytes.substr(start, end - start));
    }
    args.emplace_back(bytes.substr(start));

    const auto whole = check_extra_args(args);
    for (const std::string& arg : args) {
        const auto alone = check_extra_args(std::vector<std::string>{arg});
        if (alone) continue;
        if (whole || whole.error().message() != alone.error().message()) std::abort();
        return 0;
    }
    if (!whole) std::abort();
    return 0;
}
