// MessageLoop: the single-threaded executor of one thread.
//
// Any thread may post tasks; they land in the incoming queue, the only
// structure shared between threads, guarded by one short critical section.
// The loop's thread takes the whole incoming queue in one swap when its own
// work queue runs dry, so it locks once per batch, not once per task. The pump
// is woken only when the incoming queue goes from empty to non-empty.
//
// Run rules:
//  - Immediate tasks run in posting order, one per DoWork call.
//  - Delayed tasks wait in a heap ordered by run time, then by the order in
//    which they entered it.
//  - While a task runs, nestable tasks are not allowed: a nested run started
//    from inside a task runs no posted task at all, only pump-level work
//    (Windows messages on a UI loop).
//  - Non-nestable tasks only run in the outermost run (depth 1); met deeper,
//    they wait in a deferred queue and are taken one per idle moment of the
//    outermost run.
//  - Quit marks the current run, which ends at its next idle moment, after
//    all immediate and due delayed work. QuitNow ends it at the pump's next
//    check.
//
// Thread affinity: the post operations may be called from any thread (through
// proxy() when the caller may outlive the loop). Everything else runs on the
// loop's own thread, which is the thread that constructed it.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "base/critical_section.h"
#include "base/loop_kind.h"
#include "base/loop_run_state.h"
#include "base/message_pump.h"
#include "base/observer_list.h"
#include "base/queued_task.h"
#include "base/task.h"
#include "base/tick_time.h"
#include "base/time_span.h"

namespace qbase {

class MessageDispatcher;
class MessageLoopProxy;

class MessageLoop : public MessagePump::Delegate {
 public:
  class TaskObserver {
   public:
    virtual void WillProcessTask() = 0;
    virtual void DidProcessTask() = 0;

   protected:
    virtual ~TaskObserver() = default;
  };

  class DestructionObserver {
   public:
    virtual void OnLoopDestroying() = 0;

   protected:
    virtual ~DestructionObserver() = default;
  };

  // Becomes the calling thread's current loop (one per thread).
  MessageLoop();
  ~MessageLoop() override;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // The calling thread's loop, or null.
  static MessageLoop* current();

  // Any thread.
  void PostTask(Task task);
  void PostDelayedTask(Task task, TimeSpan delay);
  void PostNonNestableTask(Task task);
  void PostNonNestableDelayedTask(Task task, TimeSpan delay);

  // Runs the loop until Quit or QuitNow; may nest.
  void Run();
  // The same, handing the UI pump a dispatcher for this run's messages.
  void RunWithDispatcher(MessageDispatcher* dispatcher);
  void Quit();
  void QuitNow();

  LoopKind kind() const { return kind_; }
  // Depth of the active run, 0 when the loop is not running.
  int32_t run_depth() const { return state_ ? state_->run_depth : 0; }
  bool nestable_tasks_allowed() const { return nestable_tasks_allowed_; }
  bool os_modal_loop() const { return os_modal_loop_; }
  void set_os_modal_loop(bool os_modal_loop) { os_modal_loop_ = os_modal_loop; }

  // A shared handle for posting from other threads; it outlives the loop and
  // refuses posts once the loop is gone.
  std::shared_ptr<MessageLoopProxy> proxy() const { return proxy_; }

  void AddTaskObserver(TaskObserver* observer) { task_observers_.AddObserver(observer); }
  void RemoveTaskObserver(TaskObserver* observer) { task_observers_.RemoveObserver(observer); }
  void AddDestructionObserver(DestructionObserver* observer) {
    destruction_observers_.AddObserver(observer);
  }
  void RemoveDestructionObserver(DestructionObserver* observer) {
    destruction_observers_.RemoveObserver(observer);
  }

 protected:
  // Any thread. Takes the task by value so that the copy is made before the
  // incoming lock is taken, keeping the critical section short.
  virtual void AddToIncomingQueue(QueuedTask task);

  // For the UI and I/O loops' constructors.
  void set_kind(LoopKind kind) { kind_ = kind; }
  void SetPump(std::shared_ptr<MessagePump> pump);
  MessagePump* pump() const { return pump_.get(); }

 private:
  // MessagePump::Delegate; called only by the pump.
  bool DoWork() override;
  bool DoDelayedWork(TickTime* next) override;
  bool DoIdleWork() override;

  void ReloadWorkQueue();
  void AddToDelayedWorkQueue(const QueuedTask& task);
  void RunTask(const QueuedTask& task);
  // Destroys queued tasks unrun; returns whether the delayed queue had any.
  bool DeletePendingTasks();

  LoopKind kind_ = LoopKind::kDefault;
  LoopRunState* state_ = nullptr;
  std::shared_ptr<MessagePump> pump_;
  bool os_modal_loop_ = false;
  bool nestable_tasks_allowed_ = true;
  std::deque<QueuedTask> incoming_queue_;
  CriticalSection incoming_lock_;
  std::deque<QueuedTask> work_queue_;
  std::deque<QueuedTask> deferred_non_nestable_queue_;
  std::vector<QueuedTask> delayed_queue_;  // a heap, see QueuedTask::operator<
  int32_t next_sequence_ = 0;
  TickTime recent_time_;
  ObserverList<TaskObserver> task_observers_;
  ObserverList<DestructionObserver> destruction_observers_;
  std::shared_ptr<MessageLoopProxy> proxy_;
};

}  // namespace qbase
