#include "base/lazy_tls_index.h"

namespace qbase {
namespace {

constexpr LONG kNotStarted = 0;
constexpr LONG kInProgress = 1;
constexpr LONG kDone = 2;

}  // namespace

DWORD LazyTlsIndex::Index() {
  if (InterlockedCompareExchange(&state_, kInProgress, kNotStarted) == kNotStarted) {
    index_ = TlsAlloc();
    // The interlocked store publishes index_ to the spinning threads.
    InterlockedExchange(&state_, kDone);
  } else {
    while (InterlockedCompareExchange(&state_, kDone, kDone) != kDone) Sleep(0);
  }
  return index_;
}

void* LazyTlsIndex::Get() { return TlsGetValue(Index()); }

void LazyTlsIndex::Set(void* value) { TlsSetValue(Index(), value); }

}  // namespace qbase
