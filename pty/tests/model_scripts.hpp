// Helpers of the terminal model's byte-script tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {

inline TerminalModel fed(std::uint16_t rows, std::uint16_t cols, std::string_view bytes,
                         std::size_t scrollback = 100) {
    TerminalModel m(rows, cols, scrollback);
    m.feed(bytes);
    return m;
}

// Feeds `script` cut in two at every byte boundary, and byte by byte, to
// fresh models; `state` of each must be `state` of the script fed whole.
template <class State>
void expect_every_split_alike(std::uint16_t rows, std::uint16_t cols, std::string_view script,
                              State state) {
    const std::string whole = state(fed(rows, cols, script));
    for (std::size_t split = 1; split < script.size(); ++split) {
        TerminalModel m(rows, cols, 100);
        m.feed(script.substr(0, split));
        m.feed(script.substr(split));
        ASSERT_EQ(state(m), whole) << "split at " << split;
    }
    TerminalModel bytewise(rows, cols, 100);
    for (char b : script) bytewise.feed(std::string_view(&b, 1));
    EXPECT_EQ(state(bytewise), whole) << "byte by byte";
}

}  // namespace tolvar::pty
