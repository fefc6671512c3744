// What a double or triple click takes: the word under the pointer, as the
// word_delimiters setting tells words apart, and the logical line (a run of
// wrapped rows); and the text of a block selection. Pure functions over the
// model, read with the session's model lock held; not the mouse handling.
#pragma once

#include <string>
#include <string_view>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::app {

// Stops at white space, quotes, brackets and the separators of shell and
// prose, and keeps what paths, URLs, e-mail addresses and options are made
// of ("/ . : - _ ~ @ # ? & = % +"), so a double-click takes one of them whole.
inline constexpr std::u32string_view k_default_word_delimiters = U" \t\"'`(){}[]<>|;,";

// Both ends inclusive; the end cell of a wide character is its right half so
// a highlight covers both.
struct CellSpan {
    pty::LinePosition start;
    pty::LinePosition end;
    friend constexpr bool operator==(CellSpan, CellSpan) = default;
};

// The word around `at`, over wrapped lines. A wide character is one unit of
// both cells and combining marks go with their base cell; a blank cell or a
// delimiter is a word of its own cell.
CellSpan word_at(const pty::TerminalModel& model, pty::LinePosition at,
                 std::u32string_view delimiters);

// The logical line through `at`: from the first cell of the first row of its
// wrapped run to the last cell of text of the run's last row.
CellSpan logical_line_at(const pty::TerminalModel& model, pty::LinePosition at);

// A block selection's text: on each line from `first` to `last`, the cells
// of columns `left` to `right`, trailing blanks trimmed, joined by "\n".
// Lines that aged out of the history are left out.
std::string block_text(const pty::TerminalModel& model, pty::LineNumber first, pty::LineNumber last,
                       std::uint16_t left, std::uint16_t right);

}  // namespace tolvar::app
