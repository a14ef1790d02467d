#include "tests/base/test_watchdog.h"

#include <cstdio>
#include <utility>

namespace test {

TestWatchdog::TestWatchdog(DWORD timeout_ms, std::string what)
    : timeout_ms_(timeout_ms), what_(std::move(what)) {
  done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &WatchProc, this, 0, nullptr);
}

TestWatchdog::~TestWatchdog() {
  SetEvent(done_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(done_);
}

// static
DWORD WINAPI TestWatchdog::WatchProc(void* self) {
  auto* watchdog = static_cast<TestWatchdog*>(self);
  if (WaitForSingleObject(watchdog->done_, watchdog->timeout_ms_) == WAIT_TIMEOUT) {
    std::fprintf(stderr, "\nwatchdog: %s did not finish within %lu ms\n", watchdog->what_.c_str(),
                 static_cast<unsigned long>(watchdog->timeout_ms_));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  return 0;
}

}  // namespace test
