#include "base/win_io_message_pump.h"

namespace qbase {

WinIOMessagePump::WinIOMessagePump()
    : port_(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {}

WinIOMessagePump::~WinIOMessagePump() = default;

void WinIOMessagePump::ScheduleWork() {
  if (InterlockedExchange(&have_work_, 1) == 1) return;  // already in flight
  PostQueuedCompletionStatus(port_.get(), 0, reinterpret_cast<ULONG_PTR>(this),
                             reinterpret_cast<OVERLAPPED*>(this));
}

void WinIOMessagePump::ScheduleDelayedWork(const TickTime& time) {
  // The pump runs on this thread and reads the time before it sleeps.
  delayed_work_time_ = time;
}

bool WinIOMessagePump::RegisterIoHandler(HANDLE file, IoHandler* handler) {
  return CreateIoCompletionPort(file, port_.get(), reinterpret_cast<ULONG_PTR>(handler), 1) ==
         port_.get();
}

DWORD WinIOMessagePump::TimeoutForDelay() const {
  int64_t delay = GetCurrentDelay();
  if (delay < 0) return INFINITE;
  if (delay >= 0xFFFFFFFFLL) return 0xFFFFFFFE;
  return static_cast<DWORD>(delay);
}

void WinIOMessagePump::DoRunLoop() {
  for (;;) {
    bool more_work_is_plausible = state_->delegate->DoWork();
    if (state_->should_quit) break;

    more_work_is_plausible |= WaitForIoCompletion(0);
    if (state_->should_quit) break;

    more_work_is_plausible |= state_->delegate->DoDelayedWork(&delayed_work_time_);
    if (state_->should_quit) break;
    if (more_work_is_plausible) continue;

    more_work_is_plausible = state_->delegate->DoIdleWork();
    if (state_->should_quit) break;
    if (more_work_is_plausible) continue;

    WaitForIoCompletion(TimeoutForDelay());
  }
}

bool WinIOMessagePump::WaitForIoCompletion(DWORD timeout) {
  IoCompletionItem item;
  if (!completed_items_.empty()) {
    item = completed_items_.front();
    completed_items_.pop_front();
  } else {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    if (!GetQueuedCompletionStatus(port_.get(), &bytes, &key, &overlapped, timeout)) {
      if (!overlapped) return false;  // no packet within the time-out
      item.error = GetLastError();
      bytes = 0;
    }
    if (key == reinterpret_cast<ULONG_PTR>(this) &&
        overlapped == reinterpret_cast<OVERLAPPED*>(this)) {
      // Our own wake-up: the next post may send another.
      InterlockedExchange(&have_work_, 0);
      return true;
    }
    item.handler = reinterpret_cast<IoHandler*>(key);
    item.context = reinterpret_cast<IoContext*>(overlapped);
    item.bytes_transferred = bytes;
  }

  IoContext* context = item.context;
  if (context->handler) {
    io_observers_.Notify([](IOObserver* observer) { observer->BeforeIoEvent(); });
    context->handler->OnIoCompleted(context, item.bytes_transferred, item.error);
    io_observers_.Notify([](IOObserver* observer) { observer->AfterIoEvent(); });
  } else {
    // The handler went away while the operation was in flight.
    delete context;
  }
  return true;
}

}  // namespace qbase
