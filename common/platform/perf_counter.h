// High-resolution monotonic counter for pacing periodic work.
#pragma once

#include <cstdint>

/// Current value of the monotonic counter, in counts (see perfFrequency).
int64_t perfCounter();

/// Counts per second of perfCounter.
int64_t perfFrequency();
