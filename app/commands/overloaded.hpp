// The lambdas of a std::visit as one visitor.
#pragma once

namespace tolvar::app {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
// Clang before 17 deduces no aggregate's arguments without it.
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace tolvar::app
