// TickTime: a moment on the process's monotonic clock, in microseconds. The
// value 0 means "no time" (a null TickTime).
//
// The clock is the multimedia millisecond counter (timeGetTime), widened to 64
// bits: the counter wraps every 2^32 ms (about 49.7 days), and Now() adds 2^32
// ms to a rollover offset whenever it sees the counter go backwards. The read
// and the rollover bookkeeping happen under one process-wide lock, so Now() may
// be called from any thread and never decreases. Resolution is 1 ms.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/time_span.h"

namespace qbase {

class TickTime {
 public:
  // A millisecond counter with timeGetTime's signature.
  using TickSource = DWORD(WINAPI*)();

  constexpr TickTime() = default;

  // Any thread.
  static TickTime Now();

  static constexpr TickTime FromMicroseconds(int64_t us) { return TickTime(us); }

  constexpr bool is_null() const { return us_ == 0; }
  constexpr int64_t ToMicroseconds() const { return us_; }

  constexpr TickTime operator+(TimeSpan span) const {
    return TickTime(us_ + span.ToMicroseconds());
  }
  constexpr TickTime operator-(TimeSpan span) const {
    return TickTime(us_ - span.ToMicroseconds());
  }
  constexpr TimeSpan operator-(TickTime other) const {
    return TimeSpan::FromMicroseconds(us_ - other.us_);
  }
  constexpr bool operator==(TickTime other) const { return us_ == other.us_; }
  constexpr bool operator!=(TickTime other) const { return us_ != other.us_; }
  constexpr bool operator<(TickTime other) const { return us_ < other.us_; }
  constexpr bool operator<=(TickTime other) const { return us_ <= other.us_; }
  constexpr bool operator>(TickTime other) const { return us_ > other.us_; }
  constexpr bool operator>=(TickTime other) const { return us_ >= other.us_; }

  // Replaces the millisecond counter (null restores timeGetTime) and forgets
  // the rollover state, so a test can drive the clock across the 2^32 ms wrap.
  // Only for tests that run no loop meanwhile: every loop of the process reads
  // this clock.
  static void SetTickSourceForTesting(TickSource source);

 private:
  constexpr explicit TickTime(int64_t us) : us_(us) {}

  int64_t us_ = 0;
};

}  // namespace qbase
