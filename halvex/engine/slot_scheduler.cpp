#include "halvex/engine/slot_scheduler.h"

#include <algorithm>

#include "common/platform/perf_counter.h"

SlotScheduler::SlotScheduler() : frequency_(perfFrequency()), now_(perfCounter()) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    lastRun_[slot].store(now_.load());
    period_[slot].store(frequency_);
    enabled_[slot].store(false);
  }
}

int64_t SlotScheduler::sample() {
  const int64_t at = perfCounter();
  now_.store(at, std::memory_order_relaxed);
  return at;
}

void SlotScheduler::setPeriodSeconds(Slot slot, double seconds) {
  period_[slot].store(static_cast<int64_t>(seconds * static_cast<double>(frequency_)),
                      std::memory_order_relaxed);
}

double SlotScheduler::waitSeconds() const {
  double wait = -1.0;
  for (int k = 0; k < kSlotCount; ++k) {
    const auto slot = static_cast<Slot>(k);
    if (slot == kMulticast || !enabled(slot)) continue;
    const int64_t remaining = lastRun(slot) + period(slot) - now();
    const double seconds = std::max(0.0, static_cast<double>(remaining) / frequency_);
    wait = wait < 0 ? seconds : std::min(wait, seconds);
  }
  return wait < 0 ? wait : std::min(wait, kMaxWaitSeconds);
}
