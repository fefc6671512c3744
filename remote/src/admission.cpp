#include "tolvar/remote/admission.hpp"

#include <algorithm>

#include "tolvar/core/lowercase.hpp"

namespace tolvar::remote {

namespace {

// "HOST:PORT", or "HOST" alone for 443; IPv6 in brackets.
std::vector<std::string> authorities(const BridgeNames& names) {
    std::vector<std::string> out;
    for (const std::string& address : names.addresses) {
        const std::string host =
            address.find(':') != std::string::npos ? "[" + address + "]" : address;
        out.push_back(host + ":" + std::to_string(names.port));
        if (names.port == 443) out.push_back(host);
    }
    return out;
}

bool one_of(std::string_view text, const std::vector<std::string>& allowed) {
    return std::any_of(allowed.begin(), allowed.end(),
                       [text](const std::string& a) { return core::ascii_iequals(text, a); });
}

}  // namespace

bool origin_allowed(std::string_view origin, const BridgeNames& names) {
    constexpr std::string_view k_scheme = "https://";
    if (origin.size() <= k_scheme.size() || !core::ascii_iequals(origin.substr(0, 8), k_scheme)) {
        return false;
    }
    return one_of(origin.substr(k_scheme.size()), authorities(names));
}

bool host_allowed(std::string_view host, const BridgeNames& names) {
    return one_of(host, authorities(names));
}

std::deque<Clock::time_point>& AttemptLimiter::account(const std::string& address,
                                                       Clock::time_point now) {
    if (const auto found = recent_.find(address); found != recent_.end()) return found->second;
    if (recent_.size() >= k_addresses) {
        // Accounts whose attempts have all aged out are dropped first.
        std::erase_if(recent_, [now](const auto& entry) {
            return entry.second.empty() || now - entry.second.back() >= std::chrono::minutes(1);
        });
        if (recent_.size() >= k_addresses) return shared_;
    }
    return recent_[address];
}

bool AttemptLimiter::may_try(const std::string& address, Clock::time_point now) {
    auto& times = account(address, now);
    while (!times.empty() && now - times.front() >= std::chrono::minutes(1)) times.pop_front();
    if (times.size() < k_per_minute) return true;
    ++refused_;
    return false;
}

void AttemptLimiter::failed(const std::string& address, Clock::time_point now) {
    ++failures_;
    auto& times = account(address, now);
    times.push_back(now);
    // A refused attempt is never recorded, so this stays at the bound.
    while (times.size() > k_per_minute) times.pop_front();
}

bool MessageRate::take(Clock::time_point now) {
    if (started_) {
        const double seconds = std::chrono::duration<double>(now - last_).count();
        if (seconds > 0) held_ = std::min(burst_, held_ + seconds * rate_);
    }
    started_ = true;
    last_ = now;
    if (held_ < 1) return false;
    held_ -= 1;
    return true;
}

}  // namespace tolvar::remote
