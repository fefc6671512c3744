// The little HTTP the bridge speaks: one request head at a time, read from
// bytes an attacker may have written, and what the bridge answers it. GET
// only: the page's files and the WebSocket upgrade. No bodies, no
// keep-alive games, every limit explicit. Pure functions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/remote/admission.hpp"

namespace tolvar::remote {

struct Header {
    std::string name;   // lower-case
    std::string value;  // without the spaces around it
};

struct RequestHead {
    std::string method;
    std::string target;
    std::vector<Header> headers;
    // The value of the one header of that (lower-case) name; nothing when it
    // is absent or given more than once.
    std::optional<std::string_view> header(std::string_view name) const;
};

// What reading a head from the bytes received so far found.
struct HeadRead {
    enum class State { Incomplete, Done, Bad };
    State state = State::Incomplete;
    RequestHead head;
    std::size_t length = 0;  // bytes of the head, its blank line included (Done)
    int status = 0;          // the status to answer with (Bad): 400, 405, 431, 505
};

// Reads a request head from the start of `received`. A head longer than
// Limits::k_request_head_bytes, more than 64 headers, a line ending that is
// not CRLF, a control byte, a header line that folds, or a request with a
// body is Bad.
HeadRead read_request_head(std::string_view received);

// What the bridge does with a well-formed head.
struct Answer {
    enum class Kind { Upgrade, File, Refuse };
    Kind kind = Kind::Refuse;
    int status = 0;          // for Refuse
    std::string path;        // for File: the page's resource asked for
    std::string accept_key;  // for Upgrade: Sec-WebSocket-Key, to be hashed by the caller
};

// Host first (every request), then for "/socket" an upgrade that carries
// the bridge's own Origin and WebSocket version 13; any other target is a
// file of the page ("/" is "/index.html"), which the caller looks up. Query
// strings are refused: nothing is ever taken from a URL.
Answer answer(const RequestHead& head, const BridgeNames& names);

// The Sec-WebSocket-Accept value from the SHA-1 of the key and the fixed
// GUID, which the caller computes with its hash library.
std::string websocket_accept_input(std::string_view key);

// The response head for `status`, with the headers every answer carries:
// no caching, no sniffing, no framing, a content security policy that allows
// only the page's own origin, and Connection: close.
std::string response_head(int status, std::string_view content_type, std::size_t length);
std::string upgrade_response(std::string_view accept);

}  // namespace tolvar::remote
