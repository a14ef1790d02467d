#include "base/win_ui_message_pump.h"

#include "base/message_dispatcher.h"
#include "base/message_loop.h"

namespace qbase {
namespace {

// The code CallMsgFilterW hands to message-filter hooks for our messages.
constexpr int kMessageFilterCode = 0x5001;

constexpr DWORD kLongestTimerElapse = 0xFFFFFFFE;

}  // namespace

WinUIMessagePump::WinUIMessagePump() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kWindowClassName;
  // A second pump in the process (another UI thread) finds the class already
  // registered; the window is created from it all the same.
  RegisterClassExW(&window_class);
  message_window_ = CreateWindowExW(0, kWindowClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, instance, nullptr);
  // The window procedure finds its pump here rather than trusting wParam.
  SetWindowLongPtrW(message_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WinUIMessagePump::~WinUIMessagePump() {
  // Destroying the window also removes its timer and drops its queued
  // messages. Unregistering fails harmlessly while another thread's pump still
  // has a window of the class.
  DestroyWindow(message_window_);
  UnregisterClassW(kWindowClassName, GetModuleHandleW(nullptr));
}

void WinUIMessagePump::ScheduleWork() {
  if (InterlockedExchange(&have_work_, 1) == 1) return;  // already in flight
  PostMessageW(message_window_, kPumpWorkMessage, reinterpret_cast<WPARAM>(this), 0);
}

void WinUIMessagePump::ScheduleDelayedWork(const TickTime& time) {
  delayed_work_time_ = time;
  int64_t delay = GetCurrentDelay();
  DWORD elapse;
  if (delay < USER_TIMER_MINIMUM) {
    elapse = USER_TIMER_MINIMUM;
  } else if (delay > kLongestTimerElapse) {
    elapse = kLongestTimerElapse;
  } else {
    elapse = static_cast<DWORD>(delay);
  }
  SetTimer(message_window_, timer_id(), elapse, nullptr);
}

void WinUIMessagePump::WillProcessMessage(const MSG& message) {
  ui_observers_.Notify([&message](UIObserver* observer) { observer->BeforeMessage(message); });
}

void WinUIMessagePump::DidProcessMessage(const MSG& message) {
  ui_observers_.Notify([&message](UIObserver* observer) { observer->AfterMessage(message); });
}

// static
LRESULT CALLBACK WinUIMessagePump::WindowProc(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  auto* pump = reinterpret_cast<WinUIMessagePump*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (pump) {
    if (message == kPumpWorkMessage) {
      pump->HandleWorkMessage();
    } else if (message == WM_TIMER && wparam == pump->timer_id()) {
      pump->HandleTimerMessage();
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void WinUIMessagePump::HandleWorkMessage() {
  if (!state_) {
    // No run is active (a message box before or after the loop): the posted
    // tasks wait for the loop; allow the next wake-up.
    InterlockedExchange(&have_work_, 0);
    return;
  }
  // Reached from a native modal loop or from a dispatch of our own loop.
  ProcessPumpReplacementMessage();
  if (state_->delegate->DoWork()) ScheduleWork();
}

void WinUIMessagePump::HandleTimerMessage() {
  KillTimer(message_window_, timer_id());
  if (!state_) return;
  state_->delegate->DoDelayedWork(&delayed_work_time_);
  if (!delayed_work_time_.is_null()) ScheduleDelayedWork(delayed_work_time_);
}

void WinUIMessagePump::DoRunLoop() {
  for (;;) {
    bool more_work_is_plausible = ProcessNextWindowsMessage();
    if (state_->should_quit) break;

    more_work_is_plausible |= state_->delegate->DoWork();
    if (state_->should_quit) break;

    more_work_is_plausible |= state_->delegate->DoDelayedWork(&delayed_work_time_);
    if (more_work_is_plausible && delayed_work_time_.is_null()) {
      KillTimer(message_window_, timer_id());
    }
    if (state_->should_quit) break;
    if (more_work_is_plausible) continue;

    more_work_is_plausible = state_->delegate->DoIdleWork();
    if (state_->should_quit) break;
    if (more_work_is_plausible) continue;

    WaitForWork();
  }
}

bool WinUIMessagePump::ProcessNextWindowsMessage() {
  // Sent messages are delivered inside PeekMessageW without being returned;
  // when some are pending, peek again rather than sleep.
  bool sent_messages_pending = (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
  MSG message;
  if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return ProcessMessageHelper(message);
  return sent_messages_pending;
}

bool WinUIMessagePump::ProcessMessageHelper(const MSG& message) {
  if (message.message == WM_QUIT) {
    state_->should_quit = true;
    // Re-post so that enclosing runs and loops see it too.
    PostQuitMessage(static_cast<int>(message.wParam));
    return false;
  }

  if (message.message == kPumpWorkMessage && message.hwnd == message_window_) {
    return ProcessPumpReplacementMessage();
  }

  MSG copy = message;
  if (CallMsgFilterW(&copy, kMessageFilterCode)) return true;

  WillProcessMessage(message);
  if (state_->dispatcher) {
    if (!state_->dispatcher->Dispatch(message)) state_->should_quit = true;
  } else {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DidProcessMessage(message);
  return true;
}

bool WinUIMessagePump::ProcessPumpReplacementMessage() {
  // The work message took a place in the queue; hand that place to the next
  // real message so posted work cannot starve input and painting. Inside an
  // OS modal loop only painting and timers are taken, the rest belongs to the
  // modal loop.
  MessageLoop* loop = MessageLoop::current();
  MSG message;
  bool have_message;
  if (loop && loop->os_modal_loop()) {
    have_message = PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE) ||
                   PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE);
  } else {
    have_message = PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE;
  }

  // The wake-up has been consumed: the next post may send another.
  InterlockedExchange(&have_work_, 0);
  if (!have_message) return false;

  // The peeked message may enter a native modal loop; make sure the loop's
  // work is still done from there.
  ScheduleWork();
  return ProcessMessageHelper(message);
}

void WinUIMessagePump::WaitForWork() {
  int64_t delay = GetCurrentDelay();
  DWORD timeout;
  if (delay < 0) {
    timeout = INFINITE;
  } else if (delay >= 0xFFFFFFFFLL) {
    timeout = kLongestTimerElapse;
  } else {
    timeout = static_cast<DWORD>(delay);
  }

  DWORD result = MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (result == WAIT_OBJECT_0) {
    // Mouse input reported but none to peek: a child window on another thread
    // holds the capture and owns that input. Wait for a new message instead of
    // spinning on the stale status.
    MSG message;
    if ((HIWORD(GetQueueStatus(QS_MOUSE)) & QS_MOUSE) != 0 &&
        !PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
      WaitMessage();
    }
  }
}

}  // namespace qbase
