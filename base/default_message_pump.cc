#include "base/default_message_pump.h"

namespace qbase {

DefaultMessagePump::DefaultMessagePump()
    : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

DefaultMessagePump::~DefaultMessagePump() = default;

void DefaultMessagePump::Run(Delegate* delegate) {
  for (;;) {
    bool did_work = delegate->DoWork();
    if (should_quit_) break;

    did_work |= delegate->DoDelayedWork(&delayed_work_time_);
    if (should_quit_) break;
    if (did_work) continue;

    did_work = delegate->DoIdleWork();
    if (should_quit_) break;
    if (did_work) continue;

    if (delayed_work_time_.is_null()) {
      WaitForSingleObject(event_.get(), INFINITE);
    } else {
      int64_t delay_us = (delayed_work_time_ - TickTime::Now()).ToMicroseconds();
      if (delay_us <= 0) {
        // Already due: poll again instead of sleeping.
        delayed_work_time_ = TickTime();
      } else {
        int64_t delay_ms = (delay_us + 999) / 1000;
        // INFINITE is 0xFFFFFFFF; a finite wait stays below it.
        if (delay_ms > 0xFFFFFFFELL) delay_ms = 0xFFFFFFFELL;
        WaitForSingleObject(event_.get(), static_cast<DWORD>(delay_ms));
      }
    }
  }
  // The pump may be run again later (a nested or a second run).
  should_quit_ = false;
}

void DefaultMessagePump::Quit() { should_quit_ = true; }

void DefaultMessagePump::ScheduleWork() { SetEvent(event_.get()); }

void DefaultMessagePump::ScheduleDelayedWork(const TickTime& time) {
  delayed_work_time_ = time;
}

}  // namespace qbase
