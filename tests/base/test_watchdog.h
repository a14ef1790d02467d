// TestWatchdog: bounds a test that could hang. If the object is still alive
// after its time-out, the watchdog prints what hung and ends the test program
// with exit code 3, so CTest reports a failure instead of waiting forever.
#pragma once

#include <windows.h>

#include <string>

namespace test {

class TestWatchdog {
 public:
  TestWatchdog(DWORD timeout_ms, std::string what);
  ~TestWatchdog();
  TestWatchdog(const TestWatchdog&) = delete;
  TestWatchdog& operator=(const TestWatchdog&) = delete;

 private:
  static DWORD WINAPI WatchProc(void* self);

  DWORD timeout_ms_;
  std::string what_;
  HANDLE done_ = nullptr;
  HANDLE thread_ = nullptr;
};

}  // namespace test
