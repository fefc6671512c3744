// The quoting checked against the system's own parser, CommandLineToArgvW.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <random>

#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/command_line.hpp"

namespace tolvar::proto {
namespace {

std::vector<std::string> system_split(const std::string& line) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(core::win::to_wide(line).c_str(), &argc);
    std::vector<std::string> out;
    for (int i = 0; argv && i < argc; ++i) out.push_back(core::win::from_wide(argv[i]));
    if (argv) LocalFree(argv);
    return out;
}

void expect_round_trip(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> expected = {program};
    expected.insert(expected.end(), args.begin(), args.end());
    const std::string line = join_command_line(program, args);
    ASSERT_EQ(system_split(line), expected) << "command line: " << line;
}

TEST(CommandLineRoundTrip, StatedExamplesAndHardCases) {
    expect_round_trip("C:\\Windows\\System32\\OpenSSH\\ssh.exe",
                      {"-p", "2222", "-i", "C:\\keys\\id", "alice@srv1"});
    expect_round_trip("C:\\Program Files\\RealVNC\\VNC Viewer\\vncviewer.exe",
                      {"abc", "a\\b", "a b", "say \"hi\"", "C:\\dir with space\\", ""});
    expect_round_trip("C:\\dir with space\\", {"\\", "\\\\", "\"", "\\\"", "a\\\\\"b", "\t", " "});
    expect_round_trip("a", {"\xc3\xa9 \xf0\x9f\x98\x80", "line\nfeed", "\\\\server\\share\\"});
}

// A path can hold anything but double quotes and control characters.
std::string random_program(std::mt19937& rng) {
    static const std::vector<std::string> k_pieces = {"a",
                                                      "Z",
                                                      "7",
                                                      " ",
                                                      " ",
                                                      ".",
                                                      "-",
                                                      "(",
                                                      ")",
                                                      "'",
                                                      "&",
                                                      "^",
                                                      "%",
                                                      "\xc3\xa9",
                                                      "\xe4\xb8\xad",
                                                      "\xf0\x9f\x98\x80"};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(k_pieces.size()) - 1);
    std::uniform_int_distribution<int> count(1, 4);
    std::uniform_int_distribution<int> length(1, 8);
    std::string path = std::vector<std::string>{"C:\\", "\\\\srv\\share\\", "", ".\\"}[rng() % 4];
    const int components = count(rng);
    for (int c = 0; c < components; ++c) {
        if (c > 0) path += '\\';
        const int n = length(rng);
        for (int i = 0; i < n; ++i) path += k_pieces[pick(rng)];
    }
    if (rng() % 8 == 0) path += '\\';
    return path;
}

std::string random_arg(std::mt19937& rng) {
    static const std::vector<std::string> k_pieces = {
        "a",    "b",      " ",    "\t", "\"",       "\"",           "\\",
        "\\\\", "\\\\\\", "\\\"", "\n", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
        "'",    "^",      "%"};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(k_pieces.size()) - 1);
    std::uniform_int_distribution<int> length(0, 8);
    std::string arg;
    const int n = length(rng);
    for (int i = 0; i < n; ++i) arg += k_pieces[pick(rng)];
    return arg;
}

TEST(CommandLineRoundTrip, RandomProgramsAndArguments) {
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> count(0, 6);
    for (int round = 0; round < 100000; ++round) {
        const std::string program = random_program(rng);
        std::vector<std::string> args(count(rng));
        for (std::string& arg : args) arg = random_arg(rng);
        expect_round_trip(program, args);
        if (HasFatalFailure()) {
            ADD_FAILURE() << "seed " << seed << ", round " << round;
            return;
        }
    }
}

// The forbidden-option test folds ASCII only; that equals full lower-casing
// only while no other code point lower-cases into the letters of the words.
// The system's case tables agree (U+0130, whose full mapping adds a combining
// dot to 'i', involves no such letter either).
TEST(ForbiddenOptionFolding, NoNonAsciiCodePointLowerCasesIntoTheWords) {
    std::u16string all;
    std::vector<char32_t> origin;
    for (char32_t cp = 0x80; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        std::string utf8;
        core::append_utf8(utf8, cp);
        const std::u16string unit = core::utf8_to_utf16(utf8);
        all += unit;
        origin.insert(origin.end(), unit.size(), cp);
    }
    std::wstring lowered(all.size(), L'\0');
    const int n =
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE,
                      reinterpret_cast<const wchar_t*>(all.data()), static_cast<int>(all.size()),
                      lowered.data(), static_cast<int>(lowered.size()), nullptr, nullptr, 0);
    ASSERT_EQ(n, static_cast<int>(all.size()));
    const std::string letters = "proxycommandlocalcommandremotecommand";
    for (std::size_t i = 0; i < lowered.size(); ++i) {
        if (lowered[i] < 0x80 && letters.find(static_cast<char>(lowered[i])) != std::string::npos) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(origin[i])
                          << " lower-cases to '" << static_cast<char>(lowered[i]) << "'";
        }
    }
}

}  // namespace
}  // namespace tolvar::proto
