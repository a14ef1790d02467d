// ThreadRegistry: the thread manager. It maps small thread identifiers
// (0 and up) to running FrameworkThreads, so code anywhere can post a task to
// a thread by identifier without holding a pointer to it.
//
// A thread registers itself from its Init and unregisters in its Cleanup, so
// an identifier resolves exactly while its loop runs. Registration counts:
// the same thread may register the same identifier again and then needs as
// many UnregisterThread calls; an identifier held by another thread is
// refused.
//
// Thread affinity: every function may be called from any thread; the
// registration functions act on the calling thread. One lock guards the map,
// held only for the map operation itself, never while posting.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "base/critical_section.h"
#include "base/task.h"
#include "base/time_span.h"

namespace qbase {

class FrameworkThread;
class MessageLoopProxy;

class ThreadRegistry {
 public:
  // False for a negative identifier, for a thread that is not running a
  // FrameworkThread body, and for an identifier held by another thread.
  static bool RegisterThread(int32_t identifier);
  // False when the calling thread holds no registration.
  static bool UnregisterThread();

  // The loop proxy of the thread holding `identifier`, or null.
  static std::shared_ptr<MessageLoopProxy> GetLoopProxy(int32_t identifier);

  // False, dropping the task, when the identifier is not registered or its
  // loop has gone.
  static bool PostTask(int32_t identifier, Task task);
  static bool PostDelayedTask(int32_t identifier, Task task, TimeSpan delay);

 private:
  friend class FrameworkThread;

  ThreadRegistry() = default;
  static ThreadRegistry& Instance();

  // Removes every identifier that maps to `owner` (its body is ending).
  static void ForgetThread(FrameworkThread* owner);
  void EraseOwnerLocked(FrameworkThread* owner);

  CriticalSection lock_;
  std::map<int32_t, FrameworkThread*> threads_;
};

}  // namespace qbase
