#include "tolvar/pty/win/pty_session.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
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

// What the reader owns, and frees with its last callback: the session may be
// gone long before the pipe ends. Destroyed in reverse order: the output pipe
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
    PTP_IO io = nullptr;
    // Starts the next read once the writes gathered; none: reads follow at once.
    PTP_TIMER gather = nullptr;
    std::chrono::steady_clock::time_point asked;
    OVERLAPPED overlapped{};
    std::array<char, k_output_chunk> buffer{};
};

// The output ends when the pseudo console closes, which follows the child's
// exit; a read that failed for another reason leaves the child running, and
// its end is then unknown rather than waited for.
constexpr DWORD k_exit_wait_ms = 2000;

// A pool wait's or timer's due time `after` from now: negative, in 100 ns.
FILETIME relative_due(std::chrono::milliseconds after) {
    ULARGE_INTEGER due{};
    due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(after.count()) * 10000);
    return FILETIME{due.LowPart, due.HighPart};
}

// Of a child that has exited.
SessionEnd exit_of(HANDLE process) {
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) return {};
    return {code};
}

void CALLBACK on_exit_known(PTP_CALLBACK_INSTANCE, void* context, PTP_WAIT wait,
                            TP_WAIT_RESULT result) noexcept {
    const std::unique_ptr<Reader> reader(static_cast<Reader*>(context));
    CloseThreadpoolWait(wait);
    const SessionEnd end = result == WAIT_OBJECT_0 ? exit_of(reader->process.get()) : SessionEnd{};
    end_output(*reader->events, reader->id, [end] { return end; });
}

// Waits for the child's exit on the pool, not on a pool thread, so that a
// hundred tabs ending at once hold no thread each.
void end_reading(std::unique_ptr<Reader> reader) noexcept {
    reader->output.reset();
    // Released by the system once the callback that may be calling this
    // returns; no read is pending and the timer is not set, as this runs
    // where the next read would have been asked.
    CloseThreadpoolIo(std::exchange(reader->io, nullptr));
    if (reader->gather) CloseThreadpoolTimer(std::exchange(reader->gather, nullptr));
    if (reader->process) {
        if (const PTP_WAIT wait = CreateThreadpoolWait(on_exit_known, reader.get(), nullptr)) {
            FILETIME timeout = relative_due(std::chrono::milliseconds(k_exit_wait_ms));
            SetThreadpoolWait(wait, reader->process.get(), &timeout);
            reader.release();
            return;
        }
    }
    const HANDLE process = reader->process.get();
    end_output(*reader->events, reader->id, [process] {
        if (!process || WaitForSingleObject(process, k_exit_wait_ms) != WAIT_OBJECT_0) {
            return SessionEnd{};
        }
        return exit_of(process);
    });
}

// Starts the next read; false when the output has ended. Once it returns
// true the reader belongs to the read's callback, which may already run.
bool read_next(Reader& reader) noexcept {
    reader.overlapped = OVERLAPPED{};
    reader.asked = std::chrono::steady_clock::now();
    StartThreadpoolIo(reader.io);
    if (ReadFile(reader.output.get(), reader.buffer.data(),
                 static_cast<DWORD>(reader.buffer.size()), nullptr, &reader.overlapped) ||
        GetLastError() == ERROR_IO_PENDING) {
        return true;
    }
    CancelThreadpoolIo(reader.io);
    return false;
}

void CALLBACK on_gathered(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER) noexcept {
    auto* reader = static_cast<Reader*>(context);
    if (!read_next(*reader)) end_reading(std::unique_ptr<Reader>(reader));
}

// Asks for the next read now or once the timer fires; false when the output
// has ended. Once it returns true the reader belongs to a callback.
bool ask_next(Reader& reader, std::size_t bytes) noexcept {
    const auto wait = ReadPacing::after(std::chrono::steady_clock::now() - reader.asked, bytes,
                                        reader.buffer.size());
    if (wait.count() == 0 || !reader.gather) return read_next(reader);
    FILETIME when = relative_due(wait);
    SetThreadpoolTimer(reader.gather, &when, 0, 0);
    return true;
}

void CALLBACK on_read(PTP_CALLBACK_INSTANCE, void* context, void*, ULONG result,
                      ULONG_PTR bytes, PTP_IO) noexcept {
    auto* reader = static_cast<Reader*>(context);
    const bool more =
        result == NO_ERROR &&
        feed_output(std::string_view(reader->buffer.data(), bytes), *reader->model,
                    *reader->signal, *reader->events, reader->id) &&
        ask_next(*reader, bytes);
    if (!more) end_reading(std::unique_ptr<Reader>(reader));
}

// Room for several chunks, so that the console host rarely waits for a read.
constexpr DWORD k_output_pipe_buffer = 8 * k_output_chunk;

// Both ends of the output pipe. The reading end is overlapped, so that the
// system's pool reads every session's output: a thread per session cost
// about a megabyte each under Wine. The console host writes synchronously.
Expected<std::pair<UniqueHandle, UniqueHandle>, DWORD> output_pipe() {
    static std::atomic<unsigned> serial{0};
    DWORD code = ERROR_PIPE_BUSY;
    // A name already taken (by anyone) is refused, and the next one tried.
    for (int attempt = 0; attempt < 8 && code == ERROR_PIPE_BUSY; ++attempt) {
        const std::wstring name = L"\\\\.\\pipe\\tolvar-output-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(serial.fetch_add(1)) + L"-" +
                                  std::to_wstring(GetTickCount64());
        UniqueHandle read(CreateNamedPipeW(
            name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
            k_output_pipe_buffer, 0, nullptr));
        if (!read) {
            code = GetLastError();
            if (code == ERROR_ACCESS_DENIED) code = ERROR_PIPE_BUSY;
            continue;
        }
        UniqueHandle write(
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!write) return unexpected(GetLastError());
        return std::pair{std::move(read), std::move(write)};
    }
    return unexpected(code);
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
    return start(command, working_dir,
                 Prepared{id, std::make_shared<SharedModel>(size.rows, size.cols,
                                                            TerminalModel::k_default_scrollback)},
                 std::move(events));
}

Expected<PtySession, StartError> PtySession::start(const std::optional<std::string>& command,
                                                   const std::optional<std::string>& working_dir,
                                                   Prepared prepared,
                                                   std::shared_ptr<SessionEvents> events) {
    const SessionId id = prepared.id;
    std::shared_ptr<SharedModel> model = std::move(prepared.model);
    GridSize size;
    model->with([&size](const TerminalModel& m) { size = {m.rows(), m.cols()}; });
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
    auto output = output_pipe();
    if (!output) return failed("its pipes could not be created", output.error());
    auto [output_read, output_write] = std::move(output).value();

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
    reader->io = CreateThreadpoolIo(reader->output.get(), on_read, reader.get(), nullptr);
    if (!reader->io) {
        const DWORD code = GetLastError();
        TerminateProcess(process.get(), 1);
        return failed("its output reader could not start", code);
    }
    // Without it every read follows the last at once, as it did before.
    reader->gather = CreateThreadpoolTimer(on_gathered, reader.get(), nullptr);
    // A first read that fails ends the session as any later one would.
    if (Reader* raw = reader.release(); !read_next(*raw)) end_reading(std::unique_ptr<Reader>(raw));
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
