#include "installer/main_thread.h"

#include "base/thread_registry.h"
#include "installer/interface_startup.h"
#include "installer/misc_thread.h"
#include "installer/thread_ids.h"

MainThread::MainThread() : FrameworkThread("MainThread") {}

MainThread::~MainThread() = default;

void MainThread::Init() {
  qbase::ThreadRegistry::RegisterThread(kUiThread);
  StartWorker();
  StartUserInterface();
}

void MainThread::Cleanup() {
  StopUserInterface();
  StopWorker();
  MarkQuitProperly();
  qbase::ThreadRegistry::UnregisterThread();
}

void MainThread::StartUserInterface() { StartInterface(); }

void MainThread::StopUserInterface() { StopInterface(); }

void MainThread::StartWorker() {
  misc_thread_ = std::make_unique<MiscThread>();
  // A failed start leaves kMiscThread unregistered: posts to it return false
  // and the interface still comes up.
  if (!misc_thread_->message_loop()) misc_thread_->StartWithLoop(qbase::LoopKind::kDefault);
}

void MainThread::StopWorker() {
  if (!misc_thread_) return;
  // The quit task is non-nestable and queued behind the work already posted,
  // so the worker finishes its current task and its queue first; the join
  // has no time-out (a failed wait ends the thread forcibly).
  misc_thread_->Stop();
  misc_thread_.reset();
}
