// The bridge's rules over its connections once they have upgraded: who a
// connection is (its first message shows a device token, or asks to pair
// with the box's secret and a name), what it may then ask, and when it
// ends. Bytes reach it as whole text messages; what it answers leaves
// through the host. Not the listener, TLS or frames. One thread (the
// window's): the listener posts every message there.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/remote/admission.hpp"
#include "tolvar/remote/devices.hpp"
#include "tolvar/remote/pairing.hpp"
#include "tolvar/remote/websocket.hpp"

namespace tolvar::remote {

using ConnectionId = std::uint64_t;
// 256 random bits, which only the phone keeps; the bridge keeps its hash.
using DeviceToken = std::array<std::uint8_t, 32>;

// Base64url without padding: 43 characters.
std::string token_text(const DeviceToken& token);

// A tab as the page lists it.
struct TabEntry {
    std::uint64_t id = 0;
    std::string title;
    std::string group;  // empty: in no group
    std::string color;  // the group's colour as "#rrggbb", empty for none
    bool ended = false;
    bool broadcast = false;
};

// What the bridge needs from the program. Calls come from the bridge's own
// calls, never later; none may call back into it.
class BridgeHost {
  public:
    virtual ~BridgeHost() = default;
    // A text message to the connection; the listener frames and sends it.
    virtual void send(ConnectionId id, std::string message) = 0;
    // Ends the connection with `code` once what was sent before has gone.
    virtual void close(ConnectionId id, CloseCode code) = 0;
    // Asks the user whether `name` may watch, showing `code`; the answer
    // comes through Bridge::answer.
    virtual void ask(ConnectionId id, const std::string& name, const std::string& code) = 0;
    // The question for `id` is void (it closed, or another answer came).
    virtual void unask(ConnectionId id) = 0;
    virtual void devices_changed(const DevicesFile& devices) = 0;
    virtual std::vector<TabEntry> tabs() = 0;
    // Starts sending the tab's screen and then its changes; false when no
    // such tab.
    virtual bool watch(ConnectionId id, std::uint64_t tab) = 0;
    virtual void unwatch(ConnectionId id) = 0;
    // Text for the tab, as if typed on the desktop; false when refused (an
    // ended tab), with the reason.
    virtual std::optional<std::string> type(std::uint64_t tab, std::string_view text) = 0;
    virtual TokenHash hash(const std::string& token_text) = 0;
    virtual DeviceToken new_token() = 0;
    virtual std::uint32_t random_word() = 0;
    virtual std::string new_device_id() = 0;
    // The certificate's SHA-256 fingerprint as the box shows it.
    virtual std::string fingerprint() = 0;
    // Seconds since 1970, for the devices file.
    virtual std::int64_t wall_now() = 0;
};

class Bridge {
  public:
    Bridge(BridgeHost& host, DevicesFile devices, bool allow_control);

    PairingOffer& offer() { return offer_; }
    const AttemptLimiter& attempts() const { return attempts_; }
    const DevicesFile& devices() const { return registry_.file(); }

    // A connection has upgraded; nothing when too many are still unproven,
    // and the listener then closes it.
    std::optional<ConnectionId> connected(std::string address, Clock::time_point now);
    void received(ConnectionId id, std::string_view message, Clock::time_point now);
    // The connection ended, whichever side ended it.
    void disconnected(ConnectionId id);
    // Ends connections that stayed unproven too long.
    void tick(Clock::time_point now);
    // The user's answer to ask().
    void answer(ConnectionId id, bool allowed);

    void forget(std::string_view device_id);
    void allow_control(std::string_view device_id, bool allowed);
    // Closes every connection at once.
    void stop();

    // Which tab a connection watches, and whether it may control it, for the
    // tab bar's marks.
    std::vector<std::pair<std::uint64_t, bool>> watched() const;

  private:
    enum class Stage { Unproven, Asking, Watching };
    struct Connection {
        std::string address;
        Stage stage = Stage::Unproven;
        Clock::time_point since;
        std::string device;  // Watching
        std::string name;    // Asking
        std::optional<std::uint64_t> tab;
        MessageRate rate{Limits::k_messages_per_second, Limits::k_message_burst};
    };

    void first(ConnectionId id, Connection& c, std::string_view message, Clock::time_point now);
    void then(ConnectionId id, Connection& c, std::string_view message);
    void refuse(ConnectionId id, std::string_view reason, CloseCode code = CloseCode::Policy);
    void welcome(ConnectionId id, Connection& c);
    bool may_control(const Connection& c) const;
    void end(ConnectionId id, CloseCode code);

    BridgeHost& host_;
    DeviceRegistry registry_;
    bool allow_control_;
    PairingOffer offer_;
    AttemptLimiter attempts_;
    std::map<ConnectionId, Connection> connections_;
    ConnectionId next_ = 1;
};

}  // namespace tolvar::remote
