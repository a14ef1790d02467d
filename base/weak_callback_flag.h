// WeakCallbackFlag: a member object for one family of callbacks that must be
// cancellable together, independently of the owner's lifetime. Cancel expires
// every callback made from it so far; the next MakeWeakCallback arms a fresh
// flag, so callbacks made after a Cancel are live.
#pragma once

#include "base/support_weak_callback.h"

namespace qbase {

class WeakCallbackFlag final : public SupportWeakCallback {
 public:
  void Cancel() { DropWeakFlag(); }
  // Whether a flag currently exists (some callback was made since the last
  // Cancel).
  bool IsArmed() const { return HasWeakFlag(); }
};

}  // namespace qbase
