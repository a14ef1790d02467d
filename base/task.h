// Task: the unit of work that threads hand to each other. It is a copyable
// callable with no arguments and no result, and it may be empty; running an
// empty Task does nothing, so posting code never has to check first.
#pragma once

#include <functional>
#include <type_traits>
#include <utility>

namespace qbase {

class Task {
 public:
  Task() = default;
  Task(std::nullptr_t) {}  // NOLINT: an empty task, as with std::function.

  // Any callable that can be invoked without arguments converts implicitly, so
  // lambdas, std::bind results and WeakCallbacks can be posted directly. A
  // result, if the callable has one, is discarded.
  template <typename F,
            typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Task> &&
                                        std::is_invocable_v<std::decay_t<F>&>>>
  Task(F&& callable)  // NOLINT: implicit by design.
      : callable_(std::forward<F>(callable)) {}

  void operator()() const {
    if (callable_) callable_();
  }

  explicit operator bool() const { return static_cast<bool>(callable_); }

 private:
  std::function<void()> callable_;
};

}  // namespace qbase
