// UIMessageLoop: a MessageLoop driven by WinUIMessagePump, for threads that own
// windows.
#pragma once

#include "base/message_loop.h"
#include "base/win_ui_message_pump.h"

namespace qbase {

class UIMessageLoop : public MessageLoop {
 public:
  UIMessageLoop();

  // The calling thread's loop when it is a UI loop, else null.
  static UIMessageLoop* current();

  void AddUIObserver(WinUIMessagePump::UIObserver* observer);
  void RemoveUIObserver(WinUIMessagePump::UIObserver* observer);

  WinUIMessagePump* ui_pump() const;
};

}  // namespace qbase
