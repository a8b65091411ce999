#include "common/platform/perf_counter.h"

#include <time.h>

namespace {

/// The counter counts nanoseconds.
constexpr int64_t kCountsPerSecond = 1000000000;

}  // namespace

int64_t perfCounter() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * kCountsPerSecond + ts.tv_nsec;
}

int64_t perfFrequency() {
  return kCountsPerSecond;
}
