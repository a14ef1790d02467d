// CriticalSection: an owned Win32 critical section (spin count 2000, the value
// every lock of the runtime uses), with a scoped holder.
#pragma once

#include <windows.h>

namespace qbase {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSectionAndSpinCount(&section_, 2000); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }

  // Holds the lock for the lifetime of the holder.
  class ScopedLock {
   public:
    explicit ScopedLock(CriticalSection& lock) : lock_(lock) { lock_.Enter(); }
    ~ScopedLock() { lock_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

   private:
    CriticalSection& lock_;
  };

 private:
  CRITICAL_SECTION section_;
};

}  // namespace qbase
