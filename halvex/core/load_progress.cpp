#include "halvex/core/load_progress.h"

#include "common/platform/perf_counter.h"
#include "halvex/core/load_status.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int kWhole = 100;

}  // namespace

LoadProgress::LoadProgress(Clock clock)
    : clock_(clock != nullptr ? clock : perfCounter),
      start_(clock_()),
      showAfter_(kShowAfterMs * perfFrequency() / kMsPerSecond) {}

void LoadProgress::update(int64_t done, int64_t total) {
  if (total < 1) return;
  const int percent = done <= 0
                          ? 0
                          : (done >= total ? kWhole
                                           : static_cast<int>(static_cast<double>(done) * kWhole /
                                                              static_cast<double>(total)));
  if (percent > percent_) {
    percent_ = percent;
    if (shown_) loadProgress(percent_);
  }
  if (shown_ || clock_() - start_ <= showAfter_) return;
  shown_ = true;
  loadProgress(percent_);
  loadStatusShow();
}
