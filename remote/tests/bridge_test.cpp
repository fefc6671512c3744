#include "tolvar/remote/bridge.hpp"

#include <gtest/gtest.h>

namespace tolvar::remote {
namespace {

using namespace std::chrono_literals;

// Records what the bridge asks of the program.
struct FakeHost : BridgeHost {
    std::vector<std::pair<ConnectionId, std::string>> sent;
    std::vector<std::pair<ConnectionId, CloseCode>> closed;
    std::vector<std::pair<ConnectionId, std::string>> asked;
    std::vector<ConnectionId> unasked;
    std::vector<std::pair<std::uint64_t, std::string>> typed;
    std::optional<DevicesFile> saved;
    int hashes = 0;
    std::uint8_t next_token = 1;
    std::vector<std::uint32_t> words = {4'294'967'295u, 42};  // the first is refused as biased

    void send(ConnectionId id, std::string message) override { sent.emplace_back(id, message); }
    void close(ConnectionId id, CloseCode code) override { closed.emplace_back(id, code); }
    void ask(ConnectionId id, const std::string& name, const std::string& code) override {
        asked.emplace_back(id, name + "/" + code);
    }
    void unask(ConnectionId id) override { unasked.push_back(id); }
    void devices_changed(const DevicesFile& devices) override { saved = devices; }
    std::vector<TabEntry> tabs() override {
        return {{7, "cmd", "Work", "#ff0000", false, true}, {9, "ssh", "", "", true, false}};
    }
    bool watch(ConnectionId, std::uint64_t tab) override { return tab == 7 || tab == 9; }
    void unwatch(ConnectionId) override {}
    std::optional<std::string> type(std::uint64_t tab, std::string_view text) override {
        if (tab == 9) return "The session has ended.";
        typed.emplace_back(tab, std::string(text));
        return std::nullopt;
    }
    TokenHash hash(const std::string& text) override {
        ++hashes;
        TokenHash h{};
        for (std::size_t i = 0; i < text.size(); ++i)
            h[i % 32] ^= static_cast<std::uint8_t>(text[i] + i);
        return h;
    }
    DeviceToken new_token() override {
        DeviceToken t;
        t.fill(next_token++);
        return t;
    }
    std::uint32_t random_word() override {
        const std::uint32_t w = words.front();
        if (words.size() > 1) words.erase(words.begin());
        return w;
    }
    std::string new_device_id() override { return "d-" + std::to_string(next_token); }
    std::string fingerprint() override { return "AB:CD"; }
    std::int64_t wall_now() override { return 1'796'000'000; }

    std::string last(ConnectionId id) const {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it)
            if (it->first == id) return it->second;
        return {};
    }
    bool was_closed(ConnectionId id) const {
        return std::any_of(closed.begin(), closed.end(), [id](auto& c) { return c.first == id; });
    }
};

constexpr PairingSecret k_secret{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
const Clock::time_point t0{};

std::string pair_message(const PairingSecret& secret, std::string_view name = "Pixel") {
    return R"({"type":"pair","secret":")" + secret_text(secret) + R"(","name":")" +
           std::string(name) + R"("})";
}

// Pairs a phone through the box and returns its token.
std::string pair(Bridge& bridge, FakeHost& host, ConnectionId& id) {
    bridge.offer().open(k_secret, t0);
    id = *bridge.connected("192.168.1.50", t0);
    bridge.received(id, pair_message(k_secret), t0 + 1s);
    EXPECT_EQ(host.last(id), R"({"type":"code","code":"0042"})");
    EXPECT_EQ(host.asked.back(), std::make_pair(id, std::string("Pixel/0042")));
    const std::size_t before = host.sent.size();
    bridge.answer(id, true);
    EXPECT_GE(host.sent.size(), before + 3);
    const std::string paired = host.sent[before].second;
    EXPECT_TRUE(paired.starts_with(R"({"type":"paired","token":")")) << paired;
    return paired.substr(26, 43);
}

TEST(Bridge, APairedPhoneComesBackWithItsTokenAlone) {
    FakeHost host;
    Bridge bridge(host, {}, true);
    ConnectionId first = 0;
    const std::string token = pair(bridge, host, first);
    EXPECT_EQ(token, token_text(DeviceToken{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                            1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(host.saved);
    ASSERT_EQ(host.saved->devices.size(), 1u);
    EXPECT_EQ(host.saved->devices[0].name, "Pixel");
    EXPECT_FALSE(host.saved->devices[0].may_control);
    // Only the hash is kept.
    EXPECT_EQ(host.saved->devices[0].token_sha256, host.hash(token));
    EXPECT_TRUE(host.last(first).starts_with(R"({"type":"tabs","tabs":[{"id":7,"title":"cmd")"));

    const ConnectionId again = *bridge.connected("192.168.1.50", t0 + 1h);
    bridge.received(again, R"({"type":"hello","token":")" + token + R"("})", t0 + 1h);
    EXPECT_FALSE(host.was_closed(again));
    EXPECT_NE(host.sent[host.sent.size() - 2].second.find(
                  R"("type":"welcome","name":"Pixel","control":false,"fingerprint":"AB:CD")"),
              std::string::npos);
}

TEST(Bridge, PairingSecretsAreRefusedWrongReplayedOrLate) {
    FakeHost host;
    Bridge bridge(host, {}, false);
    bridge.offer().open(k_secret, t0);
    PairingSecret wrong = k_secret;
    wrong[15] ^= 1;
    const auto try_pair = [&](const std::string& message, Clock::time_point at) {
        const ConnectionId id = *bridge.connected("10.0.0." + std::to_string(host.sent.size()), at);
        bridge.received(id, message, at);
        return std::make_pair(id, host.last(id));
    };
    auto [a, wrong_reply] = try_pair(pair_message(wrong), t0 + 1s);
    EXPECT_NE(wrong_reply.find("not the one the desktop shows"), std::string::npos);
    EXPECT_TRUE(host.was_closed(a));
    // The right one still works after a wrong guess; a second phone with it
    // (or a replay) is refused while the first is asked about.
    auto [b, code] = try_pair(pair_message(k_secret), t0 + 2s);
    EXPECT_NE(code.find("\"code\""), std::string::npos);
    auto [c, replay] = try_pair(pair_message(k_secret, "Other"), t0 + 3s);
    EXPECT_NE(replay.find("used already"), std::string::npos);
    EXPECT_EQ(host.asked.size(), 1u);
    // Nothing is read from a phone while the desktop asks.
    bridge.received(b, R"({"type":"tabs"})", t0 + 4s);
    EXPECT_TRUE(host.was_closed(b));
    EXPECT_EQ(host.unasked, std::vector<ConnectionId>{b});
    bridge.answer(b, true);
    EXPECT_TRUE(bridge.devices().devices.empty());

    bridge.offer().open(k_secret, t0 + 10s);
    auto [d, late] = try_pair(pair_message(k_secret), t0 + 10s + 120s);
    EXPECT_NE(late.find("expired"), std::string::npos);

    bridge.offer().open(k_secret, t0 + 200s);
    auto [e, asked] = try_pair(pair_message(k_secret), t0 + 201s);
    bridge.answer(e, false);
    EXPECT_NE(host.last(e).find("did not allow"), std::string::npos);
    EXPECT_TRUE(host.was_closed(e));
    EXPECT_TRUE(bridge.devices().devices.empty());
}

TEST(Bridge, WrongTokensAreSlowedAndCounted) {
    FakeHost host;
    Bridge bridge(host, {}, true);
    ConnectionId id = 0;
    pair(bridge, host, id);
    host.hashes = 0;
    int refused_unread = 0;
    for (int i = 0; i < 1000; ++i) {
        const ConnectionId c = *bridge.connected("10.9.9.9", t0 + 1s);
        bridge.received(c, R"({"type":"hello","token":")" + std::string(43, 'A' + i % 26) + R"("})",
                        t0 + 2s);
        refused_unread += host.last(c).find("Too many failed attempts") != std::string::npos;
        EXPECT_TRUE(host.was_closed(c));
    }
    EXPECT_EQ(host.hashes, 5);
    EXPECT_EQ(refused_unread, 995);
    EXPECT_EQ(bridge.attempts().failures(), 5u);
    for (const char* hostile : {R"({"type":"hello"})", R"({"type":"hello","token":7})",
                                R"({"type":"tabs"})", "not json", R"([1])"}) {
        const ConnectionId c = *bridge.connected("10.1.1.1", t0 + 3min);
        bridge.received(c, hostile, t0 + 3min);
        EXPECT_TRUE(host.was_closed(c)) << hostile;
    }
}

TEST(Bridge, HalfOpenConnectionsAreBoundedAndTimed) {
    FakeHost host;
    Bridge bridge(host, {}, true);
    std::vector<ConnectionId> ids;
    for (std::size_t i = 0; i < Limits::k_half_open; ++i) ids.push_back(*bridge.connected("a", t0));
    EXPECT_EQ(bridge.connected("a", t0), std::nullopt);
    bridge.tick(t0 + 9s);
    EXPECT_TRUE(host.closed.empty());
    bridge.tick(t0 + 10s);
    EXPECT_EQ(host.closed.size(), Limits::k_half_open);
    EXPECT_TRUE(bridge.connected("a", t0 + 10s));
}

TEST(Bridge, ControlOnlyWhenTheSettingAndTheDeviceAllowIt) {
    for (const bool setting : {false, true}) {
        FakeHost host;
        Bridge bridge(host, {}, setting);
        ConnectionId id = 0;
        pair(bridge, host, id);
        bridge.received(id, R"({"type":"open","tab":7})", t0 + 2s);
        bridge.received(id, R"({"type":"type","tab":7,"text":"dir\r"})", t0 + 2s);
        EXPECT_NE(host.last(id).find("may only watch"), std::string::npos);
        const std::string device = bridge.devices().devices[0].id;
        bridge.allow_control(device, true);
        EXPECT_EQ(host.last(id), setting ? R"({"type":"control","control":true})"
                                         : R"({"type":"control","control":false})");
        bridge.received(id, R"({"type":"type","tab":7,"text":"dir\r"})", t0 + 3s);
        EXPECT_EQ(host.typed.size(), setting ? 1u : 0u);
        if (!setting) continue;
        EXPECT_EQ(host.typed[0], std::make_pair(std::uint64_t{7}, std::string("dir\r")));
        EXPECT_EQ(bridge.watched(), (std::vector<std::pair<std::uint64_t, bool>>{{7, true}}));
        // Only into the tab it watches, and an ended tab says why.
        bridge.received(id, R"({"type":"type","tab":9,"text":"x"})", t0 + 3s);
        EXPECT_NE(host.last(id).find("Open the tab"), std::string::npos);
        bridge.received(id, R"({"type":"open","tab":9})", t0 + 3s);
        bridge.received(id, R"({"type":"type","tab":9,"text":"x"})", t0 + 3s);
        EXPECT_NE(host.last(id).find("The session has ended."), std::string::npos);
        bridge.received(id, R"({"type":"open","tab":3})", t0 + 3s);
        EXPECT_NE(host.last(id).find("not open any more"), std::string::npos);
        EXPECT_TRUE(bridge.watched().empty());
    }
}

TEST(Bridge, ForgettingOrStoppingEndsConnectionsAtOnce) {
    FakeHost host;
    Bridge bridge(host, {}, true);
    ConnectionId id = 0;
    const std::string token = pair(bridge, host, id);
    const ConnectionId unproven = *bridge.connected("b", t0);
    bridge.forget(bridge.devices().devices[0].id);
    EXPECT_TRUE(host.was_closed(id));
    EXPECT_FALSE(host.was_closed(unproven));
    EXPECT_TRUE(host.saved->devices.empty());
    // Its token no longer opens anything.
    const ConnectionId back = *bridge.connected("192.168.1.50", t0 + 5s);
    bridge.received(back, R"({"type":"hello","token":")" + token + R"("})", t0 + 5s);
    EXPECT_TRUE(host.was_closed(back));

    bridge.stop();
    EXPECT_TRUE(host.was_closed(unproven));
    EXPECT_EQ(host.closed.back().second, CloseCode::GoingAway);
    EXPECT_FALSE(bridge.offer().showing(t0));
}

TEST(Bridge, AFloodOfMessagesEndsTheConnection) {
    FakeHost host;
    Bridge bridge(host, {}, true);
    ConnectionId id = 0;
    pair(bridge, host, id);
    for (int i = 0; i < 1000 && !host.was_closed(id); ++i) {
        bridge.received(id, R"({"type":"tabs"})", t0 + 5s);
    }
    ASSERT_TRUE(host.was_closed(id));
    EXPECT_EQ(host.closed.back().second, CloseCode::Policy);
}

}  // namespace
}  // namespace tolvar::remote
