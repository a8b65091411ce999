// A one-shot timer whose callback runs on a thread of its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

/// Runs a callback once, a given delay after arm(), on the timer's thread; the callback may
/// arm the timer again (a self-re-arming poll). stop() cancels what is pending and waits for a
/// running callback, so nothing the callback uses is touched after it returns.
class OneShotTimer {
 public:
  using Callback = std::function<void()>;

  explicit OneShotTimer(Callback callback);
  OneShotTimer(const OneShotTimer&) = delete;
  OneShotTimer& operator=(const OneShotTimer&) = delete;
  /// Stops the timer.
  ~OneShotTimer();

  /// Schedules one call after delayMs milliseconds (negative counts as 0), replacing any call
  /// still pending. Ignored after a stop() from the callback itself.
  void arm(int delayMs);
  /// Cancels a pending call, waits for a running one to return and ends the thread; the timer
  /// can then be armed again. Called from the callback itself it only prevents further calls.
  void stop();

  /// Whether a call is pending.
  bool armed() const;

 private:
  using Clock = std::chrono::steady_clock;

  /// Thread body: waits for the deadline of each arming and runs the callback.
  void run();

  Callback callback_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Clock::time_point deadline_;
  bool pending_ = false;
  bool stopping_ = false;
  std::thread thread_;  ///< Started by the first arm().
};
