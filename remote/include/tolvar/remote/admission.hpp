// Who may speak to the bridge: the Origin and Host a request must carry, the
// slowing of failed attempts per address, and the rate a connection may send
// at. Pure rules over text and times the caller supplies; the listener
// applies them before anything else reads a byte. One thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tolvar/remote/pairing.hpp"

namespace tolvar::remote {

// The bridge's own names: every address it can be reached at (as text, IPv6
// without brackets) and its port. A browser sends Origin as
// "https://HOST:PORT" (no port for 443), Host as "HOST:PORT" (likewise),
// IPv6 hosts in brackets.
struct BridgeNames {
    std::vector<std::string> addresses;
    std::uint16_t port = 0;
};

// The Origin must be exactly the bridge's own: a page of any other origin
// that opens a WebSocket to it is refused (the upgrade is a GET, and the
// browser applies no same-origin rule to it). Compared as the browser writes
// it, ASCII case aside; "null" and anything with a path never pass.
bool origin_allowed(std::string_view origin, const BridgeNames& names);
// The Host must name one of the bridge's addresses and its port, so that a
// name that only resolves to it (DNS rebinding) is refused.
bool host_allowed(std::string_view host, const BridgeNames& names);

// Failed attempts (a wrong token, a wrong pairing secret) from one address:
// at most k_per_minute a minute, counted for the box. Addresses past
// k_addresses share one account, so that a sender of many addresses is
// slowed as one and the table stays bounded.
class AttemptLimiter {
  public:
    static constexpr std::size_t k_per_minute = 5;
    static constexpr std::size_t k_addresses = 256;

    // Whether an attempt from `address` may be judged now; when false it is
    // refused unread (and counted).
    bool may_try(const std::string& address, Clock::time_point now);
    void failed(const std::string& address, Clock::time_point now);
    // Every failed attempt and every refusal since the bridge started.
    std::uint64_t failures() const { return failures_; }
    std::uint64_t refused() const { return refused_; }

  private:
    std::deque<Clock::time_point>& account(const std::string& address, Clock::time_point now);

    std::unordered_map<std::string, std::deque<Clock::time_point>> recent_;
    std::deque<Clock::time_point> shared_;
    std::uint64_t failures_ = 0;
    std::uint64_t refused_ = 0;
};

// A connection's messages: a bucket of `burst`, refilled at `per_second`.
class MessageRate {
  public:
    MessageRate(double per_second, double burst) : rate_(per_second), burst_(burst), held_(burst) {}
    // Whether one more message may be taken now.
    bool take(Clock::time_point now);

  private:
    double rate_;
    double burst_;
    double held_;
    Clock::time_point last_{};
    bool started_ = false;
};

// The bridge's fixed limits, in one place so that the hostile tests and the
// listener read the same numbers.
struct Limits {
    // A WebSocket frame's payload; a larger header closes the connection
    // before its payload is read.
    static constexpr std::size_t k_frame_bytes = 64 * 1024;
    // An HTTP request's head (request line and headers).
    static constexpr std::size_t k_request_head_bytes = 8 * 1024;
    // Connections that have not yet shown a device token or a pairing secret.
    static constexpr std::size_t k_half_open = 32;
    // How long such a connection may take to finish TLS, the upgrade and its
    // first message.
    static constexpr std::chrono::seconds k_half_open_deadline{10};
    static constexpr std::size_t k_connections_per_device = 4;
    static constexpr double k_messages_per_second = 50;
    static constexpr double k_message_burst = 200;
    // What one connection may have queued to send before its changes are
    // dropped for a fresh snapshot.
    static constexpr std::size_t k_send_queue_bytes = 1024 * 1024;
    static constexpr int k_updates_per_second = 30;
};

}  // namespace tolvar::remote
