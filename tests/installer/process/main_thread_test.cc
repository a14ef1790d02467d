// The installer's two threads driven in this process, without the interface:
// the worker is reachable before the interface starts, and shutting down
// while the worker is inside a long task waits for that task and the work
// queued behind it.
#include "installer/main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "base/message_loop.h"
#include "base/scoped_handle.h"
#include "base/thread_registry.h"
#include "installer/misc_thread.h"
#include "installer/thread_ids.h"
#include "tests/base/test_watchdog.h"

namespace {

constexpr DWORD kTestTimeoutMs = 30000;
constexpr DWORD kWaitMs = 10000;

// MainThread with its real Init and Cleanup, but no window.
class WindowlessMainThread : public MainThread {
 public:
  std::function<void()> on_start;
  std::function<void()> on_stop;

 protected:
  void StartUserInterface() override {
    if (on_start) on_start();
  }
  void StopUserInterface() override {
    if (on_stop) on_stop();
  }
};

qbase::ScopedHandle ManualEvent() {
  return qbase::ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

TEST(MainThreadTest, ClosingWhileTheWorkerIsInsideALongTaskWaitsForItAndItsQueue) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "shutdown during a long worker task");
  qbase::ScopedHandle entered = ManualEvent(), release = ManualEvent(), stopping = ManualEvent();
  HANDLE entered_handle = entered.get(), release_handle = release.get();
  HANDLE stopping_handle = stopping.get();

  std::atomic<int> step{0};
  std::atomic<int> long_task_done_at{0}, queued_task_done_at{0}, run_returned_at{0};
  std::atomic<bool> worker_post_accepted{false}, ui_post_accepted{false};
  std::atomic<DWORD> worker_thread{0};

  std::thread ui([&] {
    WindowlessMainThread main_thread;
    main_thread.on_start = [&] {
      // The interface's first handlers may post to the worker at once.
      worker_post_accepted = qbase::ThreadRegistry::PostTask(kMiscThread, [&] {
        worker_thread = GetCurrentThreadId();
        SetEvent(entered_handle);
        WaitForSingleObject(release_handle, kWaitMs);
        long_task_done_at = ++step;
      });
      qbase::ThreadRegistry::PostTask(kMiscThread, [&] { queued_task_done_at = ++step; });
      // The window closes while the worker is busy.
      ui_post_accepted = qbase::ThreadRegistry::PostTask(kUiThread, [] { PostQuitMessage(0); });
    };
    main_thread.on_stop = [&] { SetEvent(stopping_handle); };
    main_thread.RunOnCurrentThread(qbase::LoopKind::kUi);
    run_returned_at = ++step;
  });

  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered_handle, kWaitMs));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stopping_handle, kWaitMs));
  // The UI loop has ended and Cleanup is under way; it must be waiting.
  Sleep(100);
  EXPECT_EQ(0, run_returned_at.load()) << "Cleanup returned while the worker was busy";
  EXPECT_EQ(0, long_task_done_at.load());
  SetEvent(release_handle);
  ui.join();

  EXPECT_TRUE(worker_post_accepted);
  EXPECT_TRUE(ui_post_accepted);
  EXPECT_NE(0u, worker_thread.load());
  EXPECT_EQ(1, long_task_done_at.load());
  EXPECT_EQ(2, queued_task_done_at.load());
  EXPECT_EQ(3, run_returned_at.load());
  // Both registrations are gone.
  EXPECT_FALSE(qbase::ThreadRegistry::PostTask(kMiscThread, [] {}));
  EXPECT_FALSE(qbase::ThreadRegistry::PostTask(kUiThread, [] {}));
}

TEST(MiscThreadTest, ReachableAsMiscThreadExactlyWhileItsLoopRuns) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "MiscThread registration");
  EXPECT_FALSE(qbase::ThreadRegistry::PostTask(kMiscThread, [] {}));
  MiscThread worker;
  EXPECT_EQ("Global Misc Thread", worker.name());
  ASSERT_TRUE(worker.StartWithLoop(qbase::LoopKind::kDefault));

  qbase::ScopedHandle done = ManualEvent();
  HANDLE done_handle = done.get();
  std::atomic<DWORD> ran_on{0};
  EXPECT_TRUE(qbase::ThreadRegistry::PostTask(kMiscThread, [&ran_on, done_handle] {
    ran_on = GetCurrentThreadId();
    SetEvent(done_handle);
  }));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done_handle, kWaitMs));
  EXPECT_EQ(worker.thread_id(), ran_on.load());

  worker.Stop();
  EXPECT_FALSE(qbase::ThreadRegistry::PostTask(kMiscThread, [] {}));
}

}  // namespace
