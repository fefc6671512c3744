#include "tolvar/remote/pairing.hpp"

#include "tolvar/core/utf.hpp"

namespace tolvar::remote {

bool same_bytes(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return diff == 0;
}

void PairingOffer::open(const PairingSecret& secret, Clock::time_point now) {
    secret_ = secret;
    opened_ = now;
    spent_ = false;
}

void PairingOffer::close() {
    secret_.reset();
    spent_ = false;
}

PairingOffer::Verdict PairingOffer::claim(std::string_view text, Clock::time_point now) {
    if (!secret_) return Verdict::None;
    if (!same_bytes(text, secret_text(*secret_))) return Verdict::Wrong;
    if (spent_) return Verdict::Spent;
    if (now - opened_ >= k_lifetime || now < opened_) return Verdict::Expired;
    spent_ = true;
    return Verdict::Accepted;
}

bool PairingOffer::showing(Clock::time_point now) const {
    return secret_ && !spent_ && now >= opened_ && now - opened_ < k_lifetime;
}

std::optional<std::string> approval_code(std::uint32_t random) {
    // The largest multiple of 10 000 that fits: values above it would make
    // the low codes likelier.
    constexpr std::uint32_t k_fair = 4'294'960'000u;
    if (random >= k_fair) return std::nullopt;
    std::string code = std::to_string(random % 10'000);
    return std::string(4 - code.size(), '0') + code;
}

namespace {

// Characters that change how the text around them is laid out or that do
// not print: C0 and C1 controls, DEL, the bidirectional marks, embeddings,
// overrides and isolates, zero-width joiners and spaces, the line and
// paragraph separators, the byte-order mark and the interlinear marks.
bool hidden(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF ||
           (c >= 0xFFF9 && c <= 0xFFFB) || c == 0x061C;
}

bool space(char32_t c) {
    return c == ' ' || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200A);
}

}  // namespace

std::string device_name(std::string_view asked) {
    constexpr std::size_t k_max_chars = 40;
    std::string out;
    std::size_t chars = 0;
    bool pending_space = false;
    // A name is short; what follows a kilobyte is not read.
    asked = asked.substr(0, 1024);
    for (std::size_t i = 0; i < asked.size() && chars < k_max_chars;) {
        std::size_t length = 1;
        while (length <= 4 && !core::is_valid_utf8(asked.substr(i, length))) ++length;
        if (length > 4 || i + length > asked.size()) {
            ++i;
            continue;
        }
        std::size_t at = i;
        const char32_t c = core::next_code_point(asked, at);
        i += length;
        if (hidden(c)) continue;
        if (space(c)) {
            pending_space = !out.empty();
            continue;
        }
        if (pending_space) {
            // A word that cannot follow whole with its space ends the name.
            if (chars + 2 > k_max_chars) break;
            out += ' ';
            ++chars;
        }
        pending_space = false;
        core::append_utf8(out, c);
        ++chars;
    }
    return out.empty() ? "a phone" : out;
}

}  // namespace tolvar::remote
