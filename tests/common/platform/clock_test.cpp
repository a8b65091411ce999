#include <gtest/gtest.h>

#include <ctime>

#include "common/platform/perf_counter.h"
#include "common/platform/sleep.h"
#include "common/platform/wall_clock.h"

namespace {

// Sleeps are checked against a lower bound; the upper bounds only catch a wrong unit.

/// System time in whole seconds, from the same precise clock: time() reads a coarse clock that
/// may still show the previous second for a few milliseconds after it has passed.
int64_t systemSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec);
}

TEST(ClockTest, CountersAgreeWithSystemTimeAndAdvanceAcrossASleep) {
  const int64_t before = systemSeconds();
  const WallTime a = wallClockNow();
  const int64_t counterA = perfCounter();
  EXPECT_GE(a.seconds, before);
  EXPECT_LE(a.seconds, systemSeconds());
  EXPECT_GE(a.milliseconds, 0);
  EXPECT_LE(a.milliseconds, 999);
  sleepMs(30);
  const double counted = static_cast<double>(perfCounter() - counterA) / perfFrequency();
  const WallTime b = wallClockNow();
  const int64_t elapsedMs = (b.seconds - a.seconds) * 1000 + (b.milliseconds - a.milliseconds);
  EXPECT_GE(counted, 0.029);
  EXPECT_LT(counted, 10.0);
  EXPECT_GE(elapsedMs, 29);
  EXPECT_LT(elapsedMs, 10000);
}

}  // namespace
