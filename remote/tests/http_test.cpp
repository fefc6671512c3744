#include "tolvar/remote/http.hpp"

#include <gtest/gtest.h>

#include "tolvar/remote/base64.hpp"

namespace tolvar::remote {
namespace {

using State = HeadRead::State;

const BridgeNames k_names{{"192.168.1.20", "127.0.0.1"}, 57420};

std::string upgrade(std::string_view extra = "",
                    std::string_view origin = "https://192.168.1.20:57420") {
    return "GET /socket HTTP/1.1\r\nHost: 192.168.1.20:57420\r\nUpgrade: websocket\r\n"
           "Connection: keep-alive, Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
           "Sec-WebSocket-Version: 13\r\nOrigin: " +
           std::string(origin) + "\r\n" + std::string(extra) + "\r\n";
}

TEST(RequestHead, ReadsAtEveryByteBoundaryAndLeavesWhatFollows) {
    const std::string head = upgrade();
    const std::string stream = head + "\x81\x85 frame";
    for (std::size_t cut = 0; cut < head.size(); ++cut) {
        const HeadRead partial = read_request_head(std::string_view(stream).substr(0, cut));
        ASSERT_EQ(partial.state, State::Incomplete) << cut;
    }
    const HeadRead read = read_request_head(stream);
    ASSERT_EQ(read.state, State::Done);
    EXPECT_EQ(read.length, head.size());
    EXPECT_EQ(read.head.target, "/socket");
    EXPECT_EQ(read.head.header("sec-websocket-key"), "dGhlIHNhbXBsZSBub25jZQ==");
    EXPECT_EQ(read.head.header("upgrade"), "websocket");
}

TEST(RequestHead, RefusesWhatParsersDisagreeOn) {
    struct Case {
        std::string bytes;
        int status;
    } cases[] = {
        {"GET / HTTP/1.1\nHost: a\n\n", 400},  // bare line feeds, refused before the end
        {"GET / HTTP/1.1\r\nHost: a\rb\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: a\r\n folded\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost : a\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHo\x01st: a\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: \xc3\xa9\r\n\r\n", 400},
        {"GET  / HTTP/1.1\r\n\r\n", 400},
        {"GET http://a/ HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.0\r\n\r\n", 505},
        {"GET / HTTP/2\r\n\r\n", 505},
        {"POST / HTTP/1.1\r\nHost: a\r\n\r\n", 405},
        {"GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 400},
        {"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\n" + std::string(9000, 'a'), 431},
        {"GET / HTTP/1.1\r\nX: " + std::string(9000, 'a') + "\r\n\r\n", 431},
    };
    for (const Case& c : cases) {
        const HeadRead read = read_request_head(c.bytes);
        EXPECT_EQ(read.state, State::Bad) << c.bytes.substr(0, 60);
        EXPECT_EQ(read.status, c.status) << c.bytes.substr(0, 60);
    }
    std::string many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 65; ++i) many += "X" + std::to_string(i) + ": y\r\n";
    EXPECT_EQ(read_request_head(many + "\r\n").status, 431);
    // NUL inside a head that is otherwise whole.
    const std::string nul("GET / HTTP/1.1\r\nHost: a\0b\r\n\r\n", 30);
    EXPECT_EQ(read_request_head(nul).status, 400);
}

Answer answer_to(const std::string& bytes) {
    const HeadRead read = read_request_head(bytes);
    EXPECT_EQ(read.state, State::Done) << bytes;
    return answer(read.head, k_names);
}

TEST(Answer, UpgradesOnlyTheBridgesOwnPage) {
    const Answer ok = answer_to(upgrade());
    EXPECT_EQ(ok.kind, Answer::Kind::Upgrade);
    EXPECT_EQ(ok.accept_key, "dGhlIHNhbXBsZSBub25jZQ==");

    struct Case {
        const char* what;
        std::string bytes;
        int status;
    } cases[] = {
        {"another origin", upgrade("", "https://evil.example"), 403},
        {"plain http origin", upgrade("", "http://192.168.1.20:57420"), 403},
        {"null origin", upgrade("", "null"), 403},
        {"two origins", upgrade("Origin: https://192.168.1.20:57420\r\n"), 403},
        {"no origin",
         "GET /socket HTTP/1.1\r\nHost: 192.168.1.20:57420\r\nUpgrade: websocket\r\n"
         "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
         "Sec-WebSocket-Version: 13\r\n\r\n",
         403},
        {"a rebinding host",
         "GET /socket HTTP/1.1\r\nHost: evil.example:57420\r\nOrigin: "
         "https://evil.example:57420\r\n\r\n",
         421},
        {"two hosts", upgrade("Host: 127.0.0.1:57420\r\n"), 421},
        {"an old version", upgrade("").replace(upgrade("").find("13"), 2, "8"), 426},
        {"a short key", upgrade("").replace(upgrade("").find("dGhl"), 4, ""), 400},
        {"a token in the URL", "GET /socket?token=abc HTTP/1.1\r\nHost: 127.0.0.1:57420\r\n\r\n",
         404},
        {"a path out of the page", "GET /../remote.json HTTP/1.1\r\nHost: 127.0.0.1:57420\r\n\r\n",
         404},
        {"an escaped path", "GET /%2e%2e/x HTTP/1.1\r\nHost: 127.0.0.1:57420\r\n\r\n", 404},
    };
    for (const Case& c : cases) {
        const Answer a = answer_to(c.bytes);
        EXPECT_EQ(a.kind, Answer::Kind::Refuse) << c.what;
        EXPECT_EQ(a.status, c.status) << c.what;
    }
    const Answer page = answer_to("GET / HTTP/1.1\r\nHost: 127.0.0.1:57420\r\n\r\n");
    EXPECT_EQ(page.kind, Answer::Kind::File);
    EXPECT_EQ(page.path, "/index.html");
}

TEST(Responses, CarryTheirGuards) {
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foo"), "Zm9v");
    EXPECT_EQ(base64("foob"), "Zm9vYg==");
    EXPECT_EQ(websocket_accept_input("dGhlIHNhbXBsZSBub25jZQ=="),
              "dGhlIHNhbXBsZSBub25jZQ==258EAFA5-E914-47DA-95CA-C5AB0DC85B11");
    const std::string head = response_head(404, "text/plain", 3);
    EXPECT_TRUE(head.starts_with("HTTP/1.1 404 Not Found\r\n"));
    for (const char* guard :
         {"Content-Security-Policy: default-src 'self';", "frame-ancestors 'none'",
          "X-Content-Type-Options: nosniff", "Cache-Control: no-store", "Content-Length: 3\r\n",
          "Connection: close\r\n\r\n"}) {
        EXPECT_NE(head.find(guard), std::string::npos) << guard;
    }
    EXPECT_EQ(upgrade_response("s3pPLMBiTxaQ9kYGzzhZRbK+xOo="),
              "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
}

}  // namespace
}  // namespace tolvar::remote
