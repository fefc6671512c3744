// The targets of applications' OSC 8 hyperlinks, and the cells that carry
// one. Internal to the terminal model; single-threaded.
//
// Output is hostile input: the store is bounded in count and in the length
// of each target. When it is full the oldest link is dropped; cells that
// named it keep an id that no longer resolves, so a dropped link can never
// turn into another one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tolvar::pty {

// A linked cell beside a row: its column and the link's id.
struct LinkedCell {
    std::uint16_t col = 0;
    std::uint32_t id = 0;
    friend bool operator==(LinkedCell, LinkedCell) = default;
};

// Consecutive cells of one link, as the history keeps them.
struct LinkRun {
    std::uint16_t col = 0;
    std::uint16_t count = 0;
    std::uint32_t id = 0;
};

class Hyperlinks {
  public:
    static constexpr std::size_t k_max_links = 1024;
    static constexpr std::size_t k_max_target_bytes = 1000;

    // The id for a link opened with these OSC 8 parameters and target: the
    // same id for the same pair while it is kept (cells written apart, such
    // as the rows of a wrapped link, belong to one link). 0, meaning no link,
    // for a target that is empty, too long, not UTF-8 or holds a control.
    std::uint32_t open(std::string_view params, std::string_view target);
    // The target of a live id; empty once it was dropped.
    std::string_view target(std::uint32_t id) const;
    // Forgets every link; ids handed out before never resolve again.
    void clear();
    std::size_t memory_bytes() const;

  private:
    // Ids are the slot in the low bits and the slot's generation above, so
    // a reused slot does not answer for its old cells.
    static constexpr unsigned k_slot_bits = 10;
    static_assert(k_max_links <= 1u << k_slot_bits);
    static constexpr std::uint32_t k_slot_mask = (1u << k_slot_bits) - 1;
    struct Slot {
        const std::string* key = nullptr;  // in by_key_, whose nodes stay put; null when free
        std::uint32_t generation = 0;
    };
    // Never 0; a generation wraps only after millions of reuses of a slot.
    std::uint32_t id_of(std::uint32_t slot) const {
        return (slots_[slot].generation << k_slot_bits | slot) + 1;
    }

    std::vector<Slot> slots_;
    // The id parameter, a NUL and the target -> slot.
    std::unordered_map<std::string, std::uint32_t> by_key_;
    std::uint32_t next_ = 0;  // the slot to take next once all are used
};

}  // namespace tolvar::pty
