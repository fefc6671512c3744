// The one error of connection launching: a field that breaks a rule, a client
// program that is not there, or a failed file write. Plain value; the user
// sees it only through display().
#pragma once

#include <string>
#include <utility>

#include "tolvar/core/expected.hpp"
#include "tolvar/core/file_system.hpp"

namespace tolvar::proto {

class LaunchError {
  public:
    enum class Kind { InvalidProfile, ProgramNotFound, Io };

    static LaunchError invalid_profile(std::string message) {
        return LaunchError(Kind::InvalidProfile, std::move(message), {});
    }
    static LaunchError program_not_found(std::string message) {
        return LaunchError(Kind::ProgramNotFound, std::move(message), {});
    }
    static LaunchError io(core::IoError error) {
        std::string text = error.text;
        return LaunchError(Kind::Io, std::move(text), std::move(error));
    }

    Kind kind() const { return kind_; }
    // The message, or the system's text for Io.
    const std::string& message() const { return message_; }
    const core::IoError& io_error() const { return io_; }

    // "invalid profile: host is empty", "program not found: ...", "i/o error: ...".
    std::string display() const {
        switch (kind_) {
            case Kind::InvalidProfile:
                return "invalid profile: " + message_;
            case Kind::ProgramNotFound:
                return "program not found: " + message_;
            case Kind::Io:
                break;
        }
        return "i/o error: " + message_;
    }

  private:
    LaunchError(Kind kind, std::string message, core::IoError io)
        : kind_(kind), message_(std::move(message)), io_(std::move(io)) {}

    Kind kind_;
    std::string message_;
    core::IoError io_;
};

template <class T>
using LaunchResult = Expected<T, LaunchError>;

}  // namespace tolvar::proto
