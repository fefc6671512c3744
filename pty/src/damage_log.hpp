// What changed on the screen, against a sequence number: the grids stamp
// each row they write with the current number and note their scrolls here;
// the model keeps the rest (cursor, modes, titles). Internal to the terminal
// model; single-threaded.
//
// The number moves on once per feed, not per change, so that a stamp is one
// store and a screenful of line feeds is one scroll entry.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {

class DamageLog {
  public:
    // Scrolls kept; a reader further behind than the oldest gets everything.
    static constexpr std::size_t k_scrolls = 64;

    std::uint64_t seq() const { return seq_; }
    void advance() { ++seq_; }
    // Readers from before now repaint everything.
    void everything() { floor_ = seq_; }
    bool everything_since(std::uint64_t seq) const { return seq < floor_ || seq > seq_; }

    // What the grids do not stamp, noted by the model after each change as
    // one value each; a different value dates the aspect now. The screen's
    // value (which grid, its size) going another way means everything.
    enum Aspect : std::uint8_t { k_cursor, k_modes, k_title, k_screen, k_aspects };
    void note(Aspect a, std::uint64_t value) {
        if (value == seen_[a]) return;
        seen_[a] = value;
        changed_[a] = seq_;
        if (a == k_screen) everything();
    }
    bool changed_since(Aspect a, std::uint64_t seq) const { return changed_[a] > seq; }

    // Rows [top, bottom] moved by count (up when positive); the rows that
    // came in are stamped by whoever blanked them. Moves of one region in
    // one direction within one number add up.
    void note_scroll(std::uint16_t top, std::uint16_t bottom, int count) {
        // The last entry's number, region and direction in one word.
        const std::uint64_t key = top | std::uint64_t{bottom} << 16 | std::uint64_t{count > 0} << 32;
        if (last_seq_ == seq_ && last_key_ == key) {
            ring_[last_].count += count;
            return;
        }
        push(top, bottom, count);
        last_seq_ = seq_;
        last_key_ = key;
    }
    // The scrolls after `seq`, oldest first.
    void scrolls_since(std::uint64_t seq, std::vector<ScrollMove>& out) const {
        for (std::size_t i = 0; i < size_; ++i) {
            const Entry& e = ring_[(head_ + i) % k_scrolls];
            if (e.seq <= seq) continue;
            // More than the region's height moves nothing more.
            const std::int64_t height = e.bottom - e.top + 1;
            out.push_back({e.top, e.bottom, static_cast<int>(std::clamp(e.count, -height, height))});
        }
    }

  private:
    void push(std::uint16_t top, std::uint16_t bottom, int count) {
        if (size_ == k_scrolls) {
            floor_ = std::max(floor_, ring_[head_].seq);
            head_ = (head_ + 1) % k_scrolls;
            --size_;
        }
        last_ = (head_ + size_) % k_scrolls;
        ring_[last_] = Entry{seq_, count, top, bottom};
        ++size_;
    }

    struct Entry {
        std::uint64_t seq = 0;
        std::int64_t count = 0;  // moves added up; beyond int in a long feed
        std::uint16_t top = 0;
        std::uint16_t bottom = 0;
    };
    // Rows made at construction carry 1; a reader at 0 has seen nothing.
    std::uint64_t seq_ = 1;
    std::uint64_t floor_ = 1;
    std::array<std::uint64_t, k_aspects> seen_{};
    std::array<std::uint64_t, k_aspects> changed_{};
    std::array<Entry, k_scrolls> ring_{};
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    std::size_t last_ = 0;
    std::uint64_t last_seq_ = 0;  // none yet: numbers start at 1
    std::uint64_t last_key_ = 0;
};

}  // namespace tolvar::pty
