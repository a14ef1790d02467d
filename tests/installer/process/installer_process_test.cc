// The built installer executable: one instance at a time, and a clean end when
// its UI loop is told to quit.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/scoped_handle.h"
#include "base/win_ui_message_pump.h"
#include "installer/thread_ids.h"
#include "tests/base/test_watchdog.h"

namespace {

constexpr DWORD kTestTimeoutMs = 60000;
constexpr DWORD kWaitMs = 15000;

std::wstring InstallerPath() {
  std::string narrow = INSTALLER_EXE_PATH;
  std::wstring path(narrow.begin(), narrow.end());
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

// A started installer process; a test that fails half-way ends it.
class InstallerProcess {
 public:
  // Starts suspended so that a test can watch it from its first instruction.
  bool Start() {
    std::wstring command = L"\"" + InstallerPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &info)) {
      return false;
    }
    process_.Reset(info.hProcess);
    thread_.Reset(info.hThread);
    id_ = info.dwProcessId;
    return true;
  }
  void Resume() { ResumeThread(thread_.get()); }
  ~InstallerProcess() {
    if (process_.IsValid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), 99);
      WaitForSingleObject(process_.get(), kWaitMs);
    }
  }

  HANDLE handle() const { return process_.get(); }
  DWORD id() const { return id_; }
  bool Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

 private:
  qbase::ScopedHandle process_;
  qbase::ScopedHandle thread_;
  DWORD id_ = 0;
};

// Windows (top-level and message-only) that belong to `process_id` now.
int CountWindowsOf(DWORD process_id) {
  struct Search {
    DWORD process_id;
    int count;
  } search = {process_id, 0};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s->process_id) ++s->count;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  HWND window = nullptr;
  while ((window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process_id) ++search.count;
  }
  return search.count;
}

// Waits (bounded) for the process to end, sampling its windows meanwhile;
// returns the most windows seen at once, or -1 when it did not end.
int WaitSamplingWindows(const InstallerProcess& process, DWORD timeout_ms) {
  int most = 0;
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeout_ms;) {
    int now = CountWindowsOf(process.id());
    if (now > most) most = now;
    if (WaitForSingleObject(process.handle(), 5) == WAIT_OBJECT_0) return most;
  }
  return -1;
}

// The installer's UI thread: the owner of its pump window.
DWORD WaitForUiThreadOf(DWORD process_id) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
    HWND window = nullptr;
    while ((window = FindWindowExW(HWND_MESSAGE, window,
                                   qbase::WinUIMessagePump::kWindowClassName, nullptr))) {
      DWORD owner_process = 0;
      DWORD thread = GetWindowThreadProcessId(window, &owner_process);
      if (owner_process == process_id) return thread;
    }
    Sleep(20);
  }
  return 0;
}

bool MutexExists() {
  qbase::ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName));
  return mutex.IsValid();
}

TEST(InstallerProcessTest, RunningInstanceHoldsTheMutexAndEndsCleanlyWhenItsUiLoopQuits) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "running instance");
  ASSERT_FALSE(MutexExists()) << "another installer is running";
  InstallerProcess first;
  ASSERT_TRUE(first.Start()) << "cannot start " << std::string(INSTALLER_EXE_PATH);
  first.Resume();
  DWORD ui_thread = WaitForUiThreadOf(first.id());
  ASSERT_NE(0u, ui_thread) << "the installer's UI loop never came up";
  EXPECT_TRUE(MutexExists());
  // The sampling used below for the second instance does see this process's
  // windows (at least the pump's message window).
  EXPECT_GE(CountWindowsOf(first.id()), 1);

  // A second instance leaves at once and the first keeps running.
  InstallerProcess second;
  ASSERT_TRUE(second.Start());
  second.Resume();
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second.handle(), kWaitMs));
  EXPECT_EQ(0u, second.ExitCode());
  EXPECT_TRUE(first.Running());

  ASSERT_TRUE(PostThreadMessageW(ui_thread, WM_QUIT, 0, 0));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first.handle(), kWaitMs))
      << "the installer did not end after WM_QUIT";
  EXPECT_EQ(0u, first.ExitCode());
  EXPECT_FALSE(MutexExists()) << "the mutex must go with the instance";
}

TEST(InstallerProcessTest, SecondInstanceReturnsZeroAtOnceAndCreatesNoWindow) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "second instance");
  qbase::ScopedHandle mutex(CreateMutexW(nullptr, TRUE, kInstanceMutexName));
  ASSERT_TRUE(mutex.IsValid());
  ASSERT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());

  InstallerProcess second;
  ASSERT_TRUE(second.Start());
  second.Resume();
  // Anything shown (a message box, a window with its loop) would also keep
  // the process alive past the bounded wait.
  int windows = WaitSamplingWindows(second, kWaitMs);
  ASSERT_NE(-1, windows) << "a second instance must not wait for anything";
  EXPECT_EQ(0, windows);
  EXPECT_EQ(0u, second.ExitCode());
  ReleaseMutex(mutex.get());
}

}  // namespace
