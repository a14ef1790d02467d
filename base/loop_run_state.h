// LoopRunState: one active Run of a MessageLoop. It lives on the stack of the
// code that runs the loop; nested runs stack up through the loop's pointer.
#pragma once

#include <cstdint>

namespace qbase {

class MessageDispatcher;

struct LoopRunState {
  // 1 for the outermost run, the enclosing run's depth + 1 for a nested one.
  int32_t run_depth = 1;
  // Set by MessageLoop::Quit: the run ends at its next idle moment.
  bool quit_received = false;
  // Used only by the UI pump; may be null.
  MessageDispatcher* dispatcher = nullptr;
};

}  // namespace qbase
