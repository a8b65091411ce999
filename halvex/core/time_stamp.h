// A time stamp as carried by packets and node records.
#pragma once

#include <cstdint>

/// Seconds since 1970-01-01 with a separate millisecond count, plus the local zone fields.
struct TimeStamp {
  int64_t seconds = 0;   ///< Seconds since 1970-01-01 00:00:00 UTC.
  int milliseconds = 0;  ///< Milliseconds into that second, 0 to 999.
  short timezone = 0;    ///< Minutes west of UTC of the local zone when taken.
  short dstflag = 0;     ///< Nonzero when daylight saving time was in effect.
};
