// Unnamed semaphore with a count of 0 or 1, used as a lock that any thread may release.
#pragma once

#include <atomic>

/// Semaphore with initial count 1 and maximum count 1. Unlike a mutex it may be released by a
/// thread other than the one that took it. Taking and releasing it without contention costs one
/// atomic operation each; waiters sleep in the kernel.
class BinarySemaphore {
 public:
  BinarySemaphore() = default;
  BinarySemaphore(const BinarySemaphore&) = delete;
  BinarySemaphore& operator=(const BinarySemaphore&) = delete;

  /// Waits without time-out until the count is 1, then sets it to 0.
  void wait();

  /// Sets the count to 1 and wakes one waiter. Returns false, leaving the count at 1, when it was
  /// already 1.
  bool release();

 private:
  static constexpr int kAvailable = 1;   ///< Count 1.
  static constexpr int kTaken = 0;       ///< Count 0, nobody waiting.
  static constexpr int kContended = -1;  ///< Count 0, threads may be waiting.

  std::atomic<int> state_{kAvailable};
};
