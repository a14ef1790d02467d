// MessageLoopProxy: the shareable handle through which other threads post to a
// loop. It never owns the loop; the dying loop detaches it, after which every
// post returns false and drops its task. The lock is held while a post is
// forwarded, so a post either completes before the loop detaches or is
// refused.
//
// The last shared reference deletes the proxy on its loop's thread while the
// loop lives (see DestroyOnLoopThread), so code on that thread may rely on the
// proxy's weak callbacks.
//
// Thread affinity: every public operation may be called from any thread.
#pragma once

#include <memory>

#include "base/critical_section.h"
#include "base/support_weak_callback.h"
#include "base/task.h"
#include "base/time_span.h"

namespace qbase {

class MessageLoop;

class MessageLoopProxy : public SupportWeakCallback {
 public:
  ~MessageLoopProxy() override;
  MessageLoopProxy(const MessageLoopProxy&) = delete;
  MessageLoopProxy& operator=(const MessageLoopProxy&) = delete;

  // Each returns false, dropping the task, once the loop is gone. A zero
  // delay takes the immediate path.
  virtual bool PostTask(Task task);
  virtual bool PostDelayedTask(Task task, TimeSpan delay);
  virtual bool PostNonNestableTask(Task task);
  virtual bool PostNonNestableDelayedTask(Task task, TimeSpan delay);

  // True when the loop is alive and is the calling thread's current loop.
  virtual bool BelongsToCurrentThread();

 private:
  friend class MessageLoop;

  explicit MessageLoopProxy(MessageLoop* target);
  static std::shared_ptr<MessageLoopProxy> Create(MessageLoop* target);

  // Called by the dying loop on its thread.
  virtual void DetachFromLoop();
  // The deleter of the shared reference.
  virtual void DestroyOnLoopThread();

  CriticalSection lock_;
  MessageLoop* target_;
};

}  // namespace qbase
