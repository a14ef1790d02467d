// FrameworkThread: a Thread whose body creates a MessageLoop of a chosen kind,
// calls Init, runs the loop until it is told to quit, calls Cleanup and
// destroys the loop, all on the thread itself.
//
// Start-up handshake: StartWithLoop returns only after the new thread has
// created its loop and run Init, so an identifier registered in Init is
// resolvable (ThreadRegistry) as soon as StartWithLoop returns.
//
// Stopping: RequestStop posts a non-nestable quit task (a weak callback of this
// object), so the loop finishes the task it is running and all queued
// immediate work before it ends; Stop then joins the thread without time-out.
//
// Thread affinity: StartWithLoop, RequestStop, Stop and destruction belong to
// the controlling thread; Init and Cleanup run on the thread itself.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "base/loop_kind.h"
#include "base/scoped_handle.h"
#include "base/support_weak_callback.h"
#include "base/thread.h"

namespace qbase {

class MessageDispatcher;
class MessageLoop;
class MessageLoopFactory;

class FrameworkThread : public Thread, public virtual SupportWeakCallback {
 public:
  explicit FrameworkThread(const char* name);
  ~FrameworkThread() override;

  // Starts the thread with a loop of `kind` (not kCustom); false when the
  // thread could not be created, or when this object already has a loop (no
  // second thread is started).
  bool StartWithLoop(LoopKind kind, MessageDispatcher* dispatcher = nullptr);
  // The same with a loop made by `factory` on the new thread (kind kCustom).
  bool StartWithLoopFactory(std::shared_ptr<MessageLoopFactory> factory,
                            MessageDispatcher* dispatcher = nullptr);
  // Runs the body on the calling thread; returns after the loop has ended and
  // Cleanup has run.
  void RunOnCurrentThread(LoopKind kind, MessageDispatcher* dispatcher = nullptr);

  // Asks the loop to quit once it is idle; a second request does nothing.
  void RequestStop();
  // RequestStop, then waits for the thread to end.
  void Stop();

  // The thread's loop, null before the body creates it and after it is gone.
  MessageLoop* message_loop() const { return message_loop_; }
  bool running() const { return running_; }
  bool stopping() const { return stopping_; }
  const std::string& name() const { return name_; }

 protected:
  // The thread body; see the class comment.
  void Run() override;
  // Hooks run on the thread: Init after the loop exists and before it runs,
  // Cleanup after it has ended and before it is destroyed.
  virtual void Init() {}
  virtual void Cleanup() {}

  // Records in the calling thread's record that it is ending on purpose.
  static void MarkQuitProperly();

 private:
  bool Start(LoopKind kind, MessageDispatcher* dispatcher);
  // The quit task, run on the thread.
  static void QuitFromLoop();

  bool running_ = false;
  bool stopping_ = false;
  LoopKind loop_kind_ = LoopKind::kDefault;
  // Written by the thread, read by the controlling thread.
  std::atomic<MessageLoop*> message_loop_{nullptr};
  std::shared_ptr<MessageLoopFactory> loop_factory_;
  MessageDispatcher* dispatcher_ = nullptr;
  ScopedHandle started_event_;
  std::string name_;
};

}  // namespace qbase
