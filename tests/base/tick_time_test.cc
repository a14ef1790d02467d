// The widened millisecond clock.
#include "base/tick_time.h"

#include <gtest/gtest.h>

namespace qbase {
namespace {

DWORD g_fake_ticks = 0;

DWORD WINAPI FakeTicks() { return g_fake_ticks; }

class FakeTickSource {
 public:
  FakeTickSource() { TickTime::SetTickSourceForTesting(&FakeTicks); }
  ~FakeTickSource() { TickTime::SetTickSourceForTesting(nullptr); }
};

TEST(TickTimeTest, NowKeepsIncreasingAcrossTheMillisecondCounterWrap) {
  FakeTickSource fake;
  constexpr int64_t kLap = int64_t{1} << 32;
  static const struct {
    DWORD ticks;
    int64_t expected_ms;
  } kCases[] = {
      {0xFFFFFFF0u, 0xFFFFFFF0LL},
      {0xFFFFFFFFu, 0xFFFFFFFFLL},
      {0u, kLap},  // first wrap
      {5u, kLap + 5},
      {5u, kLap + 5},  // an unchanged counter gives the same time
      {0xFFFFFFFEu, kLap + 0xFFFFFFFELL},
      {3u, 2 * kLap + 3},  // second wrap
  };
  TickTime previous;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.ticks);
    g_fake_ticks = c.ticks;
    TickTime now = TickTime::Now();
    EXPECT_EQ(c.expected_ms * 1000, now.ToMicroseconds());
    EXPECT_GE(now, previous);
    previous = now;
  }
}

TEST(TickTimeTest, TimeArithmeticIsInMicroseconds) {
  EXPECT_EQ(300000, TimeSpan::FromMilliseconds(300).ToMicroseconds());
  TickTime start = TickTime::FromMicroseconds(1000);
  EXPECT_EQ(TickTime::FromMicroseconds(301000), start + TimeSpan::FromMilliseconds(300));
  EXPECT_EQ(TimeSpan::FromMilliseconds(300), (start + TimeSpan::FromMilliseconds(300)) - start);
  EXPECT_TRUE(TickTime().is_null());
  EXPECT_FALSE(TickTime::Now().is_null());
}

}  // namespace
}  // namespace qbase
