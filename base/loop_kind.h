// LoopKind: which MessageLoop (and therefore which pump) a thread runs.
#pragma once

#include <cstdint>

namespace qbase {

enum class LoopKind : int32_t {
  kDefault = 0,  // MessageLoop with DefaultMessagePump (sleeps on an event)
  kUi = 1,       // UIMessageLoop with WinUIMessagePump (Windows messages)
  kIo = 2,       // IOMessageLoop with WinIOMessagePump (I/O completion port)
  kCustom = 3,   // made by a MessageLoopFactory (FrameworkThread only)
};

}  // namespace qbase
