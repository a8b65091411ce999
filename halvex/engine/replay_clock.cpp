#include "halvex/engine/replay_clock.h"

#include <cmath>

#include "halvex/core/utc_time.h"

int64_t ReplayClock::nowMs(Steady::time_point at) const {
  if (!playing_) return anchorMs_;
  const double elapsedMs = std::chrono::duration<double, std::milli>(at - anchorAt_).count();
  return anchorMs_ + static_cast<int64_t>(std::floor(elapsedMs * speed_));
}

WallTime ReplayClock::now() const {
  WallTime now{};
  utcSplitMs(nowMs(), now.seconds, now.milliseconds);
  return now;
}

void ReplayClock::setMs(int64_t ms) {
  anchorMs_ = ms;
  anchorAt_ = Steady::now();
}

void ReplayClock::play() {
  if (playing_) return;
  anchorAt_ = Steady::now();
  playing_ = true;
}

void ReplayClock::pause() {
  if (!playing_) return;
  anchorMs_ = nowMs();
  playing_ = false;
}

void ReplayClock::setSpeed(double speed) {
  const Steady::time_point at = Steady::now();
  anchorMs_ = nowMs(at);
  anchorAt_ = at;
  speed_ = speed;
}

bool ReplayClock::holdAt(int64_t lastMs) {
  if (!playing_ || nowMs() <= lastMs) return false;
  anchorMs_ = lastMs;
  playing_ = false;
  return true;
}
