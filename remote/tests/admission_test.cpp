#include "tolvar/remote/admission.hpp"

#include <gtest/gtest.h>

namespace tolvar::remote {
namespace {

using namespace std::chrono_literals;

const BridgeNames k_names{{"192.168.1.20", "127.0.0.1", "fe80::1"}, 57420};

TEST(Origin, OnlyTheBridgesOwn) {
    EXPECT_TRUE(origin_allowed("https://192.168.1.20:57420", k_names));
    EXPECT_TRUE(origin_allowed("https://127.0.0.1:57420", k_names));
    EXPECT_TRUE(origin_allowed("HTTPS://[FE80::1]:57420", k_names));
    for (const char* refused : {
             "https://evil.example", "https://evil.example:57420",
             "http://192.168.1.20:57420",  // never plain HTTP
             "https://192.168.1.20",       // another port
             "https://192.168.1.20:57421", "https://192.168.1.20:57420/",
             "https://192.168.1.20:57420.evil.example", "https://192.168.1.2:57420",
             "https://user@192.168.1.20:57420", "null", "", "https://",
             "https://fe80::1:57420",  // IPv6 without brackets
         }) {
        EXPECT_FALSE(origin_allowed(refused, k_names)) << refused;
    }
    // Port 443 is left out of both headers by browsers.
    const BridgeNames standard{{"10.0.0.5"}, 443};
    EXPECT_TRUE(origin_allowed("https://10.0.0.5", standard));
    EXPECT_TRUE(origin_allowed("https://10.0.0.5:443", standard));
    EXPECT_TRUE(host_allowed("10.0.0.5", standard));
}

TEST(Host, OneOfTheBridgesAddresses) {
    EXPECT_TRUE(host_allowed("192.168.1.20:57420", k_names));
    EXPECT_TRUE(host_allowed("[fe80::1]:57420", k_names));
    // A name that resolves to the bridge (DNS rebinding) is not its own.
    for (const char* refused : {"attacker.example:57420", "localhost:57420", "192.168.1.20",
                                "192.168.1.20:80", "192.168.1.20:57420 ", ""}) {
        EXPECT_FALSE(host_allowed(refused, k_names)) << refused;
    }
}

TEST(AttemptLimiter, FiveFailuresAMinuteFromOneAddress) {
    AttemptLimiter limiter;
    const Clock::time_point t0{};
    int judged = 0;
    // A thousand wrong tokens from one address within a minute.
    for (int i = 0; i < 1000; ++i) {
        const auto now = t0 + std::chrono::milliseconds(i * 50);
        if (!limiter.may_try("10.0.0.9", now)) continue;
        ++judged;
        limiter.failed("10.0.0.9", now);
    }
    EXPECT_EQ(judged, 5);
    EXPECT_EQ(limiter.failures(), 5u);
    EXPECT_EQ(limiter.refused(), 995u);
    // Another address is not slowed by it.
    EXPECT_TRUE(limiter.may_try("10.0.0.10", t0 + 10s));
    // A minute after the first failure one more may be judged.
    EXPECT_FALSE(limiter.may_try("10.0.0.9", t0 + 59s));
    EXPECT_TRUE(limiter.may_try("10.0.0.9", t0 + 60s));
}

TEST(AttemptLimiter, ManyAddressesShareOneBoundedAccount) {
    AttemptLimiter limiter;
    const Clock::time_point t0{};
    int judged = 0;
    for (int i = 0; i < 5000; ++i) {
        const std::string address = "10." + std::to_string(i / 65536) + "." +
                                    std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
        if (!limiter.may_try(address, t0 + 1s)) continue;
        ++judged;
        limiter.failed(address, t0 + 1s);
    }
    // The table's addresses, then five for all the others together.
    EXPECT_EQ(judged, static_cast<int>(AttemptLimiter::k_addresses + AttemptLimiter::k_per_minute));
    // Once the table's attempts have aged out a new address gets a place.
    EXPECT_TRUE(limiter.may_try("172.16.0.1", t0 + 62s));
    limiter.failed("172.16.0.1", t0 + 62s);
    EXPECT_TRUE(limiter.may_try("172.16.0.1", t0 + 62s));
}

TEST(MessageRate, BurstThenTheSteadyRate) {
    MessageRate rate(50, 200);
    const Clock::time_point t0{};
    int taken = 0;
    for (int i = 0; i < 1000; ++i) taken += rate.take(t0);
    EXPECT_EQ(taken, 200);
    // A second later fifty more.
    taken = 0;
    for (int i = 0; i < 1000; ++i) taken += rate.take(t0 + 1s);
    EXPECT_EQ(taken, 50);
    // A clock that steps back gives nothing back.
    EXPECT_FALSE(rate.take(t0));
}

}  // namespace
}  // namespace tolvar::remote
