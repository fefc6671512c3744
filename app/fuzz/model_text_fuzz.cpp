// Arbitrary output, then what the mouse and the log read from it: the word
// and the logical line under a cell, a block's text, the links of a line
// and a session's log. Each result lies inside what the model holds and is
// found again from its own ends; links are found at their first cell; the
// log is valid text in whole lines with no control character but the line
// feed, and a log file's name holds nothing a file name cannot.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sessions/session_log.hpp"
#include "tolvar/core/utf.hpp"
#include "view/links.hpp"
#include "view/word_selection.hpp"

using namespace tolvar;
using namespace tolvar::app;
using pty::LineNumber;
using pty::LinePosition;

namespace {

// Small grids and histories keep an execution cheap; resizes reach others.
constexpr std::array<std::array<std::uint16_t, 2>, 4> k_sizes{{{5, 10}, {3, 4}, {2, 30}, {6, 16}}};
constexpr std::array<std::size_t, 4> k_scrollbacks{8, 0, 2, 8};
constexpr int k_max_probes = 3;

bool clean_log(std::string_view text) {
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\n') || c == 0x7f) return false;
    }
    return core::is_valid_utf8(text);
}

void check_words(const pty::TerminalModel& m, LinePosition at, std::u32string_view delimiters) {
    const CellSpan w = word_at(m, at, delimiters);
    if (!(w.start <= w.end) || w.end.line < at.line || w.start.line > at.line) std::abort();
    if (at.line >= m.history_begin() && w.start.line < m.history_begin()) std::abort();
    if (w.start.line == at.line && w.start.col > at.col) std::abort();
    if (w.end.line == at.line && w.end.col < at.col && at.col < m.cols()) std::abort();
    if (word_at(m, w.start, delimiters) != w || word_at(m, w.end, delimiters) != w) std::abort();

    const CellSpan l = logical_line_at(m, at);
    if (l.start.col != 0 || l.start.line > at.line || l.end.line < at.line) std::abort();
    if (logical_line_at(m, l.start) != l || logical_line_at(m, {l.end.line, 0}) != l) std::abort();
    if (at.line >= m.history_begin() && l.start.line < m.history_begin()) std::abort();
}

void check_block(const pty::TerminalModel& m, LineNumber first, LineNumber last,
                 std::uint16_t left, std::uint16_t right) {
    const std::string text = block_text(m, first, last, left, right);
    const LineNumber from = std::max(first, m.history_begin());
    const std::size_t lines = last >= from ? static_cast<std::size_t>(last - from + 1) : 0;
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1 !=
            std::max<std::size_t>(lines, 1) ||
        (lines == 0 && !text.empty()))
        std::abort();
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t cut = std::min(text.find('\n', end), text.size());
        if (cut > end && (text[cut - 1] == ' ' || text[cut - 1] == '\t')) std::abort();
        end = cut + 1;
    }
    if (!core::is_valid_utf8(text)) std::abort();
}

void check_links(const pty::TerminalModel& m, LineNumber line) {
    for (const Link& link : links_in_line(m, line)) {
        if (!(link.span.start < link.span.end) || link.target.empty()) std::abort();
        if (!link.hyperlink) {
            std::string scheme = link.target.substr(0, 8);
            for (char& c : scheme) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
            if (!scheme.starts_with("http://") && !scheme.starts_with("https://") &&
                !scheme.starts_with("file://"))
                std::abort();
        }
        const auto found = link_at(m, link.span.start);
        if (!found || *found != link) std::abort();
    }
}

void check_log_name(std::string_view title) {
    const std::string name = log_file_name(title, 2026, 12, 9, 7, 5, 3);
    if (!name.ends_with(" 2026-12-09 07-05-03.log") || name.size() > 120 + 24) std::abort();
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f || std::string_view("<>:\"/\\|?*").find(ch) != std::string_view::npos)
            std::abort();
    }
    if (core::is_valid_utf8(title) && !core::is_valid_utf8(name)) std::abort();
}

}  // namespace

// Input: a header byte (size, history cap, delimiters), then steps. A step is
// a control byte then its payload:
//   low two bits 0, 1: feed the next (control >> 2) + 1 bytes, then log
//   2: resize to the next two bytes, (rows % 12) + 1 by (cols % 40) + 1
//   3: probe the cell named by the next two bytes
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t header = data[0];
    const auto [rows, cols] = k_sizes[header & 3];
    pty::TerminalModel m(rows, cols, k_scrollbacks[(header >> 2) & 3]);
    const std::u32string_view delimiters =
        header & 0x10 ? std::u32string_view(U"") : k_default_word_delimiters;
    LogLines log(m);
    std::string logged;
    int probes = 0;
    std::size_t i = 1;
    while (i < size) {
        const std::uint8_t control = data[i++];
        switch (control & 3) {
            case 0:
            case 1: {
                const std::size_t n = std::min<std::size_t>((control >> 2) + 1u, size - i);
                m.feed(std::string_view(reinterpret_cast<const char*>(data + i), n));
                i += n;
                const std::string piece = log.scrolled(m);
                if (!piece.empty() && piece.back() != '\n') std::abort();
                logged += piece;
                break;
            }
            case 2:
                if (i + 2 > size) {
                    i = size;
                    break;
                }
                m.set_size(static_cast<std::uint16_t>(data[i] % 12 + 1),
                           static_cast<std::uint16_t>(data[i + 1] % 40 + 1));
                i += 2;
                break;
            default: {
                if (i + 2 > size || probes++ >= k_max_probes) {
                    i = size;
                    break;
                }
                const std::uint8_t a = data[i];
                const std::uint8_t b = data[i + 1];
                i += 2;
                // From before the history's start to past the screen's end.
                const LineNumber low = m.history_begin() - std::min<LineNumber>(m.history_begin(), 1);
                const LineNumber span = m.history_end() + m.rows() + 1 - low;
                const LinePosition at{low + a % span, static_cast<std::uint16_t>(b % (m.cols() + 2))};
                check_words(m, at, delimiters);
                check_links(m, at.line);
                check_block(m, at.line, at.line + b % 4, static_cast<std::uint16_t>(a % m.cols()),
                            static_cast<std::uint16_t>(b % (m.cols() + 1)));
                break;
            }
        }
    }
    logged += log.rest(m);
    if (!clean_log(logged)) std::abort();
    check_log_name(m.title());
    check_log_name(std::string_view(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 200)));
    return 0;
}
