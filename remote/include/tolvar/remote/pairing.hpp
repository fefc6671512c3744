// Pairing a phone: the one offer the box shows as a QR code, the code both
// screens show while the desktop asks, and the name a phone gives itself.
// Pure rules over times and random bytes the caller supplies; not the
// listener, not the tokens' store. One thread (the window's).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tolvar/remote/base64.hpp"

namespace tolvar::remote {

using Clock = std::chrono::steady_clock;

// 128 random bits, shown in the address's fragment (which no server logs).
using PairingSecret = std::array<std::uint8_t, 16>;

// Base64url: 22 characters.
inline std::string secret_text(const PairingSecret& secret) {
    return base64url(secret.data(), secret.size());
}

// The offer in the box: good once, for two minutes, while the box is open.
class PairingOffer {
  public:
    static constexpr std::chrono::seconds k_lifetime{120};

    enum class Verdict {
        Accepted,  // the secret is now spent
        Wrong,     // not the offer's secret (a failed attempt)
        Expired,   // the right secret, too late
        Spent,     // the right secret, already claimed (a second phone, a replay)
        None,      // no offer open
    };

    // Replaces any earlier offer, which is void from now.
    void open(const PairingSecret& secret, Clock::time_point now);
    // The box closed: the offer is void.
    void close();
    // A phone presents `text`; compared in constant time.
    Verdict claim(std::string_view text, Clock::time_point now);
    // Whether the box should still show the offer.
    bool showing(Clock::time_point now) const;

  private:
    std::optional<PairingSecret> secret_;
    Clock::time_point opened_;
    bool spent_ = false;
};

// The four digits both screens show while the desktop asks, from 32 random
// bits; nothing when they fall in the few values that would bias them (ask
// again with new bits).
std::optional<std::string> approval_code(std::uint32_t random);

// The name a phone gives itself, as the desktop shows and keeps it: controls
// and bidirectional overrides (which could make the question read otherwise)
// removed, spaces collapsed, at most 40 characters; "a phone" when nothing is
// left. Invalid UTF-8 is dropped.
std::string device_name(std::string_view asked);

// True when a and b are equal, in time that depends only on their lengths.
bool same_bytes(std::string_view a, std::string_view b);

}  // namespace tolvar::remote
