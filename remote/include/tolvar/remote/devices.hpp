// The paired phones, as `remote.json` keeps them: a name, the SHA-256 of the
// token the phone holds (never the token), when it was paired and last seen,
// and whether it may control. The JSON form reads and writes with one field
// list; the registry answers who a token belongs to. One thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/core/expected.hpp"

namespace tolvar::remote {

using TokenHash = std::array<std::uint8_t, 32>;

struct Device {
    std::string id;
    std::string name;
    TokenHash token_sha256{};
    std::int64_t paired_at = 0;  // seconds since 1970, UTC
    std::int64_t last_seen = 0;
    bool may_control = false;
    bool operator==(const Device&) const = default;
};

struct DevicesFile {
    std::uint32_t schema_version = 1;
    std::vector<Device> devices;
    bool operator==(const DevicesFile&) const = default;
};

inline constexpr char k_devices_file_name[] = "remote.json";

// A failure is the reader's message, e.g. "devices[0]: missing field `name`".
Expected<DevicesFile, std::string> parse_devices_file(std::string_view text);
std::string to_pretty_json(const DevicesFile& file);

class DeviceRegistry {
  public:
    explicit DeviceRegistry(DevicesFile file = {}) : file_(std::move(file)) {}

    const DevicesFile& file() const { return file_; }
    // The device a token's hash belongs to, compared with every device's in
    // constant time, so that the reply's timing tells nothing.
    std::optional<std::string> find(const TokenHash& hash) const;
    const Device* device(std::string_view id) const;

    void add(Device device);
    // False when no such device.
    bool forget(std::string_view id);
    bool allow_control(std::string_view id, bool allowed);
    bool seen(std::string_view id, std::int64_t now);

  private:
    Device* find_id(std::string_view id);

    DevicesFile file_;
};

}  // namespace tolvar::remote
