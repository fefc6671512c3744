// The one object a session's reader thread and the UI thread share: a terminal
// model behind a lock. Held in std::shared_ptr and freed by whichever side lets
// go last. A holder that fails while holding the lock poisons it for good.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {

class SharedModel {
  public:
    SharedModel(std::uint16_t rows, std::uint16_t cols,
                std::size_t scrollback = TerminalModel::k_default_scrollback)
        : model_(rows, cols, scrollback) {}
    SharedModel(const SharedModel&) = delete;
    SharedModel& operator=(const SharedModel&) = delete;

    // Runs f(TerminalModel&) under the lock. False, and f not run, when the
    // lock is poisoned. An exception escaping f poisons the lock and is not
    // rethrown: it must not cross the reader thread's entry point.
    template <class F>
    bool with(F&& f) {
        return run(model_, f);
    }
    template <class F>
    bool with(F&& f) const {
        return run(static_cast<const TerminalModel&>(model_), f);
    }

    bool poisoned() const { return poisoned_.load(std::memory_order_acquire); }
    void poison() { poisoned_.store(true, std::memory_order_release); }
    // What poisoned it, in words for the user ("out of memory"); empty while
    // it is usable or when poison() was called.
    std::string failure() const {
        std::lock_guard lock(mutex_);
        return failure_;
    }

  private:
    template <class M, class F>
    bool run(M& model, F& f) const {
        std::lock_guard lock(mutex_);
        if (poisoned()) return false;
        // The model may be half-updated; nobody may read it again.
        try {
            f(model);
            return true;
        } catch (const std::bad_alloc&) {
            note_failure("out of memory");
        } catch (const std::exception& e) {
            note_failure(e.what());
        } catch (...) {
            note_failure("unknown error");
        }
        poisoned_.store(true, std::memory_order_release);
        return false;
    }
    // Under the lock. Copying the text may itself fail for want of memory.
    void note_failure(const char* text) const noexcept {
        try {
            failure_ = text;
        } catch (...) {
            failure_.clear();
        }
    }

    mutable std::mutex mutex_;
    mutable std::atomic<bool> poisoned_{false};
    mutable std::string failure_;
    TerminalModel model_;
};

}  // namespace tolvar::pty
