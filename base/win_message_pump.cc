#include "base/win_message_pump.h"

namespace qbase {

void WinMessagePump::Run(Delegate* delegate) { RunWithDispatcher(delegate, nullptr); }

void WinMessagePump::RunWithDispatcher(Delegate* delegate, MessageDispatcher* dispatcher) {
  PumpRunState state;
  state.run_depth = state_ ? state_->run_depth + 1 : 1;
  state.should_quit = false;
  state.delegate = delegate;
  state.dispatcher = dispatcher;

  PumpRunState* previous = state_;
  state_ = &state;
  DoRunLoop();
  state_ = previous;
}

void WinMessagePump::Quit() {
  if (state_) state_->should_quit = true;
}

int64_t WinMessagePump::GetCurrentDelay() const {
  if (delayed_work_time_.is_null()) return -1;
  int64_t delay_us = (delayed_work_time_ - TickTime::Now()).ToMicroseconds();
  if (delay_us < 0) return 0;
  // ceil(delay / 1000.0) in integers.
  return (delay_us + 999) / 1000;
}

}  // namespace qbase
