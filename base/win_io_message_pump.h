// WinIOMessagePump: the pump of I/O threads. It sleeps on an I/O completion
// port; wake-ups are completion packets whose key and overlapped pointer are
// both the pump, and every other packet is an I/O completion delivered to the
// IoHandler named by its IoContext.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>

#include "base/observer_list.h"
#include "base/scoped_handle.h"
#include "base/win_message_pump.h"

namespace qbase {

class WinIOMessagePump : public WinMessagePump {
 public:
  class IoHandler;

  // The OVERLAPPED block of one I/O operation and the handler that receives
  // its completion (null once the handler is gone: the context is then
  // deleted when its completion arrives, so it must come from `new`).
  struct IoContext {
    OVERLAPPED overlapped;
    IoHandler* handler;
  };

  class IoHandler {
   public:
    virtual void OnIoCompleted(IoContext* context, DWORD bytes_transferred, DWORD error) = 0;

   protected:
    virtual ~IoHandler() = default;
  };

  class IOObserver {
   public:
    virtual void BeforeIoEvent() = 0;
    virtual void AfterIoEvent() = 0;

   protected:
    virtual ~IOObserver() = default;
  };

  struct IoCompletionItem {
    IoHandler* handler = nullptr;
    IoContext* context = nullptr;
    DWORD bytes_transferred = 0;
    DWORD error = 0;
  };

  WinIOMessagePump();
  ~WinIOMessagePump() override;

  void ScheduleWork() override;  // any thread
  void ScheduleDelayedWork(const TickTime& time) override;

  // Associates a file or socket opened for overlapped I/O with the port; its
  // completions go to the handlers of their IoContexts. The pump's thread.
  [[nodiscard]] bool RegisterIoHandler(HANDLE file, IoHandler* handler);

  HANDLE completion_port() const { return port_.get(); }

  void AddIOObserver(IOObserver* observer) { io_observers_.AddObserver(observer); }
  void RemoveIOObserver(IOObserver* observer) { io_observers_.RemoveObserver(observer); }

 protected:
  void DoRunLoop() override;

 private:
  // Waits up to `timeout` ms for one packet and handles it; true when it did
  // something.
  bool WaitForIoCompletion(DWORD timeout);
  DWORD TimeoutForDelay() const;

  ScopedHandle port_;
  std::list<IoCompletionItem> completed_items_;
  ObserverList<IOObserver> io_observers_;
};

}  // namespace qbase
