// The two NMEA 0183 sentences a position packet carries: GPZDA (date and time) and GPGLL
// (geographic position).
#pragma once

#include <cstddef>
#include <ctime>

#include "halvex/core/time_stamp.h"

/// Size of the date text buffer, terminator included.
constexpr int kDateTextSize = 128;

/// What a GPZDA sentence yields.
struct ZdaFix {
  int hour = 0;
  int minute = 0;
  double seconds = 0;
  long day = 0;
  long month = 0;  ///< 1-based, as sent
  long year = 0;
  /// The local date and time as the calendar conversion left it (normalised, with weekday, day
  /// of year and daylight flag filled in).
  std::tm calendar = {};
  /// Calendar time of the fix in the local time zone; timezone holds the minutes west of UTC
  /// and dstflag the daylight flag in effect at that time.
  TimeStamp time;
  char dateText[kDateTextSize] = {};  ///< "yyyy/mm/dd,hh:mm:ss.sss"
};

/// What a GPGLL sentence yields.
struct GllFix {
  double latitude = 0;   ///< decimal degrees, south negative
  double longitude = 0;  ///< decimal degrees, west negative
  long timeOfDayMs = 0;  ///< time of day of the fix in milliseconds
};

/// Reads a GPZDA body (from its "$" up to, not including, the "*"). Returns false, leaving fix
/// unchanged, when a field is missing or does not read.
bool parseGpzda(const char* body, ZdaFix& fix);

/// Reads a GPGLL body (from its "$" up to, not including, the "*"). Returns false, leaving fix
/// unchanged, when a field is missing or does not read.
bool parseGpgll(const char* body, GllFix& fix);

/// Writes the date text "%4ld/%02ld/%02ld,%02d:%02d:%06.3lf" into out (kDateTextSize bytes),
/// byte for byte as snprintf would; returns its length.
int formatDateText(char* out, long year, long month, long day, int hour, int minute,
                   double seconds);
