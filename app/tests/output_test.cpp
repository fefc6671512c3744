#include "sessions/output.hpp"

#include <gtest/gtest.h>

namespace tolvar::app {
namespace {

TEST(OutputFileName, TitleAndDateWithWhatNamesCannotHoldReplaced) {
    EXPECT_EQ(output_file_name("build", 2026, 12, 8), "build 2026-12-08.txt");
    EXPECT_EQ(output_file_name("C:\\windows\\system32\\cmd.exe", 2026, 1, 2),
              "C__windows_system32_cmd.exe 2026-01-02.txt");
    EXPECT_EQ(output_file_name("a<b>c:d\"e/f|g?h*i\x01", 2026, 1, 2),
              "a_b_c_d_e_f_g_h_i_ 2026-01-02.txt");
    EXPECT_EQ(output_file_name("logs... ", 2026, 1, 2), "logs 2026-01-02.txt");
    EXPECT_EQ(output_file_name("   ", 2026, 1, 2), "output 2026-01-02.txt");
    EXPECT_EQ(output_file_name("con", 2026, 1, 2), "_con 2026-01-02.txt");
    EXPECT_EQ(output_file_name("LPT1", 2026, 1, 2), "_LPT1 2026-01-02.txt");
    EXPECT_EQ(output_file_name("console", 2026, 1, 2), "console 2026-01-02.txt");
    // Windows reads a device in the part before the first dot: an OSC title
    // "NUL.x" offered a name that saves into nothing.
    EXPECT_EQ(output_file_name("NUL.x", 2026, 1, 2), "_NUL.x 2026-01-02.txt");
    EXPECT_EQ(output_file_name("com1 .lab", 2026, 1, 2), "_com1 .lab 2026-01-02.txt");
    EXPECT_EQ(output_file_name("CONOUT$", 2026, 1, 2), "_CONOUT$ 2026-01-02.txt");
    EXPECT_EQ(output_file_name("COM10.lab", 2026, 1, 2), "COM10.lab 2026-01-02.txt");
    EXPECT_EQ(output_file_name("\xC2\xBB web \xE2\x80\x94 prod", 2026, 1, 2),
              "\xC2\xBB web \xE2\x80\x94 prod 2026-01-02.txt");
    // Long titles are cut, never inside a character.
    std::string long_title;
    for (int i = 0; i < 100; ++i) long_title += "\xC3\xA9";  // 200 bytes
    const std::string name = output_file_name(long_title, 2026, 1, 2);
    EXPECT_EQ(name, std::string(long_title, 0, 120) + " 2026-01-02.txt");
    // A long title naming a device was one byte over the bound with its mark
    // (found by the fuzzer).
    const std::string device = "com2." + long_title;
    EXPECT_EQ(output_file_name(device, 2026, 1, 2),
              "_com2." + std::string(long_title, 0, 114) + " 2026-01-02.txt");
}

TEST(OutputText, HistoryThenScreenEndingInOneLineFeed) {
    pty::TerminalModel model(3, 20, 100);
    EXPECT_EQ(output_text(model), "");
    model.feed("one\r\ntwo\r\nthree\r\nfour\r\nfive");
    EXPECT_EQ(model.scrollback_rows(), 2u);
    EXPECT_EQ(output_text(model), "one\ntwo\nthree\nfour\nfive\n");
}

}  // namespace
}  // namespace tolvar::app
