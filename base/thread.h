// Thread: one operating-system thread running the object's Run.
//
// The destructor joins the thread (Close), but by then a derived object is
// already destroyed: classes deriving from Thread must end the thread in their
// own destructors (FrameworkThread does).
//
// Thread affinity: Create, Close and the destructor belong to the thread that
// controls the object, never to the thread itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "base/thread_priority.h"

namespace qbase {

class Thread {
 public:
  Thread() = default;
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the thread; false when the system refuses (then there is no
  // thread). The priority level, when above 0, is applied right away.
  [[nodiscard]] bool Create();
  // Waits for the thread to end (ending it forcibly if the wait fails) and
  // closes its handle. Does nothing when there is no thread.
  void Close();

  void set_priority(ThreadPriority priority) { priority_ = priority; }
  ThreadPriority priority() const { return priority_; }
  DWORD thread_id() const { return thread_id_; }
  HANDLE handle() const { return handle_; }

  // The SetThreadPriority value for a level; false when none is applied.
  static bool Win32PriorityFor(ThreadPriority level, int* win32_priority);

 protected:
  // The thread's body.
  virtual void Run() = 0;

  void set_thread_id(DWORD thread_id) { thread_id_ = thread_id; }

 private:
  static unsigned __stdcall ThreadEntry(void* self);

  std::atomic<DWORD> thread_id_{0};
  HANDLE handle_ = nullptr;
  ThreadPriority priority_ = kThreadPriorityDefault;
};

}  // namespace qbase
