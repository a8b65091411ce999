// Pacing of the tracker's seven periodic activities against the high-resolution counter.
#pragma once

#include <atomic>
#include <cstdint>

#include "halvex/core/rate_tables.h"

/// The seven slots of the main loop, each with an enabled flag, a period and the counter value
/// of its last run. A slot is due when now > lastRun + period. Every field is atomic, so that
/// any thread may read the schedule.
class SlotScheduler {
 public:
  enum Slot {
    kDisplay = 0,      ///< The view is redrawn.
    kMulticast = 1,    ///< Receive ports are drained; runs every pass, no period.
    kLocalInput = 2,   ///< The next block of the local state file is read.
    kRemoteInput = 3,  ///< The remote state is fetched.
    kClientInput = 4,  ///< Only shortens the loop's wait.
    kLocalOutput = 5,  ///< A state file is written.
    kClientOutput = 6  ///< Only shortens the loop's wait.
  };
  static constexpr int kSlotCount = 7;
  /// Longest wait while any slot is enabled, s: input is drained at least at 60 Hz.
  static constexpr double kMaxWaitSeconds = 1.0 / 60;

  /// All periods one second, all last runs now, nothing enabled.
  SlotScheduler();

  /// Counts per second of the counter.
  int64_t frequency() const { return frequency_; }
  /// Counter value of the current pass.
  int64_t now() const { return now_.load(std::memory_order_relaxed); }
  /// Reads the counter into now and returns it.
  int64_t sample();

  void enable(Slot slot, bool on) { enabled_[slot].store(on, std::memory_order_relaxed); }
  bool enabled(Slot slot) const { return enabled_[slot].load(std::memory_order_relaxed); }

  /// Period of a slot, in counts.
  int64_t period(Slot slot) const { return period_[slot].load(std::memory_order_relaxed); }
  /// Sets a period in seconds, truncated to counts.
  void setPeriodSeconds(Slot slot, double seconds);
  int64_t lastRun(Slot slot) const { return lastRun_[slot].load(std::memory_order_relaxed); }
  /// Marks a slot as run at counter value `at`.
  void markRun(Slot slot, int64_t at) { lastRun_[slot].store(at, std::memory_order_relaxed); }

  /// Whether the slot is due at counter value `at`.
  bool due(Slot slot, int64_t at) const { return at > lastRun(slot) + period(slot); }
  /// Whether the slot is enabled and due at the current pass.
  bool enabledAndDue(Slot slot) const { return enabled(slot) && due(slot, now()); }

  /// Seconds until the first enabled slot (all but multicast) is due, zero when one is due
  /// already, capped at kMaxWaitSeconds; negative when no such slot is enabled.
  double waitSeconds() const;

 private:
  int64_t frequency_;
  std::atomic<int64_t> now_;
  std::atomic<int64_t> lastRun_[kSlotCount];
  std::atomic<int64_t> period_[kSlotCount];
  std::atomic<bool> enabled_[kSlotCount];
};
