#include "base/support_weak_callback.h"

namespace qbase {

SupportWeakCallback::~SupportWeakCallback() = default;

std::weak_ptr<WeakFlag> SupportWeakCallback::AcquireWeakFlag() {
  if (!weak_flag_) weak_flag_ = std::make_shared<WeakFlag>();
  return weak_flag_;
}

}  // namespace qbase
