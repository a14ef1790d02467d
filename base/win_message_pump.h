// WinMessagePump: what the two Windows pumps share. Each Run gets its own
// PumpRunState on the stack, so runs can nest; Quit and should-quit affect
// only the innermost run.
//
// The have-work flag coalesces wake-ups: it is set with an interlocked
// exchange before a wake-up is sent and cleared when the wake-up is consumed,
// so at most one wake-up is in flight per pump.
//
// Thread affinity: ScheduleWork may be called from any thread; everything else
// on the pump's own thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/message_pump.h"
#include "base/tick_time.h"

namespace qbase {

class MessageDispatcher;

class WinMessagePump : public MessagePump {
 public:
  WinMessagePump() = default;
  ~WinMessagePump() override = default;
  WinMessagePump(const WinMessagePump&) = delete;
  WinMessagePump& operator=(const WinMessagePump&) = delete;

  void Run(Delegate* delegate) override;
  // Like Run, handing the run's Windows messages to `dispatcher` (may be
  // null) instead of TranslateMessage/DispatchMessageW.
  void RunWithDispatcher(Delegate* delegate, MessageDispatcher* dispatcher);
  void Quit() override;

  // Milliseconds until the delayed work is due: -1 when there is none, 0 when
  // it is already due.
  int64_t GetCurrentDelay() const;

 protected:
  struct PumpRunState {
    int32_t run_depth = 1;
    bool should_quit = false;
    Delegate* delegate = nullptr;
    MessageDispatcher* dispatcher = nullptr;
  };

  virtual void DoRunLoop() = 0;

  TickTime delayed_work_time_;
  volatile LONG have_work_ = 0;
  PumpRunState* state_ = nullptr;
};

}  // namespace qbase
