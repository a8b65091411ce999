#include "common/platform/wall_clock.h"

#include <time.h>

namespace {

/// Nanoseconds per millisecond.
constexpr long kNanosPerMilli = 1000000;

}  // namespace

WallTime wallClockNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return WallTime{static_cast<int64_t>(ts.tv_sec), static_cast<int>(ts.tv_nsec / kNanosPerMilli)};
}
