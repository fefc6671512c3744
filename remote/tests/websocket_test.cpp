#include "tolvar/remote/websocket.hpp"

#include <gtest/gtest.h>

namespace tolvar::remote {
namespace {

using Kind = FrameEvent::Kind;

// A phone's frame: masked with a fixed key.
std::string client_frame(std::uint8_t first, std::string_view payload, bool mask = true) {
    std::string out(1, static_cast<char>(first));
    const char key[4] = {0x12, 0x34, 0x56, 0x78};
    const char bit = mask ? static_cast<char>(0x80) : 0;
    if (payload.size() < 126) {
        out += static_cast<char>(bit | payload.size());
    } else if (payload.size() <= 0xFFFF) {
        out += static_cast<char>(bit | 126);
        out += static_cast<char>(payload.size() >> 8);
        out += static_cast<char>(payload.size() & 0xFF);
    } else {
        out += static_cast<char>(bit | 127);
        for (int shift = 56; shift >= 0; shift -= 8) {
            out += static_cast<char>((static_cast<std::uint64_t>(payload.size()) >> shift) & 0xFF);
        }
    }
    if (mask) out.append(key, 4);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        out += mask ? static_cast<char>(payload[i] ^ key[i % 4]) : payload[i];
    }
    return out;
}

std::vector<FrameEvent> read_all(std::string_view bytes, std::size_t max = 1024,
                                 std::size_t piece = 0) {
    FrameReader reader(max);
    std::vector<FrameEvent> out;
    if (piece == 0) {
        reader.feed(bytes, out);
    } else {
        for (std::size_t i = 0; i < bytes.size(); i += piece)
            reader.feed(bytes.substr(i, piece), out);
    }
    return out;
}

TEST(FrameReader, MessagesPingsAndCloseAtEveryByteBoundary) {
    const std::string text = "h\xc3\xa9llo";
    const std::string stream = client_frame(0x81, text) + client_frame(0x89, "p") +
                               client_frame(0x02, std::string(200, 'x')) +  // fragmented binary
                               client_frame(0x8A, "") +                     // a pong between
                               client_frame(0x80, std::string(70000 - 200, 'y')) +
                               client_frame(0x88, std::string("\x03\xe8"
                                                              "bye",
                                                              5)) +
                               client_frame(0x81, "after the close");
    for (std::size_t piece : {std::size_t{0}, std::size_t{1}, std::size_t{7}}) {
        const auto events = read_all(stream, 100000, piece);
        ASSERT_EQ(events.size(), 5u) << piece;
        EXPECT_EQ(events[0].kind, Kind::Text);
        EXPECT_EQ(events[0].payload, text);
        EXPECT_EQ(events[1].kind, Kind::Ping);
        EXPECT_EQ(events[1].payload, "p");
        EXPECT_EQ(events[2].kind, Kind::Pong);
        EXPECT_EQ(events[3].kind, Kind::Binary);
        EXPECT_EQ(events[3].payload, std::string(200, 'x') + std::string(69800, 'y'));
        EXPECT_EQ(events[4].kind, Kind::Close);
        EXPECT_EQ(events[4].code, CloseCode::Normal);
        EXPECT_EQ(events[4].payload, "bye");
    }
}

TEST(FrameReader, HostileFramesCloseTheConnection) {
    struct Case {
        const char* what;
        std::string bytes;
        CloseCode code;
    } cases[] = {
        {"unmasked", client_frame(0x81, "a", false), CloseCode::Protocol},
        {"a reserved bit", client_frame(0xC1, "a"), CloseCode::Protocol},
        {"an unknown opcode", client_frame(0x83, "a"), CloseCode::Protocol},
        {"a control opcode past pong", client_frame(0x8B, ""), CloseCode::Protocol},
        {"a fragmented ping", client_frame(0x09, "a"), CloseCode::Protocol},
        {"a long ping", client_frame(0x89, std::string(126, 'a')), CloseCode::Protocol},
        {"a continuation first", client_frame(0x80, "a"), CloseCode::Protocol},
        {"a new message inside one", client_frame(0x01, "a") + client_frame(0x81, "b"),
         CloseCode::Protocol},
        {"text that is not UTF-8", client_frame(0x81, "\xff"), CloseCode::BadData},
        {"UTF-8 cut between fragments and never ended",
         client_frame(0x01, "\xe4") + client_frame(0x80, "x"), CloseCode::BadData},
        {"a one-byte close", client_frame(0x88, "\x03"), CloseCode::Protocol},
        {"a close code no peer sends", client_frame(0x88, std::string("\x03\xed", 2)),
         CloseCode::Protocol},
        {"a long form for a short length", std::string("\x81\xfe\x00\x05\x00\x00\x00\x00hello", 13),
         CloseCode::Protocol},
        {"over the limit", client_frame(0x82, std::string(1025, 'a')), CloseCode::TooBig},
        {"fragments over the limit",
         client_frame(0x02, std::string(1000, 'a')) + client_frame(0x80, std::string(25, 'a')),
         CloseCode::TooBig},
    };
    for (const Case& c : cases) {
        const auto events = read_all(c.bytes);
        ASSERT_FALSE(events.empty()) << c.what;
        EXPECT_EQ(events.back().kind, Kind::Fail) << c.what;
        EXPECT_EQ(events.back().code, c.code) << c.what;
    }
    // The UTF-8 check waits for the whole message: a character may be cut.
    const auto split = read_all(client_frame(0x01, "\xe4\xb8") + client_frame(0x80, "\xad"));
    ASSERT_EQ(split.size(), 1u);
    EXPECT_EQ(split[0].payload, "\xe4\xb8\xad");
}

TEST(FrameReader, AHundredMegabyteFrameIsRefusedFromItsHeader) {
    // Only the header is sent; nothing of the payload is waited for or kept.
    std::string header = "\x82\xff";
    const std::uint64_t length = 100ull << 20;
    for (int shift = 56; shift >= 0; shift -= 8)
        header += static_cast<char>((length >> shift) & 0xFF);
    FrameReader reader(64 * 1024);
    std::vector<FrameEvent> out;
    reader.feed(header, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].code, CloseCode::TooBig);
    EXPECT_TRUE(reader.ended());
    EXPECT_EQ(reader.held(), 0u);
    // The top bit of a 64-bit length.
    header[2] = static_cast<char>(0x80);
    EXPECT_EQ(read_all(header).back().code, CloseCode::Protocol);
}

TEST(ServerFrames, AreUnmaskedAndShortestForm) {
    EXPECT_EQ(text_frame("hi"), std::string("\x81\x02hi", 4));
    EXPECT_EQ(binary_frame(std::string(126, 'a')).substr(0, 4), std::string("\x82\x7e\x00\x7e", 4));
    EXPECT_EQ(binary_frame(std::string(65536, 'a')).substr(0, 10),
              std::string("\x82\x7f\x00\x00\x00\x00\x00\x01\x00\x00", 10));
    EXPECT_EQ(close_frame(CloseCode::Policy), std::string("\x88\x02\x03\xf0", 4));
    EXPECT_EQ(pong_frame(std::string(200, 'a')).size(), 2u + 125u);
}

}  // namespace
}  // namespace tolvar::remote
