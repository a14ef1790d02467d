// TimeSpan: a signed length of time in microseconds. Delays handed to the
// message loop's post operations are TimeSpans.
#pragma once

#include <cstdint>

namespace qbase {

class TimeSpan {
 public:
  constexpr TimeSpan() = default;

  static constexpr TimeSpan FromMicroseconds(int64_t us) { return TimeSpan(us); }
  static constexpr TimeSpan FromMilliseconds(int64_t ms) { return TimeSpan(ms * 1000); }
  static constexpr TimeSpan FromSeconds(int64_t s) { return TimeSpan(s * 1000 * 1000); }

  constexpr int64_t ToMicroseconds() const { return us_; }
  // Truncates towards zero.
  constexpr int64_t ToMilliseconds() const { return us_ / 1000; }
  constexpr bool is_zero() const { return us_ == 0; }

  constexpr TimeSpan operator+(TimeSpan other) const { return TimeSpan(us_ + other.us_); }
  constexpr TimeSpan operator-(TimeSpan other) const { return TimeSpan(us_ - other.us_); }
  constexpr bool operator==(TimeSpan other) const { return us_ == other.us_; }
  constexpr bool operator!=(TimeSpan other) const { return us_ != other.us_; }
  constexpr bool operator<(TimeSpan other) const { return us_ < other.us_; }
  constexpr bool operator<=(TimeSpan other) const { return us_ <= other.us_; }
  constexpr bool operator>(TimeSpan other) const { return us_ > other.us_; }
  constexpr bool operator>=(TimeSpan other) const { return us_ >= other.us_; }

 private:
  constexpr explicit TimeSpan(int64_t us) : us_(us) {}

  int64_t us_ = 0;
};

}  // namespace qbase
