#include "hyperlinks.hpp"

#include "tolvar/core/utf.hpp"

namespace tolvar::pty {
namespace {

// The id parameter among OSC 8's "key=value:key=value" parameters.
std::string_view id_param(std::string_view params) {
    while (!params.empty()) {
        const std::size_t end = params.find(':');
        const std::string_view item = params.substr(0, end);
        if (item.starts_with("id=")) return item.substr(3);
        if (end == std::string_view::npos) break;
        params.remove_prefix(end + 1);
    }
    return {};
}

bool acceptable(std::string_view target) {
    if (target.empty() || target.size() > Hyperlinks::k_max_target_bytes) return false;
    for (const char c : target) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7f) return false;
    }
    return core::is_valid_utf8(target);
}

}  // namespace

std::uint32_t Hyperlinks::open(std::string_view params, std::string_view target) {
    if (!acceptable(target)) return 0;
    std::string key(id_param(params));
    key.push_back('\0');
    key.append(target);
    if (const auto it = by_key_.find(key); it != by_key_.end()) return id_of(it->second);

    std::uint32_t slot;
    if (slots_.size() < k_max_links) {
        slot = static_cast<std::uint32_t>(slots_.size());
        slots_.emplace_back();
    } else {
        slot = next_;
        next_ = static_cast<std::uint32_t>((next_ + 1) % k_max_links);
        Slot& old = slots_[slot];
        if (old.key != nullptr) by_key_.erase(*old.key);
        old.generation = (old.generation + 1) & (~0u >> k_slot_bits);
    }
    slots_[slot].key = &by_key_.emplace(std::move(key), slot).first->first;
    return id_of(slot);
}

std::string_view Hyperlinks::target(std::uint32_t id) const {
    if (id == 0) return {};
    const std::uint32_t slot = (id - 1) & k_slot_mask;
    if (slot >= slots_.size() || slots_[slot].key == nullptr || id_of(slot) != id) return {};
    const std::string& key = *slots_[slot].key;
    return std::string_view(key).substr(key.find('\0') + 1);
}

void Hyperlinks::clear() {
    by_key_.clear();
    for (Slot& s : slots_) {
        if (s.key != nullptr) s.generation = (s.generation + 1) & (~0u >> k_slot_bits);
        s.key = nullptr;
    }
    next_ = 0;
}

std::size_t Hyperlinks::memory_bytes() const {
    // A map node: the key string, the slot, the hash and the bucket link.
    std::size_t total = slots_.capacity() * sizeof(Slot) + by_key_.bucket_count() * sizeof(void*) +
                        by_key_.size() * (sizeof(std::string) + 3 * sizeof(void*));
    for (const auto& [key, slot] : by_key_) total += key.capacity();
    return total;
}

}  // namespace tolvar::pty
