// Bytes a phone (or anyone on the LAN) may send: a request head, then
// WebSocket frames, fed in pieces the input chooses. Any crash or sanitizer
// report is a fault, and so is a reader holding more than its limit, a head
// read whole but longer than what came, or bytes read after the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "tolvar/remote/http.hpp"
#include "tolvar/remote/websocket.hpp"

using namespace tolvar::remote;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t piece = data[0] % 16 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const HeadRead read = read_request_head(bytes);
    if (read.state == HeadRead::State::Done) {
        if (read.length > bytes.size() || read.length > Limits::k_request_head_bytes) std::abort();
        (void)answer(read.head, BridgeNames{{"127.0.0.1", "fe80::1"}, 57420});
    }
    const std::string_view frames =
        read.state == HeadRead::State::Done ? bytes.substr(read.length) : bytes;
    constexpr std::size_t k_max = 512;
    FrameReader reader(k_max);
    std::vector<FrameEvent> events;
    for (std::size_t i = 0; i < frames.size(); i += piece) {
        const bool was_ended = reader.ended();
        const std::size_t before = events.size();
        reader.feed(frames.substr(i, piece), events);
        if (was_ended && events.size() != before) std::abort();
        if (reader.held() > k_max + 14) std::abort();
        for (std::size_t e = before; e < events.size(); ++e) {
            if (events[e].payload.size() > k_max) std::abort();
        }
    }
    return 0;
}
