// WinUIMessagePump: the pump of UI threads. It interleaves the thread's Windows
// messages with the loop's tasks, so the thread both paints and runs posted
// work.
//
// Design:
//  - A hidden message-only window of class "CorvaneMessagePumpWindow" receives
//    the wake-up message kPumpWorkMessage (wParam = the pump) and the timer
//    for delayed work (id = the pump's address).
//  - Its window procedure also runs inside native modal loops (message boxes,
//    window dragging) where the pump's own loop is not running, and does the
//    loop's work from there, so posted tasks keep running under a modal loop.
//  - Each work message is paired with one "replacement" message peeked from
//    the queue, so a steady stream of posted tasks cannot starve input,
//    painting or timers.
//  - The delayed-work timer is never set below 10 ms (USER_TIMER_MINIMUM) and
//    is killed as soon as no delayed work remains.
//  - WM_QUIT ends the innermost run and is re-posted so every enclosing run
//    ends as well.
#pragma once

#include <windows.h>

#include "base/observer_list.h"
#include "base/win_message_pump.h"

namespace qbase {

class WinUIMessagePump : public WinMessagePump {
 public:
  class UIObserver {
   public:
    virtual void BeforeMessage(const MSG& message) = 0;
    virtual void AfterMessage(const MSG& message) = 0;

   protected:
    virtual ~UIObserver() = default;
  };

  static constexpr UINT kPumpWorkMessage = WM_USER + 1;
  static constexpr const wchar_t* kWindowClassName = L"CorvaneMessagePumpWindow";

  // Registers the window class and creates the message window.
  WinUIMessagePump();
  ~WinUIMessagePump() override;

  void ScheduleWork() override;  // any thread
  void ScheduleDelayedWork(const TickTime& time) override;

  void AddUIObserver(UIObserver* observer) { ui_observers_.AddObserver(observer); }
  void RemoveUIObserver(UIObserver* observer) { ui_observers_.RemoveObserver(observer); }

  HWND message_window() const { return message_window_; }

 protected:
  void DoRunLoop() override;
  virtual void WillProcessMessage(const MSG& message);
  virtual void DidProcessMessage(const MSG& message);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  UINT_PTR timer_id() const { return reinterpret_cast<UINT_PTR>(this); }

  void HandleWorkMessage();
  void HandleTimerMessage();
  bool ProcessNextWindowsMessage();
  bool ProcessMessageHelper(const MSG& message);
  bool ProcessPumpReplacementMessage();
  void WaitForWork();

  HWND message_window_ = nullptr;
  ObserverList<UIObserver> ui_observers_;
};

}  // namespace qbase
