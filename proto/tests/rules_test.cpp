#include "tolvar/proto/rules.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace tolvar::proto {
namespace {

// The message of a failure that must be InvalidProfile; "" on success.
template <class T>
std::string failure(const LaunchResult<T>& result) {
    if (result) return "";
    EXPECT_EQ(result.error().kind(), LaunchError::Kind::InvalidProfile);
    return result.error().message();
}

QuickTarget parsed(std::string_view line) {
    auto target = parse_quick_target(line);
    EXPECT_TRUE(target) << line << ": " << failure(target);
    return target ? *target : QuickTarget{};
}

TEST(LaunchErrorDisplay, EachKindHasItsPrefix) {
    EXPECT_EQ(LaunchError::invalid_profile("host is empty").display(),
              "invalid profile: host is empty");
    EXPECT_EQ(LaunchError::program_not_found("x").display(), "program not found: x");
    EXPECT_EQ(LaunchError::io({5, "Access is denied. (os error 5)"}).display(),
              "i/o error: Access is denied. (os error 5)");
}

TEST(QuickTarget, UserHostAndPort) {
    EXPECT_EQ(parsed("srv1"), (QuickTarget{std::nullopt, "srv1", 22}));
    EXPECT_EQ(parsed("alice@srv1:2222"), (QuickTarget{"alice", "srv1", 2222}));
    EXPECT_EQ(parsed("alice@srv1:22"), (QuickTarget{"alice", "srv1", 22}));
    EXPECT_EQ(parsed("  alice@srv1 \xe3\x80\x80"), (QuickTarget{"alice", "srv1", 22}));
    EXPECT_EQ(parsed("srv1:+22").port, 22);
    EXPECT_EQ(parsed("srv1:00080").port, 80);
    EXPECT_EQ(parsed("Host-1.example_x"), (QuickTarget{std::nullopt, "Host-1.example_x", 22}));
    // The user ends at the last at sign and may hold the others.
    EXPECT_EQ(parsed("a@b@srv1"), (QuickTarget{"a@b", "srv1", 22}));
    EXPECT_EQ(parsed("@@srv1").user, "@");
}

TEST(QuickTarget, Ipv6NeedsBracketsForAPort) {
    EXPECT_EQ(parsed("fe80::1"), (QuickTarget{std::nullopt, "fe80::1", 22}));
    EXPECT_EQ(parsed("[fe80::1]:2200"), (QuickTarget{std::nullopt, "fe80::1", 2200}));
    EXPECT_EQ(parsed("root@[fe80::1]"), (QuickTarget{"root", "fe80::1", 22}));
    EXPECT_EQ(failure(parse_quick_target("[fe80::1")), "unclosed '[' in host");
    EXPECT_EQ(failure(parse_quick_target("[fe80::1]x")), "unexpected text after ']': \"x\"");
    EXPECT_EQ(failure(parse_quick_target("[fe80::1]:")), "bad port: \"\"");
    EXPECT_EQ(failure(parse_quick_target("[fe80::1]:1:2")), "bad port: \"1:2\"");
    EXPECT_EQ(failure(parse_quick_target("[fe80::1]]")), "unexpected text after ']': \"]\"");
    EXPECT_EQ(failure(parse_quick_target("[]")), "host is empty");
    EXPECT_EQ(failure(parse_quick_target("[%eth0]")),
              "host contains invalid characters: \"%eth0\"");
}

TEST(QuickTarget, FailuresInCheckingOrder) {
    EXPECT_EQ(failure(parse_quick_target("")), "quick connect input is empty");
    EXPECT_EQ(failure(parse_quick_target("   \t ")), "quick connect input is empty");
    // Controls are found before any at-sign or colon handling.
    EXPECT_EQ(failure(parse_quick_target("a\tb@c:x")),
              "quick connect input contains control characters");
    EXPECT_EQ(failure(parse_quick_target("a\xc2\x85x")),
              "quick connect input contains control characters");
    EXPECT_EQ(failure(parse_quick_target("@srv1")), "user is empty");
    EXPECT_EQ(failure(parse_quick_target("@")), "user is empty");
    EXPECT_EQ(failure(parse_quick_target("alice@")), "host is empty");
    EXPECT_EQ(failure(parse_quick_target("-x@srv1")), "user must not start with '-'");
    EXPECT_EQ(failure(parse_quick_target("-srv1")), "host must not start with '-'");
    // Port before host, host before user.
    EXPECT_EQ(failure(parse_quick_target("[]:x")), "bad port: \"x\"");
    EXPECT_EQ(failure(parse_quick_target("-u@-h")), "host must not start with '-'");
    EXPECT_EQ(failure(parse_quick_target("-u@h:0")), "port must be non-zero");
}

TEST(QuickTarget, PortRules) {
    for (const char* bad : {"srv1:", "srv1:-1", "srv1:65536", "srv1:+", "srv1:-", "srv1:++1",
                            "srv1: 22", "srv1:2x", "srv1:99999999999999999999"}) {
        const std::string text(bad);
        EXPECT_EQ(failure(parse_quick_target(text)),
                  "bad port: \"" + text.substr(text.find(':') + 1) + "\"");
    }
    EXPECT_EQ(failure(parse_quick_target("srv1:0")), "port must be non-zero");
    EXPECT_EQ(parsed("srv1:65535").port, 65535);

    EXPECT_EQ(*parse_port("1"), 1);
    EXPECT_EQ(failure(parse_port("+0")), "port must be non-zero");
    EXPECT_EQ(failure(parse_port("\xef\xbc\x91")), "bad port: \"\xef\xbc\x91\"");  // fullwidth 1
    EXPECT_EQ(failure(check_port_nonzero(0)), "port must be non-zero");
    EXPECT_TRUE(check_port_nonzero(1));
}

TEST(HostRule, AllowedCharactersOnly) {
    EXPECT_TRUE(validate_host("a-b.c_d:0"));
    EXPECT_TRUE(validate_host("h-"));
    EXPECT_EQ(failure(validate_host("")), "host is empty");
    EXPECT_EQ(failure(validate_host("-")), "host must not start with '-'");
    // The whole host is quoted, not the offending character.
    EXPECT_EQ(failure(validate_host("my host")), "host contains invalid characters: \"my host\"");
    EXPECT_EQ(failure(validate_host("h\xc3\xa9te")),
              "host contains invalid characters: \"h\xc3\xa9te\"");
    EXPECT_EQ(failure(parse_quick_target("h\xc3\xa9te:22")),
              "host contains invalid characters: \"h\xc3\xa9te\"");
    for (const char* bad : {"[::1]", "a%b", "a@b", "a/b", "a\\b", "a\"b"}) {
        EXPECT_NE(failure(validate_host(bad)).find("host contains invalid characters: "),
                  std::string::npos)
            << bad;
    }
    EXPECT_EQ(failure(validate_host("a\"b\\")), "host contains invalid characters: \"a\\\"b\\\\\"");
}

TEST(HostRule, ThePredicateAgreesWithTheRule) {
    for (const char* host : {"a-b.c_d:0", "h-", "", "-", "-h", "my host", "h\xc3\xa9te", "[::1]",
                             "a%b", "a\"b\\", "A.Z"}) {
        EXPECT_EQ(host_is_valid(host), static_cast<bool>(validate_host(host))) << host;
    }
}

TEST(ControlRule, C0DeleteAndC1ByCodePoint) {
    EXPECT_TRUE(check_no_controls("command", ""));
    EXPECT_TRUE(check_no_controls("command", "plain \xc2\xa0 \xe2\x80\xa8 \xc2\xa0"));
    for (const std::string& bad :
         {std::string(1, '\0'), std::string("\x1f"), std::string("\x7f"), std::string("a\r\n"),
          std::string("\xc2\x80"), std::string("\xc2\x9f")}) {
        EXPECT_EQ(failure(check_no_controls("command", bad)),
                  "command contains control characters");
    }
    // U+00A0..U+00FF share the lead byte of C1 controls but are not controls.
    EXPECT_TRUE(check_no_controls("x", "\xc2\xa0\xc3\xbf"));
}

TEST(NameFieldRule, ControlsThenEmptyThenDash) {
    EXPECT_TRUE(validate_name_field("user", "alice"));
    EXPECT_TRUE(validate_name_field("user", "a-"));
    EXPECT_EQ(failure(validate_name_field("user", "")), "user is empty");
    EXPECT_EQ(failure(validate_name_field("domain", "")), "domain is empty");
    EXPECT_EQ(failure(validate_name_field("domain", "-CORP")), "domain must not start with '-'");
    EXPECT_EQ(failure(validate_name_field("user", "-\n")), "user contains control characters");
}

TEST(ExtraArgsRule, ForbiddenOptionsAnywhereInAnyCase) {
    using Args = std::vector<std::string>;
    EXPECT_TRUE(check_extra_args(Args{}));
    EXPECT_TRUE(check_extra_args(
        Args{"-v", "-J", "jump", "-L", "8080:localhost:80", "", "-oServerAliveInterval=30"}));
    EXPECT_EQ(failure(check_extra_args(Args{"-v", "-oProxyCommand=nc"})),
              "extra_args entry \"-oProxyCommand=nc\" contains forbidden option (proxycommand)");
    EXPECT_EQ(failure(check_extra_args(Args{"-oRemoteCommand=top"})),
              "extra_args entry \"-oRemoteCommand=top\" contains forbidden option (remotecommand)");
    EXPECT_EQ(failure(check_extra_args(Args{"PROXYCOMMAND"})),
              "extra_args entry \"PROXYCOMMAND\" contains forbidden option (proxycommand)");
    EXPECT_EQ(
        failure(check_extra_args(Args{"x \"LocalCommand\" y"})),
        "extra_args entry \"x \\\"LocalCommand\\\" y\" contains forbidden option (localcommand)");
    // Both present: the first word in checking order is named.
    EXPECT_EQ(failure(check_extra_args(Args{"LocalCommand=a ProxyCommand=b"})),
              "extra_args entry \"LocalCommand=a ProxyCommand=b\" contains forbidden option "
              "(proxycommand)");
    // Entries are checked one by one: a control in the first wins over a
    // forbidden word in the second, and the other way round.
    EXPECT_EQ(failure(check_extra_args(Args{"a\tb", "ProxyCommand"})),
              "extra_args entry contains control characters");
    EXPECT_EQ(failure(check_extra_args(Args{"ProxyCommand", "a\tb"})),
              "extra_args entry \"ProxyCommand\" contains forbidden option (proxycommand)");
    // Look-alikes that lower-case to other letters are not the option.
    EXPECT_TRUE(check_extra_args(Args{"pr\xce\xbfxycommand"}));  // Greek omicron
    EXPECT_TRUE(check_extra_args(Args{"proxy command"}));
}

// Regression: ssh options that run a local program or load a library passed.
TEST(ExtraArgsRule, SshOptionsThatRunLocalCodeAreRefused) {
    struct Case {
        std::vector<std::string> args;
        std::string entry;  // the failing entry, as quoted in the message
        std::string option;
    };
    const Case cases[] = {
        // Long names: joined, spaced, split over two entries, any case.
        {{"-oKnownHostsCommand=/bin/x"}, "-oKnownHostsCommand=/bin/x", "knownhostscommand"},
        {{"-o KnownHostsCommand=x"}, "-o KnownHostsCommand=x", "knownhostscommand"},
        {{"-o", "KnownHostsCommand=x"}, "KnownHostsCommand=x", "knownhostscommand"},
        {{"-o", "KnownHostsCommand x"}, "KnownHostsCommand x", "knownhostscommand"},
        {{"-oPkcs11Provider=C:\\p\\lib.dll"},
         "-oPkcs11Provider=C:\\\\p\\\\lib.dll",
         "pkcs11provider"},
        {{"-o", "PKCS11Provider /p/lib.dll"}, "PKCS11Provider /p/lib.dll", "pkcs11provider"},
        {{"-oSecurityKeyProvider=sk.dll"}, "-oSecurityKeyProvider=sk.dll", "securitykeyprovider"},
        {{"-o", "securitykeyprovider", "sk.dll"}, "securitykeyprovider", "securitykeyprovider"},
        {{"-oXAuthLocation=C:\\x.exe"}, "-oXAuthLocation=C:\\\\x.exe", "xauthlocation"},
        // -I and -F, with the value joined or in the next entry.
        {{"-I/path/lib.dll"}, "-I/path/lib.dll", "-I"},
        {{"-I", "/path"}, "-I", "-I"},
        {{"-F"}, "-F", "-F"},
        {{"-Fpath"}, "-Fpath", "-F"},
        {{"-F", "cfg"}, "-F", "-F"},
        // Bundled behind flags, as getopt reads them.
        {{"-vI", "lib"}, "-vI", "-I"},
        {{"-vI lib"}, "-vI lib", "-I"},
        {{"-qF", "cfg"}, "-qF", "-F"},
        {{"-46CvqFcfg"}, "-46CvqFcfg", "-F"},
        // A value ends where its entry ends; later entries are options again,
        // also after a host-like word or a lone "-".
        {{"-l", "fred", "-F", "cfg"}, "-F", "-F"},
        {{"-lfred", "-Ix"}, "-Ix", "-I"},
        {{"srv1", "-F", "cfg"}, "-F", "-F"},
        {{"-", "-Fcfg"}, "-Fcfg", "-F"},
        // "--" as a value ends nothing.
        {{"-l", "--", "-Fcfg"}, "-Fcfg", "-F"},
        // Unknown letters end ssh with its usage; reading on is the safe side.
        {{"-ZF", "cfg"}, "-ZF", "-F"},
        // The first failing entry is named, whichever rule it fails.
        {{"-Ix", "-oProxyCommand=nc"}, "-Ix", "-I"},
        {{"-oProxyCommand=nc", "-Ix"}, "-oProxyCommand=nc", "proxycommand"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            failure(check_ssh_extra_args(c.args)),
            "extra_args entry \"" + c.entry + "\" contains forbidden option (" + c.option + ")")
            << c.args.front();
    }
}

TEST(ExtraArgsRule, SshOptionsThatRunNothingStillPass) {
    using Args = std::vector<std::string>;
    const Args allowed[] = {
        {"-v", "-J", "jump", "-L", "8080:localhost:80", "", "-oServerAliveInterval=30"},
        {"-i", "key", "-f", "-4", "-fNT", "-oUser=Fred"},
        // Values holding the letters: the identity file, the user, a log file.
        {"-iIdentity"},
        {"-l", "Fred"},
        {"-l", "-Fred"},
        {"-lIvan"},
        {"-vi", "-I"},
        {"-o", "-F"},
        // After "--" ssh reads no options: these are a host and a command.
        {"--", "-F", "cfg"},
        {"-f", "--", "-Ix"},
    };
    for (const Args& args : allowed) {
        EXPECT_TRUE(check_ssh_extra_args(args))
            << args.front() << ": " << failure(check_ssh_extra_args(args));
    }
}

// Regression: options naming a library, a log file, a configuration file or
// a file ssh writes passed, and jump hosts went into ssh's proxy command line
// unchecked.
TEST(ExtraArgsRule, SshOptionsNamingAFileToWriteOrABadJumpHostAreRefused) {
    struct Case {
        std::vector<std::string> args;
        std::string entry;  // the failing entry, as quoted in the message
        std::string option;
    };
    const Case cases[] = {
        {{"-oSmartcardDevice=C:\\p.dll"}, "-oSmartcardDevice=C:\\\\p.dll", "smartcarddevice"},
        {{"-o", "smartcarddevice p.dll"}, "smartcarddevice p.dll", "smartcarddevice"},
        {{"-o XAUTHLOCATION=x.exe"}, "-o XAUTHLOCATION=x.exe", "xauthlocation"},
        // The log file, joined, apart, bundled; a value that looks like an
        // option is still the file.
        {{"-E", "ssh.log"}, "-E", "-E"},
        {{"-Essh.log"}, "-Essh.log", "-E"},
        {{"-vE", "-F.log"}, "-vE", "-E"},
        {{"-l", "u", "-qE", "x"}, "-qE", "-E"},
        // A file ssh appends the keys it learns to.
        {{"-oUserKnownHostsFile=C:\\Users\\a\\.bashrc"},
         "-oUserKnownHostsFile=C:\\\\Users\\\\a\\\\.bashrc",
         "userknownhostsfile"},
        {{"-o", "UserKnownHostsFile x"}, "UserKnownHostsFile x", "userknownhostsfile"},
        {{"-o", " userknownhostsfile = x"}, " userknownhostsfile = x", "userknownhostsfile"},
        {{"-o", "=UserKnownHostsFile=x"}, "=UserKnownHostsFile=x", "userknownhostsfile"},
        {{"-o", "\"UserKnownHostsFile\" x"}, "\\\"UserKnownHostsFile\\\" x", "userknownhostsfile"},
        {{"-o", "UserKnownHostsFile"}, "UserKnownHostsFile", "userknownhostsfile"},
        {{"-o", "UserKnownHostsFile=nul x"}, "UserKnownHostsFile=nul x", "userknownhostsfile"},
        // Another configuration file, and a block whose "exec" runs a program.
        {{"-oInclude=C:\\x"}, "-oInclude=C:\\\\x", "include"},
        {{"-o", "Match exec calc"}, "Match exec calc", "match"},
        // Jump hosts: each hop meets the host rules, user and port included.
        {{"-J", "-oX"}, "-oX", "-J"},
        {{"-J-x"}, "-J-x", "-J"},
        {{"-J", "a b"}, "a b", "-J"},
        {{"-J", " jump"}, " jump", "-J"},
        {{"-J", "jump,"}, "jump,", "-J"},
        {{"-J", "ok,-bad"}, "ok,-bad", "-J"},
        {{"-J", "a&calc"}, "a&calc", "-J"},
        {{"-J", "u v@jump"}, "u v@jump", "-J"},
        {{"-J", "-u@jump"}, "-u@jump", "-J"},
        {{"-J", "u&x@jump"}, "u&x@jump", "-J"},
        {{"-J", "jump:0"}, "jump:0", "-J"},
        {{"-J", "jump:http"}, "jump:http", "-J"},
        {{"-J", "ssh://-h"}, "ssh://-h", "-J"},
        {{"-J", "j\xe3\x80\x80"}, "j\xe3\x80\x80", "-J"},
        {{"-vJ", "a b"}, "a b", "-J"},
        {{"-oProxyJump=a b"}, "-oProxyJump=a b", "proxyjump"},
        {{"-o", "proxyjump -x"}, "proxyjump -x", "proxyjump"},
        {{"-o", "ProxyJump"}, "ProxyJump", "proxyjump"},
        // The host ssh connects to ends up in the same command line.
        {{"-oHostName=a&calc"}, "-oHostName=a&calc", "hostname"},
        {{"-o", "Hostname -x"}, "Hostname -x", "hostname"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            failure(check_ssh_extra_args(c.args)),
            "extra_args entry \"" + c.entry + "\" contains forbidden option (" + c.option + ")")
            << c.args.front() << " " << c.args.back();
    }
}

TEST(ExtraArgsRule, SshOptionsThatNameNoProgramLibraryOrFileToWriteStillPass) {
    using Args = std::vector<std::string>;
    const Args allowed[] = {
        // Keys ssh writes through none of: files it only reads, sockets it
        // makes where no file is, the null device as the known-hosts file.
        {"-oUserKnownHostsFile=/dev/null", "-oStrictHostKeyChecking=no"},
        {"-o", "UserKnownHostsFile NUL"},
        {"-o", "UserKnownHostsFile=\"none\""},
        {"-oGlobalKnownHostsFile=C:\\known", "-oCertificateFile=c.pub", "-oRevokedHostKeys=r"},
        {"-M", "-S", "C:\\ctl", "-oControlPath=C:\\ctl", "-oControlMaster=auto"},
        {"-oIdentityAgent=\\\\.\\pipe\\agent", "-oIdentityFile=id"},
        {"-L", "8080:localhost:80", "-R", "9000:localhost:22", "-D", "1080", "-W", "h:22"},
        {"-oStreamLocalBindUnlink=yes", "-oHost=x", "-Q", "cipher", "-O", "check"},
        // Jump lists that meet the host rules, and "none".
        {"-J", "jump"},
        {"-Jalice@jump:2222,bob@[fe80::1]:22,fe80::2"},
        {"-J", "ssh://u@jump:22,CORP\\u@h,u@corp.example@h"},
        {"-oProxyJump=none", "-o", "ProxyJump \"a,b\""},
        {"-oHostName=10.0.0.1", "-o", "HostName %h.example.com"},
        // Values that only look like the keys, and remote words after the host.
        {"-l", "include", "-i", "UserKnownHostsFile"},
        {"-oUserKnownHostsFileX=1"},
        {"srv1", "match", "hostname"},
        {"--", "-J", "a b"},
    };
    for (const Args& args : allowed) {
        EXPECT_TRUE(check_ssh_extra_args(args))
            << args.front() << ": " << failure(check_ssh_extra_args(args));
    }
}

TEST(ExtraArgsRule, OtherProgramsGetTheNamesButNotSshLetters) {
    using Args = std::vector<std::string>;
    // VNC viewers spell options of their own.
    EXPECT_TRUE(check_extra_args(Args{"-FullScreen", "-I", "x", "-F", "cfg"}));
    EXPECT_EQ(failure(check_ssh_extra_args(Args{"-FullScreen"})),
              "extra_args entry \"-FullScreen\" contains forbidden option (-F)");
    EXPECT_EQ(failure(check_extra_args(Args{"-oPKCS11Provider=x"})),
              "extra_args entry \"-oPKCS11Provider=x\" contains forbidden option (pkcs11provider)");
    EXPECT_EQ(failure(check_ssh_extra_args(Args{"-I\t"})),
              "extra_args entry contains control characters");
}

}  // namespace
}  // namespace tolvar::proto
