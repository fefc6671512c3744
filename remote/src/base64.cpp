#include "tolvar/remote/base64.hpp"

namespace tolvar::remote {

namespace {

std::string encode(const std::uint8_t* bytes, std::size_t size, const char* digits, bool pad) {
    std::string out;
    std::uint32_t bits = 0;
    int held = 0;
    for (std::size_t i = 0; i < size; ++i) {
        bits = bits << 8 | bytes[i];
        held += 8;
        while (held >= 6) {
            held -= 6;
            out += digits[(bits >> held) & 63];
        }
    }
    if (held > 0) out += digits[(bits << (6 - held)) & 63];
    while (pad && out.size() % 4 != 0) out += '=';
    return out;
}

}  // namespace

std::string base64(std::string_view bytes) {
    return encode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", true);
}

std::string base64url(const std::uint8_t* bytes, std::size_t size) {
    return encode(bytes, size, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_",
                  false);
}

}  // namespace tolvar::remote
