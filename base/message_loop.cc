#include "base/message_loop.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "base/default_message_pump.h"
#include "base/lazy_tls_index.h"
#include "base/message_loop_proxy.h"
#include "base/win_message_pump.h"

namespace qbase {
namespace {

// The calling thread's current loop.
LazyTlsIndex g_current_loop;

// Bounds the destruction rounds: destroying a task can post new tasks.
constexpr int kMaxDestructionRounds = 100;

}  // namespace

MessageLoop::MessageLoop() : pump_(std::make_shared<DefaultMessagePump>()) {
  assert(current() == nullptr && "one MessageLoop per thread");
  g_current_loop.Set(this);
  proxy_ = MessageLoopProxy::Create(this);
}

MessageLoop::~MessageLoop() {
  assert(current() == this && "a MessageLoop is destroyed on its own thread");
  assert(state_ == nullptr && "a MessageLoop is not destroyed while it runs");

  // Destroying a task may post new ones (from the destructors of what it
  // holds), so repeat until a round ends with no delayed work, at most
  // kMaxDestructionRounds times. Tasks left after that go with the containers.
  for (int round = 0; round < kMaxDestructionRounds; ++round) {
    DeletePendingTasks();
    ReloadWorkQueue();
    if (!DeletePendingTasks()) break;
  }

  destruction_observers_.Notify(
      [](DestructionObserver* observer) { observer->OnLoopDestroying(); });

  // From here on posts through the proxy are refused.
  proxy_->DetachFromLoop();
  proxy_.reset();

  g_current_loop.Set(nullptr);

  // Move the remaining tasks out before destroying them, so that a destructor
  // that posts again cannot change a container while it is being destroyed.
  std::deque<QueuedTask> incoming;
  {
    CriticalSection::ScopedLock hold(incoming_lock_);
    incoming.swap(incoming_queue_);
  }
  std::deque<QueuedTask> work;
  work.swap(work_queue_);
  std::deque<QueuedTask> deferred;
  deferred.swap(deferred_non_nestable_queue_);
  std::vector<QueuedTask> delayed;
  delayed.swap(delayed_queue_);
}

// static
MessageLoop* MessageLoop::current() {
  return static_cast<MessageLoop*>(g_current_loop.Get());
}

void MessageLoop::PostTask(Task task) {
  AddToIncomingQueue(QueuedTask(std::move(task), TickTime(), true));
}

void MessageLoop::PostDelayedTask(Task task, TimeSpan delay) {
  AddToIncomingQueue(QueuedTask(std::move(task), TickTime::Now() + delay, true));
}

void MessageLoop::PostNonNestableTask(Task task) {
  AddToIncomingQueue(QueuedTask(std::move(task), TickTime(), false));
}

void MessageLoop::PostNonNestableDelayedTask(Task task, TimeSpan delay) {
  AddToIncomingQueue(QueuedTask(std::move(task), TickTime::Now() + delay, false));
}

void MessageLoop::Run() { RunWithDispatcher(nullptr); }

void MessageLoop::RunWithDispatcher(MessageDispatcher* dispatcher) {
  assert(current() == this);
  LoopRunState state;
  state.run_depth = state_ ? state_->run_depth + 1 : 1;
  state.quit_received = false;
  state.dispatcher = dispatcher;

  LoopRunState* previous = state_;
  state_ = &state;
  // The pump stays alive for the whole run even if it were replaced meanwhile.
  std::shared_ptr<MessagePump> pump = pump_;
  if (dispatcher && kind_ == LoopKind::kUi) {
    static_cast<WinMessagePump*>(pump.get())->RunWithDispatcher(this, dispatcher);
  } else {
    pump->Run(this);
  }
  state_ = previous;
}

void MessageLoop::Quit() {
  if (state_) state_->quit_received = true;
}

void MessageLoop::QuitNow() { pump_->Quit(); }

void MessageLoop::SetPump(std::shared_ptr<MessagePump> pump) { pump_ = std::move(pump); }

void MessageLoop::AddToIncomingQueue(QueuedTask task) {
  std::shared_ptr<MessagePump> pump;
  {
    CriticalSection::ScopedLock hold(incoming_lock_);
    bool was_empty = incoming_queue_.empty();
    incoming_queue_.push_back(std::move(task));
    // A non-empty queue means the pump has already been woken.
    if (!was_empty) return;
    pump = pump_;
  }
  // Outside the lock: the shared reference keeps the pump alive.
  pump->ScheduleWork();
}

void MessageLoop::ReloadWorkQueue() {
  if (!work_queue_.empty()) return;
  CriticalSection::ScopedLock hold(incoming_lock_);
  if (!incoming_queue_.empty()) work_queue_.swap(incoming_queue_);
}

void MessageLoop::AddToDelayedWorkQueue(const QueuedTask& task) {
  QueuedTask copy = task;
  copy.sequence = next_sequence_;
  // Wraps instead of overflowing (signed overflow is undefined).
  next_sequence_ = static_cast<int32_t>(static_cast<uint32_t>(next_sequence_) + 1u);
  delayed_queue_.push_back(std::move(copy));
  std::push_heap(delayed_queue_.begin(), delayed_queue_.end());
}

bool MessageLoop::DoWork() {
  if (!nestable_tasks_allowed_) return false;
  for (;;) {
    ReloadWorkQueue();
    if (work_queue_.empty()) return false;
    do {
      QueuedTask pending = std::move(work_queue_.front());
      work_queue_.pop_front();
      if (!pending.run_time.is_null()) {
        int32_t sequence = next_sequence_;
        AddToDelayedWorkQueue(pending);
        // The new task is due first: the pump must wake for it.
        if (delayed_queue_.front().sequence == sequence) {
          pump_->ScheduleDelayedWork(delayed_queue_.front().run_time);
        }
      } else if (pending.nestable || run_depth() == 1) {
        RunTask(pending);
        return true;
      } else {
        deferred_non_nestable_queue_.push_back(std::move(pending));
      }
    } while (!work_queue_.empty());
  }
}

bool MessageLoop::DoDelayedWork(TickTime* next) {
  if (!nestable_tasks_allowed_ || delayed_queue_.empty()) {
    recent_time_ = TickTime();
    *next = TickTime();
    return false;
  }

  TickTime run_time = delayed_queue_.front().run_time;
  if (run_time > recent_time_) {
    recent_time_ = TickTime::Now();
    if (run_time > recent_time_) {
      *next = run_time;
      return false;
    }
  }

  std::pop_heap(delayed_queue_.begin(), delayed_queue_.end());
  QueuedTask pending = std::move(delayed_queue_.back());
  delayed_queue_.pop_back();
  if (!delayed_queue_.empty()) *next = delayed_queue_.front().run_time;

  if (pending.nestable || run_depth() == 1) {
    RunTask(pending);
    return true;
  }
  deferred_non_nestable_queue_.push_back(std::move(pending));
  return false;
}

bool MessageLoop::DoIdleWork() {
  if (run_depth() == 1 && !deferred_non_nestable_queue_.empty()) {
    QueuedTask pending = std::move(deferred_non_nestable_queue_.front());
    deferred_non_nestable_queue_.pop_front();
    RunTask(pending);
    return true;
  }
  if (state_ && state_->quit_received) pump_->Quit();
  return false;
}

void MessageLoop::RunTask(const QueuedTask& task) {
  nestable_tasks_allowed_ = false;
  task_observers_.Notify([](TaskObserver* observer) { observer->WillProcessTask(); });
  task.task();
  task_observers_.Notify([](TaskObserver* observer) { observer->DidProcessTask(); });
  nestable_tasks_allowed_ = true;
}

bool MessageLoop::DeletePendingTasks() {
  // Each container is emptied into a local first: the destructors of the
  // tasks may post (into the incoming queue) while they run.
  std::deque<QueuedTask> work;
  work.swap(work_queue_);
  while (!work.empty()) {
    QueuedTask pending = std::move(work.front());
    work.pop_front();
    if (!pending.run_time.is_null()) AddToDelayedWorkQueue(pending);
  }

  std::deque<QueuedTask> deferred;
  deferred.swap(deferred_non_nestable_queue_);
  deferred.clear();

  bool had_delayed_work = !delayed_queue_.empty();
  std::vector<QueuedTask> delayed;
  delayed.swap(delayed_queue_);
  delayed.clear();
  return had_delayed_work;
}

}  // namespace qbase
