// A session's reports as messages to a real window under Wine.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "sessions/window_events_win.hpp"
#include "window/host_window_win.hpp"

namespace tolvar::app::win {
namespace {

struct Posted {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// A message-only window, which needs no display, recording the session
// messages it is sent.
class TestWindow {
  public:
    TestWindow() {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"TolvarEventsTest";
            return RegisterClassW(&wc);
        }();
        hwnd_ = CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestWindow() { destroy(); }

    HWND hwnd() const { return hwnd_; }
    void destroy() {
        if (hwnd_) DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    const std::vector<Posted>& posted() const { return posted_; }

    // Dispatches messages until one for a session has come, or the deadline.
    bool pump_until_posted(std::size_t count, DWORD timeout_ms = 10000) {
        const ULONGLONG deadline = GetTickCount64() + timeout_ms;
        while (posted_.size() < count) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            if (posted_.size() >= count || GetTickCount64() >= deadline) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return posted_.size() >= count;
    }

  private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_APP_PTY_OUTPUT || message == WM_APP_PTY_EXIT) {
            auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (self) self->posted_.push_back({message, wparam, lparam});
            return 0;
        }
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }

    HWND hwnd_;
    std::vector<Posted> posted_;
};

TEST(WindowEvents, PostsTheSessionMessagesWithTheIdAndTheEnd) {
    EXPECT_EQ(WM_APP_PTY_OUTPUT, 0x8064u);
    EXPECT_EQ(WM_APP_PTY_EXIT, 0x8065u);
    TestWindow window;
    WindowEvents events(window.hwnd());
    EXPECT_TRUE(events.output(41));
    // From another thread, as a reader does.
    std::thread([&] { events.ended(42, pty::SessionEnd{0xC000013Au}); }).join();
    std::thread([&] { events.ended(43, pty::SessionEnd{}); }).join();
    ASSERT_TRUE(window.pump_until_posted(3));
    EXPECT_EQ(window.posted()[0].message, WM_APP_PTY_OUTPUT);
    EXPECT_EQ(window.posted()[0].wparam, 41u);
    EXPECT_EQ(window.posted()[1].message, WM_APP_PTY_EXIT);
    EXPECT_EQ(window.posted()[1].wparam, 42u);
    EXPECT_EQ(window.posted()[0].lparam, 0);
    EXPECT_EQ(pty::end_from_word(static_cast<std::uint64_t>(window.posted()[1].lparam)),
              pty::SessionEnd{0xC000013Au});
    EXPECT_EQ(pty::end_from_word(static_cast<std::uint64_t>(window.posted()[2].lparam)),
              pty::SessionEnd{});
}

// Pins the fault of a retry that never gives up: a reader ending after the
// window was destroyed must not loop for ever.
TEST(WindowEvents, NoWindowLeftEndsTheRetry) {
    TestWindow window;
    // Shared: a retry that does not end outlives the test.
    auto events = std::make_shared<WindowEvents>(window.hwnd());
    window.destroy();
    EXPECT_FALSE(events->output(1));
    const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([events, done] {
        events->ended(1, {});
        SetEvent(done);
    }).detach();
    const bool returned = WaitForSingleObject(done, 5000) == WAIT_OBJECT_0;
    EXPECT_TRUE(returned) << "ended() kept retrying a window that is gone";
    if (returned) CloseHandle(done);
}

TEST(WindowEvents, EndArrivesEvenWhenTheQueueWasFull) {
    TestWindow window;
    WindowEvents events(window.hwnd());
    // A window that falls behind a flood of output fills its thread's queue,
    // and the system then refuses posts until it catches up.
    std::size_t queued = 0;
    while (queued < 20000 && PostMessageW(window.hwnd(), WM_NULL, 0, 0)) ++queued;
    if (queued == 20000) GTEST_SKIP() << "this system does not limit a thread's message queue";
    EXPECT_FALSE(events.output(7)) << "a full queue refuses the notice";
    std::thread reader([&] { events.ended(7, {}); });
    Sleep(300);  // the end is refused while nothing is taken from the queue
    EXPECT_TRUE(window.pump_until_posted(1)) << "the end was lost";
    reader.join();
    EXPECT_EQ(window.posted().back().message, WM_APP_PTY_EXIT);
}

}  // namespace
}  // namespace tolvar::app::win
