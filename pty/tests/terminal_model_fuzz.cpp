// Feeds arbitrary bytes to the terminal model between resizes, reading
// everything the view reads after each step. Any crash or sanitizer report
// is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tolvar/pty/terminal_model.hpp"

namespace {

// Input: a sequence of steps. A step is a control byte then its payload:
//   low two bits 0, 1: feed the next (control >> 2) + 1 bytes
//   2: resize to the next two bytes, (rows % 40) + 1 by (cols % 100) + 1
//   3: read cells, cursor, texts and the scrollback
void read_all(const tolvar::pty::TerminalModel& m, std::uint8_t a, std::uint8_t b) {
    for (std::uint16_t r = 0; r < m.rows(); ++r) {
        for (std::uint16_t c = 0; c < m.cols(); ++c) (void)m.cell(r, c);
        (void)m.row_wrapped(r);
    }
    (void)m.visible_text();
    (void)m.text_between({static_cast<std::uint16_t>(a % 45), static_cast<std::uint16_t>(b)},
                         {static_cast<std::uint16_t>(b % 45), static_cast<std::uint16_t>(a * 3)});
    (void)m.title();
    if (m.scrollback_rows() > 0) (void)m.scrollback_line(a % m.scrollback_rows());
    // The history as the view reads it, from before its start to past the screen.
    tolvar::pty::LineCells cells;
    const tolvar::pty::LineNumber first =
        m.history_begin() - std::min<std::uint64_t>(m.history_begin(), 2);
    for (auto n = first; n < m.history_end() + m.rows() + 2; ++n) m.line(n, cells);
    (void)m.text_range({first + a % 7, b}, {m.history_end() + b % 45, a});
    const char queries[][4] = {"a", "e\xcc\x81", "\xc4\xb0", " ", "ab"};
    (void)m.find(queries[a % 5], b % 2 == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvar::pty::TerminalModel m(24, 80, 64);
    std::size_t i = 0;
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
                if (i + 2 > size) return 0;
                m.set_size(static_cast<std::uint16_t>(data[i] % 40 + 1),
                           static_cast<std::uint16_t>(data[i + 1] % 100 + 1));
                i += 2;
                break;
            default:
                read_all(m, i < size ? data[i] : 0, i + 1 < size ? data[i + 1] : 0);
                break;
        }
    }
    read_all(m, 0, 0);
    return 0;
}
