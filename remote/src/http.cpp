#include "tolvar/remote/http.hpp"

#include <algorithm>

#include "tolvar/core/lowercase.hpp"

namespace tolvar::remote {

namespace {

constexpr std::size_t k_max_headers = 64;

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), core::ascii_lower);
    return out;
}

// RFC 9110's token characters: a header name or a method.
bool token_char(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool token(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), token_char);
}

// Visible ASCII, spaces and tabs; anything else in a head is refused rather
// than passed on (a NUL, a bare CR, bytes past 0x7E).
bool clean(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u == '\t' || (u >= 0x20 && u < 0x7F);
    });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

HeadRead bad(int status) {
    HeadRead out;
    out.state = HeadRead::State::Bad;
    out.status = status;
    return out;
}

// Whether a comma-separated list holds `word`, ASCII case aside.
bool lists(std::string_view list, std::string_view word) {
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        if (core::ascii_iequals(trimmed(list.substr(0, comma)), word)) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

Answer refuse(int status) {
    Answer out;
    out.status = status;
    return out;
}

}  // namespace

std::optional<std::string_view> RequestHead::header(std::string_view name) const {
    std::optional<std::string_view> found;
    for (const Header& h : headers) {
        if (h.name != name) continue;
        if (found) return std::nullopt;
        found = h.value;
    }
    return found;
}

HeadRead read_request_head(std::string_view received) {
    const std::size_t end = received.find("\r\n\r\n");
    if (end == std::string_view::npos) {
        // A bare LF or another stray control in what has come already fails
        // now, not once the limit is reached.
        const std::string_view seen = received.substr(0, Limits::k_request_head_bytes);
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const char c = seen[i];
            if (c == '\n' && (i == 0 || seen[i - 1] != '\r')) return bad(400);
            if (c == '\r' && i + 1 < seen.size() && seen[i + 1] != '\n') return bad(400);
        }
        if (received.size() >= Limits::k_request_head_bytes) return bad(431);
        return {};
    }
    if (end + 4 > Limits::k_request_head_bytes) return bad(431);
    std::string_view text = received.substr(0, end + 2);

    HeadRead out;
    out.length = end + 4;
    const auto next_line = [&text]() {
        const std::size_t eol = text.find("\r\n");
        const std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol + 2);
        return line;
    };
    const std::string_view request_line = next_line();
    if (!clean(request_line) || request_line.find('\n') != std::string_view::npos) return bad(400);
    const std::size_t sp1 = request_line.find(' ');
    const std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : request_line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos ||
        request_line.find(' ', sp2 + 1) != std::string_view::npos) {
        return bad(400);
    }
    const std::string_view method = request_line.substr(0, sp1);
    const std::string_view target = request_line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = request_line.substr(sp2 + 1);
    if (!token(method) || target.empty() || target.front() != '/') return bad(400);
    if (version != "HTTP/1.1") return bad(version.starts_with("HTTP/") ? 505 : 400);
    if (method != "GET") return bad(405);
    out.head.method = method;
    out.head.target = target;

    while (!text.empty()) {
        const std::string_view line = next_line();
        if (out.head.headers.size() == k_max_headers) return bad(431);
        // A line that starts with a space folds into the one before it,
        // which HTTP/1.1 forbids and parsers disagree on.
        if (line.empty() || line.front() == ' ' || line.front() == '\t' || !clean(line) ||
            line.find('\n') != std::string_view::npos ||
            line.find('\r') != std::string_view::npos) {
            return bad(400);
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !token(line.substr(0, colon))) return bad(400);
        out.head.headers.push_back(
            {lowered(line.substr(0, colon)), std::string(trimmed(line.substr(colon + 1)))});
    }
    // A GET with a body would leave bytes the next reader takes for a frame.
    for (const Header& h : out.head.headers) {
        if (h.name == "transfer-encoding" || (h.name == "content-length" && h.value != "0")) {
            return bad(400);
        }
    }
    out.state = HeadRead::State::Done;
    return out;
}

Answer answer(const RequestHead& head, const BridgeNames& names) {
    const auto host = head.header("host");
    if (!host || !host_allowed(*host, names)) return refuse(421);
    if (head.target.find_first_of("?#%") != std::string::npos ||
        head.target.find("..") != std::string::npos ||
        head.target.find("//") != std::string::npos) {
        return refuse(404);
    }
    if (head.target == "/socket") {
        const auto origin = head.header("origin");
        if (!origin || !origin_allowed(*origin, names)) return refuse(403);
        const auto upgrade = head.header("upgrade");
        const auto connection = head.header("connection");
        const auto key = head.header("sec-websocket-key");
        if (!upgrade || !core::ascii_iequals(*upgrade, "websocket") || !connection ||
            !lists(*connection, "upgrade") || !key || key->size() != 24) {
            return refuse(400);
        }
        if (head.header("sec-websocket-version") != std::optional<std::string_view>("13")) {
            return refuse(426);
        }
        Answer out;
        out.kind = Answer::Kind::Upgrade;
        out.accept_key = *key;
        return out;
    }
    Answer out;
    out.kind = Answer::Kind::File;
    out.path = head.target == "/" ? "/index.html" : head.target;
    return out;
}

std::string websocket_accept_input(std::string_view key) {
    return std::string(key) + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
}

namespace {

std::string_view reason(int status) {
    switch (status) {
        case 101:
            return "Switching Protocols";
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 421:
            return "Misdirected Request";
        case 426:
            return "Upgrade Required";
        case 429:
            return "Too Many Requests";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        case 505:
            return "HTTP Version Not Supported";
        default:
            return "Error";
    }
}

constexpr std::string_view k_common =
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "Cross-Origin-Opener-Policy: same-origin\r\n"
    "Cross-Origin-Resource-Policy: same-origin\r\n"
    "Content-Security-Policy: default-src 'self'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data:; connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; "
    "form-action 'none'\r\n";

}  // namespace

std::string response_head(int status, std::string_view content_type, std::size_t length) {
    std::string out =
        "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason(status)) + "\r\n";
    out += k_common;
    if (!content_type.empty()) out += "Content-Type: " + std::string(content_type) + "\r\n";
    out += "Content-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
    return out;
}

std::string upgrade_response(std::string_view accept) {
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Accept: " +
           std::string(accept) + "\r\n\r\n";
}

}  // namespace tolvar::remote
