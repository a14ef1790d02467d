#include "base/message_loop_proxy.h"

#include <utility>

#include "base/message_loop.h"

namespace qbase {

MessageLoopProxy::MessageLoopProxy(MessageLoop* target) : target_(target) {}

MessageLoopProxy::~MessageLoopProxy() = default;

// static
std::shared_ptr<MessageLoopProxy> MessageLoopProxy::Create(MessageLoop* target) {
  return std::shared_ptr<MessageLoopProxy>(
      new MessageLoopProxy(target), [](MessageLoopProxy* proxy) { proxy->DestroyOnLoopThread(); });
}

bool MessageLoopProxy::PostTask(Task task) {
  CriticalSection::ScopedLock hold(lock_);
  if (!target_) return false;
  target_->PostTask(std::move(task));
  return true;
}

bool MessageLoopProxy::PostDelayedTask(Task task, TimeSpan delay) {
  if (delay.is_zero()) return PostTask(std::move(task));
  CriticalSection::ScopedLock hold(lock_);
  if (!target_) return false;
  target_->PostDelayedTask(std::move(task), delay);
  return true;
}

bool MessageLoopProxy::PostNonNestableTask(Task task) {
  CriticalSection::ScopedLock hold(lock_);
  if (!target_) return false;
  target_->PostNonNestableTask(std::move(task));
  return true;
}

bool MessageLoopProxy::PostNonNestableDelayedTask(Task task, TimeSpan delay) {
  if (delay.is_zero()) return PostNonNestableTask(std::move(task));
  CriticalSection::ScopedLock hold(lock_);
  if (!target_) return false;
  target_->PostNonNestableDelayedTask(std::move(task), delay);
  return true;
}

bool MessageLoopProxy::BelongsToCurrentThread() {
  CriticalSection::ScopedLock hold(lock_);
  return target_ != nullptr && target_ == MessageLoop::current();
}

void MessageLoopProxy::DetachFromLoop() {
  CriticalSection::ScopedLock hold(lock_);
  target_ = nullptr;
}

void MessageLoopProxy::DestroyOnLoopThread() {
  lock_.Enter();
  if (target_ && target_ != MessageLoop::current()) {
    // The loop is alive on another thread: let it delete the proxy there.
    target_->PostNonNestableTask(MakeWeakCallback([this] { delete this; }));
    lock_.Leave();
    return;
  }
  lock_.Leave();
  delete this;
}

}  // namespace qbase
