// Sessions in real pseudo consoles. Under Wine a pseudo-console child has no
// standard handles, so COMSPEC names the console shim followed by cmd.exe.
// Every wait has a deadline: a stuck session fails its test, never hangs it.
#include "tolvar/pty/win/pty_session.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tolvar::pty {
namespace {

namespace fs = std::filesystem;

struct Posted {
    UINT message;
    SessionId id;
};

// A window that records what the readers post to it.
class TestWindow {
  public:
    TestWindow() {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"TolvarPtyTest";
            return RegisterClassW(&wc);
        }();
        // Message-only: needs no display, and its client area is all of its
        // 800 x 600.
        hwnd_ = CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_POPUP, 0, 0, 800, 600, HWND_MESSAGE,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestWindow() { DestroyWindow(hwnd_); }

    HWND hwnd() const { return hwnd_; }
    const std::vector<Posted>& posted() const { return posted_; }
    std::size_t count(UINT message, SessionId id) const {
        return std::count_if(posted_.begin(), posted_.end(),
                             [&](const Posted& p) { return p.message == message && p.id == id; });
    }

  private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_APP_PTY_OUTPUT || message == WM_APP_PTY_EXIT) {
            auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            EXPECT_EQ(lparam, 0);
            if (self) self->posted_.push_back({message, static_cast<SessionId>(wparam)});
            return 0;
        }
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }

    HWND hwnd_;
    std::vector<Posted> posted_;
};

// Dispatches messages until `done` or the deadline.
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 15000) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                  QS_ALLINPUT);
    }
}

void pump_for(DWORD ms) {
    pump_until([] { return false; }, ms);
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
        auto session = PtySession::start(window_.hwnd(), command, dir, CellSize{8, 16});
        // GoogleTest reports the exception as the test's failure.
        if (!session) throw std::runtime_error("start failed: " + session.error().text);
        return std::move(session).value();
    }

    // cmd.exe's prompt ends in '>' once it is ready for input.
    static bool prompt_ready(const PtySession& session) {
        return pump_until([&] { return shows(session, ">"); });
    }

    bool exited(SessionId id) const { return window_.count(WM_APP_PTY_EXIT, id) > 0; }

    TestWindow window_;
};

TEST_F(Session, ShellShowsPromptAndEchoesInput) {
    PtySession session = start();
    EXPECT_EQ(session.rows(), 34);  // (600 - 42) / 16
    EXPECT_EQ(session.cols(), 98);  // (800 - 12) / 8
    ASSERT_TRUE(prompt_ready(session)) << visible_text(session);
    EXPECT_GT(window_.count(WM_APP_PTY_OUTPUT, session.id()), 0u);

    session.write("echo hello\r");
    ASSERT_TRUE(pump_until([&] { return shows(session, "\nhello\n"); })) << visible_text(session);
    EXPECT_FALSE(exited(session.id()));
}

TEST_F(Session, ChildExitEndsOutputAndLaterWritesAreDropped) {
    auto session = std::make_unique<PtySession>(start());
    const SessionId id = session->id();
    ASSERT_TRUE(prompt_ready(*session)) << visible_text(*session);

    session->write("exit\r");
    ASSERT_TRUE(pump_until([&] { return exited(id); })) << "no exit message after the child left";
    pump_for(300);
    EXPECT_EQ(window_.posted().back().message, WM_APP_PTY_EXIT) << "nothing follows the exit";
    EXPECT_EQ(window_.count(WM_APP_PTY_EXIT, id), 1u);

    // Far more than a pipe buffer: a write that waited for a reader would hang.
    if (!finishes_within(5000, [&] { session->write(std::string(1 << 20, 'x')); })) {
        ADD_FAILURE() << "a write after the child exited blocked";
        session.release();  // still in use by the blocked write
    }
}

TEST_F(Session, ExitArrivesEvenWhenTheQueueWasFull) {
    auto session = std::make_unique<PtySession>(start());
    const SessionId id = session->id();
    ASSERT_TRUE(prompt_ready(*session)) << visible_text(*session);

    // A window that falls behind a flood of output fills its thread's queue,
    // and the system then refuses posts until it catches up.
    std::size_t queued = 0;
    while (queued < 20000 && PostMessageW(window_.hwnd(), WM_NULL, 0, 0)) ++queued;
    if (queued == 20000) GTEST_SKIP() << "this system does not limit a thread's message queue";
    session->write("exit\r");
    Sleep(1500);  // the child leaves while nothing is taken from the queue
    EXPECT_TRUE(pump_until([&] { return exited(id); })) << "the exit message was lost";
}

TEST_F(Session, ClosingRunningSessionEndsReaderAndFreesModel) {
    std::optional<PtySession> session = start();
    const SessionId id = session->id();
    const std::weak_ptr<SharedModel> model = session->shared_model();
    ASSERT_TRUE(prompt_ready(*session)) << visible_text(*session);
    ASSERT_FALSE(exited(id));
    EXPECT_EQ(model.use_count(), 2) << "the session and its reader";

    session.reset();
    ASSERT_TRUE(pump_until([&] { return exited(id); })) << "reader did not end";
    EXPECT_TRUE(pump_until([&] { return model.expired(); })) << "reader kept the model";
}

TEST_F(Session, IdsAreConsecutiveAndFailedStartsSpendOne) {
    PtySession first = start();
    auto failed = PtySession::start(window_.hwnd(), "Z:\\no\\such\\program.exe", std::nullopt,
                                    CellSize{8, 16});
    ASSERT_FALSE(failed);
    EXPECT_NE(failed.error().text.find("CreateProcessW"), std::string::npos);
    PtySession second = start();
    PtySession third = start();
    EXPECT_EQ(second.id(), first.id() + 2);
    EXPECT_EQ(third.id(), second.id() + 1);
}

TEST_F(Session, WorkingDirectoryOnlyWhenItExists) {
    const fs::path dir =
        fs::temp_directory_path() / ("tolvar-pty-cwd-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::string name = dir.filename().string();
    {
        PtySession session = start(std::nullopt, core::win::from_wide(dir.native()));
        ASSERT_TRUE(pump_until([&] { return shows(session, name + ">"); }))
            << visible_text(session);
    }
    {
        PtySession session = start(std::nullopt, core::win::from_wide((dir / "gone").native()));
        ASSERT_TRUE(prompt_ready(session)) << visible_text(session);
        EXPECT_FALSE(shows(session, "gone>")) << visible_text(session);
    }
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
    const SessionId id = session->id();
    ASSERT_TRUE(prompt_ready(*session)) << visible_text(*session);
    const std::size_t before = window_.count(WM_APP_PTY_OUTPUT, id);

    session->model().poison();
    session->write("echo poisoned\r");
    ASSERT_TRUE(pump_until([&] { return window_.count(WM_APP_PTY_OUTPUT, id) > before; }))
        << "output is still announced";
    EXPECT_FALSE(session->model().with([](TerminalModel&) {}));
    session->resize(10, 10);  // skips the model; must not touch it

    session->write("exit\r");
    EXPECT_TRUE(pump_until([&] { return exited(id); }));
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
