// A callable that owns what it captures and moves but never copies, so a
// change that waits can hold a started session. (std::move_only_function is
// C++23.)
#pragma once

#include <concepts>
#include <memory>
#include <type_traits>
#include <utility>

namespace tolvar::app {

template <class Signature>
class UniqueFunction;

template <class R, class... Args>
class UniqueFunction<R(Args...)> {
  public:
    UniqueFunction() = default;
    template <class F>
        requires(!std::same_as<std::decay_t<F>, UniqueFunction> &&
                 std::is_invocable_r_v<R, std::decay_t<F>&, Args...>)
    UniqueFunction(F&& f)  // NOLINT(google-explicit-constructor): a lambda is the point
        : callable_(std::make_unique<Holder<std::decay_t<F>>>(std::forward<F>(f))) {}

    explicit operator bool() const { return callable_ != nullptr; }
    R operator()(Args... args) { return callable_->call(std::forward<Args>(args)...); }

  private:
    struct Callable {
        virtual ~Callable() = default;
        virtual R call(Args... args) = 0;
    };
    template <class F>
    struct Holder final : Callable {
        explicit Holder(F&& callable) : f(std::move(callable)) {}
        explicit Holder(const F& callable) : f(callable) {}
        R call(Args... args) override { return f(std::forward<Args>(args)...); }
        F f;
    };
    std::unique_ptr<Callable> callable_;
};

}  // namespace tolvar::app
