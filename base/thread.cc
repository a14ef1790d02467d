#include "base/thread.h"

#include <process.h>

namespace qbase {

Thread::~Thread() { Close(); }

// static
unsigned __stdcall Thread::ThreadEntry(void* self) {
  static_cast<Thread*>(self)->Run();
  _endthreadex(0);
  return 0;
}

// static
bool Thread::Win32PriorityFor(ThreadPriority level, int* win32_priority) {
  switch (level) {
    case kThreadPriorityLowest:
      *win32_priority = THREAD_PRIORITY_LOWEST;
      return true;
    case kThreadPriorityBelowNormal:
      *win32_priority = THREAD_PRIORITY_BELOW_NORMAL;
      return true;
    case kThreadPriorityHighest:
      *win32_priority = THREAD_PRIORITY_HIGHEST;
      return true;
    case kThreadPriorityTimeCritical:
      *win32_priority = THREAD_PRIORITY_TIME_CRITICAL;
      return true;
    default:
      if (level <= kThreadPriorityDefault) return false;
      *win32_priority = THREAD_PRIORITY_BELOW_NORMAL;
      return true;
  }
}

bool Thread::Create() {
  unsigned thread_id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, &ThreadEntry, this, 0, &thread_id);
  if (handle <= 1) {
    handle_ = nullptr;
    thread_id_ = 0;
    return false;
  }
  handle_ = reinterpret_cast<HANDLE>(handle);
  thread_id_ = thread_id;
  int win32_priority = 0;
  if (Win32PriorityFor(priority_, &win32_priority)) SetThreadPriority(handle_, win32_priority);
  return true;
}

void Thread::Close() {
  if (!handle_) return;
  if (WaitForSingleObject(handle_, INFINITE) != WAIT_OBJECT_0) TerminateThread(handle_, 0);
  CloseHandle(handle_);
  handle_ = nullptr;
  thread_id_ = 0;
}

}  // namespace qbase
