#include "base/io_message_loop.h"

#include <memory>

namespace qbase {

IOMessageLoop::IOMessageLoop() {
  SetPump(std::make_shared<WinIOMessagePump>());
  set_kind(LoopKind::kIo);
}

// static
IOMessageLoop* IOMessageLoop::current() {
  MessageLoop* loop = MessageLoop::current();
  return loop && loop->kind() == LoopKind::kIo ? static_cast<IOMessageLoop*>(loop) : nullptr;
}

bool IOMessageLoop::RegisterIoHandler(HANDLE file, WinIOMessagePump::IoHandler* handler) {
  return io_pump()->RegisterIoHandler(file, handler);
}

void IOMessageLoop::AddIOObserver(WinIOMessagePump::IOObserver* observer) {
  io_pump()->AddIOObserver(observer);
}

void IOMessageLoop::RemoveIOObserver(WinIOMessagePump::IOObserver* observer) {
  io_pump()->RemoveIOObserver(observer);
}

WinIOMessagePump* IOMessageLoop::io_pump() const {
  return static_cast<WinIOMessagePump*>(pump());
}

}  // namespace qbase
