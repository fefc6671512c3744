// Helpers for the Windows-only sources of every module: owned handles, wide
// strings and the system's error texts. Never included by portable code.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tolvar::core::win {

// Owns a kernel handle; move-only. Both INVALID_HANDLE_VALUE and null mean
// "none", since the API uses either depending on the call.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return valid(); }
    HANDLE release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void reset(HANDLE h = nullptr) {
        if (valid()) CloseHandle(h_);
        h_ = h;
    }

  private:
    HANDLE h_ = nullptr;
};

std::wstring to_wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string from_wide(std::wstring_view wide);

// "The system cannot find the file specified. (os error 2)"
std::string error_text(DWORD code);

}  // namespace tolvar::core::win
