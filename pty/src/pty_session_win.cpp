#include "tolvar/pty/win/pty_session.hpp"

#include <algorithm>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

namespace tolvar::pty {

using core::win::UniqueHandle;

namespace {

// The console, shared by the session and the watch on its child, so that
// whichever is last frees it: the watch may still be running when the
// session goes.
struct ConsoleState {
    explicit ConsoleState(HPCON handle) : console(handle) {}

    void close() {
        HPCON handle;
        {
            std::lock_guard lock(mutex);
            handle = std::exchange(console, nullptr);
        }
        // Outside the lock: on older Windows this waits for the console host
        // to exit, and a resize must not wait behind it.
        if (handle) ClosePseudoConsole(handle);
    }

    std::mutex mutex;
    HPCON console;
};

// Owned by its pool callback alone, which frees it: a session that goes
// first never cancels the wait (it ends the child, which fires it), because
// under Wine a callback was seen running after a blocking cancellation had
// returned, on a freed console.
struct Watch {
    std::shared_ptr<ConsoleState> state;
    UniqueHandle process;
};

void CALLBACK on_child_exit(PTP_CALLBACK_INSTANCE, void* context, PTP_WAIT wait,
                            TP_WAIT_RESULT) noexcept {
    const std::unique_ptr<Watch> watch(static_cast<Watch*>(context));
    try {
        watch->state->close();
    } catch (...) {
        // The lock could not be taken: dropping the session closes it.
    }
    CloseThreadpoolWait(wait);
}

}  // namespace

// Closed exactly once: when the session is dropped or, earlier, as soon as
// the child exits. A pseudo console need not end its output when its child
// exits (under Wine it never does), and without the watch a shell that
// exited would leave its reader, and its tab, waiting until the user closed
// it.
class PseudoConsole {
  public:
    explicit PseudoConsole(HPCON console) : state_(std::make_shared<ConsoleState>(console)) {}
    PseudoConsole(const PseudoConsole&) = delete;
    PseudoConsole& operator=(const PseudoConsole&) = delete;
    ~PseudoConsole() { state_->close(); }

    // Only while starting, before anything else can close it.
    HPCON handle() const { return state_->console; }

    // Best effort: without a watch the console simply lives until the
    // session is dropped. The session ends the child before dropping this.
    void close_when_exits(HANDLE process) {
        HANDLE own = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &own, SYNCHRONIZE,
                             FALSE, 0)) {
            return;
        }
        auto watch = std::make_unique<Watch>(Watch{state_, UniqueHandle(own)});
        const PTP_WAIT wait = CreateThreadpoolWait(on_child_exit, watch.get(), nullptr);
        if (!wait) return;
        SetThreadpoolWait(wait, watch->process.get(), nullptr);
        watch.release();
    }

    HRESULT resize(COORD size) {
        std::lock_guard lock(state_->mutex);
        return state_->console ? ResizePseudoConsole(state_->console, size) : E_HANDLE;
    }

  private:
    std::shared_ptr<ConsoleState> state_;
};

namespace {

// What the reader thread owns. Destroyed in reverse order: the output pipe
// closes before the shared objects go.
struct Reader {
    std::shared_ptr<SharedModel> model;
    std::shared_ptr<OutputSignal> signal;
    std::shared_ptr<SessionEvents> events;
    UniqueHandle output;
    // The reader's own handle to the child, for its exit code; none when it
    // could not be duplicated.
    UniqueHandle process;
    SessionId id;
};

// The output ends when the pseudo console closes, which follows the child's
// exit; a read that failed for another reason leaves the child running, and
// its end is then unknown rather than waited for.
constexpr DWORD k_exit_wait_ms = 2000;

SessionEnd how_it_ended(HANDLE process) {
    if (!process || WaitForSingleObject(process, k_exit_wait_ms) != WAIT_OBJECT_0) return {};
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) return {};
    return {code};
}

// Touches only its own Reader: the session may be gone long before the pipe
// ends.
DWORD WINAPI read_output(void* param) noexcept {
    const std::unique_ptr<Reader> reader(static_cast<Reader*>(param));
    const HANDLE output = reader->output.get();
    pump_output(
        [output](std::span<char> buffer) -> std::size_t {
            DWORD read = 0;
            if (!ReadFile(output, buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                          nullptr)) {
                return 0;
            }
            return read;
        },
        *reader->model, *reader->signal, *reader->events, reader->id,
        [process = reader->process.get()] { return how_it_ended(process); });
    return 0;
}

// CreatePseudoConsole reports system errors wrapped in an HRESULT; their
// text is found by the plain code.
DWORD error_code(HRESULT hr) {
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr);
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

    // The system's error code when the list cannot be made.
    Expected<void, DWORD> set(HPCON console) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize((size + 7) / 8);
        if (!InitializeProcThreadAttributeList(list(), 1, 0, &size)) {
            return unexpected(GetLastError());
        }
        initialized_ = true;
        if (!UpdateProcThreadAttribute(list(), 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console,
                                       sizeof console, nullptr, nullptr)) {
            return unexpected(GetLastError());
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

Expected<PtySession, StartError> PtySession::start(const std::optional<std::string>& command,
                                                   const std::optional<std::string>& working_dir,
                                                   GridSize size,
                                                   std::shared_ptr<SessionEvents> events) {
    const SessionId id = take_session_id();
    const std::string command_utf8 = session_command_line(command);
    std::wstring command_line = core::win::to_wide(command_utf8);
    const std::wstring wide_dir = working_dir ? core::win::to_wide(*working_dir) : std::wstring();
    const auto failed = [&command_utf8](std::string_view step, DWORD code) {
        return unexpected(start_error(command_utf8, step, core::win::error_text(code)));
    };

    // Declared first so that a failed start closes the pipes before the
    // console: with its output unread, closing a console can wait forever.
    std::unique_ptr<PseudoConsole> console;
    HANDLE raw_read = nullptr;
    HANDLE raw_write = nullptr;
    if (!CreatePipe(&raw_read, &raw_write, nullptr, 0)) {
        return failed("its pipes could not be created", GetLastError());
    }
    UniqueHandle input_read(raw_read);
    UniqueHandle input_write(raw_write);
    if (!CreatePipe(&raw_read, &raw_write, nullptr, 0)) {
        return failed("its pipes could not be created", GetLastError());
    }
    UniqueHandle output_read(raw_read);
    UniqueHandle output_write(raw_write);

    HPCON raw_console = nullptr;
    const COORD console_size{static_cast<SHORT>(size.cols), static_cast<SHORT>(size.rows)};
    if (const HRESULT hr = CreatePseudoConsole(console_size, input_read.get(), output_write.get(),
                                               0, &raw_console);
        FAILED(hr)) {
        return failed("the pseudo console could not be created", error_code(hr));
    }
    console = std::make_unique<PseudoConsole>(raw_console);

    ConsoleAttribute attribute;
    if (auto set = attribute.set(console->handle()); !set) {
        return failed("the pseudo console could not be attached", set.error());
    }

    // No standard handles and no inheritance: the child's console is the
    // pseudo console.
    static_assert(sizeof(STARTUPINFOEXW) == 112);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = attribute.list();
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE,
                        EXTENDED_STARTUPINFO_PRESENT, nullptr,
                        working_dir ? wide_dir.c_str() : nullptr, &startup.StartupInfo, &child)) {
        return failed({}, GetLastError());
    }
    CloseHandle(child.hThread);
    UniqueHandle process(child.hProcess);
    // The pseudo console holds its own references to these two.
    input_read.reset();
    output_write.reset();

    auto model =
        std::make_shared<SharedModel>(size.rows, size.cols, TerminalModel::k_default_scrollback);
    auto signal = std::make_shared<OutputSignal>();
    // The reader starts last, so that only its failure has a child to end;
    // its pipe end, still in `reader`, then closes before the console.
    HANDLE raw_process = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process.get(), GetCurrentProcess(), &raw_process,
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0)) {
        raw_process = nullptr;
    }
    auto reader = std::make_unique<Reader>(Reader{
        model, signal, std::move(events), std::move(output_read), UniqueHandle(raw_process), id});
    const HANDLE thread = CreateThread(nullptr, 0, read_output, reader.get(), 0, nullptr);
    if (!thread) {
        const DWORD code = GetLastError();
        TerminateProcess(process.get(), 1);
        return failed("its output reader could not start", code);
    }
    reader.release();
    CloseHandle(thread);
    console->close_when_exits(process.get());

    return PtySession(std::move(model), std::move(signal), id, std::move(console),
                      std::move(process), std::move(input_write), size);
}

PtySession::PtySession(std::shared_ptr<SharedModel> model, std::shared_ptr<OutputSignal> signal,
                       SessionId id, std::unique_ptr<PseudoConsole> console, UniqueHandle process,
                       UniqueHandle input, GridSize size)
    : model_(std::move(model)),
      signal_(std::move(signal)),
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
        signal_ = std::move(other.signal_);
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
    signal_.reset();
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
