// MessageDispatcher: replaces TranslateMessage/DispatchMessageW for the Windows
// messages of one run of a UI loop.
#pragma once

#include <windows.h>

namespace qbase {

class MessageDispatcher {
 public:
  // Returns false to end the run.
  virtual bool Dispatch(const MSG& message) = 0;

 protected:
  virtual ~MessageDispatcher() = default;
};

}  // namespace qbase
