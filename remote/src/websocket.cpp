#include "tolvar/remote/websocket.hpp"

#include <algorithm>

#include "tolvar/core/utf.hpp"

namespace tolvar::remote {

namespace {

constexpr std::uint8_t k_continuation = 0x0, k_text = 0x1, k_binary = 0x2, k_close = 0x8,
                       k_ping = 0x9, k_pong = 0xA;

std::string frame(std::uint8_t opcode, std::string_view payload) {
    std::string out;
    out += static_cast<char>(0x80 | opcode);
    const std::size_t n = payload.size();
    if (n < 126) {
        out += static_cast<char>(n);
    } else if (n <= 0xFFFF) {
        out += static_cast<char>(126);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(n & 0xFF);
    } else {
        out += static_cast<char>(127);
        for (int shift = 56; shift >= 0; shift -= 8) {
            out += static_cast<char>((static_cast<std::uint64_t>(n) >> shift) & 0xFF);
        }
    }
    out += payload;
    return out;
}

// The codes a peer may send (RFC 6455, 7.4).
bool sendable(std::uint16_t code) {
    return (code >= 1000 && code <= 1003) || (code >= 1007 && code <= 1011) ||
           (code >= 3000 && code <= 4999);
}

}  // namespace

std::string text_frame(std::string_view payload) {
    return frame(k_text, payload);
}
std::string binary_frame(std::string_view payload) {
    return frame(k_binary, payload);
}
std::string pong_frame(std::string_view payload) {
    return frame(k_pong, payload.substr(0, 125));
}
std::string close_frame(CloseCode code) {
    const auto n = static_cast<std::uint16_t>(code);
    const char body[2] = {static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
    return frame(k_close, std::string_view(body, 2));
}

void FrameReader::fail(CloseCode code, std::vector<FrameEvent>& out) {
    FrameEvent e;
    e.kind = FrameEvent::Kind::Fail;
    e.code = code;
    out.push_back(std::move(e));
    ended_ = true;
    buffer_.clear();
    message_.clear();
}

std::size_t FrameReader::frame_need(std::vector<FrameEvent>& out) {
    known_ = false;
    if (buffer_.size() < 2) return 2;
    const std::uint8_t b0 = buffer_[0], b1 = buffer_[1];
    const std::uint8_t opcode = b0 & 0x0F;
    const bool control = opcode & 0x8;
    if ((b0 & 0x70) || (opcode > k_binary && opcode < k_close) || opcode > k_pong ||
        // A client always masks.
        !(b1 & 0x80)) {
        fail(CloseCode::Protocol, out);
        return 0;
    }
    const std::uint8_t len7 = b1 & 0x7F;
    if (control && (!(b0 & 0x80) || len7 > 125)) {
        fail(CloseCode::Protocol, out);
        return 0;
    }
    const std::size_t ext = len7 == 126 ? 2 : len7 == 127 ? 8 : 0;
    if (buffer_.size() < 2 + ext) return 2 + ext;
    std::uint64_t length = len7;
    if (ext > 0) {
        length = 0;
        for (std::size_t i = 0; i < ext; ++i) {
            length = length << 8 | static_cast<std::uint8_t>(buffer_[2 + i]);
        }
        // The shortest form only, and never the top bit.
        if ((ext == 2 && length < 126) || (ext == 8 && length <= 0xFFFF) || (length >> 63)) {
            fail(CloseCode::Protocol, out);
            return 0;
        }
    }
    // Refused from the header alone: a frame of 100 MB is never read.
    if (length > max_ || (!control && message_.size() + length > max_)) {
        fail(CloseCode::TooBig, out);
        return 0;
    }
    known_ = true;
    payload_at_ = 2 + ext + 4;
    return payload_at_ + static_cast<std::size_t>(length);
}

void FrameReader::feed(std::string_view bytes, std::vector<FrameEvent>& out) {
    while (!ended_) {
        // Only what the frame being read still needs is taken.
        const std::size_t need = frame_need(out);
        if (ended_) return;
        if (known_ && buffer_.size() == need) {
            finish_frame(out);
            continue;
        }
        if (bytes.empty()) return;
        const std::size_t take = std::min(bytes.size(), need - buffer_.size());
        buffer_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
    }
}

void FrameReader::finish_frame(std::vector<FrameEvent>& out) {
    const std::uint8_t b0 = buffer_[0];
    const bool fin = b0 & 0x80;
    const std::uint8_t opcode = b0 & 0x0F;
    const std::string mask = buffer_.substr(payload_at_ - 4, 4);
    std::string payload = buffer_.substr(payload_at_);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] ^= mask[i % 4];
    buffer_.clear();

    FrameEvent e;
    switch (opcode) {
        case k_ping:
        case k_pong:
            e.kind = opcode == k_ping ? FrameEvent::Kind::Ping : FrameEvent::Kind::Pong;
            e.payload = std::move(payload);
            out.push_back(std::move(e));
            return;
        case k_close:
            e.kind = FrameEvent::Kind::Close;
            if (payload.size() == 1) return fail(CloseCode::Protocol, out);
            if (payload.size() >= 2) {
                const auto code =
                    static_cast<std::uint16_t>(static_cast<std::uint8_t>(payload[0]) << 8 |
                                               static_cast<std::uint8_t>(payload[1]));
                if (!sendable(code)) return fail(CloseCode::Protocol, out);
                e.code = static_cast<CloseCode>(code);
                e.payload = payload.substr(2);
                if (!core::is_valid_utf8(e.payload)) return fail(CloseCode::BadData, out);
            }
            out.push_back(std::move(e));
            ended_ = true;
            message_.clear();
            return;
        case k_continuation:
            if (!in_message_) return fail(CloseCode::Protocol, out);
            break;
        default:  // text or binary
            if (in_message_) return fail(CloseCode::Protocol, out);
            in_message_ = true;
            message_text_ = opcode == k_text;
            break;
    }
    message_ += payload;
    if (!fin) return;
    in_message_ = false;
    if (message_text_ && !core::is_valid_utf8(message_)) return fail(CloseCode::BadData, out);
    e.kind = message_text_ ? FrameEvent::Kind::Text : FrameEvent::Kind::Binary;
    e.payload = std::move(message_);
    message_.clear();
    out.push_back(std::move(e));
}

}  // namespace tolvar::remote
