// The installer's process entry: one instance at a time, and the calling
// thread becomes the UI thread for the whole run.
#include <windows.h>

#include "base/loop_kind.h"
#include "base/scoped_handle.h"
#include "installer/main_thread.h"
#include "installer/thread_ids.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  qbase::ScopedHandle mutex(CreateMutexW(nullptr, TRUE, kInstanceMutexName));
  DWORD error = GetLastError();
  // Another instance holds the mutex: leave silently. A mutex that exists but
  // cannot be opened (created under other security) is another instance too.
  if (error == ERROR_ALREADY_EXISTS || (!mutex.IsValid() && error == ERROR_ACCESS_DENIED)) {
    return 0;
  }

  {
    MainThread main_thread;
    main_thread.RunOnCurrentThread(qbase::LoopKind::kUi);
  }

  if (mutex.IsValid()) ReleaseMutex(mutex.get());
  return 0;
}
