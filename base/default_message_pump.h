// DefaultMessagePump: the portable pump of worker threads. It sleeps on an
// auto-reset event, with a time-out when delayed work is pending.
#pragma once

#include "base/message_pump.h"
#include "base/scoped_handle.h"
#include "base/tick_time.h"

namespace qbase {

class DefaultMessagePump : public MessagePump {
 public:
  DefaultMessagePump();
  ~DefaultMessagePump() override;
  DefaultMessagePump(const DefaultMessagePump&) = delete;
  DefaultMessagePump& operator=(const DefaultMessagePump&) = delete;

  void Run(Delegate* delegate) override;
  void Quit() override;
  void ScheduleWork() override;  // any thread
  void ScheduleDelayedWork(const TickTime& time) override;

 private:
  ScopedHandle event_;
  bool should_quit_ = false;
  TickTime delayed_work_time_;
};

}  // namespace qbase
