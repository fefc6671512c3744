#include "tolvar/pty/win/serial_session.hpp"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <span>
#include <utility>

#include "tolvar/core/win/win32.hpp"
#include "tolvar/pty/serial_queue.hpp"

namespace tolvar::pty {

using core::win::UniqueHandle;

// The portable mapping names these by value.
static_assert(NOPARITY == 0 && ODDPARITY == 1 && EVENPARITY == 2 && MARKPARITY == 3 &&
              SPACEPARITY == 4);
static_assert(ONESTOPBIT == 0 && ONE5STOPBITS == 1 && TWOSTOPBITS == 2);
static_assert(RTS_CONTROL_ENABLE == 1 && RTS_CONTROL_HANDSHAKE == 2 && DTR_CONTROL_ENABLE == 1);

// Shared by the session and its thread; the port closes with the last.
struct PortState {
    UniqueHandle file;
    // Auto-reset: bytes were queued or the session is stopping.
    UniqueHandle wake;
    std::mutex mutex;
    SerialQueue queued;
    bool stopping = false;
};

namespace {

// The largest piece handed to one overlapped write.
constexpr std::size_t k_write_piece = 64u << 10;
// A read waits for its first byte however long it takes, then returns once
// the line has been quiet this long. The forms that should return at the
// first byte (MAXDWORD intervals) never return early under Wine.
constexpr DWORD k_quiet_line_ms = 10;

std::string reason_of(DWORD code) {
    return reason_from_system_text(core::win::error_text(code));
}

// The thread's overlapped reads and writes. At most one of each is in
// flight; both are cancelled and waited for before the buffers they use go.
class PortIo {
  public:
    explicit PortIo(PortState& port)
        : port_(port),
          read_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          write_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    PortIo(const PortIo&) = delete;
    PortIo& operator=(const PortIo&) = delete;
    ~PortIo() {
        finish(reading_, read_);
        finish(writing_, write_);
    }

    // The next bytes the port gave; 0 once the session stops or the port
    // fails, which leaves its error in lost().
    std::size_t read(std::span<char> out) {
        if (!read_event_ || !write_event_) {
            lost_ = ERROR_NOT_ENOUGH_MEMORY;
            return 0;
        }
        for (;;) {
            {
                std::lock_guard lock(port_.mutex);
                if (port_.stopping) return 0;
                // Taken once the last is sent, so that what waits stays
                // within the queue's bounds.
                if (!writing_ && sending_.empty()) sending_ = port_.queued.take();
            }
            if (!writing_ && !sending_.empty() && !start_write()) return 0;
            if (!reading_ && !start_read()) return 0;

            const HANDLE waits[] = {read_event_.get(), port_.wake.get(), write_event_.get()};
            const DWORD count = writing_ ? 3 : 2;
            const DWORD woke = WaitForMultipleObjects(count, waits, FALSE, INFINITE);
            if (woke == WAIT_OBJECT_0) {
                reading_ = false;
                DWORD got = 0;
                if (!GetOverlappedResult(port_.file.get(), &read_, &got, FALSE)) {
                    return fail(GetLastError());
                }
                if (got == 0) continue;
                const std::size_t taken = std::min<std::size_t>(got, out.size());
                std::memcpy(out.data(), buffer_.data(), taken);
                return taken;
            }
            if (woke == WAIT_OBJECT_0 + 2) {
                writing_ = false;
                DWORD put = 0;
                if (!GetOverlappedResult(port_.file.get(), &write_, &put, FALSE)) {
                    return fail(GetLastError());
                }
                sending_.erase(0, put);
            } else if (woke != WAIT_OBJECT_0 + 1) {
                return fail(GetLastError());
            }
        }
    }

    // Queues the model's answers from this thread.
    void answer(std::string_view bytes) {
        std::lock_guard lock(port_.mutex);
        port_.queued.answer(bytes);
    }

    DWORD lost() const { return lost_; }

  private:
    std::size_t fail(DWORD code) {
        lost_ = code == 0 ? ERROR_GEN_FAILURE : code;
        return 0;
    }

    // A synchronous completion also sets the event: both are taken from there.
    bool start_read() {
        read_ = OVERLAPPED{};
        read_.hEvent = read_event_.get();
        ResetEvent(read_.hEvent);
        if (!ReadFile(port_.file.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr,
                      &read_) &&
            GetLastError() != ERROR_IO_PENDING) {
            fail(GetLastError());
            return false;
        }
        reading_ = true;
        return true;
    }

    bool start_write() {
        write_ = OVERLAPPED{};
        write_.hEvent = write_event_.get();
        ResetEvent(write_.hEvent);
        const DWORD length = static_cast<DWORD>(std::min(sending_.size(), k_write_piece));
        if (!WriteFile(port_.file.get(), sending_.data(), length, nullptr, &write_) &&
            GetLastError() != ERROR_IO_PENDING) {
            fail(GetLastError());
            return false;
        }
        writing_ = true;
        return true;
    }

    void finish(bool& pending, OVERLAPPED& op) {
        if (!pending) return;
        DWORD ignored = 0;
        CancelIoEx(port_.file.get(), &op);
        GetOverlappedResult(port_.file.get(), &op, &ignored, TRUE);
        pending = false;
    }

    PortState& port_;
    UniqueHandle read_event_;
    UniqueHandle write_event_;
    OVERLAPPED read_{};
    OVERLAPPED write_{};
    bool reading_ = false;
    bool writing_ = false;
    DWORD lost_ = 0;
    std::string sending_;
    std::array<char, k_output_chunk> buffer_{};
};

// What the thread owns.
struct PortThread {
    std::shared_ptr<PortState> port;
    std::shared_ptr<SharedModel> model;
    std::shared_ptr<OutputSignal> signal;
    std::shared_ptr<SessionEvents> events;
    std::string name;
    SessionId id;
};

// The reason a lost port stopped, under what it showed, before the exit
// line; a session the user closed shows nothing.
void tell_lost(SharedModel& model, const std::string& port, DWORD code) {
    model.with([&](TerminalModel& m) {
        std::string bytes = "\x1b[0m";
        if (m.cursor().col > 0) bytes += "\r\n";
        bytes += "[" + port + ": " + reason_of(code) + "]\r\n";
        m.feed(bytes);
    });
}

DWORD WINAPI run_port(void* param) noexcept {
    const std::unique_ptr<PortThread> thread(static_cast<PortThread*>(param));
    PortState& port = *thread->port;
    // Scoped so that its I/O is cancelled and done before ended() is told.
    {
        PortIo io(port);
        pump_output(
            [&io](std::span<char> buffer) { return io.read(buffer); }, *thread->model,
            *thread->signal, *thread->events, thread->id,
            [&] {
                if (io.lost() != 0) tell_lost(*thread->model, thread->name, io.lost());
                // A port has no exit code: its loss is an unknown end, which
                // keeps the tab unless the user asked for every end to close it.
                return SessionEnd{};
            },
            [&io](std::string_view bytes) {
                io.answer(bytes);
                return true;
            });
    }
    return 0;
}

}  // namespace

Expected<SerialSession, std::string> SerialSession::open(const proto::SerialLine& line,
                                                         GridSize size,
                                                         std::shared_ptr<SessionEvents> events) {
    const SessionId id = take_session_id();
    const std::string settings = proto::line_summary(line).substr(line.port.size() + 1);
    // Some refusals (GetCommState on NUL under Wine) set no error code.
    const auto failed = [&line](std::string_view what, DWORD code) {
        std::string text = "Cannot connect: " + line.port + std::string(what);
        if (code != ERROR_SUCCESS) text += ": " + reason_of(code);
        return unexpected(std::move(text));
    };

    const std::wstring path = core::win::to_wide(proto::device_path(line.port));
    // Not shared: a port has one user at a time, and a busy one says so.
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!file) return failed("", GetLastError());
    // Whatever else the name opened (a disk, NUL) is no port, and nothing
    // is written to it.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(file.get(), &dcb)) return failed(" is not a serial port", GetLastError());

    SetupComm(file.get(), 16384, 16384);
    const proto::DcbFields fields = proto::dcb_fields(line);
    dcb.BaudRate = fields.baud_rate;
    dcb.ByteSize = fields.byte_size;
    dcb.Parity = fields.parity;
    dcb.StopBits = fields.stop_bits;
    dcb.fBinary = TRUE;
    dcb.fParity = fields.check_parity;
    dcb.fOutxCtsFlow = fields.out_cts_flow;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = fields.dtr_control;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = fields.out_x;
    dcb.fInX = fields.in_x;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = fields.rts_control;
    dcb.fAbortOnError = FALSE;
    dcb.XonChar = fields.xon_char;
    dcb.XoffChar = fields.xoff_char;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    if (!SetCommState(file.get(), &dcb)) {
        return failed(" refused " + settings, GetLastError());
    }
    COMMTIMEOUTS timeouts{k_quiet_line_ms, 0, 0, 0, 0};
    if (!SetCommTimeouts(file.get(), &timeouts)) return failed("", GetLastError());

    auto port = std::make_shared<PortState>();
    port->file = std::move(file);
    port->wake = UniqueHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!port->wake) return failed("", GetLastError());
    auto model =
        std::make_shared<SharedModel>(size.rows, size.cols, TerminalModel::k_default_scrollback);
    auto signal = std::make_shared<OutputSignal>();
    auto thread = std::make_unique<PortThread>(
        PortThread{port, model, signal, std::move(events), line.port, id});
    const HANDLE handle = CreateThread(nullptr, 0, run_port, thread.get(), 0, nullptr);
    if (!handle) return failed("", GetLastError());
    thread.release();
    CloseHandle(handle);
    return SerialSession(std::move(model), std::move(signal), std::move(port), id);
}

SerialSession::SerialSession(std::shared_ptr<SharedModel> model,
                             std::shared_ptr<OutputSignal> signal, std::shared_ptr<PortState> port,
                             SessionId id)
    : model_(std::move(model)), signal_(std::move(signal)), port_(std::move(port)), id_(id) {}

SerialSession::SerialSession(SerialSession&&) noexcept = default;

SerialSession& SerialSession::operator=(SerialSession&& other) noexcept {
    if (this != &other) {
        stop();
        model_ = std::move(other.model_);
        signal_ = std::move(other.signal_);
        port_ = std::move(other.port_);
        id_ = other.id_;
    }
    return *this;
}

SerialSession::~SerialSession() {
    stop();
}

void SerialSession::stop() {
    if (!port_) return;
    {
        std::lock_guard lock(port_->mutex);
        port_->stopping = true;
    }
    SetEvent(port_->wake.get());
    port_.reset();
}

void SerialSession::write(std::string_view bytes) {
    if (!port_ || bytes.empty()) return;
    {
        std::lock_guard lock(port_->mutex);
        port_->queued.write(bytes);
    }
    SetEvent(port_->wake.get());
}

void SerialSession::resize(std::uint16_t rows, std::uint16_t cols) {
    model_->with([rows, cols](TerminalModel& model) { model.set_size(rows, cols); });
}

}  // namespace tolvar::pty
