#include "tolvar/remote/devices.hpp"

#include <gtest/gtest.h>

namespace tolvar::remote {
namespace {

Device phone(std::string id, std::uint8_t mark) {
    Device d;
    d.id = std::move(id);
    d.name = "Anna \"phone\" \xe4\xb8\xad";
    d.token_sha256.fill(mark);
    d.token_sha256[31] = 0xA5;
    d.paired_at = 1'796'000'000;
    d.last_seen = 1'796'000'500;
    d.may_control = mark % 2 == 1;
    return d;
}

TEST(DevicesFile, RoundTripsAndKeepsOnlyTheHash) {
    const DevicesFile file{1, {phone("d-1", 1), phone("d-2", 2)}};
    const std::string text = to_pretty_json(file);
    EXPECT_NE(
        text.find(
            "\"token_sha256\": \"0101010101010101010101010101010101010101010101010101010101010"
            "1a5\""),
        std::string::npos)
        << text;
    const auto back = parse_devices_file(text);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(*back, file);
    EXPECT_EQ(to_pretty_json(*back), text);
    EXPECT_EQ(to_pretty_json(DevicesFile{}), "{\n  \"schema_version\": 1,\n  \"devices\": []\n}");
}

TEST(DevicesFile, DamageIsAMessageNeverAGuess) {
    const std::string good_device = R"({"id":"d","name":"n","token_sha256":")" +
                                    std::string(64, 'a') +
                                    R"(","paired_at":1,"last_seen":2,"may_control":false})";
    ASSERT_TRUE(parse_devices_file(R"({"devices":[)" + good_device + "]}"));
    struct Case {
        std::string text, message;
    } cases[] = {
        {"", "expected"},
        {R"({"devices":[)" + good_device, "line 1"},
        {"[]", "not an object"},
        {"{}", "missing field `devices`"},
        {R"({"devices":{}})", "`devices`: expected an array"},
        {R"({"devices":[1]})", "devices[0]: expected an object"},
        {R"({"devices":[],"devices":[]})", "duplicate field `devices`"},
        {R"({"schema_version":-1,"devices":[]})", "`schema_version`"},
        {R"({"devices":[{"id":"d"}]})", "devices[0]: missing field `name`"},
        {R"({"devices":[)" + good_device.substr(0, good_device.size() - 1) + R"(,"id":"e"}]})",
         "devices[0]: duplicate field `id`"},
        {R"({"devices":[{"id":"","name":"n"}]})", "devices[0]: `id`: expected a non-empty string"},
    };
    for (const Case& c : cases) {
        const auto parsed = parse_devices_file(c.text);
        ASSERT_FALSE(parsed) << c.text;
        EXPECT_NE(parsed.error().find(c.message), std::string::npos)
            << c.text << " -> " << parsed.error();
    }
    // A hash that is not 64 lower-case hexadecimal digits.
    for (const std::string& hash : {std::string(63, 'a'), std::string(64, 'A'),
                                    std::string(63, 'a') + "g", std::string(66, 'a')}) {
        std::string text = R"({"devices":[)" + good_device + "]}";
        text.replace(text.find(std::string(64, 'a')), 64, hash);
        const auto parsed = parse_devices_file(text);
        ASSERT_FALSE(parsed) << hash;
        EXPECT_NE(parsed.error().find("`token_sha256`"), std::string::npos) << parsed.error();
    }
}

TEST(DeviceRegistry, TokensFindTheirDeviceAndForgettingEndsIt) {
    DeviceRegistry registry(DevicesFile{1, {phone("d-1", 1), phone("d-2", 2)}});
    EXPECT_EQ(registry.find(phone("", 2).token_sha256), "d-2");
    TokenHash near = phone("", 2).token_sha256;
    near[0] ^= 0x80;
    EXPECT_EQ(registry.find(near), std::nullopt);
    EXPECT_EQ(registry.find(TokenHash{}), std::nullopt);

    EXPECT_TRUE(registry.allow_control("d-2", true));
    EXPECT_TRUE(registry.device("d-2")->may_control);
    EXPECT_TRUE(registry.seen("d-2", 1'796'001'000));
    EXPECT_EQ(registry.device("d-2")->last_seen, 1'796'001'000);

    EXPECT_TRUE(registry.forget("d-2"));
    EXPECT_EQ(registry.find(phone("", 2).token_sha256), std::nullopt);
    EXPECT_FALSE(registry.forget("d-2"));
    EXPECT_FALSE(registry.allow_control("d-2", true));
    EXPECT_FALSE(registry.seen("nobody", 1));
    EXPECT_EQ(registry.file().devices.size(), 1u);
}

}  // namespace
}  // namespace tolvar::remote
