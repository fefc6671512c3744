// The text of the model's lines, history and live screen alike, as copying
// and searching read it: composed the way text extraction composes it, and
// read straight from the stored encoding. Internal to the terminal model;
// reads the screen and holds nothing between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cells.hpp"
#include "grid.hpp"
#include "scrollback.hpp"

namespace tolvar::pty {

class Screen;

// The cells of one row that hold anything (text, or either half of a wide
// character), in column order; the columns between them are empty cells.
struct RowText {
    struct Item {
        std::uint16_t col = 0;
        bool wide = false;
        std::uint8_t count = 0;  // code points from cps[first]; 0 for a lone right half
        std::uint32_t first = 0;
    };
    std::vector<Item> items;
    std::u32string cps;
    std::uint16_t cols = 0;
    bool wrapped = false;

    void add(const CellData& cell, const Marks* marks, std::uint16_t col);
};

void read_row_text(const Grid& g, std::uint16_t r, RowText& out);
void read_row_text(LineReader reader, RowText& out);

// Appends the text of columns [from, to) of a row: empty cells before text
// as spaces, after it nothing, the right half of a wide character nothing.
// Returns whether the range held a cell with anything in it.
bool append_row_text(const RowText& row, std::size_t from, std::size_t to, std::string& out);

std::string text_range(const Screen& screen, LinePosition start, LinePosition end);
Found find(const Screen& screen, std::string_view query, bool match_case, std::size_t limit);

}  // namespace tolvar::pty
