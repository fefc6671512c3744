#include "tolvar/proto/serial_line.hpp"

#include <gtest/gtest.h>

#include "fake_launch_system.hpp"
#include "tolvar/core/formats.hpp"
#include "tolvar/proto/launch_plan.hpp"

namespace tolvar::proto {
namespace {

// The kind as a profiles file holds it, through the real reader.
core::Serial stored(std::string_view kind_members) {
    const std::string text =
        R"({"schema_version":1,"profiles":[{"id":"p","name":"n","kind":{"type":"serial",)" +
        std::string(kind_members) + "}}]}";
    auto file = core::parse_profiles_file(text);
    EXPECT_TRUE(file) << (file ? "" : file.error());
    return file ? std::get<core::Serial>(file->profiles.at(0).kind) : core::Serial{};
}

TEST(SerialLine, AbsentKeysAreTheDefaultsAndTellNothing) {
    const auto read = read_serial(stored(R"("port":"COM3","parity":null)"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->line, (SerialLine{"COM3", 9600, 8, Parity::None, StopBits::One,
                                      FlowControl::None}));
    EXPECT_TRUE(read->notices.empty());
}

TEST(SerialLine, EveryValueReadsInAnyCase) {
    const auto read = read_serial(
        stored(R"("port":"\\\\.\\COM10","baud":115200,"data_bits":7,"parity":"Even",)"
               R"("stop_bits":"1.5","flow_control":"RTS_CTS")"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->line, (SerialLine{"\\\\.\\COM10", 115200, 7, Parity::Even,
                                      StopBits::OneAndHalf, FlowControl::RtsCts}));
    EXPECT_TRUE(read->notices.empty());
    // Stop bits written as numbers mean what they say.
    EXPECT_EQ(read_serial(stored(R"("port":"COM1","stop_bits":2)"))->line.stop_bits,
              StopBits::Two);
    EXPECT_EQ(read_serial(stored(R"("port":"COM1","stop_bits":1.5)"))->line.stop_bits,
              StopBits::OneAndHalf);
}

TEST(SerialLine, UnusableValuesFallBackEachWithItsNotice) {
    const auto read = read_serial(
        stored(R"("port":"COM3","baud":"115200","data_bits":9,"parity":"odd ",)"
               R"("stop_bits":3,"flow_control":true)"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->line, SerialLine{"COM3"});
    ASSERT_EQ(read->notices.size(), 5u);
    EXPECT_EQ(read->notices[0],
              "profiles.json: COM3: \"baud\" is \"115200\", not a whole number from 1 to "
              "10000000; 9600 is used");
    EXPECT_EQ(read->notices[1], "profiles.json: COM3: \"data_bits\" is 9, not 5, 6, 7 or 8; 8 is used");
    EXPECT_EQ(read->notices[2],
              "profiles.json: COM3: \"parity\" is \"odd \", not one of \"none\", \"odd\", "
              "\"even\", \"mark\" or \"space\"; \"none\" is used");
    EXPECT_EQ(read->notices[3],
              "profiles.json: COM3: \"stop_bits\" is 3, not one of \"1\", \"1.5\" or \"2\"; "
              "\"1\" is used");
    EXPECT_EQ(read->notices[4],
              "profiles.json: COM3: \"flow_control\" is true, not one of \"none\", \"xon_xoff\" "
              "or \"rts_cts\"; \"none\" is used");
    EXPECT_EQ(read_serial(stored(R"("port":"COM3","baud":0)"))->notices.size(), 1u);
    EXPECT_EQ(read_serial(stored(R"("port":"COM3","baud":-9600)"))->notices.size(), 1u);
    EXPECT_EQ(read_serial(stored(R"("port":"COM3","baud":10000001)"))->notices.size(), 1u);
}

// Whatever a profile names is opened: only the system's own port names and
// device paths of such names may be, never a file, a pipe or a share.
TEST(SerialLine, PortsAreNamesNotPaths) {
    for (const char* port : {"COM3", "COM256", "com1", "\\\\.\\COM10", "CNCA0", "ttyUSB0"}) {
        EXPECT_TRUE(validate_port(port)) << port;
    }
    const auto error = [](std::string_view port) {
        auto valid = validate_port(port);
        return valid ? std::string("(valid)") : valid.error().display();
    };
    EXPECT_EQ(error(""), "invalid profile: port is empty");
    EXPECT_EQ(error("\\\\.\\"), "invalid profile: port is empty");
    EXPECT_EQ(error("COM3\n"), "invalid profile: port contains control characters");
    for (const char* path : {"C:\\Windows\\win.ini", "\\\\.\\pipe\\x", "\\\\server\\share",
                             "..\\COM1", "/dev/ttyS0", "COM1:", "COM 1", "\\\\?\\COM1"}) {
        EXPECT_EQ(error(path),
                  "invalid profile: port must be a name like COM3 or \\\\.\\COM10, not a path")
            << path;
    }
    EXPECT_EQ(error(std::string(65, 'C')), "invalid profile: port is longer than 64 characters");
    EXPECT_FALSE(read_serial(core::Serial{"C:\\x"}));
}

TEST(SerialLine, DevicePathsAndSummaries) {
    EXPECT_EQ(device_path("COM3"), "\\\\.\\COM3");
    EXPECT_EQ(device_path("\\\\.\\COM10"), "\\\\.\\COM10");
    EXPECT_EQ(line_summary(SerialLine{"COM3"}), "COM3 9600 8N1");
    EXPECT_EQ(line_summary({"COM4", 115200, 7, Parity::Mark, StopBits::OneAndHalf,
                            FlowControl::XonXoff}),
              "COM4 115200 7M1.5 XON/XOFF");
    EXPECT_EQ(line_summary({"COM5", 300, 5, Parity::Space, StopBits::Two, FlowControl::RtsCts}),
              "COM5 300 5S2 RTS/CTS");
}

// The editor writes every key; what it wrote reads back as the same line.
TEST(SerialLine, StoredFormReadsBackWhole) {
    const SerialLine line{"COM7", 57600, 6, Parity::Odd, StopBits::Two, FlowControl::XonXoff};
    const core::Serial written = stored_serial(line);
    const auto read = read_serial(written);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->line, line);
    EXPECT_TRUE(read->notices.empty());
    core::ProfilesFile file{1, {core::ConnectionProfile{"p", "n", written, {}, {}}}};
    const std::string text = core::to_pretty_json(file);
    EXPECT_NE(text.find(R"("type": "serial",)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("stop_bits": "2",)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("flow_control": "xon_xoff")"), std::string::npos) << text;
}

TEST(SerialLine, ControlBlockFieldsCarryTheSystemsValues) {
    DcbFields plain = dcb_fields(SerialLine{"COM1"});
    EXPECT_EQ(plain.baud_rate, 9600u);
    EXPECT_EQ(plain.byte_size, 8);
    EXPECT_EQ(plain.parity, 0);
    EXPECT_EQ(plain.stop_bits, 0);
    EXPECT_FALSE(plain.check_parity);
    EXPECT_FALSE(plain.out_x || plain.in_x || plain.out_cts_flow);
    EXPECT_EQ(plain.rts_control, 1);
    EXPECT_EQ(plain.dtr_control, 1);

    const std::pair<Parity, std::uint8_t> parities[] = {
        {Parity::Odd, 1}, {Parity::Even, 2}, {Parity::Mark, 3}, {Parity::Space, 4}};
    for (const auto& [parity, value] : parities) {
        SerialLine line{"COM1"};
        line.parity = parity;
        EXPECT_EQ(dcb_fields(line).parity, value);
        EXPECT_TRUE(dcb_fields(line).check_parity);
    }
    SerialLine line{"COM1"};
    line.stop_bits = StopBits::OneAndHalf;
    EXPECT_EQ(dcb_fields(line).stop_bits, 1);
    line.stop_bits = StopBits::Two;
    EXPECT_EQ(dcb_fields(line).stop_bits, 2);

    line.flow_control = FlowControl::XonXoff;
    DcbFields soft = dcb_fields(line);
    EXPECT_TRUE(soft.out_x && soft.in_x);
    EXPECT_FALSE(soft.out_cts_flow);
    EXPECT_EQ(soft.xon_char, 0x11);
    EXPECT_EQ(soft.xoff_char, 0x13);
    line.flow_control = FlowControl::RtsCts;
    DcbFields hard = dcb_fields(line);
    EXPECT_FALSE(hard.out_x || hard.in_x);
    EXPECT_TRUE(hard.out_cts_flow);
    EXPECT_EQ(hard.rts_control, 2);
}

TEST(SerialLine, ProfilePlanIsThePortWithItsNotices) {
    testing::FakeSystem system;
    auto plan = build_launch_plan(stored(R"("port":"COM3","baud":"x")"), system);
    ASSERT_TRUE(plan);
    const auto& port = std::get<SerialPort>(*plan);
    EXPECT_EQ(port.line.port, "COM3");
    EXPECT_EQ(port.notices.size(), 1u);
    EXPECT_FALSE(build_launch_plan(core::Serial{"\\\\.\\pipe\\p"}, system));
}

}  // namespace
}  // namespace tolvar::proto
