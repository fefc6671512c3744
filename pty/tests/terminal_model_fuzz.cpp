// Feeds arbitrary bytes to the terminal model between resizes, reading
// everything the view reads after each step. Any crash or sanitizer report
// is a fault, and so is a cursor off the grid or a history over its cap, a
// reader of the damage record whose copy of the screen ends unlike it, a
// row read whole unlike the same row read cell by cell, or text right of a
// double-width row's half.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/pty/terminal_model.hpp"

namespace {

using tolvar::pty::TerminalModel;

// Input: a header byte, then steps. The header picks the starting size and
// history cap (small: reading is what an execution costs, and edges at the
// grid's borders show on any size), whether the model answers, and whether
// one departure is off (a second header byte names it). A step is a control
// byte then its payload:
//   low two bits 0, 1: feed the next (control >> 2) + 1 bytes
//   2: resize to the next two bytes, (rows % 16) + 1 by (cols % 90) + 1
//   3: read the cursor, the history and a text range; clear the history
//      when the next byte ends in 0xF
constexpr std::array<std::array<std::uint16_t, 2>, 8> k_sizes{
    {{6, 10}, {1, 1}, {2, 3}, {4, 12}, {3, 40}, {10, 5}, {6, 10}, {8, 20}}};
constexpr std::array<std::size_t, 4> k_scrollbacks{16, 0, 1, 5};
// Reads in between steps: the first few find what a step left inconsistent;
// more only repeat them at a cost.
constexpr int k_max_reads = 4;

// A row as the damage record's reader keeps it: a digest of everything a
// painter reads of it, read as a painter reads it (a whole line at once:
// building it cell by cell was most of what an execution cost).
std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15u + (h << 6) + (h >> 2);
    return h * 0xff51afd7ed558ccdu;
}

std::uint64_t digest(const std::vector<tolvar::pty::Cell>& cells, bool wrapped,
                     tolvar::pty::LineSize size) {
    std::uint64_t h = mix(
        cells.size(), static_cast<std::uint64_t>(wrapped) << 8 | static_cast<std::uint64_t>(size));
    for (const tolvar::pty::Cell& cell : cells) {
        for (const char c : cell.contents) h = mix(h, static_cast<unsigned char>(c));
        h = mix(h, cell.contents.size());
        h = mix(h, std::uint64_t{cell.fg.bits()} << 32 | cell.bg.bits());
        h = mix(h, std::uint64_t{cell.underline_color.bits()} << 32 | cell.hyperlink);
        h = mix(h, static_cast<std::uint32_t>(cell.underline) | cell.bold << 3 | cell.faint << 4 |
                       cell.italic << 5 | cell.inverse << 6 | cell.strikethrough << 7 |
                       cell.conceal << 8 | cell.wide << 9 | cell.wide_continuation << 10);
    }
    return h;
}

std::uint64_t row_of(const TerminalModel& m, std::uint16_t r) {
    static tolvar::pty::LineCells line;
    m.line(m.history_end() + r, line);
    return digest(line.cells, line.wrapped, line.size);
}

// The same row read cell by cell, as the screen's accessors give it.
std::uint64_t row_by_cells(const TerminalModel& m, std::uint16_t r) {
    std::vector<tolvar::pty::Cell> cells;
    for (std::uint16_t c = 0; c < m.cols(); ++c) cells.push_back(m.cell(r, c));
    return digest(cells, m.row_wrapped(r), m.row_size(r));
}

// Repaints only what damage_since names; a scroll leaves 0 in the rows it
// brought in, which no row's digest is.
struct Reader {
    std::uint64_t seen = 0;
    std::vector<std::uint64_t> rows;
    void catch_up(const TerminalModel& m) {
        const tolvar::pty::Damage d = m.damage_since(seen);
        seen = d.now;
        if (d.everything) {
            rows.assign(m.rows(), 0);
            for (std::uint16_t r = 0; r < m.rows(); ++r) rows[r] = row_of(m, r);
            return;
        }
        for (const auto& s : d.scrolls) {
            if (s.top > s.bottom || s.bottom >= rows.size()) std::abort();
            const int height = s.bottom - s.top + 1, k = s.count < 0 ? -s.count : s.count;
            for (int i = 0; i < height; ++i) {
                const int to = s.count > 0 ? s.top + i : s.bottom - i;
                rows[to] = i + k < height ? rows[s.count > 0 ? to + k : to - k] : 0;
            }
        }
        for (std::uint16_t r : d.rows) rows.at(r) = row_of(m, r);
    }
    void expect(const TerminalModel& m) {
        catch_up(m);
        if (rows.size() != m.rows()) std::abort();
        for (std::uint16_t r = 0; r < m.rows(); ++r)
            if (rows[r] != row_of(m, r)) std::abort();
    }
};

std::size_t g_scrollback = 0;
// With the restore_on_grid departure off, DECRC after a shrink puts the
// cursor where the reference does, off the grid; only then may it be there.
bool g_cursor_on_grid = true;

// Between steps the cheap reads that find what a step left inconsistent; at
// the end everything the view reads, cell by cell and by search as well.
void read(TerminalModel& m, std::uint8_t a, std::uint8_t b, bool all) {
    // A pending wrap holds the cursor one past the last column.
    const auto cursor = m.cursor();
    if (g_cursor_on_grid && (cursor.row >= m.rows() || cursor.col > m.cols())) std::abort();
    if (m.scrollback_rows() > g_scrollback) std::abort();
    (void)m.take_answers();
    if (m.scrollback_rows() > 0) (void)m.scrollback_line(a % m.scrollback_rows());
    // The history as the view reads it, from before its start to past the screen.
    tolvar::pty::LineCells cells;
    const tolvar::pty::LineNumber first =
        m.history_begin() - std::min<std::uint64_t>(m.history_begin(), 2);
    for (auto n = first; n < m.history_end() + m.rows() + 2; ++n) {
        m.line(n, cells);
        for (const auto& cell : cells.cells)
            if (cell.hyperlink != 0) (void)m.hyperlink_target(cell.hyperlink);
    }
    (void)m.text_range({first + a % 7, b}, {m.history_end() + b % 45, a});
    if (!all) return;
    for (std::uint16_t r = 0; r < m.rows(); ++r) {
        // A doubled row holds nothing right of its half.
        const std::uint16_t half = m.row_size(r) == tolvar::pty::LineSize::Single
                                       ? m.cols()
                                       : static_cast<std::uint16_t>(m.cols() - m.cols() / 2);
        for (std::uint16_t c = 0; c < m.cols(); ++c) {
            if (!m.cell(r, c).contents.empty() && c >= half) std::abort();
        }
        if (row_by_cells(m, r) != row_of(m, r)) std::abort();
    }
    (void)m.visible_text();
    (void)m.text_between({static_cast<std::uint16_t>(a % 45), static_cast<std::uint16_t>(b)},
                         {static_cast<std::uint16_t>(b % 45), static_cast<std::uint16_t>(a * 3)});
    (void)m.title();
    (void)m.icon_name();
    (void)m.memory_bytes();
    const char queries[][4] = {"a", "e\xcc\x81", "\xc4\xb0", " ", "ab"};
    (void)m.find(queries[(a + b) % 5], b % 3 == 0, 3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t header = data[0];
    std::size_t i = 1;
    const auto [rows, cols] = k_sizes[header & 7];
    g_scrollback = k_scrollbacks[(header >> 3) & 3];
    TerminalModel m(rows, cols, g_scrollback);
    if (header & 0x20) m.set_answering(true);
    g_cursor_on_grid = true;
    if ((header & 0x40) && i < size) {
        const std::uint32_t off = 1u << (data[i++] % std::bit_width(tolvar::pty::departure::all));
        m.set_departures(tolvar::pty::departure::all & ~off);
        g_cursor_on_grid = off != tolvar::pty::departure::restore_on_grid;
    }
    int reads = 0;
    // One reader asks at every read step, one only at the start and the end.
    Reader often, seldom;
    often.catch_up(m);
    seldom.catch_up(m);
    while (i < size) {
        const std::uint8_t control = data[i++];
        switch (control & 3) {
            case 0:
            case 1: {
                const std::size_t n = std::min<std::size_t>((control >> 2) + 1u, size - i);
                m.feed(std::string_view(reinterpret_cast<const char*>(data + i), n));
                i += n;
                break;
            }
            case 2:
                if (i + 2 > size) {
                    i = size;
                    break;
                }
                m.set_size(static_cast<std::uint16_t>(data[i] % 16 + 1),
                           static_cast<std::uint16_t>(data[i + 1] % 90 + 1));
                i += 2;
                break;
            default:
                if (reads++ < k_max_reads) {
                    const std::uint8_t a = i < size ? data[i] : 0;
                    read(m, a, i + 1 < size ? data[i + 1] : 0, false);
                    often.catch_up(m);
                    if (a % 16 == 15) m.clear_scrollback();
                }
                break;
        }
    }
    read(m, 0, 0, true);
    often.expect(m);
    seldom.expect(m);
    return 0;
}
