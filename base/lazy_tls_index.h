// LazyTlsIndex: a thread-local storage index allocated once per process on
// first use, safe to reach from several threads at once. A three-state word
// (0 not started, 1 in progress, 2 done) is moved from 0 to 1 by an interlocked
// compare-exchange; the winner allocates the index and publishes 2, the others
// spin with Sleep(0) until they see 2. The index is never freed.
//
// Objects of this class have static storage duration and constant
// initialisation, so they are usable before any constructor runs.
#pragma once

#include <windows.h>

namespace qbase {

class LazyTlsIndex {
 public:
  constexpr LazyTlsIndex() = default;
  LazyTlsIndex(const LazyTlsIndex&) = delete;
  LazyTlsIndex& operator=(const LazyTlsIndex&) = delete;

  // Any thread.
  void* Get();
  void Set(void* value);

 private:
  DWORD Index();

  volatile LONG state_ = 0;
  DWORD index_ = TLS_OUT_OF_INDEXES;
};

}  // namespace qbase
