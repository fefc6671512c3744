// A small stand-in for C++23 std::expected: a value or an error, never both.
// Failures cross module boundaries as values of this type, not as exceptions.
#pragma once

#include <cassert>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace tolvar {

template <class E>
struct Unexpected {
    E error;
};

template <class E>
Unexpected<std::decay_t<E>> unexpected(E&& e) {
    return {std::forward<E>(e)};
}

template <class T, class E>
class [[nodiscard]] Expected {
  public:
    Expected() requires std::is_default_constructible_v<T> : v_(std::in_place_index<0>) {}
    Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    template <class U>
    Expected(Unexpected<U> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & {
        assert(has_value());
        return std::get<0>(v_);
    }
    const T& value() const& {
        assert(has_value());
        return std::get<0>(v_);
    }
    T&& value() && {
        assert(has_value());
        return std::get<0>(std::move(v_));
    }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    E& error() & {
        assert(!has_value());
        return std::get<1>(v_);
    }
    const E& error() const& {
        assert(!has_value());
        return std::get<1>(v_);
    }
    E&& error() && {
        assert(!has_value());
        return std::get<1>(std::move(v_));
    }

  private:
    std::variant<T, E> v_;
};

template <class E>
class [[nodiscard]] Expected<void, E> {
  public:
    Expected() = default;
    template <class U>
    Expected(Unexpected<U> u) : error_(std::move(u.error)) {}

    bool has_value() const { return !error_.has_value(); }
    explicit operator bool() const { return has_value(); }

    E& error() & {
        assert(error_);
        return *error_;
    }
    const E& error() const& {
        assert(error_);
        return *error_;
    }

  private:
    std::optional<E> error_;
};

}  // namespace tolvar
