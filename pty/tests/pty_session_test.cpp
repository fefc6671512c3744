#include "tolvar/pty/pty_session.hpp"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace tolvar::pty {
namespace {

TEST(SessionIds, ConsecutiveAndUniqueAcrossThreads) {
    const SessionId first = take_session_id();
    EXPECT_GE(first, 1u);
    EXPECT_EQ(take_session_id(), first + 1);

    std::vector<std::vector<SessionId>> taken(4);
    std::vector<std::thread> threads;
    for (auto& ids : taken) {
        threads.emplace_back([&ids] {
            for (int i = 0; i < 1000; ++i) ids.push_back(take_session_id());
        });
    }
    for (auto& t : threads) t.join();
    std::set<SessionId> all;
    for (const auto& ids : taken) all.insert(ids.begin(), ids.end());
    EXPECT_EQ(all.size(), 4000u);
    EXPECT_GT(*all.begin(), first + 1);
}

TEST(CommandLine, CallerThenComspecThenDefaultShell) {
    struct Case {
        std::optional<std::string> command;
        std::optional<std::string> comspec;
        std::string expected;
    };
    const std::string shell(k_default_shell);
    const Case cases[] = {
        {"ssh.exe host", "D:\\sh.exe", "ssh.exe host"},
        {std::nullopt, "D:\\sh.exe", "D:\\sh.exe"},
        {std::nullopt, std::nullopt, shell},  // unset or not valid Unicode
        {std::nullopt, "", shell},
        {std::nullopt, "   ", shell},
        {std::nullopt, "\t\xe3\x80\x80\xc2\xa0", shell},  // Unicode white space only
        // Surrounding spaces are kept: the value is used unchanged.
        {std::nullopt, "  C:\\x y\\sh.exe /k  ", "  C:\\x y\\sh.exe /k  "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choose_command_line(c.command, c.comspec), c.expected)
            << c.comspec.value_or("<unset>");
    }
    EXPECT_EQ(shell, "C:\\Windows\\System32\\cmd.exe");
}

TEST(ProgramName, FirstArgumentAsTheSystemSplitsIt) {
    struct Case {
        std::string_view command_line;
        std::string_view program;
    };
    const Case cases[] = {
        {"cmd.exe", "cmd.exe"},
        {"ssh.exe -p 22 host", "ssh.exe"},
        {"ssh.exe\t-v", "ssh.exe"},
        {"\"C:\\Program Files\\Git\\bin\\bash.exe\" --login",
         "C:\\Program Files\\Git\\bin\\bash.exe"},
        {"\"C:\\x y\\sh.exe\"--login", "C:\\x y\\sh.exe"},  // the name ends at the quote
        {"\"C:\\unterminated name", "C:\\unterminated name"},
        {"C:\\a\"b c\"\\sh.exe x", "C:\\a\"b"},  // quotes inside a name do not group
        {"  C:\\x\\sh.exe /k  ", "C:\\x\\sh.exe"},
        {"\"\" rest", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(program_name(c.command_line), c.program) << c.command_line;
}

TEST(StartErrorText, SystemTextFollowsAColon) {
    struct Case {
        std::string_view system;
        std::string_view reason;
    };
    const Case cases[] = {
        {"The system cannot find the file specified. (os error 2)",
         "the system cannot find the file specified (os error 2)"},
        {"Access is denied. (os error 5)", "access is denied (os error 5)"},
        // An acronym or a one-letter word keeps its case.
        {"DNS name does not exist. (os error 9003)", "DNS name does not exist (os error 9003)"},
        {"I/O error. (os error 1117)", "I/O error (os error 1117)"},
        {"Unknown error (os error 1234)", "unknown error (os error 1234)"},
        // Only the period before the code goes; one inside the text stays.
        {"File C:\\a.b is open. (os error 32)", "file C:\\a.b is open (os error 32)"},
        {"No code at all.", "no code at all"},
        // Other scripts the system's messages are written in.
        {"\xc3\x89l\xc3\xa9ment introuvable. (os error 1168)",
         "\xc3\xa9l\xc3\xa9ment introuvable (os error 1168)"},
        {"\xd0\x9e\xd1\x82\xd0\xba\xd0\xb0\xd0\xb7\xd0\xb0\xd0\xbd\xd0\xbe \xd0\xb2 "
         "\xd0\xb4\xd0\xbe\xd1\x81\xd1\x82\xd1\x83\xd0\xbf\xd0\xb5. (os error 5)",
         "\xd0\xbe\xd1\x82\xd0\xba\xd0\xb0\xd0\xb7\xd0\xb0\xd0\xbd\xd0\xbe \xd0\xb2 "
         "\xd0\xb4\xd0\xbe\xd1\x81\xd1\x82\xd1\x83\xd0\xbf\xd0\xb5 (os error 5)"},
        {"", ""},
        {"X", "X"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reason_from_system_text(c.system), c.reason) << c.system;
    }
}

TEST(StartErrorText, MessageNamesTheProgramAndTheStep) {
    const StartError process = start_error(
        "\"C:\\x y\\cmd.exe\" /k", "", "The system cannot find the file specified. (os error 2)");
    EXPECT_EQ(process.program, "C:\\x y\\cmd.exe");
    EXPECT_EQ(
        process.display(),
        "Cannot start C:\\x y\\cmd.exe: the system cannot find the file specified (os error 2)");

    const StartError console = start_error("cmd.exe", "the pseudo console could not be created",
                                           "Access is denied. (os error 5)");
    EXPECT_EQ(console.display(),
              "Cannot start cmd.exe: the pseudo console could not be created: access is denied "
              "(os error 5)");
}

}  // namespace
}  // namespace tolvar::pty
