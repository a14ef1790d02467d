// MessagePump: how a loop's thread sleeps and wakes. The pump only waits and
// calls back; its Delegate (the MessageLoop) decides what runs.
#pragma once

#include "base/tick_time.h"

namespace qbase {

class MessagePump {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;
    // Runs one immediate task; true when it ran one.
    virtual bool DoWork() = 0;
    // Runs one due delayed task; true when it ran one. Stores in *next the run
    // time of the next delayed task, or a null time when there is none.
    virtual bool DoDelayedWork(TickTime* next) = 0;
    // Called when there is nothing else to do; true when it did something.
    virtual bool DoIdleWork() = 0;
  };

  virtual ~MessagePump() = default;

  // Runs until Quit is called from inside (a task or the delegate).
  virtual void Run(Delegate* delegate) = 0;
  // Ends the innermost Run at its next check. The pump's thread only.
  virtual void Quit() = 0;
  // Wakes the pump so it calls DoWork soon. Any thread.
  virtual void ScheduleWork() = 0;
  // Asks for a DoDelayedWork call at `time`. The pump's thread only.
  virtual void ScheduleDelayedWork(const TickTime& time) = 0;
};

}  // namespace qbase
