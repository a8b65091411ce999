// Date-time groups ("071230Dec": day, hour, minute, month) and the UTC calendar behind them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dunmore {

/// Reports carry no year; every date-time group is taken in this one.
constexpr int kReportYear = 2005;

/// Calendar fields of a time, UTC.
struct UtcTime {
  long year = 1970;
  long month = 1;  ///< 1..12
  long day = 1;    ///< 1..31
  long hour = 0;
  long minute = 0;
  long second = 0;
};

/// Seconds since 1970-01-01 UTC of a date-time group DDHHMMMon in kReportYear. The month
/// abbreviation is compared without regard to case, an unknown one meaning January; fields out
/// of range carry into the next unit (day 32 of January is 1 February). Empty text gives 0.
std::int64_t dateTimeGroupTime(std::string_view dtg);

/// Days since 1970-01-01 of a proleptic Gregorian date; month and day may lie outside their
/// ranges and carry.
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day);

/// Breaks a time down into UTC calendar fields.
UtcTime utcTime(std::int64_t time);

/// A time as a date-time group "DDHHMMMon" (UTC, English month abbreviation).
std::string formatDateTimeGroup(std::int64_t time);

}  // namespace dunmore
