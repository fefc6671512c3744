#include "tolvar/proto/ssh_config.hpp"

#include <gtest/gtest.h>

#include "fake_launch_system.hpp"
#include "memory_ssh_files.hpp"

namespace tolvar::proto {
namespace {

using testing::MemoryFiles;

constexpr char k_home[] = "C:\\Users\\ann";
constexpr char k_config[] = "C:\\Users\\ann\\.ssh\\config";
constexpr char k_system[] = "C:\\ProgramData\\ssh\\ssh_config";

SshConfigListing read(MemoryFiles& files) {
    return read_ssh_config(files, {k_home, "C:\\ProgramData"});
}

SshConfigListing read_user(std::string text) {
    MemoryFiles files;
    files.files[k_config] = std::move(text);
    return read(files);
}

SshConfigHost host(std::string alias, std::string name, std::optional<std::string> user = {},
                   std::string port = "22") {
    return {std::move(alias), std::move(name), std::move(user), std::move(port)};
}

std::vector<std::string> aliases(const SshConfigListing& listing) {
    std::vector<std::string> out;
    for (const auto& h : listing.hosts) out.push_back(h.alias);
    return out;
}

using Strings = std::vector<std::string>;

TEST(SshConfigResolve, FirstValueWinsOverBlocksAndFiles) {
    MemoryFiles files;
    files.files[k_config] =
        "# settings before any Host apply to every host\n"
        "User everyone-first\n"
        "Host web web2\n"
        "  HostName web.example.com\n"
        "  Port 2222\n"
        "  User ignored-already-set\n"
        "Host *.example.com db\n"
        "  Port 9999\n"
        "  HostName db.internal\n"
        "Host *\n"
        "  Port 2200\n";
    files.files[k_system] =
        "Host db\n"
        "  HostName from-the-system-file\n"
        "Host sys\n"
        "  Port 23\n";
    const auto listing = read(files);
    EXPECT_TRUE(listing.failures.empty());
    EXPECT_EQ(listing.hosts, (std::vector<SshConfigHost>{
                                 host("web", "web.example.com", "everyone-first", "2222"),
                                 host("web2", "web.example.com", "everyone-first", "2222"),
                                 // The user file's Host * comes before the system file's own value.
                                 host("db", "db.internal", "everyone-first", "9999"),
                                 host("sys", "sys", "everyone-first", "2200"),
                             }));
}

TEST(SshConfigResolve, DefaultsWildcardsNegationAndTokens) {
    const auto listing = read_user(
        "Host plain\n"
        "Host * !plain\n"
        "  User not-for-plain\n"
        "Host jump\n"
        "  HostName %h.corp.example\n"
        "Host pct\n"
        "  HostName 100%%-%h-%r\n"
        "Host j?mp\n"
        "  Port 8022\n");
    EXPECT_EQ(listing.hosts, (std::vector<SshConfigHost>{
                                 host("plain", "plain"),
                                 host("jump", "jump.corp.example", "not-for-plain", "8022"),
                                 host("pct", "100%-pct-%r", "not-for-plain"),
                             }));
}

TEST(SshConfigResolve, HostsAfterTheLastSettingKeepWhatCameBefore) {
    EXPECT_EQ(read_user("User all\nHost a\n  Port 1\nHost b c\nHost d\n").hosts,
              (std::vector<SshConfigHost>{host("a", "a", "all", "1"), host("b", "b", "all"),
                                          host("c", "c", "all"), host("d", "d", "all")}));
    EXPECT_EQ(read_user("Host a b\nHost c\n").hosts,
              (std::vector<SshConfigHost>{host("a", "a"), host("b", "b"), host("c", "c")}));
}

TEST(SshConfigSyntax, EqualsCaseQuotesCommentsLineEndsAndBom) {
    const auto listing = read_user(
        "\xEF\xBB\xBF"
        "HOST=alpha\r\n"
        "\thostNAME = alpha.example\r\n"
        "  pOrT=2022 # a comment after the value\r\n"
        "Host   \"beta\"  'gamma'\r\n"
        "   User \"bob smith\"\r\n"
        "   HostName=\"quoted.example\"\r\n"
        "#Host commented\r\n"
        "   # Host indented-comment\r\n"
        "Host delta # epsilon\r\n"
        "  User de\\\"lta\r\n"
        "  HostName C:\\kept\\backslashes\r\n"
        "Host \"open-quote\r\n"
        "Host zeta\f\r\n");
    EXPECT_TRUE(listing.failures.empty());
    EXPECT_EQ(listing.hosts, (std::vector<SshConfigHost>{
                                 host("alpha", "alpha.example", std::nullopt, "2022"),
                                 host("beta", "quoted.example", "bob smith"),
                                 host("gamma", "quoted.example", "bob smith"),
                                 host("delta", "C:\\kept\\backslashes", "de\"lta"),
                                 host("zeta", "zeta"),
                             }));
}

TEST(SshConfigListingRules, PatternsDuplicatesAndAliasesTheHostRulesRefuse) {
    const auto listing = read_user(
        "Host *.lan web? !web1 one\n"
        "Host ONE two\n"  // the same alias in another case: listed once
        "  Port 1\n"
        "Host -oProxyCommand=calc\n"
        "Host ann@box \"with space\" ctrl\x01x k\xC3\xB6ln\n"
        "Host fe80::1 db_1.lan\n");
    EXPECT_EQ(aliases(listing), (Strings{"one", "two", "fe80::1", "db_1.lan"}));
    EXPECT_EQ(listing.hosts[0].port, "1");  // ssh matches the later block without case
    EXPECT_TRUE(listing.failures.empty());
}

TEST(SshConfigListingRules, MatchBlocksAreSkipped) {
    MemoryFiles files;
    files.files[k_config] =
        "Match host web exec \"true\"\n"
        "  User from-match\n"
        "  Include matched.conf\n"
        "Host web\n"
        "  Port 2\n"
        "Match all\n"
        "  HostName from-match-all\n"
        "Host *\n"
        "  HostName %h.after\n";
    files.files["C:\\Users\\ann\\.ssh\\matched.conf"] = "Host hidden\n";
    const auto listing = read(files);
    EXPECT_EQ(listing.hosts, (std::vector<SshConfigHost>{host("web", "web.after", {}, "2")}));
    EXPECT_EQ(files.reads, 2u);  // the user file and the missing system file, not matched.conf
}

TEST(SshConfigInclude, RelativeTildeAbsoluteAndWildcardsInNameOrder) {
    MemoryFiles files;
    files.files[k_config] =
        "Include conf.d/*.conf ~/extra \"C:\\Shared Folder\\ssh hosts\"\n"
        "Include nothing-here/* missing.conf\n"
        "Host top\n";
    files.files["C:\\Users\\ann\\.ssh\\conf.d\\20-b.conf"] = "Host b\n  Port 2\n";
    files.files["C:\\Users\\ann\\.ssh\\conf.d\\10-a.conf"] = "Host a\n  Port 1\nHost b\n  Port 1\n";
    files.files["C:\\Users\\ann\\.ssh\\conf.d\\.hidden.conf"] = "Host dot\n";
    files.files["C:\\Users\\ann\\.ssh\\conf.d\\notes.txt"] = "Host txt\n";
    files.files["C:\\Users\\ann\\.ssh\\conf.d\\sub.conf\\x"] = "Host in-a-folder\n";
    files.files["C:\\Users\\ann\\extra"] = "Host tilde\n";
    files.files["C:\\Shared Folder\\ssh hosts"] = "Host shared\n";
    // The system file's relative includes lie below its own folder.
    files.files[k_system] = "Include sys.d\\*\n";
    files.files["C:\\ProgramData\\ssh\\sys.d\\x"] = "Host sys\n";
    const auto listing = read(files);
    EXPECT_EQ(aliases(listing), (Strings{"a", "b", "tilde", "shared", "top", "sys"}));
    EXPECT_EQ(listing.hosts[1].port, "1");  // the first file in name order came first
    EXPECT_TRUE(listing.failures.empty());
}

TEST(SshConfigInclude, WildcardsInFolderNames) {
    MemoryFiles files;
    files.files[k_config] = "Include hosts-*/*\n";
    files.files["C:\\Users\\ann\\.ssh\\hosts-work\\a"] = "Host work\n";
    files.files["C:\\Users\\ann\\.ssh\\hosts-home\\a"] = "Host home\n";
    files.files["C:\\Users\\ann\\.ssh\\hosts-file"] = "Host not-a-folder\n";
    EXPECT_EQ(aliases(read(files)), (Strings{"home", "work"}));
}

TEST(SshConfigInclude, AnIncludeInsideABlockAppliesOnlyWhereTheBlockDoes) {
    MemoryFiles files;
    files.files[k_config] =
        "Host db\n"
        "Host web\n"
        "  Include inner.conf\n"
        "  HostName %h.outer\n"  // the including block applies again after it
        "Host *\n"
        "  User last\n";
    // Included from a block that does not apply, even its Host * applies to nothing.
    files.files["C:\\Users\\ann\\.ssh\\inner.conf"] = "Port 2\nHost *\n  User inner\nHost other\n";
    const auto listing = read(files);
    EXPECT_EQ(listing.hosts, (std::vector<SshConfigHost>{host("db", "db", "last"),
                                                         host("web", "web.outer", "inner", "2"),
                                                         host("other", "other", "last")}));
}

TEST(SshConfigInclude, LoopsAndFanOutsAreBounded) {
    MemoryFiles files;
    files.files[k_config] = "Host first\nInclude config\nHost after\n";
    auto listing = read(files);
    EXPECT_EQ(aliases(listing), (Strings{"first", "after"}));
    ASSERT_EQ(listing.failures.size(), 1u);  // told once, not at every level
    EXPECT_NE(listing.failures[0].find("nest deeper than 16 levels"), std::string::npos);
    // Each file is read once, however often the loop includes it.
    EXPECT_EQ(files.reads, 2u);

    // Every file includes every file: without the file budget, 3^16 reads.
    MemoryFiles fan;
    fan.files[k_config] = "Include d/*\n";
    for (const char* name : {"a", "b", "c"}) {
        fan.files[std::string("C:\\Users\\ann\\.ssh\\d\\") + name] =
            std::string("Host ") + name + "\nInclude d/*\n";
    }
    listing = read(fan);
    EXPECT_EQ(aliases(listing), (Strings{"a", "b", "c"}));
    // Each once, and the system file looked for; the folder budget ends the
    // fan-out before the file budget does.
    EXPECT_EQ(fan.reads, 5u);
    EXPECT_EQ(fan.listings, k_ssh_config_folders);
    ASSERT_EQ(listing.failures.size(), 2u);
    EXPECT_NE(listing.failures[0].find("nest deeper than 16 levels"), std::string::npos);
    EXPECT_NE(listing.failures[1].find("search more than 64 folders"), std::string::npos);
}

// Regression: an Include of a device or a pipe was read (and could wait
// forever), and a wildcard over the disk listed every folder on it.
TEST(SshConfigInclude, DevicesAndPipesAreNeverReadNorListed) {
    MemoryFiles files;
    files.files[k_config] =
        "Host before\n"
        "Include //./COM1 //./pipe/* //?/C:/x /?"
        "?/C:/y //./pipe/*/x\n"
        "Host after\n";
    // Were they read, they would add a host.
    for (const char* device : {"\\\\.\\COM1", "\\\\.\\pipe\\p", "\\\\?\\C:\\x"}) {
        files.files[device] = "Host planted\n";
    }
    const auto listing = read(files);
    EXPECT_EQ(aliases(listing), (Strings{"before", "after"}));
    EXPECT_EQ(files.reads, 2u);  // the user's file and the system's
    EXPECT_EQ(files.listings, 0u);
    const std::string tail = ": it is not a regular file. Its hosts are not listed.";
    EXPECT_EQ(listing.failures,
              (Strings{"Cannot read the SSH configuration \\\\.\\COM1" + tail,
                       "Cannot read the SSH configuration \\\\.\\pipe\\*" + tail,
                       "Cannot read the SSH configuration \\\\?\\C:\\x" + tail,
                       "Cannot read the SSH configuration \\??\\C:\\y" + tail,
                       "Cannot read the SSH configuration \\\\.\\pipe\\*\\x" + tail}));

    for (const char* device :
         {"\\\\.\\COM1", "//./nul", "\\\\?\\C:\\a", "\\??\\C:", "\\\\.", "/\\?\\x"}) {
        EXPECT_TRUE(names_a_device(device)) << device;
    }
    for (const char* path :
         {"\\\\server\\share\\c", "C:\\.\\x", "\\\\.x\\y", "\\\\?x", "\\?", "..\\a", "\\\\.."}) {
        EXPECT_FALSE(names_a_device(path)) << path;
    }

    MemoryFiles disk;
    disk.files[k_config] = "Include C:/*/*/*/*/none\n";
    for (int i = 0; i < 20; ++i) {
        for (int j = 0; j < 20; ++j) {
            disk.files["C:\\d" + std::to_string(i) + "\\e" + std::to_string(j) + "\\f\\g"] = "";
        }
    }
    const auto walked = read(disk);
    EXPECT_EQ(disk.listings, k_ssh_config_folders);
    EXPECT_EQ(walked.failures,
              (Strings{"The SSH configuration's Include wildcards search more than 64 folders; "
                       "the rest are not searched."}));
}

// Regression: the files were read whole, however large, and a huge Host
// pattern was matched against every alias.
TEST(SshConfigFailures, BytesAndPatternLengthAreCapped) {
    MemoryFiles files;
    const std::string big = "Host big\n" + std::string(k_ssh_config_bytes, '#');
    files.files[k_config] = "Host small\nInclude big.conf after.conf\n";
    files.files["C:\\Users\\ann\\.ssh\\big.conf"] = big;
    files.files["C:\\Users\\ann\\.ssh\\after.conf"] = "Host after\n";
    files.files[k_system] = "Host system\n";
    auto listing = read(files);
    EXPECT_EQ(aliases(listing), (Strings{"small"}));
    EXPECT_EQ(listing.failures,
              (Strings{"The SSH configuration is larger than 1 MB; "
                       "C:\\Users\\ann\\.ssh\\big.conf and the files after it are not read."}));
    // What fits is read: the budget counts every file together.
    files.files["C:\\Users\\ann\\.ssh\\big.conf"] =
        "Host big\n" + std::string(k_ssh_config_bytes - 100, '#');
    listing = read(files);
    EXPECT_EQ(aliases(listing), (Strings{"small", "big", "after", "system"}));
    EXPECT_TRUE(listing.failures.empty());

    const std::string longest(k_ssh_host_pattern_bytes, '?');
    listing = read_user("Host a " + longest + "x\n  User huge\nHost b " + longest +
                        "\n  User long\nHost c\n  User c-user\n");
    // The line with the huge pattern lists nothing and applies to nothing.
    EXPECT_EQ(listing.hosts,
              (std::vector<SshConfigHost>{host("b", "b", "long"), host("c", "c", "c-user")}));
    EXPECT_EQ(listing.failures,
              (Strings{"The SSH configuration has a Host pattern longer than 1024 bytes; its "
                       "Host line applies to no host."}));
}

// Regression: patterns and aliases each within their caps took minutes to
// match when every pair cost pattern times alias.
TEST(SshConfigFailures, MatchingWorkIsCapped) {
    std::string text;
    const std::string pattern = "*" + std::string(100, 'a') + "b";
    for (int i = 0; i < 5000; ++i) text += "Host " + pattern + "\n";
    for (int i = 0; i < 450; ++i)
        text += "Host " + std::string(1000, 'a') + std::to_string(i) + "\n";
    text += "Port 1\n";
    const auto listing = read_user(text);
    EXPECT_TRUE(listing.hosts.empty());
    EXPECT_EQ(listing.failures, (Strings{"The SSH configuration's Host patterns take too long to "
                                         "match; the first 0 hosts are listed."}));
}

TEST(SshConfigFailures, MissingIsSilentUnreadableIsTold) {
    MemoryFiles none;
    auto listing = read(none);
    EXPECT_TRUE(listing.hosts.empty());
    EXPECT_TRUE(listing.failures.empty());

    MemoryFiles files;
    files.files[k_config] = "Host kept\nInclude locked.conf\n";
    files.unreadable.insert("C:\\Users\\ann\\.ssh\\locked.conf");
    files.unreadable.insert(k_system);
    listing = read(files);
    EXPECT_EQ(aliases(listing), (Strings{"kept"}));
    EXPECT_EQ(listing.failures,
              (Strings{"Cannot read the SSH configuration C:\\Users\\ann\\.ssh\\locked.conf: "
                       "Access is denied. Its hosts are not listed.",
                       "Cannot read the SSH configuration C:\\ProgramData\\ssh\\ssh_config: "
                       "Access is denied. Its hosts are not listed."}));

    // Without the variables nothing is looked for.
    MemoryFiles unset;
    unset.files[k_config] = "Host x\n";
    EXPECT_TRUE(read_ssh_config(unset, {}).hosts.empty());
    EXPECT_EQ(unset.reads, 0u);
}

TEST(SshConfigFailures, TooManyHostsAreCutWithANotice) {
    std::string text;
    for (std::size_t i = 0; i < k_ssh_config_hosts + 5; ++i)
        text += "Host h" + std::to_string(i) + "\n";
    const auto listing = read_user(text);
    EXPECT_EQ(listing.hosts.size(), k_ssh_config_hosts);
    ASSERT_EQ(listing.failures.size(), 1u);
    EXPECT_NE(listing.failures[0].find("the first 1000 are listed"), std::string::npos);
}

TEST(SshConfigLocations, FromTheEnvironment) {
    testing::FakeSystem system;
    system.env["USERPROFILE"] = k_home;
    system.env["ProgramData"] = "C:\\ProgramData";
    const auto where = ssh_config_locations(system);
    EXPECT_EQ(where.home, k_home);
    EXPECT_EQ(where.program_data, "C:\\ProgramData");
    testing::FakeSystem bare;
    EXPECT_TRUE(ssh_config_locations(bare).home.empty());
}

TEST(SshPattern, StarsQuestionMarksAndCase) {
    EXPECT_TRUE(ssh_pattern_matches("*", ""));
    EXPECT_TRUE(ssh_pattern_matches("*.Example.COM", "web.example.com"));
    EXPECT_TRUE(ssh_pattern_matches("w?b*", "web1"));
    EXPECT_TRUE(ssh_pattern_matches("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(ssh_pattern_matches("w?b", "wb"));
    EXPECT_FALSE(ssh_pattern_matches("web", "web1"));
    EXPECT_FALSE(ssh_pattern_matches("*.lan", "lan"));
    // Many stars cost no more than text times pattern.
    EXPECT_FALSE(ssh_pattern_matches(std::string(2000, '*') + "x", std::string(5000, 'a')));
}

}  // namespace
}  // namespace tolvar::proto
