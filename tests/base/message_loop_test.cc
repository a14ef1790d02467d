// The message loop's run rules on a default (worker) loop: ordering of
// delayed tasks, quitting, the proxy's immediate path for zero delays, and
// what happens to queued tasks and proxies when a loop is destroyed.
#include "base/message_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "base/default_message_pump.h"
#include "base/message_loop_proxy.h"
#include "tests/base/test_watchdog.h"

namespace qbase {
namespace {

constexpr DWORD kTestTimeoutMs = 30000;

TEST(MessageLoopTest, DelayedTasksRunByRunTimeThenInPostingOrder) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "DelayedTasksRunByRunTimeThenInPostingOrder");
  static const struct {
    const char* name;
    std::vector<int> delays_ms;
  } kCases[] = {
      // A heap without the sequence tie-break scrambles equal keys.
      {"equal delays", std::vector<int>(40, 5)},
      {"a shorter delay posted later runs first", {60, 5}},
      {"interleaved", {40, 10, 40, 10, 25, 10, 40, 25}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    MessageLoop loop;
    std::vector<int> ran;
    for (size_t i = 0; i < c.delays_ms.size(); ++i) {
      int index = static_cast<int>(i);
      loop.PostDelayedTask([&ran, index] { ran.push_back(index); },
                           TimeSpan::FromMilliseconds(c.delays_ms[i]));
    }
    int longest = *std::max_element(c.delays_ms.begin(), c.delays_ms.end());
    loop.PostDelayedTask([&loop] { loop.Quit(); }, TimeSpan::FromMilliseconds(longest + 20));
    loop.Run();

    std::vector<int> expected(c.delays_ms.size());
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(),
                     [&c](int a, int b) { return c.delays_ms[a] < c.delays_ms[b]; });
    EXPECT_EQ(expected, ran);
  }
}

// A default pump that records what the loop asks of it.
class RecordingPump : public DefaultMessagePump {
 public:
  void ScheduleWork() override {
    ++wake_ups;
    DefaultMessagePump::ScheduleWork();
  }
  std::atomic<int> wake_ups{0};
  void ScheduleDelayedWork(const TickTime& time) override {
    scheduled.push_back(time);
    DefaultMessagePump::ScheduleDelayedWork(time);
  }
  std::vector<TickTime> scheduled;
};

class RecordingLoop : public MessageLoop {
 public:
  RecordingLoop() : recording_pump_(std::make_shared<RecordingPump>()) {
    SetPump(recording_pump_);
  }
  RecordingPump& recording_pump() { return *recording_pump_; }

 private:
  std::shared_ptr<RecordingPump> recording_pump_;
};

TEST(MessageLoopTest, OnlyADelayedTaskThatBecomesTheTopReschedulesThePump) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "OnlyADelayedTaskThatBecomesTheTopReschedulesThePump");
  RecordingLoop loop;
  std::vector<std::string> ran;
  TickTime before = TickTime::Now();
  loop.PostTask([&] {
    // Each post goes to the incoming queue; the loop moves it to the delayed
    // queue on its next DoWork, and only a new top wakes the pump earlier.
    loop.PostDelayedTask([&] { ran.push_back("long"); }, TimeSpan::FromMilliseconds(400));
    loop.PostTask([&] {
      loop.PostDelayedTask([&] { ran.push_back("later than the top"); },
                           TimeSpan::FromMilliseconds(600));
      loop.PostTask([&] {
        loop.PostDelayedTask(
            [&] {
              ran.push_back("short");
              loop.Quit();
            },
            TimeSpan::FromMilliseconds(20));
      });
    });
  });
  loop.Run();
  TickTime after = TickTime::Now();

  EXPECT_EQ(std::vector<std::string>{"short"}, ran);
  const std::vector<TickTime>& scheduled = loop.recording_pump().scheduled;
  ASSERT_EQ(2u, scheduled.size()) << "the 600 ms task is not the top and must not reschedule";
  // The first request is for the 400 ms task, the second for the 20 ms one.
  EXPECT_GE(scheduled[0], before + TimeSpan::FromMilliseconds(400));
  EXPECT_LT(scheduled[1], scheduled[0]);
  EXPECT_LE(scheduled[1], after);
}

TEST(MessageLoopTest, PumpIsWokenOnlyWhenTheIncomingQueueBecomesNonEmpty) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "PumpIsWokenOnlyWhenTheIncomingQueueBecomesNonEmpty");
  RecordingLoop loop;
  std::shared_ptr<MessageLoopProxy> proxy = loop.proxy();
  int ran = 0;
  std::thread([&] {
    for (int i = 0; i < 300; ++i) proxy->PostTask([&ran] { ++ran; });
  }).join();
  EXPECT_EQ(1, loop.recording_pump().wake_ups.load());

  loop.PostTask([&loop] { loop.Quit(); });
  loop.Run();
  EXPECT_EQ(300, ran);
  // The run took the whole batch; the next post wakes the pump again.
  int before = loop.recording_pump().wake_ups.load();
  loop.PostTask([] {});
  loop.PostTask([] {});
  EXPECT_EQ(before + 1, loop.recording_pump().wake_ups.load());
}

TEST(MessageLoopTest, QuitLetsQueuedImmediateTasksFinishFirst) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "QuitLetsQueuedImmediateTasksFinishFirst");
  MessageLoop loop;
  std::vector<int> ran;
  bool far_task_ran = false;
  loop.PostDelayedTask([&] { far_task_ran = true; }, TimeSpan::FromSeconds(3600));
  loop.PostTask([&] {
    ran.push_back(0);
    loop.Quit();
    // Posted after Quit: still immediate work of this run.
    loop.PostTask([&] { ran.push_back(3); });
  });
  loop.PostTask([&] { ran.push_back(1); });
  loop.PostNonNestableTask([&] { ran.push_back(2); });
  loop.Run();

  EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), ran);
  // A delayed task far in the future does not keep a quitting loop alive.
  EXPECT_FALSE(far_task_ran);
}

TEST(MessageLoopTest, QuitNowEndsTheRunBeforeTheNextQueuedTask) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "QuitNowEndsTheRunBeforeTheNextQueuedTask");
  MessageLoop loop;
  std::vector<int> ran;
  loop.PostTask([&] {
    ran.push_back(0);
    loop.QuitNow();
  });
  loop.PostTask([&] {
    ran.push_back(1);
    loop.Quit();
  });
  loop.Run();
  EXPECT_EQ(std::vector<int>{0}, ran);

  // The task left behind runs in the next run.
  loop.Run();
  EXPECT_EQ((std::vector<int>{0, 1}), ran);
}

TEST(MessageLoopTest, ZeroDelayThroughTheProxyTakesTheImmediatePath) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "ZeroDelayThroughTheProxyTakesTheImmediatePath");
  // A task that goes through the delayed queue is overtaken by an immediate
  // task posted after it; one that takes the immediate path is not.
  static const struct {
    const char* name;
    void (*post)(MessageLoop& loop, Task task);
    bool immediate;
  } kCases[] = {
      {"proxy PostDelayedTask(0)",
       [](MessageLoop& loop, Task task) {
         EXPECT_TRUE(loop.proxy()->PostDelayedTask(std::move(task), TimeSpan()));
       },
       true},
      {"proxy PostNonNestableDelayedTask(0)",
       [](MessageLoop& loop, Task task) {
         EXPECT_TRUE(loop.proxy()->PostNonNestableDelayedTask(std::move(task), TimeSpan()));
       },
       true},
      {"loop PostDelayedTask(0)",
       [](MessageLoop& loop, Task task) { loop.PostDelayedTask(std::move(task), TimeSpan()); },
       false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    MessageLoop loop;
    std::vector<std::string> ran;
    c.post(loop, [&ran] { ran.push_back("zero delay"); });
    loop.proxy()->PostTask([&ran] { ran.push_back("immediate"); });
    loop.PostTask([&loop] { loop.Quit(); });
    loop.Run();
    if (c.immediate) {
      EXPECT_EQ((std::vector<std::string>{"zero delay", "immediate"}), ran);
    } else {
      EXPECT_EQ((std::vector<std::string>{"immediate", "zero delay"}), ran);
    }
  }
}

TEST(MessageLoopTest, TasksPostedFromAnotherThreadRunInPostingOrder) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "TasksPostedFromAnotherThreadRunInPostingOrder");
  MessageLoop loop;
  std::shared_ptr<MessageLoopProxy> proxy = loop.proxy();
  constexpr int kCount = 2000;
  std::vector<int> ran;
  std::thread poster([&] {
    for (int i = 0; i < kCount; ++i) {
      ASSERT_TRUE(proxy->PostTask([&ran, i] { ran.push_back(i); }));
    }
    proxy->PostTask([] { MessageLoop::current()->Quit(); });
  });
  loop.Run();
  poster.join();

  ASSERT_EQ(static_cast<size_t>(kCount), ran.size());
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(i, ran[i]);
}

TEST(MessageLoopTest, ProxyBelongsOnlyToItsLoopsThread) {
  MessageLoop loop;
  std::shared_ptr<MessageLoopProxy> proxy = loop.proxy();
  EXPECT_TRUE(proxy->BelongsToCurrentThread());
  bool elsewhere = true;
  std::thread([&] { elsewhere = proxy->BelongsToCurrentThread(); }).join();
  EXPECT_FALSE(elsewhere);
}

TEST(MessageLoopTest, ProxyOutlivingItsLoopRefusesPostsAndDropsTheTask) {
  static const struct {
    const char* name;
    bool (*post)(MessageLoopProxy& proxy, Task task);
  } kCases[] = {
      {"PostTask", [](MessageLoopProxy& p, Task t) { return p.PostTask(std::move(t)); }},
      {"PostDelayedTask",
       [](MessageLoopProxy& p, Task t) {
         return p.PostDelayedTask(std::move(t), TimeSpan::FromMilliseconds(5));
       }},
      {"PostDelayedTask(0)",
       [](MessageLoopProxy& p, Task t) { return p.PostDelayedTask(std::move(t), TimeSpan()); }},
      {"PostNonNestableTask",
       [](MessageLoopProxy& p, Task t) { return p.PostNonNestableTask(std::move(t)); }},
      {"PostNonNestableDelayedTask",
       [](MessageLoopProxy& p, Task t) {
         return p.PostNonNestableDelayedTask(std::move(t), TimeSpan::FromMilliseconds(5));
       }},
  };
  std::shared_ptr<MessageLoopProxy> proxy;
  {
    MessageLoop loop;
    proxy = loop.proxy();
  }
  EXPECT_EQ(nullptr, MessageLoop::current());
  EXPECT_FALSE(proxy->BelongsToCurrentThread());
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    auto bound = std::make_shared<int>(0);
    bool ran = false;
    EXPECT_FALSE(c.post(*proxy, [bound, &ran] { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(1, bound.use_count()) << "the refused task must be released";
  }
}

class CountingDestructionObserver : public MessageLoop::DestructionObserver {
 public:
  void OnLoopDestroying() override { ++calls; }
  int calls = 0;
};

TEST(MessageLoopTest, PendingTasksAreDestroyedUnrunWithTheLoop) {
  auto bound = std::make_shared<int>(0);
  bool ran = false;
  CountingDestructionObserver observer;
  std::shared_ptr<MessageLoopProxy> proxy;
  {
    MessageLoop loop;
    proxy = loop.proxy();
    loop.AddDestructionObserver(&observer);
    loop.PostTask([bound, &ran] { ran = true; });
    loop.PostDelayedTask([bound, &ran] { ran = true; }, TimeSpan::FromSeconds(60));
    loop.PostNonNestableTask([bound, &ran] { ran = true; });
    EXPECT_TRUE(proxy->PostTask([bound, &ran] { ran = true; }));
    EXPECT_EQ(5, bound.use_count());
  }
  EXPECT_FALSE(ran);
  EXPECT_EQ(1, bound.use_count());
  EXPECT_EQ(1, observer.calls);
  EXPECT_FALSE(proxy->PostTask([] {}));
}

// Posts a new delayed task to the current loop when the task holding it is
// destroyed, for as long as there is a current loop.
class Replicator {
 public:
  explicit Replicator(int* destroyed) : destroyed_(destroyed) {}
  ~Replicator() {
    ++*destroyed_;
    if (MessageLoop* loop = MessageLoop::current()) Post(loop, destroyed_);
  }
  static void Post(MessageLoop* loop, int* destroyed) {
    // Shared, so that copies of the task inside the loop destroy it once.
    auto replicator = std::make_shared<Replicator>(destroyed);
    loop->PostDelayedTask([replicator] {}, TimeSpan::FromSeconds(60));
  }

 private:
  int* destroyed_;
};

TEST(MessageLoopTest, DestroyingALoopWhoseTasksKeepPostingStopsAfterAtMostHundredRounds) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "destroying a loop whose tasks keep posting");
  int destroyed = 0;
  {
    MessageLoop loop;
    Replicator::Post(&loop, &destroyed);
  }
  // One task per round, plus the one left over after the last round, which is
  // destroyed once the loop is no longer current and so posts nothing.
  EXPECT_GE(destroyed, 100);
  EXPECT_LE(destroyed, 101);
  EXPECT_EQ(nullptr, MessageLoop::current());
}

TEST(MessageLoopTest, TaskObserversSurroundEveryTask) {
  class Observer : public MessageLoop::TaskObserver {
   public:
    explicit Observer(std::vector<std::string>* log) : log_(log) {}
    void WillProcessTask() override { log_->push_back("will"); }
    void DidProcessTask() override { log_->push_back("did"); }

   private:
    std::vector<std::string>* log_;
  };
  MessageLoop loop;
  std::vector<std::string> log;
  Observer observer(&log);
  loop.AddTaskObserver(&observer);
  loop.PostTask([&] { log.push_back("a"); });
  loop.PostTask([&] {
    log.push_back("b");
    // An observer removed by a task hears nothing more, not even about the
    // end of that task.
    loop.RemoveTaskObserver(&observer);
    loop.Quit();
  });
  loop.Run();
  EXPECT_EQ((std::vector<std::string>{"will", "a", "did", "will", "b"}), log);
}

}  // namespace
}  // namespace qbase
