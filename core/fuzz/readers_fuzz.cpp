// Feeds arbitrary bytes to every file reader. The first byte picks the reader
// so one corpus explores all five; successful reads must write back text that
// reads as the same record.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tolvar/core/formats.hpp"
#include "tolvar/core/history.hpp"

using namespace tolvar::core;

namespace {

template <class Parse>
void round_trip(std::string_view text, Parse parse) {
    auto first = parse(text);
    if (!first) return;
    auto second = parse(to_pretty_json(*first));
    if (!second || !(*second == *first)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 5) {
        case 0: round_trip(text, parse_settings); break;
        case 1: round_trip(text, parse_profiles_file); break;
        case 2: round_trip(text, parse_aliases_file); break;
        case 3: round_trip(text, parse_sessions_file); break;
        case 4:
            if (auto entry = parse_history_entry(text)) {
                auto again = parse_history_entry(to_compact_json(*entry));
                if (!again || !(*again == *entry)) std::abort();
            }
            break;
    }
    return 0;
}
