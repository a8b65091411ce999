#include "common/platform/binary_semaphore.h"

void BinarySemaphore::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  available_.wait(lock, [this] { return count_; });
  count_ = false;
}

bool BinarySemaphore::release() {
  // Notifying under the lock keeps the condition variable alive for the call even if the woken
  // thread destroys the semaphore as soon as it has taken it.
  std::lock_guard<std::mutex> lock(mutex_);
  if (count_) return false;
  count_ = true;
  available_.notify_one();
  return true;
}
