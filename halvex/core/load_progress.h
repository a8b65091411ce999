// One load that may take long (a map image decoded from its file), told to the load-status sink:
// the share done in whole percents, and the loading screen brought up only once the load has run
// for over a second, so that quick loads never flash it.
#pragma once

#include <cstdint>

class LoadProgress {
 public:
  /// A monotonic clock in counts of perfFrequency() a second.
  using Clock = int64_t (*)();
  /// How long a load runs before the loading screen comes up.
  static constexpr int64_t kShowAfterMs = 1000;

  /// Starts timing the load by `clock` (null: perfCounter).
  explicit LoadProgress(Clock clock = nullptr);
  LoadProgress(const LoadProgress&) = delete;
  LoadProgress& operator=(const LoadProgress&) = delete;

  /// `done` of `total` steps are through. The share never falls back; the sink hears of it
  /// when its whole percent changes, and the first time after kShowAfterMs it also shows the
  /// loading screen. Nothing happens for a total below 1.
  void update(int64_t done, int64_t total);

  /// The share reached so far, 0 to 100, or -1 before the first update.
  int percent() const { return percent_; }
  /// Whether the loading screen has been asked for.
  bool shown() const { return shown_; }

 private:
  Clock clock_;
  int64_t start_;
  int64_t showAfter_;  ///< kShowAfterMs in clock counts
  int percent_ = -1;
  bool shown_ = false;
};
