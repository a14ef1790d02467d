// The Windows UI pump with real windows, message boxes and timers under Wine.
// Every test runs its loop on a fresh thread, so message queues, timers and a
// pending WM_QUIT never leak from one test into the next.
#include "base/win_ui_message_pump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/message_dispatcher.h"
#include "base/message_loop_proxy.h"
#include "base/scoped_handle.h"
#include "base/ui_message_loop.h"
#include "tests/base/test_watchdog.h"

namespace qbase {
namespace {

constexpr DWORD kTestTimeoutMs = 30000;
constexpr DWORD kWaitMs = 10000;
constexpr UINT kOpenBox = WM_APP + 1;
constexpr UINT kNest = WM_APP + 2;
constexpr UINT kPostQuit = WM_APP + 3;
constexpr UINT kMarkQuit = WM_APP + 4;

void RunOnFreshThread(const std::function<void()>& body) {
  std::thread thread(body);
  thread.join();
}

// A plain top-level window whose messages go to a handler the test sets.
class TestWindow {
 public:
  using Handler = std::function<bool(UINT message, WPARAM wparam, LPARAM lparam)>;

  TestWindow() {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &WindowProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kClassName;
    RegisterClassExW(&window_class);
    window_ = CreateWindowExW(0, kClassName, L"qbase pump test", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                              100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TestWindow() { DestroyWindow(window_); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const { return window_; }
  Handler handler;

 private:
  static constexpr const wchar_t* kClassName = L"QbasePumpTestWindow";

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->handler && self->handler(message, wparam, lparam)) return 0;
    return DefWindowProcW(window, message, wparam, lparam);
  }

  HWND window_ = nullptr;
};

// The first dialog (a message box) owned by `thread_id`, or null.
HWND FindDialogOfThread(DWORD thread_id) {
  HWND found = nullptr;
  EnumThreadWindows(
      thread_id,
      [](HWND window, LPARAM out) -> BOOL {
        wchar_t name[32] = {};
        GetClassNameW(window, name, 32);
        if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
          *reinterpret_cast<HWND*>(out) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND WaitForDialogOfThread(DWORD thread_id) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 10) {
    if (HWND dialog = FindDialogOfThread(thread_id)) return dialog;
    Sleep(10);
  }
  return nullptr;
}

double MillisecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return (now.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
}

TEST(WinUIMessagePumpTest, TaskFromAnotherThreadRunsWhileAHandlersMessageBoxIsUp) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "task inside a message box");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    std::shared_ptr<MessageLoopProxy> proxy = loop.proxy();
    DWORD ui_thread = GetCurrentThreadId();
    std::atomic<bool> box_returned{false};
    bool task_ran = false, box_up_when_task_ran = false;
    int box_result = 0;

    window.handler = [&](UINT message, WPARAM, LPARAM) {
      if (message != kOpenBox) return false;
      box_result = MessageBoxW(window.hwnd(), L"posted work keeps running", L"qbase", MB_OK);
      box_returned = true;
      loop.Quit();
      return true;
    };
    std::thread poster([&] {
      HWND box = WaitForDialogOfThread(ui_thread);
      ASSERT_NE(nullptr, box) << "the message box never appeared";
      EXPECT_TRUE(proxy->PostTask([&, box] {
        task_ran = true;
        box_up_when_task_ran = IsWindow(box) && !box_returned;
        EndDialog(box, IDOK);
      }));
    });

    PostMessageW(window.hwnd(), kOpenBox, 0, 0);
    loop.Run();
    poster.join();

    EXPECT_TRUE(task_ran);
    EXPECT_TRUE(box_up_when_task_ran) << "the task must run inside the box's own loop";
    EXPECT_EQ(IDOK, box_result);
  });
}

// Takes every work message out of the pump window's queue and puts one back.
int CountWorkMessages(HWND pump_window) {
  MSG message, kept = {};
  int count = 0;
  while (PeekMessageW(&message, pump_window, WinUIMessagePump::kPumpWorkMessage,
                      WinUIMessagePump::kPumpWorkMessage, PM_REMOVE)) {
    if (count++ == 0) kept = message;
  }
  if (count > 0) PostMessageW(pump_window, kept.message, kept.wParam, kept.lParam);
  return count;
}

TEST(WinUIMessagePumpTest, ManyPostsFromAnotherThreadSendOneWorkMessageUntilItIsConsumed) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "coalesced work messages");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    HWND pump_window = loop.ui_pump()->message_window();
    ASSERT_NE(nullptr, pump_window);
    wchar_t class_name[64] = {};
    GetClassNameW(pump_window, class_name, 64);
    EXPECT_STREQ(L"CorvaneMessagePumpWindow", class_name);
    std::shared_ptr<MessageLoopProxy> proxy = loop.proxy();

    constexpr int kCount = 500;
    std::vector<int> ran;
    auto post_batch = [&](int first, int count) {
      std::thread([&, first, count] {
        for (int i = first; i < first + count; ++i) {
          EXPECT_TRUE(proxy->PostTask([&ran, i] { ran.push_back(i); }));
        }
        EXPECT_TRUE(proxy->PostTask([] { MessageLoop::current()->Quit(); }));
      }).join();
    };

    // The loop is idle: the whole batch sends one message.
    post_batch(0, kCount);
    EXPECT_EQ(1, CountWorkMessages(pump_window));
    loop.Run();
    ASSERT_EQ(static_cast<size_t>(kCount), ran.size());
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(i, ran[i]);
    EXPECT_EQ(0, CountWorkMessages(pump_window));

    // The loop has taken the incoming queue but not yet the work message: a
    // window message queued ahead of it lets DoWork run first. Posts into the
    // emptied queue must not send a second message while the first is
    // unconsumed.
    int in_flight_during_task = -1;
    window.handler = [](UINT message, WPARAM, LPARAM) { return message == kMarkQuit; };
    PostMessageW(window.hwnd(), kMarkQuit, 0, 0);
    loop.PostTask([&] {
      post_batch(kCount, kCount);
      in_flight_during_task = CountWorkMessages(pump_window);
    });
    loop.Run();
    EXPECT_EQ(1, in_flight_during_task);
    EXPECT_EQ(static_cast<size_t>(2 * kCount), ran.size());

    // Once it is consumed, new posts send exactly one new message.
    EXPECT_EQ(0, CountWorkMessages(pump_window));
    post_batch(2 * kCount, 10);
    EXPECT_EQ(1, CountWorkMessages(pump_window));
    loop.Run();
    EXPECT_EQ(static_cast<size_t>(2 * kCount + 10), ran.size());
  });
}

// Records the pump's timer messages as the thread's message loops retrieve
// them (the pump's own loop and the message box's).
class TimerMessageHook {
 public:
  explicit TimerMessageHook(HWND pump_window) {
    pump_window_ = pump_window;
    timer_ids_.clear();
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, &HookProc, nullptr, GetCurrentThreadId());
  }
  ~TimerMessageHook() { UnhookWindowsHookEx(hook_); }
  const std::vector<WPARAM>& timer_ids() const { return timer_ids_; }

 private:
  static LRESULT CALLBACK HookProc(int code, WPARAM wparam, LPARAM lparam) {
    const MSG* message = reinterpret_cast<const MSG*>(lparam);
    if (code == HC_ACTION && wparam == PM_REMOVE && message->message == WM_TIMER &&
        message->hwnd == pump_window_) {
      timer_ids_.push_back(message->wParam);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }

  // One hook per test thread at a time.
  static inline HWND pump_window_ = nullptr;
  static inline std::vector<WPARAM> timer_ids_;
  HHOOK hook_ = nullptr;
};

TEST(WinUIMessagePumpTest, DelayedTaskDueIn3msRunsFromThePumpTimerInsideAMessageBox) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "delayed task inside a message box");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    WinUIMessagePump* pump = loop.ui_pump();
    TimerMessageHook hook(pump->message_window());
    LARGE_INTEGER posted = {};
    double ran_after_ms = -1;
    size_t timer_messages_before_task = 0;
    bool box_returned = false, ran_inside_box = false;

    window.handler = [&](UINT message, WPARAM, LPARAM) {
      if (message != kOpenBox) return false;
      QueryPerformanceCounter(&posted);
      // Due in 3 ms, less than the shortest timer: the pump arms its timer
      // with the 10 ms minimum, and only that timer can bring the task in
      // while the box's modal loop owns the thread.
      loop.PostDelayedTask(
          [&] {
            ran_after_ms = MillisecondsSince(posted);
            timer_messages_before_task = hook.timer_ids().size();
            ran_inside_box = !box_returned;
            if (HWND box = FindDialogOfThread(GetCurrentThreadId())) EndDialog(box, IDOK);
          },
          TimeSpan::FromMilliseconds(3));
      MessageBoxW(window.hwnd(), L"waiting for a delayed task", L"qbase", MB_OK);
      box_returned = true;
      loop.Quit();
      return true;
    };
    PostMessageW(window.hwnd(), kOpenBox, 0, 0);
    loop.Run();

    EXPECT_TRUE(ran_inside_box);
    EXPECT_GE(ran_after_ms, 3.0) << "a delayed task never runs before it is due";
    ASSERT_GE(timer_messages_before_task, 1u) << "the task must come in through the pump's timer";
    EXPECT_EQ(reinterpret_cast<WPARAM>(pump), hook.timer_ids()[0]) << "timer id = the pump";
  });
}

TEST(WinUIMessagePumpTest, ShorterDelayPostedLaterRearmsTheTimerInsideAMessageBox) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "shorter delay re-arms the timer");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    std::shared_ptr<MessageLoopProxy> proxy = loop.proxy();
    DWORD ui_thread = GetCurrentThreadId();
    std::vector<std::string> ran;

    window.handler = [&](UINT message, WPARAM, LPARAM) {
      if (message != kOpenBox) return false;
      // Arms the timer for a minute; if the shorter task below did not re-arm
      // it, the box would stay up past the watchdog.
      loop.PostDelayedTask([&] { ran.push_back("long"); }, TimeSpan::FromSeconds(60));
      MessageBoxW(window.hwnd(), L"waiting for the shorter task", L"qbase", MB_OK);
      loop.Quit();
      return true;
    };
    std::thread poster([&] {
      HWND box = WaitForDialogOfThread(ui_thread);
      ASSERT_NE(nullptr, box);
      // Give the box's loop time to take in the long task first.
      Sleep(50);
      EXPECT_TRUE(proxy->PostDelayedTask(
          [&, box] {
            ran.push_back("short");
            EndDialog(box, IDOK);
          },
          TimeSpan::FromMilliseconds(20)));
    });
    PostMessageW(window.hwnd(), kOpenBox, 0, 0);
    loop.Run();
    poster.join();
    EXPECT_EQ(std::vector<std::string>{"short"}, ran);
  });
}

TEST(WinUIMessagePumpTest, PostQuitMessageInANestedRunEndsTheNestedThenTheOuterRun) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "WM_QUIT in a nested run");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    std::vector<std::string> log;
    int depth_at_quit = 0;
    window.handler = [&](UINT message, WPARAM, LPARAM) {
      if (message == kNest) {
        PostMessageW(window.hwnd(), kPostQuit, 0, 0);
        loop.Run();
        log.push_back("nested run ended");
        return true;
      }
      if (message == kPostQuit) {
        depth_at_quit = loop.run_depth();
        PostQuitMessage(7);
        return true;
      }
      return false;
    };
    PostMessageW(window.hwnd(), kNest, 0, 0);
    loop.Run();
    log.push_back("outer run ended");

    EXPECT_EQ(2, depth_at_quit);
    EXPECT_EQ((std::vector<std::string>{"nested run ended", "outer run ended"}), log);
    // Re-posted at every level, so whatever encloses the outer run sees it too.
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, message.wParam);
  });
}

TEST(WinUIMessagePumpTest, NonNestableTaskPostedDuringANestedRunWaitsForTheOutermostRun) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "non-nestable task in a nested run");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    std::vector<std::string> log;
    auto record = [&](const char* what) {
      log.push_back(std::string(what) + "@" + std::to_string(loop.run_depth()));
    };
    window.handler = [&](UINT message, WPARAM, LPARAM) {
      if (message != kNest) return false;
      // A handler (not a task) runs a nested loop: nestable tasks run there.
      loop.PostTask([&] { record("nestable"); });
      loop.PostNonNestableTask([&] {
        record("non-nestable");
        loop.Quit();
      });
      loop.PostNonNestableDelayedTask([&] { record("non-nestable delayed"); },
                                      TimeSpan::FromMilliseconds(1));
      loop.PostDelayedTask(
          [&] {
            record("nestable delayed");
            loop.Quit();  // ends the nested run
          },
          TimeSpan::FromMilliseconds(20));
      loop.Run();
      record("nested run ended");
      return true;
    };
    PostMessageW(window.hwnd(), kNest, 0, 0);
    loop.Run();

    EXPECT_EQ((std::vector<std::string>{"nestable@2", "nestable delayed@2", "nested run ended@1",
                                        "non-nestable@1", "non-nestable delayed@1"}),
              log);
  });
}

TEST(WinUIMessagePumpTest, NestedRunInsideATaskRunsNoPostedTaskUntilTheTaskReturns) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "nested run inside a task");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    std::vector<std::string> log;
    window.handler = [&](UINT message, WPARAM, LPARAM) {
      if (message != kMarkQuit) return false;
      log.push_back("message handled in the nested run");
      loop.PostTask([&] { log.push_back("posted by the handler"); });
      loop.Quit();  // marks the nested run
      return true;
    };
    loop.PostDelayedTask([&] { log.push_back("due delayed"); }, TimeSpan::FromMilliseconds(1));
    loop.PostTask([&] {
      log.push_back("outer task begins");
      loop.PostTask([&] { log.push_back("posted by the task"); });
      Sleep(10);  // the delayed task is due now
      PostMessageW(window.hwnd(), kMarkQuit, 0, 0);
      loop.Run();
      log.push_back("outer task ends");
      loop.PostTask([&] { loop.Quit(); });
    });
    loop.Run();

    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ("outer task begins", log[0]);
    EXPECT_EQ("message handled in the nested run", log[1]);
    EXPECT_EQ("outer task ends", log[2]);
    // Everything posted ran, but only after the task returned.
    std::vector<std::string> after(log.begin() + 3, log.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ((std::vector<std::string>{"due delayed", "posted by the handler",
                                        "posted by the task"}),
              after);
  });
}

TEST(WinUIMessagePumpTest, IdlePumpWakesForInputAndForPostedWork) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "idle pump wakes");
  static const struct {
    const char* name;
    bool by_window_message;
  } kCases[] = {{"window message", true}, {"posted task", false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    RunOnFreshThread([&c] {
      UIMessageLoop loop;
      TestWindow window;
      std::shared_ptr<MessageLoopProxy> proxy = loop.proxy();
      bool woke = false;
      window.handler = [&](UINT message, WPARAM, LPARAM) {
        if (message != kMarkQuit) return false;
        woke = true;
        loop.Quit();
        return true;
      };
      HWND target = window.hwnd();
      // The loop is asleep without time-out (no delayed work) when this comes.
      std::thread waker([&] {
        Sleep(100);
        if (c.by_window_message) {
          PostMessageW(target, kMarkQuit, 0, 0);
        } else {
          proxy->PostTask([&] {
            woke = true;
            MessageLoop::current()->Quit();
          });
        }
      });
      loop.Run();
      waker.join();
      EXPECT_TRUE(woke);
      EXPECT_EQ(-1, loop.ui_pump()->GetCurrentDelay());
    });
  }
}

class RecordingObserver : public WinUIMessagePump::UIObserver {
 public:
  explicit RecordingObserver(std::vector<std::string>* log) : log_(log) {}
  void BeforeMessage(const MSG& message) override {
    if (message.message == kMarkQuit) log_->push_back("before");
  }
  void AfterMessage(const MSG& message) override {
    if (message.message == kMarkQuit) log_->push_back("after");
  }

 private:
  std::vector<std::string>* log_;
};

TEST(WinUIMessagePumpTest, UIObserversSurroundEveryDispatchedMessage) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "UI observers");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    std::vector<std::string> log;
    RecordingObserver observer(&log);
    loop.AddUIObserver(&observer);
    window.handler = [&](UINT message, WPARAM, LPARAM) {
      if (message != kMarkQuit) return false;
      log.push_back("handler");
      loop.Quit();
      return true;
    };
    PostMessageW(window.hwnd(), kMarkQuit, 0, 0);
    loop.Run();
    loop.RemoveUIObserver(&observer);
    EXPECT_EQ((std::vector<std::string>{"before", "handler", "after"}), log);
  });
}

class StoppingDispatcher : public MessageDispatcher {
 public:
  bool Dispatch(const MSG& message) override {
    if (message.message != kMarkQuit) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
      return true;
    }
    ++seen;
    return false;
  }
  int seen = 0;
};

TEST(WinUIMessagePumpTest, DispatcherTakesTheRunsMessagesAndEndsTheRunByReturningFalse) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "dispatcher");
  RunOnFreshThread([] {
    UIMessageLoop loop;
    TestWindow window;
    bool handler_saw_it = false;
    window.handler = [&](UINT message, WPARAM, LPARAM) {
      if (message == kMarkQuit) handler_saw_it = true;
      return false;
    };
    StoppingDispatcher dispatcher;
    PostMessageW(window.hwnd(), kMarkQuit, 0, 0);
    loop.RunWithDispatcher(&dispatcher);
    EXPECT_EQ(1, dispatcher.seen);
    EXPECT_FALSE(handler_saw_it);
  });
}

}  // namespace
}  // namespace qbase
