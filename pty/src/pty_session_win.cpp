#include "tolvar/pty/win/pty_session.hpp"

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>
#include <vector>

namespace tolvar::pty {

using core::win::UniqueHandle;

// Owns the pseudo console, which is closed exactly once: when the session is
// dropped or, earlier, as soon as the child exits. A pseudo console need not
// end its output when its child exits (under Wine it never does), and without
// the watch a shell that exited would leave its reader, and its tab, waiting
// until the user closed it.
class PseudoConsole {
  public:
    explicit PseudoConsole(HPCON console) : console_(console) {}
    PseudoConsole(const PseudoConsole&) = delete;
    PseudoConsole& operator=(const PseudoConsole&) = delete;
    ~PseudoConsole() {
        // Waits for a running callback, so none can outlive this object.
        if (wait_) UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
        close();
    }

    // Only while starting, before anything else can close it.
    HPCON handle() const { return console_; }

    // Best effort: if no watch can be registered, the console simply lives
    // until the session is dropped.
    void close_when_exits(HANDLE process) {
        if (!RegisterWaitForSingleObject(&wait_, process, on_exit, this, INFINITE,
                                         WT_EXECUTEONLYONCE)) {
            wait_ = nullptr;
        }
    }

    HRESULT resize(COORD size) {
        std::lock_guard lock(mutex_);
        return console_ ? ResizePseudoConsole(console_, size) : E_HANDLE;
    }

    void close() {
        HPCON console;
        {
            std::lock_guard lock(mutex_);
            console = std::exchange(console_, nullptr);
        }
        // Outside the lock: on older Windows this waits for the console host
        // to exit, and a resize must not wait behind it.
        if (console) ClosePseudoConsole(console);
    }

  private:
    static void CALLBACK on_exit(void* self, BOOLEAN) {
        static_cast<PseudoConsole*>(self)->close();
    }

    std::mutex mutex_;
    HPCON console_;
    HANDLE wait_ = nullptr;
};

namespace {

constexpr DWORD k_chunk = 8192;

StartError failure(const char* call, DWORD code) {
    return StartError{std::string(call) + ": " + core::win::error_text(code)};
}

// What the reader thread owns. Destroyed in reverse order: the output pipe
// closes before the model reference goes.
struct Reader {
    std::shared_ptr<SharedModel> model;
    HWND window;
    UniqueHandle output;
    SessionId id;
};

// Touches only its own Reader: the session may be gone long before the pipe
// ends. Nothing in the loop throws (a failed feed poisons the model instead).
DWORD WINAPI read_output(void* param) noexcept {
    const std::unique_ptr<Reader> reader(static_cast<Reader*>(param));
    std::array<char, k_chunk> buffer{};
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(reader->output.get(), buffer.data(), k_chunk, &read, nullptr) || read == 0) {
            break;
        }
        const std::string_view chunk(buffer.data(), read);
        reader->model->with([chunk](TerminalModel& model) { model.feed(chunk); });
        PostMessageW(reader->window, WM_APP_PTY_OUTPUT, reader->id, 0);
    }
    // A window far behind a flood of output has a full queue, which refuses
    // posts until it catches up. A lost output post only delays a repaint; a
    // lost exit would leave the tab open on an ended session for good.
    while (!PostMessageW(reader->window, WM_APP_PTY_EXIT, reader->id, 0) &&
           GetLastError() == ERROR_NOT_ENOUGH_QUOTA) {
        Sleep(50);
    }
    return 0;
}

void start_reader(std::unique_ptr<Reader> reader) {
    const HANDLE thread = CreateThread(nullptr, 0, read_output, reader.get(), 0, nullptr);
    if (!thread) FatalAppExitW(0, L"failed to spawn thread");
    reader.release();
    CloseHandle(thread);
}

// A process-thread attribute list holding one pseudo console.
class ConsoleAttribute {
  public:
    ConsoleAttribute() = default;
    ConsoleAttribute(const ConsoleAttribute&) = delete;
    ConsoleAttribute& operator=(const ConsoleAttribute&) = delete;
    ~ConsoleAttribute() {
        if (initialized_) DeleteProcThreadAttributeList(list());
    }

    Expected<void, StartError> set(HPCON console) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize((size + 7) / 8);
        if (!InitializeProcThreadAttributeList(list(), 1, 0, &size)) {
            return unexpected(failure("InitializeProcThreadAttributeList", GetLastError()));
        }
        initialized_ = true;
        if (!UpdateProcThreadAttribute(list(), 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console,
                                       sizeof console, nullptr, nullptr)) {
            return unexpected(failure("UpdateProcThreadAttribute", GetLastError()));
        }
        return {};
    }

    LPPROC_THREAD_ATTRIBUTE_LIST list() {
        return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    }

  private:
    std::vector<std::uint64_t> storage_;
    bool initialized_ = false;
};

}  // namespace

namespace {

// A minimized window has no client area, and a session started then (a tab
// opened from outside, or resumed) would begin one cell large and lose what
// its shell prints before the window is restored: size it for the restored
// window instead.
RECT client_rect_to_fit(HWND window) {
    RECT client{};
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    RECT frame{};
    if (IsIconic(window) && GetWindowPlacement(window, &placement) &&
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)))) {
        const RECT& normal = placement.rcNormalPosition;
        client.right = (normal.right - normal.left) - (frame.right - frame.left);
        client.bottom = (normal.bottom - normal.top) - (frame.bottom - frame.top);
        return client;
    }
    if (!GetClientRect(window, &client)) client = RECT{};
    return client;
}

}  // namespace

Expected<PtySession, StartError> PtySession::start(HWND window,
                                                   const std::optional<std::string>& command,
                                                   const std::optional<std::string>& working_dir,
                                                   CellSize cell) {
    const SessionId id = take_session_id();
    std::wstring command_line = core::win::to_wide(session_command_line(command));

    const RECT client = client_rect_to_fit(window);
    const GridSize size =
        initial_grid(ClientRect{client.left, client.top, client.right, client.bottom}, cell);

    const std::optional<std::string> dir = choose_working_dir(working_dir);
    const std::wstring wide_dir = dir ? core::win::to_wide(*dir) : std::wstring();

    // Declared first so that a failed start closes the pipes before the
    // console: with its output unread, closing a console can wait forever.
    std::unique_ptr<PseudoConsole> console;
    HANDLE raw_read = nullptr;
    HANDLE raw_write = nullptr;
    if (!CreatePipe(&raw_read, &raw_write, nullptr, 0)) {
        return unexpected(failure("CreatePipe", GetLastError()));
    }
    UniqueHandle input_read(raw_read);
    UniqueHandle input_write(raw_write);
    if (!CreatePipe(&raw_read, &raw_write, nullptr, 0)) {
        return unexpected(failure("CreatePipe", GetLastError()));
    }
    UniqueHandle output_read(raw_read);
    UniqueHandle output_write(raw_write);

    HPCON raw_console = nullptr;
    const COORD console_size{static_cast<SHORT>(size.cols), static_cast<SHORT>(size.rows)};
    if (const HRESULT hr = CreatePseudoConsole(console_size, input_read.get(), output_write.get(),
                                               0, &raw_console);
        FAILED(hr)) {
        return unexpected(failure("CreatePseudoConsole", static_cast<DWORD>(hr)));
    }
    console = std::make_unique<PseudoConsole>(raw_console);

    ConsoleAttribute attribute;
    if (auto set = attribute.set(console->handle()); !set) return unexpected(set.error());

    // No standard handles and no inheritance: the child's console is the
    // pseudo console.
    static_assert(sizeof(STARTUPINFOEXW) == 112);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = attribute.list();
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE,
                        EXTENDED_STARTUPINFO_PRESENT, nullptr, dir ? wide_dir.c_str() : nullptr,
                        &startup.StartupInfo, &child)) {
        return unexpected(failure("CreateProcessW", GetLastError()));
    }
    CloseHandle(child.hThread);
    UniqueHandle process(child.hProcess);
    // The pseudo console holds its own references to these two.
    input_read.reset();
    output_write.reset();
    console->close_when_exits(process.get());

    auto model =
        std::make_shared<SharedModel>(size.rows, size.cols, TerminalModel::k_default_scrollback);
    start_reader(std::make_unique<Reader>(Reader{model, window, std::move(output_read), id}));

    return PtySession(std::move(model), id, std::move(console), std::move(process),
                      std::move(input_write), size);
}

PtySession::PtySession(std::shared_ptr<SharedModel> model, SessionId id,
                       std::unique_ptr<PseudoConsole> console, UniqueHandle process,
                       UniqueHandle input, GridSize size)
    : model_(std::move(model)),
      id_(id),
      console_(std::move(console)),
      process_(std::move(process)),
      input_(std::move(input)),
      rows_(size.rows),
      cols_(size.cols) {}

PtySession::PtySession(PtySession&&) noexcept = default;

PtySession& PtySession::operator=(PtySession&& other) noexcept {
    if (this != &other) {
        close();
        model_ = std::move(other.model_);
        id_ = other.id_;
        console_ = std::move(other.console_);
        process_ = std::move(other.process_);
        input_ = std::move(other.input_);
        rows_ = other.rows_;
        cols_ = other.cols_;
    }
    return *this;
}

PtySession::~PtySession() {
    close();
}

void PtySession::close() {
    if (process_) TerminateProcess(process_.get(), 0);
    console_.reset();
    process_.reset();
    input_.reset();
    model_.reset();
}

void PtySession::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD length = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
        DWORD written = 0;
        if (!WriteFile(input_.get(), bytes.data(), length, &written, nullptr) || written == 0) {
            return;
        }
        bytes.remove_prefix(written);
    }
}

void PtySession::resize(std::uint16_t rows, std::uint16_t cols) {
    if (rows == rows_ && cols == cols_) return;
    if (!console_ ||
        FAILED(console_->resize(COORD{static_cast<SHORT>(cols), static_cast<SHORT>(rows)}))) {
        return;
    }
    rows_ = rows;
    cols_ = cols;
    model_->with([rows, cols](TerminalModel& model) { model.set_size(rows, cols); });
}

}  // namespace tolvar::pty
