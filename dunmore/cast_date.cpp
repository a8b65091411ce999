#include "dunmore/cast_date.h"

#include <strings.h>

#include <cstdio>

namespace dunmore {

namespace {

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::int64_t kSecondsPerDay = 86400;

/// Decimal value of the digits of dtg[pos, pos + 2); a field that is cut short ends early.
long twoDigits(std::string_view dtg, std::size_t pos) {
  long value = 0;
  for (std::size_t i = pos; i < pos + 2 && i < dtg.size(); ++i) {
    const char c = dtg[i];
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

/// Floor division for the calendar arithmetic.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
  // Bring the month into 1..12 first, carrying whole years.
  year += floorDiv(month - 1, 12);
  month -= 12 * floorDiv(month - 1, 12);
  // Count from 1 March so that the leap day ends the year.
  const std::int64_t y = month <= 2 ? year - 1 : year;
  const std::int64_t era = floorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::int64_t dateTimeGroupTime(std::string_view dtg) {
  if (dtg.empty()) return 0;
  const long day = twoDigits(dtg, 0), hour = twoDigits(dtg, 2), minute = twoDigits(dtg, 4);
  long month = 1;
  if (dtg.size() >= 9) {
    for (int m = 0; m < 12; ++m)
      if (strncasecmp(dtg.data() + 6, kMonths[m], 3) == 0) month = m + 1;
  }
  const std::int64_t days = daysFromCivil(kReportYear, month, 1) + day - 1;
  return days * kSecondsPerDay + hour * 3600 + minute * 60;
}

UtcTime utcTime(std::int64_t time) {
  const std::int64_t days = floorDiv(time, kSecondsPerDay);
  const std::int64_t secs = time - days * kSecondsPerDay;
  const std::int64_t z = days + 719468;
  const std::int64_t era = floorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  UtcTime t;
  t.day = static_cast<long>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<long>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<long>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<long>(secs / 3600);
  t.minute = static_cast<long>(secs / 60 % 60);
  t.second = static_cast<long>(secs % 60);
  return t;
}

std::string formatDateTimeGroup(std::int64_t time) {
  const UtcTime t = utcTime(time);
  char text[100];
  std::snprintf(text, sizeof text, "%02ld%02ld%02ld%s", t.day, t.hour, t.minute,
                kMonths[t.month - 1]);
  return text;
}

}  // namespace dunmore
