// Lines that scrolled off the primary screen, kept in a compact encoding of
// our own (text bytes plus attribute runs) in large shared blocks, oldest
// dropped first. Internal to the terminal model; single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "cells.hpp"

namespace tolvar::pty {

// A row as the grid hands it over: cells past `extent` are default cells.
struct RowView {
    const CellData* cells = nullptr;
    std::uint16_t cols = 0;
    std::uint16_t extent = 0;
    bool wrapped = false;
    const std::vector<Marks>* marks = nullptr;
};

struct HistoryRow {
    std::vector<CellData> cells;
    std::vector<Marks> marks;
    bool wrapped = false;
};

class Scrollback {
  public:
    explicit Scrollback(std::size_t capacity) : capacity_(capacity) {}

    void push(const RowView& row);
    void clear();

    std::size_t size() const { return rows_.size(); }
    std::size_t capacity() const { return capacity_; }
    // Line 0 is the oldest.
    HistoryRow row(std::size_t line) const;
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

    std::size_t capacity_;
    std::deque<Block> blocks_;
    std::uint32_t first_block_ = 0;
    std::deque<Line> rows_;
    // The row being encoded: its text and its runs.
    std::vector<std::uint8_t> text_;
    std::vector<std::uint8_t> runs_;
    std::vector<Marks> sorted_marks_;
    std::size_t text_len_ = 0;
    std::size_t runs_len_ = 0;
};

}  // namespace tolvar::pty
