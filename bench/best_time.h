// Timing helpers of the benchmarks: the best of several rounds counts, which filters out other
// load on the machine.
#pragma once

#include <algorithm>
#include <chrono>

namespace bench {

/// Keeps the optimiser from dropping work whose result nobody reads.
inline volatile double sink;

/// Best time of `rounds` runs of fn over items 0..count-1, in nanoseconds per item. fn returns a
/// number, summed into the sink.
template <class Fn>
double bestNsPerItem(int rounds, int count, Fn fn) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    double acc = 0;
    for (int i = 0; i < count; ++i) acc += fn(i);
    const auto t1 = std::chrono::steady_clock::now();
    sink = acc;
    best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count() / count);
  }
  return best;
}

/// Best time of `rounds` runs of fn(), in milliseconds.
template <class Fn>
double bestMs(int rounds, Fn fn) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    const auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  return best;
}

}  // namespace bench
