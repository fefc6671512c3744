// Lines that scrolled off the primary screen, kept in a compact encoding of
// our own (text bytes plus attribute runs) in large shared blocks, oldest
// dropped first. Internal to the terminal model; single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cells.hpp"
#include "hyperlinks.hpp"

namespace tolvar::pty {

// A row as the grid hands it over: cells past `extent` are default cells.
struct RowView {
    const CellData* cells = nullptr;
    std::uint16_t cols = 0;
    std::uint16_t extent = 0;
    bool wrapped = false;
    const std::vector<Marks>* marks = nullptr;
    const std::vector<LinkedCell>* links = nullptr;
    LineSize size = LineSize::Single;
};

// Walks one stored line cell by cell, straight from its encoding. Valid
// until the scrollback changes.
class LineReader {
  public:
    std::uint16_t cols() const { return cols_; }
    bool wrapped() const { return wrapped_; }
    LineSize size() const { return size_; }
    // The next stored cell, its combining marks in `marks` (count 0 when it
    // has none; marks.col is always the cell's column). False after the last
    // stored cell: the cells past it are default cells.
    bool next(CellData& cell, Marks& marks);
    // The same without the attributes, for readers of text.
    bool next_text(CellData& cell, Marks& marks);
    // Writes the lower-case form of a code point, at most 4 bytes of UTF-8,
    // and returns the end.
    using Fold = char* (*)(char32_t cp, char* out);
    // For a line whose cells hold one code point each and nothing unusual
    // (no combining marks), which is almost every line: appends its text,
    // empty cells before text as spaces and after it nothing; with `fold`,
    // ASCII lower-cased and other code points through `fold`. `ascii` tells
    // whether the line held ASCII only, one byte a cell. False, `out`
    // untouched, for any other line.
    bool append_simple_text(Fold fold, std::string& out, bool& ascii) const;

  private:
    friend class Scrollback;
    LineReader() = default;
    bool token(CellData& cell, Marks& marks);

    const std::uint8_t* text_ = nullptr;
    const std::uint8_t* text_end_ = nullptr;
    const std::uint8_t* runs_ = nullptr;
    const std::uint8_t* runs_end_ = nullptr;
    const std::uint8_t* tokens_ = nullptr;  // the first token
    CellData run_attrs_;
    std::size_t run_left_ = 0;
    std::uint16_t cols_ = 0;
    std::uint16_t col_ = 0;
    bool wrapped_ = false;
    LineSize size_ = LineSize::Single;
    bool pending_cont_ = false;  // a wide character's implied right half is next
};

class Scrollback {
  public:
    explicit Scrollback(std::size_t capacity) : capacity_(capacity) {}
    // tail_ points into blocks_, which a move carries along and a copy would not.
    Scrollback(const Scrollback&) = delete;
    Scrollback& operator=(const Scrollback&) = delete;
    Scrollback(Scrollback&&) = default;
    Scrollback& operator=(Scrollback&&) = default;

    void push(const RowView& row);
    // push() of a row without marks or links whose first `extent` cells
    // (the rest default) are at most k_short, plain ASCII in the default pen
    // or empty: most lines of a log, every line of `yes`, and the commonest
    // push, so its bytes go straight into the last block. False, with
    // nothing done, for any other row (or a full block): push() takes it.
    static constexpr std::uint16_t k_short = 32;
    bool push_short_plain(const CellData* cells, std::uint16_t extent, std::uint16_t cols,
                          bool wrapped);
    // Drops every line; the numbering goes on.
    void clear();

    std::size_t size() const { return rows_.size(); }
    std::size_t capacity() const { return capacity_; }
    // Every line pushed has a number that it keeps, counted even when the
    // capacity is 0: [first_number(), end_number()) are the lines kept.
    std::uint64_t first_number() const { return pushed_ - rows_.size(); }
    std::uint64_t end_number() const { return pushed_; }
    // Line 0 is the oldest kept.
    LineReader reader(std::size_t line) const;
    // The links of a line in column order; null for a line without links.
    const std::vector<LinkRun>* links(std::size_t line) const;
    // Memory held: blocks and the line index.
    std::size_t bytes() const;

  private:
    struct Block {
        std::unique_ptr<std::uint8_t[]> data;
        std::uint32_t size = 0;
        std::uint32_t used = 0;
    };
    struct Line {
        std::uint32_t block;  // id: blocks_[block - first_block_]
        std::uint32_t offset;
    };

    void encode(const RowView& row);
    void store(const RowView& row);
    void evict_oldest();
    // What evict_oldest does after dropping the line: the links and blocks
    // that went with it.
    void evict_from_blocks();

    std::size_t capacity_;
    std::uint64_t pushed_ = 0;
    std::deque<Block> blocks_;
    std::uint32_t first_block_ = 0;
    // blocks_.back() and its id, which every push asks for; null with no
    // block. A deque keeps its elements in place as it grows and shrinks.
    Block* tail_ = nullptr;
    std::uint32_t tail_id_ = 0;
    // A short row's header but for its length: the wrap flag and the width
    // as a varint, for the width they were made for.
    std::uint32_t short_header_ = 0;
    std::uint8_t short_header_len_ = 0;
    std::uint16_t short_header_cols_ = 0;
    // The line index, oldest first: a ring, which a push and an eviction
    // move by one entry each; it grows to the capacity and no further.
    class LineRing {
      public:
        std::size_t size() const { return size_; }
        bool empty() const { return size_ == 0; }
        const Line& front() const { return slots_[head_]; }
        const Line& at(std::size_t i) const {
            if (i >= size_) throw std::out_of_range("scrollback line");
            return slots_[wrap(head_ + i)];
        }
        void push_back(const Line& line, std::size_t limit) {
            if (size_ == slots_.size()) grow(limit);
            slots_[wrap(head_ + size_)] = line;
            ++size_;
        }
        void pop_front() {
            head_ = wrap(head_ + 1);
            --size_;
        }
        // push_back and pop_front at once, for a full history.
        void push_back_pop_front(const Line& line) {
            slots_[wrap(head_ + size_)] = line;
            head_ = wrap(head_ + 1);
        }
        void clear() {
            slots_ = {};
            head_ = size_ = 0;
        }

      private:
        std::size_t wrap(std::size_t i) const { return i >= slots_.size() ? i - slots_.size() : i; }
        void grow(std::size_t limit);

        std::vector<Line> slots_;
        std::size_t head_ = 0;
        std::size_t size_ = 0;
    };
    LineRing rows_;
    // Only lines with links have an entry, in line order; few lines do, so
    // this costs nothing per line in the usual history.
    struct LinkedLine {
        std::uint64_t number;
        std::vector<LinkRun> runs;
    };
    std::deque<LinkedLine> linked_;
    // The row being encoded: its text and its runs.
    std::vector<std::uint8_t> text_;
    std::vector<std::uint8_t> runs_;
    std::vector<Marks> sorted_marks_;
    std::size_t text_len_ = 0;
    std::size_t runs_len_ = 0;
};

}  // namespace tolvar::pty
