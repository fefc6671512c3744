#include "tolvar/proto/launch_plan.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "fake_launch_system.hpp"
#include "tolvar/proto/command_line.hpp"

namespace tolvar::proto {
namespace {

using testing::FakeSystem;

constexpr const char* k_ssh = "C:\\Windows\\System32\\OpenSSH\\ssh.exe";

struct PlanTest : ::testing::Test {
    FakeSystem system;

    LaunchResult<LaunchPlan> plan(const core::ProfileKind& kind) {
        return build_launch_plan(kind, system);
    }
    std::string command_line(const core::ProfileKind& kind) {
        auto result = plan(kind);
        if (!result) return "error: " + result.error().display();
        const auto* console = std::get_if<Console>(&*result);
        EXPECT_TRUE(console);
        return console ? console->command_line : "";
    }
    External external(const core::ProfileKind& kind) {
        auto result = plan(kind);
        EXPECT_TRUE(result) << result.error().display();
        if (!result) return {};
        EXPECT_TRUE(std::holds_alternative<External>(*result));
        return std::holds_alternative<External>(*result) ? std::get<External>(*result) : External{};
    }
    std::string failure(const core::ProfileKind& kind) {
        auto result = plan(kind);
        return result ? "" : result.error().display();
    }
};

TEST(Quoting, StatedExamples) {
    EXPECT_EQ(quote_windows_arg("abc"), "abc");
    EXPECT_EQ(quote_windows_arg("a\\b"), "a\\b");
    EXPECT_EQ(quote_windows_arg("a b"), "\"a b\"");
    EXPECT_EQ(quote_windows_arg("say \"hi\""), "\"say \\\"hi\\\"\"");
    EXPECT_EQ(quote_windows_arg("C:\\dir with space\\"), "\"C:\\dir with space\\\\\"");
    EXPECT_EQ(quote_windows_arg(""), "\"\"");
}

TEST(Quoting, BackslashRunsAndOtherCharacters) {
    EXPECT_EQ(quote_windows_arg("a\\\\\"b"), "\"a\\\\\\\\\\\"b\"");  // a\\"b -> "a\\\\\"b"
    EXPECT_EQ(quote_windows_arg("\"\""), "\"\\\"\\\"\"");
    EXPECT_EQ(quote_windows_arg("\t"), "\"\t\"");
    EXPECT_EQ(quote_windows_arg("a\\\\ b\\\\"), "\"a\\\\ b\\\\\\\\\"");
    // Only space, tab and double quote cause quoting.
    EXPECT_EQ(quote_windows_arg("line\nfeed\\"), "line\nfeed\\");
    EXPECT_EQ(quote_windows_arg("\xc3\xa9t\xc3\xa9"), "\xc3\xa9t\xc3\xa9");
}

TEST(Quoting, ProgramNameKeepsItsBackslashes) {
    EXPECT_EQ(quote_windows_program("C:\\x\\ssh.exe"), "C:\\x\\ssh.exe");
    EXPECT_EQ(quote_windows_program("C:\\Program Files\\v.exe"), "\"C:\\Program Files\\v.exe\"");
    EXPECT_EQ(quote_windows_program("C:\\odd dir\\"), "\"C:\\odd dir\\\"");
    EXPECT_EQ(quote_windows_program(""), "\"\"");
    const std::vector<std::string> args = {"", "a b", "-v"};
    EXPECT_EQ(join_command_line("C:\\Program Files\\v.exe", args),
              "\"C:\\Program Files\\v.exe\" \"\" \"a b\" -v");
    EXPECT_EQ(join_command_line("p", {}), "p");
}

TEST(ProgramSearch, PathListAndResolution) {
    EXPECT_EQ(split_search_path("C:\\a;;\"C:\\b;c\";C:\\d\\;"),
              (std::vector<std::string>{"C:\\a", "C:\\b;c", "C:\\d\\"}));
    const std::vector<std::string> dirs = {"C:\\sys", "C:\\a", "C:\\b\\"};
    const auto is_file = [](const std::string& p) {
        return p == "C:\\a\\mstsc.exe" || p == "C:\\b\\mstsc.exe";
    };
    EXPECT_EQ(resolve_program("mstsc.exe", dirs, is_file), "C:\\a\\mstsc.exe");
    EXPECT_EQ(resolve_program("other.exe", dirs, is_file), std::nullopt);
    // A name with a directory part is never searched for.
    EXPECT_EQ(resolve_program("C:\\v\\v.exe", dirs, is_file), "C:\\v\\v.exe");
    EXPECT_EQ(resolve_program(".\\mstsc.exe", dirs, is_file), ".\\mstsc.exe");
}

TEST_F(PlanTest, LocalShellKeepsTheCommandAsStored) {
    EXPECT_EQ(command_line(core::LocalShell{"  cmd.exe /k  "}), "  cmd.exe /k  ");
    EXPECT_EQ(failure(core::LocalShell{"   "}), "invalid profile: command is empty");
    EXPECT_EQ(failure(core::LocalShell{""}), "invalid profile: command is empty");
    EXPECT_EQ(failure(core::LocalShell{" \t "}),
              "invalid profile: command contains control characters");
}

TEST_F(PlanTest, SshArgumentsInOrder) {
    system.files.insert(k_ssh);
    EXPECT_EQ(command_line(core::Ssh{"srv1", 22}), std::string(k_ssh) + " srv1");
    EXPECT_EQ(command_line(core::Ssh{"srv1", 2222, "alice", "C:\\keys\\id", {}}),
              std::string(k_ssh) + " -p 2222 -i C:\\keys\\id alice@srv1");
    EXPECT_EQ(
        command_line(core::Ssh{"fe80::1", 22, std::nullopt, std::nullopt, {"-v", "-o Foo=1"}}),
        std::string(k_ssh) + " -v \"-o Foo=1\" fe80::1");
    EXPECT_EQ(command_line(core::Ssh{"h", 22, std::nullopt, "C:\\my keys\\", {}}),
              std::string(k_ssh) + " -i \"C:\\my keys\\\\\" h");
    // The identity file always follows -i, so a leading '-' is harmless there.
    EXPECT_EQ(command_line(core::Ssh{"h", 22, std::nullopt, "-k", {}}),
              std::string(k_ssh) + " -i -k h");
    EXPECT_EQ(command_line(core::Ssh{"h", 22, "", std::nullopt, {}}),
              "error: invalid profile: user is empty");
}

TEST_F(PlanTest, SshFailuresInCheckingOrder) {
    EXPECT_EQ(failure(core::Ssh{"", 0, ""}), "invalid profile: host is empty");
    EXPECT_EQ(failure(core::Ssh{"h", 0, ""}), "invalid profile: port must be non-zero");
    EXPECT_EQ(failure(core::Ssh{"h", 22, "-u", ""}),
              "invalid profile: user must not start with '-'");
    EXPECT_EQ(failure(core::Ssh{"h", 22, "u", ""}), "invalid profile: identity_file is empty");
    EXPECT_EQ(failure(core::Ssh{"h", 22, "u", "id\n", {"ProxyCommand"}}),
              "invalid profile: identity_file contains control characters");
    EXPECT_EQ(failure(core::Ssh{"h", 22, "u", "id", {"-oLocalCommand=x"}}),
              "invalid profile: extra_args entry \"-oLocalCommand=x\" contains forbidden option "
              "(localcommand)");
    // The entries are read as ssh's own options.
    EXPECT_EQ(failure(core::Ssh{"h", 22, "u", "id", {"-v", "-F", "cfg"}}),
              "invalid profile: extra_args entry \"-F\" contains forbidden option (-F)");
}

TEST_F(PlanTest, SshProgramIsFoundUnderSystemRoot) {
    system.files.insert(k_ssh);
    EXPECT_EQ(find_ssh_program(system), k_ssh);
    system.env.erase("SystemRoot");  // falls back to C:\Windows
    EXPECT_EQ(find_ssh_program(system), k_ssh);
    // Regression: an empty SystemRoot made the path relative to the current directory.
    system.env["SystemRoot"] = "";
    system.files.insert("System32\\OpenSSH\\ssh.exe");
    EXPECT_EQ(find_ssh_program(system), k_ssh);
    system.env["SystemRoot"] = "D:\\Win\\";
    system.files.insert("D:\\Win\\System32\\OpenSSH\\ssh.exe");
    EXPECT_EQ(find_ssh_program(system), "D:\\Win\\System32\\OpenSSH\\ssh.exe");
}

// Regression: with no ssh.exe under SystemRoot the plan ran the bare name,
// which the system looks for in tolvar's folder and the current directory
// before anywhere else.
TEST_F(PlanTest, SshProgramElsewhereIsAFullPathFromTheSystemFolderOrPath) {
    system.env["PATH"] = ".;bin;C:relative;\\rooted;C:\\Git\\usr\\bin;\\\\srv\\tools";
    system.files = {".\\ssh.exe", "bin\\ssh.exe", "C:relative\\ssh.exe", "\\rooted\\ssh.exe"};
    EXPECT_EQ(
        program_search_dirs(system),
        (std::vector<std::string>{"C:\\Windows\\System32", "C:\\Git\\usr\\bin", "\\\\srv\\tools"}));
    // Found nowhere, the plan names the place it belongs, so the start fails
    // there instead of running a planted file.
    EXPECT_EQ(find_ssh_program(system), k_ssh);
    EXPECT_EQ(command_line(core::Ssh{"h", 22}), std::string(k_ssh) + " h");

    system.files.insert("\\\\srv\\tools\\ssh.exe");
    EXPECT_EQ(find_ssh_program(system), "\\\\srv\\tools\\ssh.exe");
    system.files.insert("C:\\Git\\usr\\bin\\ssh.exe");
    EXPECT_EQ(find_ssh_program(system), "C:\\Git\\usr\\bin\\ssh.exe");
    system.files.insert("C:\\Windows\\System32\\ssh.exe");
    EXPECT_EQ(find_ssh_program(system), "C:\\Windows\\System32\\ssh.exe");
    system.files.insert(k_ssh);
    EXPECT_EQ(find_ssh_program(system), k_ssh);

    // A folder with a space is quoted as the program; an alias plan too.
    system.files = {"C:\\Program Files\\Git\\usr\\bin\\ssh.exe"};
    system.env["PATH"] = "C:\\Program Files\\Git\\usr\\bin";
    system.system_dir = std::nullopt;
    EXPECT_EQ(command_line(core::Ssh{"h", 2222}),
              "\"C:\\Program Files\\Git\\usr\\bin\\ssh.exe\" -p 2222 h");
    EXPECT_EQ(std::get<Console>(*ssh_alias_plan("web", system)).command_line,
              "\"C:\\Program Files\\Git\\usr\\bin\\ssh.exe\" web");
}

TEST_F(PlanTest, SshAliasAloneAndHeldToTheHostRules) {
    system.files.insert(k_ssh);
    auto alias = ssh_alias_plan("web-1.lan", system);
    ASSERT_TRUE(alias);
    EXPECT_EQ(std::get<Console>(*alias).command_line, std::string(k_ssh) + " web-1.lan");
    EXPECT_EQ(ssh_alias_plan("-oProxyCommand=calc", system).error().display(),
              "invalid profile: host must not start with '-'");
    EXPECT_FALSE(ssh_alias_plan("a b", system));
}

TEST_F(PlanTest, RdpFileText) {
    const auto text = [](core::Rdp rdp) { return rdp_file_text(rdp); };
    EXPECT_EQ(text({"srv1", 3389}), "full address:s:srv1\r\nscreen mode id:i:1\r\n");
    EXPECT_EQ(text({"fe80::1", 3390, std::nullopt, std::nullopt, true, true}),
              "full address:s:fe80::1:3390\r\nscreen mode id:i:2\r\n"
              "administrative session:i:1\r\n");
    EXPECT_EQ(text({"h", 3389, "alice", "CORP"}),
              "full address:s:h\r\nusername:s:CORP\\alice\r\nscreen mode id:i:1\r\n");
    EXPECT_EQ(text({"h", 3389, "alice"}),
              "full address:s:h\r\nusername:s:alice\r\nscreen mode id:i:1\r\n");
    EXPECT_EQ(text({"h", 3389, std::nullopt, "CORP"}),
              "full address:s:h\r\nscreen mode id:i:1\r\n");
}

TEST_F(PlanTest, RdpPlanWritesItsFileInTheTemporaryDirectory) {
    EXPECT_EQ(failure(core::Rdp{"h\xc3\xa9", 3389}),
              "invalid profile: host contains invalid characters: \"h\xc3\xa9\"");

    const External rdp = external(core::Rdp{"srv1", 3389, "alice", "CORP", true, false});
    EXPECT_EQ(rdp.program, "mstsc.exe");
    ASSERT_EQ(rdp.arguments.size(), 1u);
    EXPECT_EQ(rdp.temp_file, rdp.arguments[0]);
    const std::string& path = rdp.arguments[0];
    EXPECT_EQ(path.rfind("C:\\Temp\\tolvar-4242-", 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 24), "-1700000000000000000.rdp") << path;
    EXPECT_EQ(system.written[path],
              "full address:s:srv1\r\nusername:s:CORP\\alice\r\nscreen mode id:i:2\r\n");

    system.temp = "C:\\Temp";  // no trailing separator
    const External other = external(core::Rdp{"srv1", 3389});
    EXPECT_EQ(other.arguments[0].rfind("C:\\Temp\\tolvar-", 0), 0u);
}

TEST_F(PlanTest, RdpCounterAdvancesEvenWhenTheClockDoesNot) {
    const auto counter = [](const std::string& path) {
        const std::size_t end = path.rfind('-');
        const std::size_t start = path.rfind('-', end - 1) + 1;
        return std::stoull(path.substr(start, end - start));
    };
    const External a = external(core::Rdp{"h", 3389});
    const External b = external(core::Rdp{"h", 3389});
    EXPECT_EQ(counter(b.arguments[0]), counter(a.arguments[0]) + 1);
    EXPECT_NE(a.arguments[0], b.arguments[0]);
}

TEST_F(PlanTest, RdpNameAndFailures) {
    EXPECT_EQ(rdp_file_name(7, 0, 1), "tolvar-7-0-100.rdp");
    EXPECT_EQ(rdp_file_name(7, 3, 0), "tolvar-7-3-0.rdp");
    EXPECT_EQ(rdp_file_name(7, 3, -5), "tolvar-7-3-0.rdp");
    // Far beyond the range of 64-bit nanoseconds, still exact.
    EXPECT_EQ(rdp_file_name(1, 2, 9'223'372'036'854'775'807),
              "tolvar-1-2-922337203685477580700.rdp");

    EXPECT_EQ(failure(core::Rdp{"h", 3389, "", "CORP"}), "invalid profile: user is empty");
    EXPECT_EQ(failure(core::Rdp{"h", 3389, "a", ""}), "invalid profile: domain is empty");
    EXPECT_EQ(failure(core::Rdp{"h", 3389, std::nullopt, "-D"}),
              "invalid profile: domain must not start with '-'");
    EXPECT_EQ(failure(core::Rdp{"h", 0}), "invalid profile: port must be non-zero");

    system.write_error = core::IoError{5, "Access is denied. (os error 5)"};
    auto result = plan(core::Rdp{"h", 3389});
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind(), LaunchError::Kind::Io);
    EXPECT_EQ(result.error().display(), "i/o error: Access is denied. (os error 5)");
    EXPECT_EQ(result.error().io_error().code, 5);
}

TEST_F(PlanTest, VncViewerSearchOrder) {
    EXPECT_EQ(find_vnc_viewer(system), std::nullopt);
    system.env["ProgramFiles"] = "C:\\PF";
    system.env["ProgramFiles(x86)"] = "C:\\PF86";
    system.files.insert("C:\\PF86\\uvnc bvba\\UltraVNC\\vncviewer.exe");
    EXPECT_EQ(find_vnc_viewer(system), "C:\\PF86\\uvnc bvba\\UltraVNC\\vncviewer.exe");
    system.files.insert("C:\\PF\\RealVNC\\VNC Viewer\\vncviewer.exe");
    EXPECT_EQ(find_vnc_viewer(system), "C:\\PF\\RealVNC\\VNC Viewer\\vncviewer.exe");
    system.files.insert("C:\\PF86\\TightVNC\\tvnviewer.exe");
    EXPECT_EQ(find_vnc_viewer(system), "C:\\PF86\\TightVNC\\tvnviewer.exe");
    system.files.insert("C:\\PF\\TightVNC\\tvnviewer.exe");
    EXPECT_EQ(find_vnc_viewer(system), "C:\\PF\\TightVNC\\tvnviewer.exe");
    // An empty base is no base: it must not turn into a relative path.
    system.env["ProgramFiles"] = "";
    system.files.insert("TightVNC\\tvnviewer.exe");
    EXPECT_EQ(find_vnc_viewer(system), "C:\\PF86\\TightVNC\\tvnviewer.exe");
}

TEST_F(PlanTest, VncPlan) {
    system.files.insert("C:\\v\\viewer.exe");
    const External vnc =
        external(core::Vnc{"srv1", 5900, "C:\\v\\viewer.exe", {"-a", "b c", "-FullScreen"}});
    EXPECT_EQ(
        vnc,
        (External{"C:\\v\\viewer.exe", {"-a", "b c", "-FullScreen", "srv1:5900"}, std::nullopt}));
    EXPECT_EQ(external(core::Vnc{"fe80::1", 5901, "C:\\v\\viewer.exe"}).arguments,
              std::vector<std::string>{"fe80::1:5901"});

    EXPECT_EQ(failure(core::Vnc{"srv1", 5900, "C:\\v"}),
              "program not found: configured VNC viewer not found: C:\\v");
    EXPECT_EQ(failure(core::Vnc{"srv1", 5900, "C:\\v\\viewer.exe\t"}),
              "invalid profile: viewer_path contains control characters");
    EXPECT_EQ(failure(core::Vnc{"srv1", 5900}),
              "program not found: no VNC viewer configured and none autodetected "
              "(TightVNC/RealVNC/UltraVNC default install paths)");
    EXPECT_EQ(failure(core::Vnc{"srv1", 5900, "nope", {"RemoteCommand"}}),
              "invalid profile: extra_args entry \"RemoteCommand\" contains forbidden option "
              "(remotecommand)");
    EXPECT_EQ(failure(core::Vnc{"srv 1", 5900, "nope"}),
              "invalid profile: host contains invalid characters: \"srv 1\"");

    system.env["ProgramFiles"] = "C:\\PF";
    system.files.insert("C:\\PF\\TightVNC\\tvnviewer.exe");
    EXPECT_EQ(external(core::Vnc{"srv1", 5900}).program, "C:\\PF\\TightVNC\\tvnviewer.exe");
}

}  // namespace
}  // namespace tolvar::proto
