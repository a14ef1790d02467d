#include "base/thread_local_record.h"

#include "base/lazy_tls_index.h"

namespace qbase {
namespace {

LazyTlsIndex g_thread_record;

}  // namespace

// static
ThreadLocalRecord* ThreadLocalRecord::Current() {
  return static_cast<ThreadLocalRecord*>(g_thread_record.Get());
}

// static
void ThreadLocalRecord::SetCurrent(ThreadLocalRecord* record) { g_thread_record.Set(record); }

}  // namespace qbase
