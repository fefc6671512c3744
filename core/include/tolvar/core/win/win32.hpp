// Helpers for the Windows-only sources of every module: owned handles and
// system objects, wide strings and the system's error texts. Never included
// by portable code.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "tolvar/core/file_system.hpp"

namespace tolvar::core::win {

// A move-only owner of one system object, released by `Release` on every
// path; null is "none".
template <class Handle, void (*Release)(Handle)>
class Owned {
  public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // For an object handed over to the system (a submenu its parent owns).
    Handle release() { return std::exchange(handle_, nullptr); }
    void reset(Handle handle = nullptr) {
        if (handle_) Release(handle_);
        handle_ = handle;
    }

  private:
    Handle handle_ = nullptr;
};

inline void close_handle(HANDLE handle) {
    CloseHandle(handle);
}

// Owns a kernel handle. Both INVALID_HANDLE_VALUE and null mean "none",
// since the API uses either depending on the call.
class UniqueHandle : public Owned<HANDLE, close_handle> {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : Owned(none_if_invalid(h)) {}
    bool valid() const { return static_cast<bool>(*this); }
    void reset(HANDLE h = nullptr) { Owned::reset(none_if_invalid(h)); }

  private:
    static HANDLE none_if_invalid(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }
};

std::wstring to_wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string from_wide(std::wstring_view wide);

// "The system cannot find the file specified. (os error 2)"
std::string error_text(DWORD code);
// The calling thread's last error as a file operation's failure.
IoError last_io_error();

}  // namespace tolvar::core::win
