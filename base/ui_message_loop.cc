#include "base/ui_message_loop.h"

#include <memory>

namespace qbase {

UIMessageLoop::UIMessageLoop() {
  SetPump(std::make_shared<WinUIMessagePump>());
  set_kind(LoopKind::kUi);
}

// static
UIMessageLoop* UIMessageLoop::current() {
  MessageLoop* loop = MessageLoop::current();
  return loop && loop->kind() == LoopKind::kUi ? static_cast<UIMessageLoop*>(loop) : nullptr;
}

void UIMessageLoop::AddUIObserver(WinUIMessagePump::UIObserver* observer) {
  ui_pump()->AddUIObserver(observer);
}

void UIMessageLoop::RemoveUIObserver(WinUIMessagePump::UIObserver* observer) {
  ui_pump()->RemoveUIObserver(observer);
}

WinUIMessagePump* UIMessageLoop::ui_pump() const {
  return static_cast<WinUIMessagePump*>(pump());
}

}  // namespace qbase
