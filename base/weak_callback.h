// WeakCallback: a callable bound to the lifetime of an object.
//
// It holds a weak reference to the object's WeakFlag (see SupportWeakCallback)
// and the bound callable. When invoked it first checks the flag: if the flag
// is gone (the object was destroyed, or its WeakCallbackFlag cancelled), the
// callable is not called and the default value of the result type is returned
// (false for handlers that return bool); otherwise the arguments are passed on.
// Copies share the same flag. A WeakCallback never becomes live again once it
// has expired.
//
// The check takes no lock: a callback must run on the thread that destroys or
// cancels its object, or the object must outlive every run that has begun.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "base/weak_flag.h"

namespace qbase {

template <typename F>
class WeakCallback {
 public:
  WeakCallback(std::weak_ptr<WeakFlag> flag, F callable)
      : flag_(std::move(flag)), callable_(std::move(callable)) {}

  template <typename... Args>
  auto operator()(Args&&... args) const
      -> decltype(std::declval<F&>()(std::forward<Args>(args)...)) {
    using Result = decltype(std::declval<F&>()(std::forward<Args>(args)...));
    // Holding the flag for the call keeps the check valid while the callable
    // runs, even when the callable itself destroys the object.
    std::shared_ptr<WeakFlag> alive = flag_.lock();
    if (!alive) {
      if constexpr (std::is_void_v<Result>) {
        return;
      } else {
        return Result();
      }
    }
    return callable_(std::forward<Args>(args)...);
  }

  // True once the object is gone or the flag was cancelled.
  bool Expired() const { return flag_.expired(); }

 private:
  std::weak_ptr<WeakFlag> flag_;
  // Mutable: calling a stateful callable (a mutable lambda) through a const
  // WeakCallback, as a copied Task does, is a call, not a change of binding.
  mutable F callable_;
};

}  // namespace qbase
