// MessageLoopFactory: makes the loop of a FrameworkThread started with
// LoopKind::kCustom. Create runs on the new thread, which the loop then belongs
// to; the caller owns the result.
#pragma once

namespace qbase {

class MessageLoop;

class MessageLoopFactory {
 public:
  virtual ~MessageLoopFactory() = default;
  virtual MessageLoop* CreateMessageLoop() = 0;
};

}  // namespace qbase
