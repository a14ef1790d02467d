// Framework threads and the thread registry: start-up handshake, stopping,
// priorities, and registration by identifier.
#include "base/framework_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "base/message_loop.h"
#include "base/message_loop_proxy.h"
#include "base/scoped_handle.h"
#include "base/thread.h"
#include "base/thread_registry.h"
#include "tests/base/test_watchdog.h"

namespace qbase {
namespace {

constexpr DWORD kTestTimeoutMs = 30000;
constexpr DWORD kWaitMs = 10000;

// Identifiers of this test program; far from the installer's 0 and 1 except
// where a test means them.
constexpr int32_t kFirstId = 40;
constexpr int32_t kSecondId = 41;

// A framework thread whose hooks a test fills in.
class HookedThread : public FrameworkThread {
 public:
  explicit HookedThread(const char* name = "test thread") : FrameworkThread(name) {}
  ~HookedThread() override { Stop(); }

  std::function<void()> on_init;
  std::function<void()> on_cleanup;
  std::atomic<int> init_calls{0};

 protected:
  void Init() override {
    ++init_calls;
    if (on_init) on_init();
  }
  void Cleanup() override {
    if (on_cleanup) on_cleanup();
  }
};

// Runs `fn` on the thread's loop and waits (bounded) for it to finish.
::testing::AssertionResult RunOn(FrameworkThread& thread, std::function<void()> fn) {
  ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE done_handle = done.get();
  if (!thread.message_loop()) return ::testing::AssertionFailure() << "the thread has no loop";
  thread.message_loop()->PostTask([fn, done_handle] {
    fn();
    SetEvent(done_handle);
  });
  if (WaitForSingleObject(done_handle, kWaitMs) != WAIT_OBJECT_0) {
    return ::testing::AssertionFailure() << "the task did not run";
  }
  return ::testing::AssertionSuccess();
}

TEST(FrameworkThreadTest, StartWithLoopReturnsAfterInitHasRegisteredTheThread) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "start-up handshake");
  HookedThread thread;
  thread.on_init = [] {
    // A slow Init: the starter must still not return before it is done.
    Sleep(50);
    EXPECT_TRUE(ThreadRegistry::RegisterThread(kFirstId));
  };
  thread.on_cleanup = [] { EXPECT_TRUE(ThreadRegistry::UnregisterThread()); };
  ASSERT_TRUE(thread.StartWithLoop(LoopKind::kDefault));
  EXPECT_TRUE(thread.running());

  std::atomic<DWORD> ran_on{0};
  ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE done_handle = done.get();
  EXPECT_TRUE(ThreadRegistry::PostTask(kFirstId, [&ran_on, done_handle] {
    ran_on = GetCurrentThreadId();
    SetEvent(done_handle);
  }));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done_handle, kWaitMs));
  EXPECT_EQ(thread.thread_id(), ran_on.load());
  EXPECT_NE(GetCurrentThreadId(), ran_on.load());
}

TEST(FrameworkThreadTest, StartWithLoopTwiceStartsOneThread) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "StartWithLoop twice");
  HookedThread thread;
  ASSERT_TRUE(thread.StartWithLoop(LoopKind::kDefault));
  DWORD first_id = thread.thread_id();
  MessageLoop* first_loop = thread.message_loop();
  EXPECT_FALSE(thread.StartWithLoop(LoopKind::kDefault));
  EXPECT_FALSE(thread.StartWithLoop(LoopKind::kUi));
  EXPECT_EQ(1, thread.init_calls.load());
  EXPECT_EQ(first_id, thread.thread_id());
  EXPECT_EQ(first_loop, thread.message_loop());
}

TEST(FrameworkThreadTest, EveryLoopKindRunsPostedTasksOnTheNewThread) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "loop kinds");
  static const struct {
    const char* name;
    LoopKind kind;
  } kCases[] = {
      {"default", LoopKind::kDefault},
      {"ui", LoopKind::kUi},
      {"io", LoopKind::kIo},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    HookedThread thread;
    ASSERT_TRUE(thread.StartWithLoop(c.kind));
    LoopKind seen = LoopKind::kCustom;
    EXPECT_TRUE(RunOn(thread, [&seen] { seen = MessageLoop::current()->kind(); }));
    EXPECT_EQ(c.kind, seen);
    thread.Stop();
    EXPECT_FALSE(thread.running());
    EXPECT_EQ(nullptr, thread.message_loop());
  }
}

class CountingTaskObserver : public MessageLoop::TaskObserver {
 public:
  void WillProcessTask() override { ++tasks; }
  void DidProcessTask() override {}
  std::atomic<int> tasks{0};
};

TEST(FrameworkThreadTest, RequestStopTwicePostsOneQuitTask) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "RequestStop twice");
  HookedThread thread;
  ASSERT_TRUE(thread.StartWithLoop(LoopKind::kDefault));
  CountingTaskObserver observer;
  ASSERT_TRUE(RunOn(thread, [&observer] { MessageLoop::current()->AddTaskObserver(&observer); }));

  // Hold the worker inside a task so both requests queue behind it.
  ScopedHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE entered_handle = entered.get(), release_handle = release.get();
  thread.message_loop()->PostTask([entered_handle, release_handle] {
    SetEvent(entered_handle);
    WaitForSingleObject(release_handle, kWaitMs);
  });
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered_handle, kWaitMs));
  int before = observer.tasks.load();  // the holding task

  thread.RequestStop();
  EXPECT_TRUE(thread.stopping());
  thread.RequestStop();
  SetEvent(release_handle);
  thread.Stop();

  // Both quit tasks would run before the loop's idle moment; exactly one did.
  EXPECT_EQ(before + 1, observer.tasks.load());
}

TEST(FrameworkThreadTest, StoppedThreadCanBeStartedAndStoppedAgain) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "restart after stop");
  HookedThread thread;
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    ASSERT_TRUE(thread.StartWithLoop(LoopKind::kDefault));
    EXPECT_TRUE(RunOn(thread, [] {}));
    thread.Stop();
    EXPECT_FALSE(thread.running());
    EXPECT_FALSE(thread.stopping());
  }
  EXPECT_EQ(2, thread.init_calls.load());
}

// A bare thread that stays alive until released, so its priority can be read.
class ParkedThread : public Thread {
 public:
  ParkedThread() : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~ParkedThread() override {
    SetEvent(release_.get());
    Close();
  }

 protected:
  void Run() override { WaitForSingleObject(release_.get(), kWaitMs); }

 private:
  ScopedHandle release_;
};

TEST(ThreadTest, PriorityLevelsMapToWin32Priorities) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "priorities");
  static const struct {
    ThreadPriority level;
    int expected;
  } kCases[] = {
      {-1, THREAD_PRIORITY_NORMAL},
      {0, THREAD_PRIORITY_NORMAL},
      {1, THREAD_PRIORITY_LOWEST},
      {2, THREAD_PRIORITY_BELOW_NORMAL},
      {3, THREAD_PRIORITY_HIGHEST},
      {4, THREAD_PRIORITY_TIME_CRITICAL},
      {5, THREAD_PRIORITY_BELOW_NORMAL},
      {9, THREAD_PRIORITY_BELOW_NORMAL},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.level);
    ParkedThread thread;
    thread.set_priority(c.level);
    ASSERT_TRUE(thread.Create());
    EXPECT_NE(0u, thread.thread_id());
    EXPECT_EQ(c.expected, GetThreadPriority(thread.handle()));
  }
}

TEST(ThreadRegistryTest, SameIdentifierTwiceFromOneThreadNeedsTwoUnregisters) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "registration count");
  HookedThread thread;
  ASSERT_TRUE(thread.StartWithLoop(LoopKind::kDefault));
  ASSERT_TRUE(RunOn(thread, [] {
    EXPECT_TRUE(ThreadRegistry::RegisterThread(kFirstId));
    EXPECT_TRUE(ThreadRegistry::RegisterThread(kFirstId));
    EXPECT_TRUE(ThreadRegistry::UnregisterThread());
  }));
  EXPECT_NE(nullptr, ThreadRegistry::GetLoopProxy(kFirstId)) << "one registration is left";
  ASSERT_TRUE(RunOn(thread, [] { EXPECT_TRUE(ThreadRegistry::UnregisterThread()); }));
  EXPECT_EQ(nullptr, ThreadRegistry::GetLoopProxy(kFirstId));
  ASSERT_TRUE(RunOn(thread, [] { EXPECT_FALSE(ThreadRegistry::UnregisterThread()); }));
}

TEST(ThreadRegistryTest, IdentifierHeldByAnotherThreadIsRefusedAndTheRegistryUnchanged) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "taken identifier");
  HookedThread holder("holder"), intruder("intruder");
  ASSERT_TRUE(holder.StartWithLoop(LoopKind::kDefault));
  ASSERT_TRUE(intruder.StartWithLoop(LoopKind::kDefault));
  ASSERT_TRUE(RunOn(holder, [] { EXPECT_TRUE(ThreadRegistry::RegisterThread(kFirstId)); }));
  std::shared_ptr<MessageLoopProxy> holder_proxy = ThreadRegistry::GetLoopProxy(kFirstId);
  ASSERT_NE(nullptr, holder_proxy);

  ASSERT_TRUE(RunOn(intruder, [] {
    EXPECT_FALSE(ThreadRegistry::RegisterThread(kFirstId));
    // The refusal counted nothing: there is nothing to unregister.
    EXPECT_FALSE(ThreadRegistry::UnregisterThread());
  }));
  EXPECT_EQ(holder_proxy, ThreadRegistry::GetLoopProxy(kFirstId));

  std::atomic<DWORD> ran_on{0};
  ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE done_handle = done.get();
  EXPECT_TRUE(ThreadRegistry::PostTask(kFirstId, [&ran_on, done_handle] {
    ran_on = GetCurrentThreadId();
    SetEvent(done_handle);
  }));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done_handle, kWaitMs));
  EXPECT_EQ(holder.thread_id(), ran_on.load());

  ASSERT_TRUE(RunOn(holder, [] { EXPECT_TRUE(ThreadRegistry::UnregisterThread()); }));
}

TEST(ThreadRegistryTest, OnlyFrameworkThreadsRegisterAndOnlyNonNegativeIdentifiers) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "registration preconditions");
  // The test's own thread runs no framework-thread body.
  EXPECT_FALSE(ThreadRegistry::RegisterThread(kFirstId));
  EXPECT_FALSE(ThreadRegistry::UnregisterThread());
  bool plain_thread = true;
  std::thread([&plain_thread] { plain_thread = ThreadRegistry::RegisterThread(kFirstId); }).join();
  EXPECT_FALSE(plain_thread);

  HookedThread thread;
  ASSERT_TRUE(thread.StartWithLoop(LoopKind::kDefault));
  ASSERT_TRUE(RunOn(thread, [] {
    EXPECT_FALSE(ThreadRegistry::RegisterThread(-1));
    EXPECT_FALSE(ThreadRegistry::UnregisterThread());
  }));
  EXPECT_EQ(nullptr, ThreadRegistry::GetLoopProxy(-1));
  EXPECT_FALSE(ThreadRegistry::PostTask(kSecondId, [] {}));
}

TEST(ThreadRegistryTest, PostingAfterTheThreadsCleanupReturnsFalseAndDropsTheTask) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "post after cleanup");
  HookedThread thread;
  thread.on_init = [] { EXPECT_TRUE(ThreadRegistry::RegisterThread(kSecondId)); };
  thread.on_cleanup = [] { EXPECT_TRUE(ThreadRegistry::UnregisterThread()); };
  ASSERT_TRUE(thread.StartWithLoop(LoopKind::kDefault));
  EXPECT_NE(nullptr, ThreadRegistry::GetLoopProxy(kSecondId));
  thread.Stop();

  auto bound = std::make_shared<int>(0);
  EXPECT_FALSE(ThreadRegistry::PostTask(kSecondId, [bound] {}));
  EXPECT_FALSE(ThreadRegistry::PostDelayedTask(kSecondId, [bound] {}, TimeSpan::FromMilliseconds(300)));
  EXPECT_FALSE(ThreadRegistry::PostDelayedTask(kSecondId, [bound] {}, TimeSpan()));
  EXPECT_EQ(1, bound.use_count());
}

TEST(ThreadRegistryTest, IdentifiersLeftRegisteredAreReleasedWhenTheThreadEnds) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "registration left behind");
  {
    HookedThread careless;
    careless.on_init = [] {
      EXPECT_TRUE(ThreadRegistry::RegisterThread(kFirstId));
      EXPECT_TRUE(ThreadRegistry::RegisterThread(kSecondId));
    };
    ASSERT_TRUE(careless.StartWithLoop(LoopKind::kDefault));
    EXPECT_NE(nullptr, ThreadRegistry::GetLoopProxy(kFirstId));
    EXPECT_NE(nullptr, ThreadRegistry::GetLoopProxy(kSecondId));
  }
  EXPECT_EQ(nullptr, ThreadRegistry::GetLoopProxy(kFirstId));
  EXPECT_EQ(nullptr, ThreadRegistry::GetLoopProxy(kSecondId));

  // And the identifiers are free for another thread.
  HookedThread next;
  next.on_init = [] { EXPECT_TRUE(ThreadRegistry::RegisterThread(kFirstId)); };
  next.on_cleanup = [] { EXPECT_TRUE(ThreadRegistry::UnregisterThread()); };
  ASSERT_TRUE(next.StartWithLoop(LoopKind::kDefault));
}

TEST(ThreadRegistryTest, DelayedPostByIdentifierRunsOnThatThread) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "delayed post by identifier");
  HookedThread thread;
  thread.on_init = [] { EXPECT_TRUE(ThreadRegistry::RegisterThread(kFirstId)); };
  thread.on_cleanup = [] { EXPECT_TRUE(ThreadRegistry::UnregisterThread()); };
  ASSERT_TRUE(thread.StartWithLoop(LoopKind::kDefault));
  std::atomic<DWORD> ran_on{0};
  ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE done_handle = done.get();
  TickTime posted = TickTime::Now();
  std::atomic<int64_t> ran_at_us{0};
  EXPECT_TRUE(ThreadRegistry::PostDelayedTask(
      kFirstId,
      [&ran_on, &ran_at_us, done_handle] {
        ran_on = GetCurrentThreadId();
        ran_at_us = TickTime::Now().ToMicroseconds();
        SetEvent(done_handle);
      },
      TimeSpan::FromMilliseconds(30)));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done_handle, kWaitMs));
  EXPECT_EQ(thread.thread_id(), ran_on.load());
  // Never before it is due.
  EXPECT_GE(ran_at_us.load(), (posted + TimeSpan::FromMilliseconds(30)).ToMicroseconds());
}

}  // namespace
}  // namespace qbase
