#include "sessions/sessions_win.hpp"

#include <chrono>

#include "dialogs/dialog_frame_win.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/win/win32.hpp"
#include "window/host_window_win.hpp"
#include "sessions/window_events_win.hpp"
#include "tolvar/proto/win/external.hpp"
#include "view/layout.hpp"
#include "window/failures_win.hpp"

namespace tolvar::app::win {

namespace {

// A minimized window has no client area, and a session started then (a tab
// opened from outside, or resumed) would begin one cell large and lose what
// its shell prints before the window is restored: size it for the restored
// window instead. A failed query counts as an empty client area.
Rect client_to_fit(HWND window) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    RECT frame{};
    if (IsIconic(window) && GetWindowPlacement(window, &placement) &&
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)))) {
        const RECT& normal = placement.rcNormalPosition;
        return Rect{0, 0, (normal.right - normal.left) - (frame.right - frame.left),
                    (normal.bottom - normal.top) - (frame.bottom - frame.top)};
    }
    RECT client{};
    if (!GetClientRect(window, &client)) return Rect{};
    return Rect{client.left, client.top, client.right, client.bottom};
}

}  // namespace

ConsoleStarter::ConsoleStarter(std::function<HWND()> window, const CellMetrics& cell)
    : window_(std::move(window)), cell_(cell) {
    if (auto hold = core::environment_variable("TOLVAR_HOLD_STARTS"); hold && !hold->empty()) {
        hold_file_ = core::win::to_wide(*hold);
    }
    thread_ = std::thread([this] { run(); });
}

ConsoleStarter::~ConsoleStarter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

pty::GridSize ConsoleStarter::size_for(HWND window) const {
    return single_view_size(client_to_fit(window), cell_, Scale{GetDpiForWindow(window)});
}

Expected<std::unique_ptr<Session>, std::string> ConsoleStarter::start(
    const SessionRequest& request) {
    const HWND window = window_();
    const pty::GridSize size = size_for(window);
    if (request.serial) {
        auto port = pty::SerialSession::open(*request.serial, size,
                                             std::make_shared<WindowEvents>(window));
        if (!port) return unexpected(std::move(port.error()));
        return std::unique_ptr<Session>(
            std::make_unique<SessionOf<pty::SerialSession>>(std::move(*port)));
    }
    auto session = pty::PtySession::start(request.command, request.working_dir, size,
                                          std::make_shared<WindowEvents>(window));
    if (!session) return unexpected(session.error().display());
    return std::unique_ptr<Session>(
        std::make_unique<SessionOf<pty::PtySession>>(std::move(*session)));
}

std::unique_ptr<StartingSession> ConsoleStarter::start_in_background(
    const SessionRequest& request) {
    const HWND window = window_();
    const pty::GridSize size = size_for(window);
    pty::PtySession::Prepared prepared{
        pty::take_session_id(), std::make_shared<pty::SharedModel>(
                                    size.rows, size.cols, pty::TerminalModel::k_default_scrollback)};
    auto session = std::make_unique<StartingSession>(prepared.id, prepared.model);
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(Job{request, std::move(prepared), session->wanted(), window});
    }
    wake_.notify_one();
    return session;
}

Expected<std::unique_ptr<Session>, std::string> ConsoleStarter::take_started(pty::SessionId id) {
    std::lock_guard lock(mutex_);
    const auto found = started_.find(id);
    if (found == started_.end()) return unexpected(std::string("The session did not start."));
    auto outcome = std::move(found->second);
    started_.erase(found);
    return outcome;
}

void ConsoleStarter::output_came(pty::SessionId id) {
    if (id == 0 || waiting_for_.load(std::memory_order_relaxed) != id) return;
    {
        std::lock_guard lock(mutex_);
        released_ = true;
        waiting_for_ = 0;
    }
    wake_.notify_all();
}

void ConsoleStarter::run() noexcept {
    bool begun = false;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        const bool first = !std::exchange(begun, true);
        if (!first) {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_ || released_; });
            if (stopping_) return;
            released_ = true;
            waiting_for_ = 0;
        }
        if (!first && hold_file_) {
            const ULONGLONG until = GetTickCount64() + 60'000;
            while (GetFileAttributesW(hold_file_->c_str()) != INVALID_FILE_ATTRIBUTES &&
                   GetTickCount64() < until) {
                std::unique_lock lock(mutex_);
                if (wake_.wait_for(lock, std::chrono::milliseconds(20),
                                   [this] { return stopping_; })) {
                    return;
                }
            }
        }
        const pty::SessionId id = job.prepared.id;
        if (!job.wanted->load()) {
            if (first) {
                std::lock_guard lock(mutex_);
                released_ = true;
            }
            continue;
        }
        if (first) waiting_for_ = id;
        Expected<std::unique_ptr<Session>, std::string> outcome =
            unexpected(std::string("Cannot start the session: out of memory."));
        try {
            auto session = pty::PtySession::start(job.request.command, job.request.working_dir,
                                                  std::move(job.prepared),
                                                  std::make_shared<WindowEvents>(job.window));
            if (session) {
                outcome = std::unique_ptr<Session>(
                    std::make_unique<SessionOf<pty::PtySession>>(std::move(*session)));
            } else {
                outcome = unexpected(session.error().display());
            }
        } catch (...) {
            // The outcome says so.
        }
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;  // the session ends with the outcome, here
            // No output will come from a start that failed.
            if (first && !outcome) released_ = true;
            started_.insert_or_assign(id, std::move(outcome));
        }
        // Retried while the window's queue is full, as an end is: a lost
        // notice would leave the tab starting for good.
        while (!PostMessageW(job.window, WM_APP_SESSION_STARTED, static_cast<WPARAM>(id), 0) &&
               GetLastError() == ERROR_NOT_ENOUGH_QUOTA) {
            Sleep(50);
        }
    }
}

void SystemExternals::start_external(const proto::External& plan) {
    proto::start_external_plan(
        plan, [this](const std::string& text) { error_box(owner_(), text); }, report_failure);
}

}  // namespace tolvar::app::win
