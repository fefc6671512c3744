// Base64 in the two forms the bridge uses: standard with padding (the
// WebSocket accept value) and URL-safe without padding (secrets and tokens,
// which travel in a URL's fragment and in JSON). Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar::remote {

std::string base64(std::string_view bytes);
std::string base64url(const std::uint8_t* bytes, std::size_t size);

}  // namespace tolvar::remote
