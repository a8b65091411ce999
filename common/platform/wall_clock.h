// Wall-clock time with milliseconds, for time stamps.
#pragma once

#include <cstdint>

/// A point in wall-clock time.
struct WallTime {
  int64_t seconds;   ///< Seconds since 1970-01-01 00:00:00 UTC.
  int milliseconds;  ///< Milliseconds into that second, 0 to 999.
};

/// The current wall-clock time.
WallTime wallClockNow();
