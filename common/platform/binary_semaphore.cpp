#include "common/platform/binary_semaphore.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

static_assert(sizeof(std::atomic<int>) == sizeof(int), "the futex word is the atomic itself");

/// Sleeps while *word still holds `expected`.
void futexWait(std::atomic<int>& word, int expected) {
  syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr,
          0);
}

/// Wakes one thread sleeping on *word.
void futexWakeOne(std::atomic<int>& word) {
  syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

}  // namespace

void BinarySemaphore::wait() {
  int state = kAvailable;
  if (state_.compare_exchange_strong(state, kTaken, std::memory_order_acquire)) return;
  for (;;) {
    if (state == kAvailable) {
      // Taken after a wait: others may still sleep, so the next release must wake one.
      if (state_.compare_exchange_weak(state, kContended, std::memory_order_acquire)) return;
      continue;
    }
    if (state == kTaken &&
        !state_.compare_exchange_weak(state, kContended, std::memory_order_relaxed)) {
      continue;
    }
    futexWait(state_, kContended);
    state = state_.load(std::memory_order_relaxed);
  }
}

bool BinarySemaphore::release() {
  const int state = state_.exchange(kAvailable, std::memory_order_release);
  if (state == kAvailable) return false;
  if (state == kContended) futexWakeOne(state_);
  return true;
}
