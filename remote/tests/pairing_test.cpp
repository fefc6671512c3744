#include "tolvar/remote/pairing.hpp"

#include <gtest/gtest.h>

namespace tolvar::remote {
namespace {

using namespace std::chrono_literals;
using Verdict = PairingOffer::Verdict;

constexpr PairingSecret k_secret{0xfb, 0xff, 0x00, 0x10, 0x83, 0x10, 0x51, 0x87,
                                 0x20, 0x92, 0x8b, 0x30, 0xd3, 0x8f, 0x41, 0x14};

TEST(PairingSecretText, IsBase64UrlWithoutPadding) {
    EXPECT_EQ(secret_text(k_secret), "-_8AEIMQUYcgkosw049BFA");
    EXPECT_EQ(secret_text(PairingSecret{}), std::string(22, 'A'));
}

TEST(PairingOffer, GoodOnceForTwoMinutesWhileTheBoxIsOpen) {
    const Clock::time_point t0{};
    const std::string right = secret_text(k_secret);
    PairingOffer offer;
    EXPECT_EQ(offer.claim(right, t0), Verdict::None);

    offer.open(k_secret, t0);
    EXPECT_TRUE(offer.showing(t0 + 119s));
    EXPECT_EQ(offer.claim(secret_text(PairingSecret{}), t0 + 1s), Verdict::Wrong);
    // A wrong guess spends nothing; a prefix or a longer text is wrong too.
    EXPECT_EQ(offer.claim(right.substr(0, 21), t0 + 1s), Verdict::Wrong);
    EXPECT_EQ(offer.claim(right + "A", t0 + 1s), Verdict::Wrong);
    EXPECT_EQ(offer.claim(right, t0 + 119s), Verdict::Accepted);
    // A second phone with the same code, or the first replaying it.
    EXPECT_EQ(offer.claim(right, t0 + 119s), Verdict::Spent);
    EXPECT_FALSE(offer.showing(t0 + 119s));

    offer.open(k_secret, t0);
    EXPECT_EQ(offer.claim(right, t0 + 120s), Verdict::Expired);
    EXPECT_FALSE(offer.showing(t0 + 120s));

    offer.open(k_secret, t0);
    offer.close();
    EXPECT_EQ(offer.claim(right, t0 + 1s), Verdict::None);

    // A new offer voids the one before it.
    PairingSecret other = k_secret;
    other[0] ^= 1;
    offer.open(k_secret, t0);
    offer.open(other, t0 + 5s);
    EXPECT_EQ(offer.claim(right, t0 + 6s), Verdict::Wrong);
    EXPECT_EQ(offer.claim(secret_text(other), t0 + 6s), Verdict::Accepted);
}

TEST(ApprovalCode, FourDigitsWithoutBias) {
    EXPECT_EQ(approval_code(7), "0007");
    EXPECT_EQ(approval_code(123'456'789), "6789");
    EXPECT_EQ(approval_code(4'294'959'999u), "9999");
    EXPECT_EQ(approval_code(4'294'960'000u), std::nullopt);
    EXPECT_EQ(approval_code(UINT32_MAX), std::nullopt);
}

TEST(DeviceName, CannotDisguiseTheQuestion) {
    struct Case {
        std::string asked, shown;
    } cases[] = {
        {"Anna's phone", "Anna's phone"},
        {"  Anna \t\r\n phone  ", "Anna phone"},
        // A right-to-left override would show "enohp s'annA" reversed text
        // and could turn what follows the name around.
        {"evil\xe2\x80\xae"
         "enohp",
         "evilenohp"},
        {"a\xe2\x81\xa6"
         "b\xe2\x81\xa9"
         "c\xe2\x80\x8b"
         "d\xef\xbb\xbf",
         "abcd"},
        {"\x1b[31mred\x07\xc2\x9b", "[31mred"},
        {"bad\xff\xfe utf\xe4\xb8", "bad utf"},
        {"\xe4\xb8\xad\xe6\x96\x87 Pixel", "\xe4\xb8\xad\xe6\x96\x87 Pixel"},
        {"", "a phone"},
        {"\xe2\x80\xae\x01 ", "a phone"},
        {std::string(100, 'x'), std::string(40, 'x')},
        {std::string(39, 'x') + " y", std::string(39, 'x')},
    };
    for (const Case& c : cases) EXPECT_EQ(device_name(c.asked), c.shown) << c.asked;
}

}  // namespace
}  // namespace tolvar::remote
