// Launch plans against the real system: environment, temporary directory,
// process start and the removal of the RDP file, with the recording stand-in
// client in place of the outside clients.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "tolvar/core/json_text.hpp"
#include "tolvar/core/win/win32.hpp"
#include "tolvar/proto/launch_plan.hpp"
#include "tolvar/proto/win/external.hpp"

namespace tolvar::proto {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string utf8(const fs::path& path) {
    return core::win::from_wide(path.native());
}

// Sets a variable of this process (and so of the children it starts) for the
// scope; nothing unsets it.
class ScopedEnv {
  public:
    ScopedEnv(const wchar_t* name, const std::optional<fs::path>& value) : name_(name) {
        wchar_t buffer[32768];
        const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
        if (length > 0 && length < 32768) old_ = std::wstring(buffer, length);
        SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
    }
    ~ScopedEnv() { SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

fs::path own_directory() {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    return fs::path(std::wstring(buffer, length)).parent_path();
}

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool wait_until(const std::function<bool()>& done, milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(milliseconds(50));
    }
    return true;
}

const core::JsonValue* member(const core::JsonValue& object, std::string_view key) {
    for (const core::JsonMember& m : object.members) {
        if (m.key == key) return &m.value;
    }
    return nullptr;
}

struct Record {
    std::string program;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> files;
};

std::vector<Record> read_records(const fs::path& path) {
    std::vector<Record> records;
    std::istringstream lines(read_bytes(path));
    for (std::string line; std::getline(lines, line);) {
        const core::JsonParse parse = core::parse_json(line);
        if (parse.syntax_error) continue;
        Record record;
        if (const auto* v = member(parse.root, "program")) record.program = v->text;
        if (const auto* v = member(parse.root, "args")) {
            for (const core::JsonValue& item : v->items) record.args.push_back(item.text);
        }
        if (const auto* v = member(parse.root, "files")) {
            for (const core::JsonMember& m : v->members)
                record.files.emplace_back(m.key, m.value.text);
        }
        records.push_back(std::move(record));
    }
    return records;
}

// A fresh directory under the temporary directory, with the recorder's
// output file named in the environment the started clients inherit.
class ExternalTest : public ::testing::Test {
  protected:
    ExternalTest()
        : root_(fs::temp_directory_path() /
                (L"tolvar-proto-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++instances_))),
          records_(root_ / L"records.jsonl"),
          out_(L"TOLVAR_RECORDER_OUT", records_) {
        fs::create_directories(root_);
    }
    ~ExternalTest() override {
        std::error_code ignored;
        // A stand-in may still be exiting and hold its image open.
        for (int attempt = 0; attempt < 20 && fs::exists(root_, ignored); ++attempt) {
            fs::remove_all(root_, ignored);
            if (ignored) std::this_thread::sleep_for(milliseconds(100));
        }
    }

    fs::path install_client(const fs::path& relative) {
        const fs::path target = root_ / relative;
        fs::create_directories(target.parent_path());
        fs::copy_file(own_directory() / L"recorder.exe", target);
        return target;
    }

    std::vector<Record> wait_for_records(std::size_t count) {
        std::vector<Record> records;
        wait_until(
            [&] {
                records = read_records(records_);
                return records.size() >= count;
            },
            milliseconds(20000));
        return records;
    }

    static inline int instances_ = 0;
    fs::path root_;
    fs::path records_;
    ScopedEnv out_;
};

TEST_F(ExternalTest, RdpPlanStartsTheClientAndRemovesItsFileAfterThreeSeconds) {
    wchar_t system_dir[MAX_PATH + 1];
    GetSystemDirectoryW(system_dir, MAX_PATH + 1);
    if (fs::exists(fs::path(system_dir) / L"mstsc.exe")) {
        GTEST_SKIP() << "the system has its own mstsc.exe, which would be found first";
    }
    const fs::path client = install_client(L"bin\\mstsc.exe");
    wchar_t old_path[32768] = L"";
    GetEnvironmentVariableW(L"PATH", old_path, 32768);
    const ScopedEnv path(L"PATH", fs::path(client.parent_path().native() + L";" + old_path));

    auto plan = build_launch_plan(core::Rdp{"srv1", 3390, "alice", "CORP", true, true});
    ASSERT_TRUE(plan) << plan.error().display();
    ASSERT_TRUE(std::holds_alternative<External>(*plan));
    const External rdp = std::get<External>(*plan);
    EXPECT_EQ(rdp.program, "mstsc.exe");
    ASSERT_EQ(rdp.arguments.size(), 1u);
    EXPECT_EQ(rdp.temp_file, rdp.arguments[0]);

    const fs::path file = core::path_from_utf8(rdp.arguments[0]);
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_EQ(file.parent_path(), fs::path(temp).parent_path());
    const std::regex name("tolvar-" + std::to_string(GetCurrentProcessId()) +
                          "-[0-9]+-[1-9][0-9]{16,}00\\.rdp");
    EXPECT_TRUE(std::regex_match(utf8(file.filename()), name)) << utf8(file.filename());
    const std::string text =
        "full address:s:srv1:3390\r\nusername:s:CORP\\alice\r\nscreen mode id:i:2\r\n"
        "administrative session:i:1\r\n";
    EXPECT_EQ(read_bytes(file), text);  // UTF-8 without a byte-order mark

    std::vector<std::string> errors;
    const auto started = Clock::now();
    start_external_plan(rdp, [&](const std::string& e) { errors.push_back(e); });
    EXPECT_TRUE(errors.empty()) << errors.front();

    const std::vector<Record> records = wait_for_records(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].args, (std::vector<std::string>{"mstsc.exe", rdp.arguments[0]}));
    EXPECT_EQ(fs::path(core::path_from_utf8(records[0].program)), client);
    ASSERT_EQ(records[0].files.size(), 1u);
    EXPECT_EQ(records[0].files[0].second, text);

    if (Clock::now() - started < milliseconds(2500)) {
        EXPECT_TRUE(fs::exists(file));  // still there for the client to read
    }
    ASSERT_TRUE(wait_until([&] { return !fs::exists(file); }, milliseconds(10000)));
    const auto lifetime = Clock::now() - started;
    EXPECT_GE(lifetime, milliseconds(2900));
    EXPECT_LE(lifetime, milliseconds(6000));
}

TEST_F(ExternalTest, FailedStartShowsTheProgramAsWritten) {
    for (const std::string& program :
         {utf8(root_ / L"no such dir\\client.exe"), std::string("tolvar-no-such-client.exe")}) {
        std::vector<std::string> errors;
        start_external_plan(External{program, {"x"}, std::nullopt},
                            [&](const std::string& e) { errors.push_back(e); });
        EXPECT_EQ(errors, std::vector<std::string>{"Failed to start " + program});
    }
}

TEST_F(ExternalTest, VncViewerFoundUnderEitherProgramFilesAndStarted) {
    const ScopedEnv pf(L"ProgramFiles", root_ / L"pf");
    const ScopedEnv pf86(L"ProgramFiles(x86)", root_ / L"pf86");
    EXPECT_EQ(find_vnc_viewer(), std::nullopt);
    auto none = build_launch_plan(core::Vnc{"srv1", 5900});
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().kind(), LaunchError::Kind::ProgramNotFound);

    const fs::path ultra = install_client(L"pf86\\uvnc bvba\\UltraVNC\\vncviewer.exe");
    EXPECT_EQ(find_vnc_viewer(), utf8(ultra));
    const fs::path real = install_client(L"pf\\RealVNC\\VNC Viewer\\vncviewer.exe");
    EXPECT_EQ(find_vnc_viewer(), utf8(real));
    // A directory of the viewer's name is not the viewer.
    fs::create_directories(root_ / L"pf\\TightVNC\\tvnviewer.exe");
    EXPECT_EQ(find_vnc_viewer(), utf8(real));
    // TightVNC in either base beats RealVNC anywhere.
    const fs::path tight = install_client(L"pf86\\TightVNC\\tvnviewer.exe");
    EXPECT_EQ(find_vnc_viewer(), utf8(tight));
    {
        const ScopedEnv unset(L"ProgramFiles(x86)", std::nullopt);
        EXPECT_EQ(find_vnc_viewer(), utf8(real));
    }

    auto plan = build_launch_plan(core::Vnc{"fe80::1", 5901, std::nullopt, {"-x", "a b"}});
    ASSERT_TRUE(plan) << plan.error().display();
    const External vnc = std::get<External>(*plan);
    EXPECT_EQ(vnc, (External{utf8(tight), {"-x", "a b", "fe80::1:5901"}, std::nullopt}));

    std::vector<std::string> errors;
    start_external_plan(vnc, [&](const std::string& e) { errors.push_back(e); });
    EXPECT_TRUE(errors.empty());
    const std::vector<Record> records = wait_for_records(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].args,
              (std::vector<std::string>{utf8(tight), "-x", "a b", "fe80::1:5901"}));

    auto configured = build_launch_plan(core::Vnc{"h", 5900, utf8(root_ / L"pf\\TightVNC")});
    ASSERT_FALSE(configured);
    EXPECT_EQ(configured.error().display(), "program not found: configured VNC viewer not found: " +
                                                utf8(root_ / L"pf\\TightVNC"));
}

TEST_F(ExternalTest, SshProgramUnderSystemRoot) {
    const ScopedEnv root(L"SystemRoot", root_ / L"win");
    const fs::path ssh = install_client(L"win\\System32\\OpenSSH\\ssh.exe");
    EXPECT_EQ(find_ssh_program(), utf8(ssh));
    auto plan = build_launch_plan(core::Ssh{"srv1", 2222, "alice"});
    ASSERT_TRUE(plan);
    EXPECT_EQ(std::get<Console>(*plan).command_line, utf8(ssh) + " -p 2222 alice@srv1");
}

// Starts a console plan's command line the way a session does: no
// application name, so the system's own search applies to a bare one.
DWORD run_console(const std::string& command_line, const fs::path& dir) {
    std::wstring line = core::win::to_wide(command_line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        dir.c_str(), &startup, &process)) {
        return GetLastError();
    }
    WaitForSingleObject(process.hProcess, 20000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

// Regression: with no ssh.exe under SystemRoot the plan ran the bare name,
// and the system found a copy planted beside the program or in the current
// directory before the one on PATH.
TEST_F(ExternalTest, SshOutsideSystemRootRunsFromPathNeverFromAPlantedCopy) {
    wchar_t system_dir[MAX_PATH + 1];
    GetSystemDirectoryW(system_dir, MAX_PATH + 1);
    if (fs::exists(fs::path(system_dir) / L"ssh.exe")) {
        GTEST_SKIP() << "the system has its own ssh.exe, which would be found first";
    }
    const ScopedEnv root(L"SystemRoot", root_ / L"win");
    const fs::path planted = install_client(L"cwd\\ssh.exe");
    const fs::path beside = own_directory() / L"ssh.exe";
    ASSERT_FALSE(fs::exists(beside));
    fs::copy_file(own_directory() / L"recorder.exe", beside);
    struct Remove {
        fs::path path;
        ~Remove() {
            std::error_code ignored;
            for (int attempt = 0; attempt < 20 && fs::exists(path, ignored); ++attempt) {
                if (fs::remove(path, ignored)) break;
                std::this_thread::sleep_for(milliseconds(100));
            }
        }
    } remove_beside{beside};

    // Nowhere but the planted copies: the start fails, naming where ssh.exe belongs.
    const fs::path expected = root_ / L"win\\System32\\OpenSSH\\ssh.exe";
    {
        const ScopedEnv path(L"PATH", fs::path(system_dir));
        auto plan = build_launch_plan(core::Ssh{"srv1", 22});
        ASSERT_TRUE(plan) << plan.error().display();
        const std::string line = std::get<Console>(*plan).command_line;
        EXPECT_EQ(line, utf8(expected) + " srv1");
        const DWORD error = run_console(line, planted.parent_path());
        EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    }

    const fs::path client = install_client(L"tools dir\\ssh.exe");
    const ScopedEnv path(L"PATH",
                         fs::path(L".;" + client.parent_path().native() + L";" + system_dir));
    auto plan = build_launch_plan(core::Ssh{"srv1", 2222, "alice"});
    ASSERT_TRUE(plan) << plan.error().display();
    const std::string line = std::get<Console>(*plan).command_line;
    EXPECT_EQ(line, "\"" + utf8(client) + "\" -p 2222 alice@srv1");
    ASSERT_EQ(run_console(line, planted.parent_path()), 0u);
    const std::vector<Record> records = wait_for_records(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(fs::path(core::path_from_utf8(records[0].program)), client);
}

}  // namespace
}  // namespace tolvar::proto
