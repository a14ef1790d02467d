#include "base/tick_time.h"

#include <mmsystem.h>

#include "base/critical_section.h"

namespace qbase {
namespace {

// The process-wide state of the widened counter. It is created on first use
// (thread-safe static initialisation) and never destroyed, so Now() stays valid
// in static destructors of other objects.
struct TickClock {
  CriticalSection lock;
  TickTime::TickSource source = &timeGetTime;
  DWORD last_ticks = 0;
  int64_t rollover_ms = 0;
};

TickClock& Clock() {
  static TickClock* clock = new TickClock;
  return *clock;
}

}  // namespace

TickTime TickTime::Now() {
  TickClock& clock = Clock();
  CriticalSection::ScopedLock hold(clock.lock);
  DWORD ticks = clock.source();
  if (ticks < clock.last_ticks) clock.rollover_ms += int64_t{1} << 32;
  clock.last_ticks = ticks;
  return TickTime((static_cast<int64_t>(ticks) + clock.rollover_ms) * 1000);
}

void TickTime::SetTickSourceForTesting(TickSource source) {
  TickClock& clock = Clock();
  CriticalSection::ScopedLock hold(clock.lock);
  clock.source = source ? source : &timeGetTime;
  clock.last_ticks = 0;
  clock.rollover_ms = 0;
}

}  // namespace qbase
