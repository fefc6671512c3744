// A serial port read and written directly, with no pseudo console between:
// one detached thread does the port's overlapped reads and writes, feeds
// what arrives to a SharedModel (which answers the device's questions, as
// no console host does) and reports through the owner's SessionEvents. A
// session is used only on the UI thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "tolvar/core/expected.hpp"
#include "tolvar/proto/serial_line.hpp"
#include "tolvar/pty/pty_session.hpp"
#include "tolvar/pty/serial_queue.hpp"
#include "tolvar/pty/session_events.hpp"
#include "tolvar/pty/shared_model.hpp"

namespace tolvar::pty {

struct PortState;

class SerialSession {
  public:
    // Opens the port with its line settings and starts its thread. A port
    // that is missing, busy or no serial port fails with "Cannot connect:
    // COM3: <the system's reason>"; nothing is written to it before its
    // settings are taken. A failed open still spends its session id.
    static Expected<SerialSession, std::string> open(const proto::SerialLine& line, GridSize size,
                                                     std::shared_ptr<SessionEvents> events);

    SerialSession(SerialSession&&) noexcept;
    SerialSession& operator=(SerialSession&&) noexcept;
    SerialSession(const SerialSession&) = delete;
    SerialSession& operator=(const SerialSession&) = delete;
    // Tells the thread to stop, which cancels its I/O and closes the port;
    // its late ended() then names an id nobody owns.
    ~SerialSession();

    SessionId id() const { return id_; }
    SharedModel& model() const { return *model_; }
    const std::shared_ptr<SharedModel>& shared_model() const { return model_; }

    // Queues the bytes for the thread, and returns at once: a slow line
    // (a paste at 9600 baud takes seconds) never holds up the window. What
    // is queued past k_serial_queue_bound is dropped.
    void write(std::string_view bytes);
    // A line has no size of its own: only the model changes.
    void resize(std::uint16_t rows, std::uint16_t cols);
    void acknowledge_output() { signal_->acknowledge(); }

  private:
    SerialSession(std::shared_ptr<SharedModel> model, std::shared_ptr<OutputSignal> signal,
                  std::shared_ptr<PortState> port, SessionId id);
    void stop();

    std::shared_ptr<SharedModel> model_;
    std::shared_ptr<OutputSignal> signal_;
    std::shared_ptr<PortState> port_;
    SessionId id_ = 0;
};

}  // namespace tolvar::pty
