// SupportWeakCallback: the base of every object that binds its own methods
// into tasks or event handlers. The object holds the only strong reference to
// a WeakFlag; callbacks made with MakeWeakCallback hold weak references to it,
// so they do nothing once the object has been destroyed.
//
// Thread affinity: AcquireWeakFlag and MakeWeakCallback change the object and
// must not race with each other or with the object's destruction; in this
// program they run on the thread that owns the object.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "base/weak_callback.h"
#include "base/weak_flag.h"

namespace qbase {

class SupportWeakCallback {
 public:
  SupportWeakCallback() = default;
  // A copy is a different object: it must not keep the original's callbacks
  // alive, so it starts without a flag, and assignment keeps each object's own.
  SupportWeakCallback(const SupportWeakCallback&) {}
  SupportWeakCallback& operator=(const SupportWeakCallback&) { return *this; }
  virtual ~SupportWeakCallback();

  // A weak reference to the object's flag, creating the flag when the object
  // has none (at first use, or after WeakCallbackFlag::Cancel).
  std::weak_ptr<WeakFlag> AcquireWeakFlag();

  // Binds `callable` to this object's lifetime.
  template <typename F>
  WeakCallback<std::decay_t<F>> MakeWeakCallback(F&& callable) {
    return WeakCallback<std::decay_t<F>>(AcquireWeakFlag(), std::forward<F>(callable));
  }

 protected:
  // Expires every callback made so far.
  void DropWeakFlag() { weak_flag_.reset(); }
  bool HasWeakFlag() const { return weak_flag_ != nullptr; }

 private:
  std::shared_ptr<WeakFlag> weak_flag_;
};

}  // namespace qbase
