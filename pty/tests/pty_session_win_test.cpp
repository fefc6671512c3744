// Sessions in real pseudo consoles. Under Wine a pseudo-console child has no
// standard handles, so COMSPEC names the console shim followed by cmd.exe.
// Every wait has a deadline: a stuck session fails its test, never hangs it.
#include "tolvar/pty/win/pty_session.hpp"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tolvar::pty {
namespace {

namespace fs = std::filesystem;

// Whatever the sessions leave behind (a console host, a shell a session
// ended before it ran) dies with this program: left running, it would hold
// the test runner's output pipe, which waits for it until its timeout.
const bool g_descendants_die_with_the_test = [] {
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return false;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits) &&
           AssignProcessToJobObject(job, GetCurrentProcess());
}();

// Records what a session reports, from its reader thread.
class RecordingEvents final : public SessionEvents {
  public:
    bool output(SessionId id) override {
        std::lock_guard lock(mutex_);
        calls_.push_back({Call::Output, id});
        return true;
    }
    void ended(SessionId id, SessionEnd end) override {
        std::lock_guard lock(mutex_);
        calls_.push_back({Call::Ended, id});
        last_end_ = end;
    }

    SessionEnd last_end() const {
        std::lock_guard lock(mutex_);
        return last_end_;
    }

    std::size_t outputs() const { return count(Call::Output); }
    std::size_t ends() const { return count(Call::Ended); }
    // Whether the end came and nothing followed it.
    bool ended_last() const {
        std::lock_guard lock(mutex_);
        return !calls_.empty() && calls_.back().kind == Call::Ended;
    }

  private:
    struct Call {
        enum Kind { Output, Ended } kind;
        SessionId id;
    };
    std::size_t count(Call::Kind kind) const {
        std::lock_guard lock(mutex_);
        return std::count_if(calls_.begin(), calls_.end(),
                             [kind](const Call& c) { return c.kind == kind; });
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    SessionEnd last_end_;
};

// Polls until `done` or the deadline.
bool wait_until(const std::function<bool()>& done, DWORD timeout_ms = 15000) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
    return true;
}

// Runs `work` on its own thread and reports whether it returned in time; a
// call that blocks is left behind and dies with the test program.
bool finishes_within(DWORD timeout_ms, std::function<void()> work) {
    const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([work = std::move(work), done] {
        work();
        SetEvent(done);
    }).detach();
    const bool finished = WaitForSingleObject(done, timeout_ms) == WAIT_OBJECT_0;
    if (finished) CloseHandle(done);
    return finished;
}

std::wstring shim_path() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    return fs::path(path).parent_path() / L"console-shim.exe";
}

std::string shim_utf8() {
    return core::win::from_wide(shim_path());
}

std::string visible_text(const PtySession& session) {
    std::string text;
    session.model().with([&](const TerminalModel& model) { text = model.visible_text(); });
    return text;
}

bool shows(const PtySession& session, std::string_view needle) {
    return visible_text(session).find(needle) != std::string::npos;
}

class Session : public ::testing::Test {
  protected:
    void SetUp() override {
        // Wine sets COMSPEC itself, so the test sets it from inside.
        const std::wstring comspec = L"\"" + shim_path() + L"\" cmd.exe";
        ASSERT_TRUE(fs::exists(shim_path())) << "console-shim.exe beside the test";
        SetEnvironmentVariableW(L"COMSPEC", comspec.c_str());
    }

    PtySession start(const std::optional<std::string>& command = std::nullopt,
                     const std::optional<std::string>& dir = std::nullopt) {
        auto session = PtySession::start(command, dir, k_size, events_);
        // GoogleTest reports the exception as the test's failure.
        if (!session) throw std::runtime_error(session.error().display());
        return std::move(session).value();
    }

    // cmd.exe's prompt ends in '>' once it is ready for input. The owner
    // takes the output in before it reads the model, as a paint does.
    static bool prompt_ready(PtySession& session) {
        return wait_until([&] {
            session.acknowledge_output();
            return shows(session, ">");
        });
    }

    static constexpr GridSize k_size{34, 98};
    std::shared_ptr<RecordingEvents> events_ = std::make_shared<RecordingEvents>();
};

TEST_F(Session, ShellShowsPromptAndEchoesInput) {
    PtySession session = start();
    EXPECT_EQ(session.rows(), k_size.rows);
    EXPECT_EQ(session.cols(), k_size.cols);
    session.model().with([](const TerminalModel& model) {
        EXPECT_EQ(model.rows(), k_size.rows);
        EXPECT_EQ(model.cols(), k_size.cols);
    });
    ASSERT_TRUE(prompt_ready(session)) << visible_text(session);
    EXPECT_GT(events_->outputs(), 0u);

    session.write("echo hello\r");
    ASSERT_TRUE(wait_until([&] { return shows(session, "\nhello\n"); })) << visible_text(session);
    EXPECT_EQ(events_->ends(), 0u);
}

TEST_F(Session, OutputNotifiesOnceUntilTakenIn) {
    PtySession session = start();
    ASSERT_TRUE(prompt_ready(session)) << visible_text(session);
    Sleep(500);  // the prompt's output has settled
    session.acknowledge_output();
    const std::size_t before = events_->outputs();

    // Far more than one chunk, while nobody takes anything in.
    session.write("for /L %i in (1,1,3000) do @echo flood line %i\r");
    ASSERT_TRUE(wait_until([&] { return shows(session, "flood line 3000\n"); }, 60000))
        << visible_text(session);
    EXPECT_EQ(events_->outputs(), before + 1) << "one notice for the whole flood";

    session.acknowledge_output();
    session.write("echo after\r");
    EXPECT_TRUE(wait_until([&] { return events_->outputs() == before + 2; }))
        << "output after an acknowledgement notifies again";
}

TEST_F(Session, ChildExitEndsOutputOnceAndLastWithItsCodeAndLaterWritesAreDropped) {
    auto session = std::make_unique<PtySession>(start());
    ASSERT_TRUE(prompt_ready(*session)) << visible_text(*session);

    session->acknowledge_output();
    session->write("exit 3\r");
    ASSERT_TRUE(wait_until([&] { return events_->ends() > 0; })) << "no end after the child left";
    Sleep(300);
    EXPECT_TRUE(events_->ended_last()) << "nothing follows the end";
    EXPECT_EQ(events_->ends(), 1u);
    EXPECT_EQ(events_->last_end(), SessionEnd{3}) << "the shell's exit code";

    // Far more than a pipe buffer: a write that waited for a reader would hang.
    if (!finishes_within(5000, [&] { session->write(std::string(1 << 20, 'x')); })) {
        ADD_FAILURE() << "a write after the child exited blocked";
        session.release();  // still in use by the blocked write
    }
}

TEST_F(Session, ClosingRunningSessionEndsReaderAndFreesWhatItShares) {
    std::optional<PtySession> session = start();
    const std::weak_ptr<SharedModel> model = session->shared_model();
    const std::weak_ptr<RecordingEvents> events = events_;
    ASSERT_TRUE(prompt_ready(*session)) << visible_text(*session);
    ASSERT_EQ(events_->ends(), 0u);
    EXPECT_EQ(model.use_count(), 2) << "the session and its reader";

    session.reset();
    ASSERT_TRUE(wait_until([&] { return events_->ends() == 1; })) << "reader did not end";
    EXPECT_TRUE(events_->ended_last());
    events_.reset();
    EXPECT_TRUE(wait_until([&] { return model.expired() && events.expired(); }))
        << "the reader kept the model or the events";
}

TEST_F(Session, IdsAreConsecutiveAndFailedStartsSpendOne) {
    PtySession first = start();
    auto failed =
        PtySession::start("Z:\\no\\such\\program.exe --flag", std::nullopt, k_size, events_);
    ASSERT_FALSE(failed);
    PtySession second = start();
    PtySession third = start();
    EXPECT_EQ(second.id(), first.id() + 2);
    EXPECT_EQ(third.id(), second.id() + 1);
}

TEST_F(Session, MissingProgramFailsWithTheSystemReason) {
    auto quoted =
        PtySession::start("\"Z:\\no such\\program.exe\" /k", std::nullopt, k_size, events_);
    ASSERT_FALSE(quoted);
    EXPECT_EQ(quoted.error().program, "Z:\\no such\\program.exe");
    const std::string text = quoted.error().display();
    EXPECT_EQ(text.rfind("Cannot start Z:\\no such\\program.exe: ", 0), 0u) << text;
    // The system's own words, shaped to follow the colon.
    const std::string reason = reason_from_system_text(core::win::error_text(ERROR_FILE_NOT_FOUND));
    const std::string path_reason =
        reason_from_system_text(core::win::error_text(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(quoted.error().reason == reason || quoted.error().reason == path_reason) << text;

    auto plain = PtySession::start("nosuchprogram-tolvar.exe -x", std::nullopt, k_size, events_);
    ASSERT_FALSE(plain);
    EXPECT_EQ(plain.error().display(), "Cannot start nosuchprogram-tolvar.exe: " + reason);
    EXPECT_EQ(events_->outputs() + events_->ends(), 0u) << "a failed start reports nothing";
}

TEST_F(Session, WorkingDirectoryIsUsedAsGivenAndABadOneFails) {
    const fs::path dir =
        fs::temp_directory_path() / ("tolvar-pty-cwd-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::string name = dir.filename().string();
    {
        PtySession session = start(std::nullopt, core::win::from_wide(dir.native()));
        ASSERT_TRUE(wait_until([&] { return shows(session, name + ">"); }))
            << visible_text(session);
    }
    auto gone = PtySession::start(std::nullopt, core::win::from_wide((dir / "gone").native()),
                                  k_size, events_);
    ASSERT_FALSE(gone);
    const std::string text = gone.error().display();
    EXPECT_EQ(text.rfind("Cannot start " + shim_utf8() + ": ", 0), 0u) << text;
    EXPECT_NE(text.find("(os error "), std::string::npos) << text;
    fs::remove_all(dir);
}

TEST_F(Session, RefusedResizeKeepsOldSize) {
    PtySession session = start();
    const std::uint16_t rows = session.rows();
    const std::uint16_t cols = session.cols();
    session.resize(rows, cols);
    session.resize(rows + 5, cols + 7);  // Wine: ResizePseudoConsole is not implemented
    EXPECT_EQ(session.rows(), rows);
    EXPECT_EQ(session.cols(), cols);
    session.model().with([&](const TerminalModel& model) {
        EXPECT_EQ(model.rows(), rows);
        EXPECT_EQ(model.cols(), cols);
    });
}

TEST_F(Session, PoisonedModelDropsOutputButSessionStillEnds) {
    std::optional<PtySession> session = start();
    ASSERT_TRUE(prompt_ready(*session)) << visible_text(*session);
    session->acknowledge_output();
    const std::size_t before = events_->outputs();

    session->model().poison();
    session->write("echo poisoned\r");
    ASSERT_TRUE(wait_until([&] { return events_->outputs() > before; }))
        << "output is still announced";
    EXPECT_FALSE(session->model().with([](TerminalModel&) {}));
    session->resize(10, 10);  // skips the model; must not touch it

    session->write("exit\r");
    EXPECT_TRUE(wait_until([&] { return events_->ends() == 1; }));
}

// Threads of this process now.
std::size_t thread_count() {
    const core::win::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    std::size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    return count;
}

// A thread of its own cost each session about a megabyte under Wine, most of
// what an idle tab cost: sessions read on the system's pool instead.
TEST_F(Session, IdleSessionsHoldNoThreadEach) {
    std::vector<PtySession> sessions;
    sessions.push_back(start());
    ASSERT_TRUE(prompt_ready(sessions.back())) << visible_text(sessions.back());
    const std::size_t before = thread_count();
    constexpr std::size_t k_more = 12;
    for (std::size_t i = 0; i < k_more; ++i) {
        auto more = PtySession::start(std::nullopt, std::nullopt, k_size, events_);
        // Under Wine one start in a few hundred, among many at once, fails
        // with an internal error (the new process dies before it runs).
        if (!more) more = PtySession::start(std::nullopt, std::nullopt, k_size, events_);
        ASSERT_TRUE(more) << more.error().display();
        sessions.push_back(std::move(more).value());
    }
    for (PtySession& session : sessions) {
        ASSERT_TRUE(prompt_ready(session)) << visible_text(session);
    }
    // The pool's idle workers leave after a few seconds.
    EXPECT_TRUE(wait_until([&] { return thread_count() <= before + 3; }, 20000))
        << thread_count() << " threads, " << before << " with one session";
    sessions.back().write("echo still here\r");
    EXPECT_TRUE(wait_until([&] {
        sessions.back().acknowledge_output();
        return shows(sessions.back(), "\nstill here\n");
    })) << visible_text(sessions.back());
}

// The program named in a start failure is the one the system would run.
TEST(ProgramNameFromSystem, MatchesCommandLineToArgv) {
    const char* lines[] = {
        "cmd.exe",
        "ssh.exe -p 22 host",
        "ssh.exe\t-v",
        "\"C:\\Program Files\\Git\\bin\\bash.exe\" --login",
        "\"C:\\x y\\sh.exe\"--login",
        "\"C:\\unterminated name",
        "C:\\a\"b c\"\\sh.exe x",
        "C:\\trailing\\slash\\\" x",
        "\"\" rest",
        "d\xc3\xa9p\xc3\xb4t\\sh.exe /k",
    };
    for (const char* line : lines) {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(core::win::to_wide(line).c_str(), &count);
        ASSERT_NE(argv, nullptr) << line;
        ASSERT_GE(count, 1) << line;
        EXPECT_EQ(program_name(line), core::win::from_wide(argv[0])) << line;
        LocalFree(argv);
    }
}

TEST(CommandLineFromEnvironment, ComspecRules) {
    const std::string shell(k_default_shell);
    SetEnvironmentVariableW(L"COMSPEC", nullptr);
    EXPECT_EQ(session_command_line(std::nullopt), shell);
    SetEnvironmentVariableW(L"COMSPEC", L"   ");
    EXPECT_EQ(session_command_line(std::nullopt), shell);
    SetEnvironmentVariableW(L"COMSPEC", L"  D:\\sh.exe  ");
    EXPECT_EQ(session_command_line(std::nullopt), "  D:\\sh.exe  ");
    EXPECT_EQ(session_command_line("ssh.exe h"), "ssh.exe h");
    const wchar_t lone_surrogate[] = {L'a', 0xD800, 0};
    SetEnvironmentVariableW(L"COMSPEC", lone_surrogate);
    EXPECT_EQ(session_command_line(std::nullopt), shell);
}

}  // namespace
}  // namespace tolvar::pty
