// UTC times as texts: reading "2026-12-07T12:35:19Z", "2005-09-12 11:40:05Z" or seconds since
// 1970, and writing the ISO form with milliseconds and the clock form, without the time zone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Calendar fields of a UTC time (proleptic Gregorian calendar).
struct UtcFields {
  int64_t year = 1970;
  int month = 1;  ///< 1 to 12.
  int day = 1;    ///< 1 to 31.
  int hour = 0;
  int minute = 0;
  int second = 0;       ///< 0 to 59: no leap seconds, as in time_t.
  int millisecond = 0;  ///< 0 to 999.
};

/// Days since 1970-01-01 of the date year-month-day (month 1 to 12, day 1 to 31).
int64_t utcDaysFromCivil(int64_t year, int month, int day);

/// UTC ms since 1970 of calendar fields, each carried over into the next as the calendar
/// conversion does (month 13 is January of the next year, day 0 the last of the month before).
int64_t utcMsOfFields(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                      int64_t second, int64_t millisecond);

/// Splits `ms` (UTC ms since 1970) into whole seconds and 0 to 999 ms, also before 1970.
void utcSplitMs(int64_t ms, int64_t& seconds, int& milliseconds);

/// The calendar fields of `ms` (UTC ms since 1970; earlier times are negative).
UtcFields utcFields(int64_t ms);

/// Reads a UTC time into ms since 1970:
///   "2026-12-07T12:35:19", "2026-12-07 12:35:19" (a blank for the T), each optionally with a
///   fraction of a second ("19.5") and a final "Z";
///   seconds since 1970, optionally with a fraction ("1796647519.500").
/// Fractions are rounded to the millisecond. Years run from 1 to 9999; a date that does not exist
/// (30 February) or any other text gives false with `ms` unchanged. The time zone (TZ) plays no
/// part.
bool parseUtcTime(std::string_view text, int64_t& ms);

/// How formatUtcTime writes a time.
enum class UtcStyle {
  kIso,    ///< "2026-12-07T12:35:19.500Z": always with milliseconds (exports, ISO 8601).
  kClock,  ///< "2005-09-12 11:40:05Z": whole seconds, cut down (clock texts for people).
};

/// Longest text formatUtcTime writes, with its terminator.
constexpr int kUtcTextSize = 32;

/// Writes `ms` in `style` to `out` (kUtcTextSize bytes) with a terminator; returns its length.
int formatUtcTime(int64_t ms, UtcStyle style, char* out);
/// As above, as a string.
std::string formatUtcTime(int64_t ms, UtcStyle style);
