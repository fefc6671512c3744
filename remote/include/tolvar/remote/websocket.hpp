// WebSocket frames as the bridge's server side reads and writes them: the
// phone's frames (masked, no extensions), checked byte by byte with bounded
// memory, and the bridge's own (unmasked). Not the upgrade, not TLS. One
// reader per connection, one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::remote {

// The status codes the bridge closes with.
enum class CloseCode : std::uint16_t {
    Normal = 1000,
    GoingAway = 1001,
    Protocol = 1002,
    BadData = 1007,
    Policy = 1008,
    TooBig = 1009,
};

struct FrameEvent {
    enum class Kind { Text, Binary, Ping, Pong, Close, Fail };
    Kind kind = Kind::Fail;
    std::string payload;                 // a message, a ping's or pong's data, a close's reason
    CloseCode code = CloseCode::Normal;  // Close: what the phone sent; Fail: what to close with
};

class FrameReader {
  public:
    explicit FrameReader(std::size_t max_message_bytes) : max_(max_message_bytes) {}

    // Takes bytes as they came and appends what they completed to `out`.
    // After a Close or a Fail nothing more is read: the connection ends.
    void feed(std::string_view bytes, std::vector<FrameEvent>& out);
    bool ended() const { return ended_; }
    // What is held for an incomplete frame or message; at most the limit and
    // a header.
    std::size_t held() const { return buffer_.size() + message_.size(); }

  private:
    void fail(CloseCode code, std::vector<FrameEvent>& out);
    // The bytes the frame being read needs in all, as far as its header is
    // here; 0 when the header failed.
    std::size_t frame_need(std::vector<FrameEvent>& out);
    void finish_frame(std::vector<FrameEvent>& out);

    std::size_t max_;
    std::string buffer_;   // the frame being read
    std::string message_;  // a fragmented message's earlier frames
    bool in_message_ = false;
    bool message_text_ = false;
    bool ended_ = false;
    bool known_ = false;          // the frame's length is read
    std::size_t payload_at_ = 0;  // where its payload starts
};

// The bridge's frames: final, unmasked.
std::string text_frame(std::string_view payload);
std::string binary_frame(std::string_view payload);
std::string pong_frame(std::string_view payload);
std::string close_frame(CloseCode code);

}  // namespace tolvar::remote
