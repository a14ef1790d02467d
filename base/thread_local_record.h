// ThreadLocalRecord: what the runtime knows about a thread that runs a
// FrameworkThread body. It lives in a thread-local slot for exactly the
// duration of the body and is touched only by its own thread.
#pragma once

#include <cstdint>

namespace qbase {

class FrameworkThread;

struct ThreadLocalRecord {
  FrameworkThread* owner = nullptr;
  // Set when the thread was asked to quit through its quit task or its
  // owner's clean-up.
  bool quit_properly = false;
  // RegisterThread calls not yet matched by UnregisterThread.
  int32_t registration_count = 0;
  // -1 when none.
  int32_t registered_identifier = -1;

  // The calling thread's record, or null.
  static ThreadLocalRecord* Current();
  static void SetCurrent(ThreadLocalRecord* record);
};

}  // namespace qbase
