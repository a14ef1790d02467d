#include "base/thread_registry.h"

#include <utility>

#include "base/framework_thread.h"
#include "base/message_loop.h"
#include "base/message_loop_proxy.h"
#include "base/thread_local_record.h"

namespace qbase {

// static
ThreadRegistry& ThreadRegistry::Instance() {
  // Never destroyed: threads may still post while static objects go away.
  static ThreadRegistry* registry = new ThreadRegistry;
  return *registry;
}

// static
bool ThreadRegistry::RegisterThread(int32_t identifier) {
  if (identifier < 0) return false;
  ThreadLocalRecord* record = ThreadLocalRecord::Current();
  if (!record) return false;

  ThreadRegistry& registry = Instance();
  CriticalSection::ScopedLock hold(registry.lock_);
  auto inserted = registry.threads_.emplace(identifier, record->owner);
  if (!inserted.second && inserted.first->second != record->owner) return false;
  ++record->registration_count;
  record->registered_identifier = identifier;
  return true;
}

// static
bool ThreadRegistry::UnregisterThread() {
  ThreadLocalRecord* record = ThreadLocalRecord::Current();
  if (!record || record->registration_count <= 0) return false;
  if (--record->registration_count == 0) {
    ThreadRegistry& registry = Instance();
    CriticalSection::ScopedLock hold(registry.lock_);
    // Every identifier this thread registered goes, not only the last one:
    // an entry left behind would point at a thread object that may be gone.
    registry.EraseOwnerLocked(record->owner);
    record->registered_identifier = -1;
  }
  return true;
}

// static
std::shared_ptr<MessageLoopProxy> ThreadRegistry::GetLoopProxy(int32_t identifier) {
  ThreadRegistry& registry = Instance();
  CriticalSection::ScopedLock hold(registry.lock_);
  auto it = registry.threads_.find(identifier);
  if (it == registry.threads_.end()) return nullptr;
  // The loop cannot go away meanwhile: its thread unregisters (under this
  // lock) before it destroys the loop.
  MessageLoop* loop = it->second->message_loop();
  return loop ? loop->proxy() : nullptr;
}

// static
bool ThreadRegistry::PostTask(int32_t identifier, Task task) {
  std::shared_ptr<MessageLoopProxy> proxy = GetLoopProxy(identifier);
  if (!proxy) return false;
  // The proxy refuses when the loop died after the look-up; pass that on.
  return proxy->PostTask(std::move(task));
}

// static
bool ThreadRegistry::PostDelayedTask(int32_t identifier, Task task, TimeSpan delay) {
  std::shared_ptr<MessageLoopProxy> proxy = GetLoopProxy(identifier);
  if (!proxy) return false;
  return proxy->PostDelayedTask(std::move(task), delay);
}

// static
void ThreadRegistry::ForgetThread(FrameworkThread* owner) {
  ThreadRegistry& registry = Instance();
  CriticalSection::ScopedLock hold(registry.lock_);
  registry.EraseOwnerLocked(owner);
}

void ThreadRegistry::EraseOwnerLocked(FrameworkThread* owner) {
  for (auto it = threads_.begin(); it != threads_.end();) {
    if (it->second == owner) {
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace qbase
