// IOMessageLoop: a MessageLoop driven by WinIOMessagePump, for threads that
// wait on I/O completions.
#pragma once

#include "base/message_loop.h"
#include "base/win_io_message_pump.h"

namespace qbase {

class IOMessageLoop : public MessageLoop {
 public:
  IOMessageLoop();

  // The calling thread's loop when it is an I/O loop, else null.
  static IOMessageLoop* current();

  [[nodiscard]] bool RegisterIoHandler(HANDLE file, WinIOMessagePump::IoHandler* handler);
  void AddIOObserver(WinIOMessagePump::IOObserver* observer);
  void RemoveIOObserver(WinIOMessagePump::IOObserver* observer);

  WinIOMessagePump* io_pump() const;
};

}  // namespace qbase
