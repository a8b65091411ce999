// Frames counted as the view hands them to the buffer swap, and the processor time spent
// meanwhile: the figures of the window benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

/// Processor time of this process so far (every thread), s.
inline double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

/// The moments at which frames were drawn.
class FrameTimes {
 public:
  FrameTimes() { times_.reserve(4096); }

  /// Notes a frame drawn now.
  void add() { times_.push_back(Clock::now()); }
  long count() const { return static_cast<long>(times_.size()); }

  /// Frames per second drawn in [from, to).
  double rateBetween(Clock::time_point from, Clock::time_point to) const {
    const double seconds = std::chrono::duration<double>(to - from).count();
    if (!(seconds > 0)) return 0;
    const auto counted = std::count_if(times_.begin(), times_.end(),
                                       [&](Clock::time_point t) { return t >= from && t < to; });
    return static_cast<double>(counted) / seconds;
  }

 private:
  std::vector<Clock::time_point> times_;
};

}  // namespace bench
