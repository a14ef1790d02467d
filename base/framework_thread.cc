#include "base/framework_thread.h"

#include <utility>

#include "base/io_message_loop.h"
#include "base/message_loop.h"
#include "base/message_loop_factory.h"
#include "base/thread_local_record.h"
#include "base/thread_registry.h"
#include "base/ui_message_loop.h"

namespace qbase {

FrameworkThread::FrameworkThread(const char* name)
    : started_event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), name_(name ? name : "") {}

FrameworkThread::~FrameworkThread() {
  Stop();
  name_.clear();
  started_event_.Reset();
  // The quit task must not reach a destroyed object.
  DropWeakFlag();
}

bool FrameworkThread::StartWithLoop(LoopKind kind, MessageDispatcher* dispatcher) {
  return Start(kind, dispatcher);
}

bool FrameworkThread::StartWithLoopFactory(std::shared_ptr<MessageLoopFactory> factory,
                                           MessageDispatcher* dispatcher) {
  if (message_loop_ || !factory) return false;
  loop_factory_ = std::move(factory);
  return Start(LoopKind::kCustom, dispatcher);
}

bool FrameworkThread::Start(LoopKind kind, MessageDispatcher* dispatcher) {
  if (message_loop_) return false;
  loop_kind_ = kind;
  dispatcher_ = dispatcher;
  if (!Create()) return false;
  // Init has run on the new thread once this returns.
  WaitForSingleObject(started_event_.get(), INFINITE);
  running_ = true;
  return true;
}

void FrameworkThread::RunOnCurrentThread(LoopKind kind, MessageDispatcher* dispatcher) {
  loop_kind_ = kind;
  dispatcher_ = dispatcher;
  running_ = true;
  Run();
}

void FrameworkThread::RequestStop() {
  MessageLoop* loop = message_loop_;
  if (stopping_ || !loop) return;
  stopping_ = true;
  loop->PostNonNestableTask(MakeWeakCallback(&FrameworkThread::QuitFromLoop));
}

void FrameworkThread::Stop() {
  if (!running_) return;
  RequestStop();
  Close();
  running_ = false;
  // The object may be started again; its next stop must post a new quit task.
  stopping_ = false;
}

// static
void FrameworkThread::QuitFromLoop() {
  if (MessageLoop* loop = MessageLoop::current()) loop->Quit();
  MarkQuitProperly();
}

// static
void FrameworkThread::MarkQuitProperly() {
  if (ThreadLocalRecord* record = ThreadLocalRecord::Current()) record->quit_properly = true;
}

void FrameworkThread::Run() {
  ThreadLocalRecord* record = ThreadLocalRecord::Current();
  // A body run on a thread that already runs one (RunOnCurrentThread from a
  // task) shares the outer record and leaves it to the outer body to delete.
  const bool owns_record = record == nullptr;
  if (owns_record) {
    record = new ThreadLocalRecord;
    record->owner = this;
    ThreadLocalRecord::SetCurrent(record);
  }
  record->quit_properly = false;

  set_thread_id(GetCurrentThreadId());

  MessageLoop* loop;
  switch (loop_kind_) {
    case LoopKind::kCustom:
      loop = loop_factory_->CreateMessageLoop();
      break;
    case LoopKind::kIo:
      loop = new IOMessageLoop;
      break;
    case LoopKind::kUi:
      loop = new UIMessageLoop;
      break;
    default:
      loop = new MessageLoop;
      break;
  }
  message_loop_ = loop;

  Init();
  SetEvent(started_event_.get());

  loop->RunWithDispatcher(dispatcher_);

  Cleanup();
  // An identifier the hooks left registered must not outlive the loop it
  // resolves to.
  ThreadRegistry::ForgetThread(this);

  message_loop_ = nullptr;
  delete loop;
  if (loop_kind_ == LoopKind::kCustom) loop_factory_.reset();
  set_thread_id(0);

  if (owns_record) {
    ThreadLocalRecord::SetCurrent(nullptr);
    delete record;
  }
}

}  // namespace qbase
