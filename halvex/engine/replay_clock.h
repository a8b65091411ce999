// The time a replay runs on: a recording's time, moving at a chosen speed while it plays.
#pragma once

#include <chrono>
#include <cstdint>

#include "halvex/tracking/node_table.h"

/// Replay time in UTC ms since 1970. While it plays it moves `speed` replay seconds per second
/// of the steady clock; paused it stands. The node table judges idle status and ages against it.
class ReplayClock : public TableClock {
 public:
  using Steady = std::chrono::steady_clock;

  /// The replay time now.
  int64_t nowMs() const { return nowMs(Steady::now()); }
  /// The replay time at steady time `at`.
  int64_t nowMs(Steady::time_point at) const;
  WallTime now() const override;

  /// Sets the replay time (the clock goes on from there when it plays).
  void setMs(int64_t ms);
  void play();
  void pause();
  bool playing() const { return playing_; }
  /// Speed in replay seconds per second; taken from the present replay time on.
  void setSpeed(double speed);
  double speed() const { return speed_; }
  /// Stops the clock at `lastMs` when it has run past it; returns whether it did.
  bool holdAt(int64_t lastMs);

 private:
  int64_t anchorMs_ = 0;           ///< Replay time at anchorAt_.
  Steady::time_point anchorAt_{};  ///< When the clock last started or was set.
  double speed_ = 1;
  bool playing_ = false;
};
