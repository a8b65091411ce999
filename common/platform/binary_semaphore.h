// Unnamed semaphore with a count of 0 or 1, used as a lock that any thread may release.
#pragma once

#include <condition_variable>
#include <mutex>

/// Semaphore with initial count 1 and maximum count 1. Unlike a mutex it may be released by a
/// thread other than the one that took it.
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
  std::mutex mutex_;
  std::condition_variable available_;  ///< Signalled when the count becomes 1.
  bool count_ = true;                  ///< The count: true for 1, false for 0.
};
