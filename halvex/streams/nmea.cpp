#include "halvex/streams/nmea.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "halvex/core/calendar_cache.h"
#include "halvex/core/field_scan.h"
#include "halvex/core/fixed_format.h"

namespace {

using fieldscan::scanCharIn;
using fieldscan::scanDouble;
using fieldscan::scanInt;
using fieldscan::scanLong;

/// Rounding allowance of the millisecond truncation, ms: far below a millisecond, far above the
/// error of a fraction of seconds below 10^6 held in a double.
constexpr double kFractionSlackMs = 1e-6;

/// Start of the field after the one read up to `from`; null when there is no further field or
/// it is empty (an empty field makes it and every later field absent). Readers stop at or
/// before their field's comma, so the search starts where reading stopped.
const char* nextField(const char* from) {
  while (*from != ',') {
    if (*from == '\0') return nullptr;
    ++from;
  }
  return (from[1] == ',' || from[1] == '\0') ? nullptr : from + 1;
}

/// Moves cursor to the next field and reads it with scan (which returns where it stopped, or
/// null); false when the field is absent or does not read.
template <class Scan>
bool readField(const char*& cursor, Scan scan) {
  cursor = nextField(cursor);
  if (cursor != nullptr) cursor = scan(cursor);
  return cursor != nullptr;
}

/// Whether the body starts with "$" and its tag reads as the five letters of tag with "$%5s".
bool tagIs(const char* body, const char* tag) {
  if (body[0] != '$') return false;
  // Without blanks to skip, "%5s" takes the next five characters (or fewer before a blank).
  if (!fieldscan::isSpace(body[1])) return std::strncmp(body + 1, tag, 5) == 0;
  char word[6];
  return fieldscan::scanWord(body + 1, word, 5) != nullptr && std::strcmp(word, tag) == 0;
}

/// "%2d%2d%lf": hours, minutes and seconds of a time field; returns where reading stopped.
const char* readTime(const char* field, int& hour, int& minute, double& seconds) {
  const char* p = scanInt(field, hour, 2);
  if (p != nullptr) p = scanInt(p, minute, 2);
  if (p != nullptr) p = scanDouble(p, seconds);
  // Seconds must convert to a whole int; anything else is no time of day.
  return (p != nullptr && seconds > -2147483649.0 && seconds < 2147483648.0) ? p : nullptr;
}

/// floor() without the library call for the values positions have.
double floorOf(double x) {
  if (!(x > -4.0e15 && x < 4.0e15)) return std::floor(x);
  const double t = static_cast<double>(static_cast<long long>(x));
  return t > x ? t - 1.0 : t;
}

/// ddmm.mmmm or dddmm.mmmm to decimal degrees.
double toDegrees(double value) {
  const double degrees = floorOf(value * 0.01);
  return degrees + (value - degrees * 100.0) * (1.0 / 60.0);
}

bool fitsInt(long v) {
  return v >= INT_MIN && v <= INT_MAX;
}

}  // namespace

// Sample: "$GPZDA,123519.50,07,12,2026,00,00"
bool parseGpzda(const char* body, ZdaFix& fix) {
  if (!tagIs(body, "GPZDA")) return false;
  int hour = 0, minute = 0;
  double seconds = 0;
  long day = 0, month = 0, year = 0, zoneHours = 0, zoneMinutes = 0;
  const char* p = body + 1;
  if (!readField(p, [&](const char* f) { return readTime(f, hour, minute, seconds); }) ||
      !readField(p, [&](const char* f) { return scanLong(f, day); }) ||
      !readField(p, [&](const char* f) { return scanLong(f, month); }) ||
      !readField(p, [&](const char* f) { return scanLong(f, year); }) ||
      !readField(p, [&](const char* f) { return scanLong(f, zoneHours); }) ||
      !readField(p, [&](const char* f) { return scanLong(f, zoneMinutes); })) {
    return false;
  }
  // The calendar record holds ints: dates beyond them are not dates.
  if (!fitsInt(day) || month <= static_cast<long>(INT_MIN) ||
      month > static_cast<long>(INT_MAX) + 1 || year < static_cast<long>(INT_MIN) + 1900 ||
      year > static_cast<long>(INT_MAX) + 1900) {
    return false;
  }

  const int whole = static_cast<int>(seconds);
  std::tm calendar = {};
  calendar.tm_sec = whole;
  calendar.tm_min = minute;
  calendar.tm_hour = hour;
  calendar.tm_mday = static_cast<int>(day);
  calendar.tm_mon = static_cast<int>(month - 1);
  calendar.tm_year = static_cast<int>(year - 1900);
  calendar.tm_wday = 0;
  calendar.tm_yday = 0;
  calendar.tm_isdst = -1;
  const std::time_t t = localCalendarTime(calendar);

  fix.hour = hour;
  fix.minute = minute;
  fix.seconds = seconds;
  fix.day = day;
  fix.month = month;
  fix.year = year;
  fix.calendar = calendar;
  fix.time.seconds = t;
  // A decimal fraction such as .2 is held a hair short of its value (0.19999...); truncating
  // that would lose a millisecond, so the truncation allows for a few units of rounding.
  const double fraction = (seconds - whole) * 1000;
  fix.time.milliseconds = static_cast<int>(fraction + std::copysign(kFractionSlackMs, fraction));
  fix.time.timezone = static_cast<short>(-calendar.tm_gmtoff / 60);
  fix.time.dstflag = static_cast<short>(calendar.tm_isdst > 0 ? 1 : 0);
  formatDateText(fix.dateText, year, month, day, hour, minute, seconds);
  return true;
}

// Sample: "$GPGLL,3242.5000,N,11709.6000,W,123519.50,A,A"
bool parseGpgll(const char* body, GllFix& fix) {
  if (!tagIs(body, "GPGLL")) return false;
  double latitude = 0, longitude = 0, seconds = 0;
  char north = 0, east = 0, status = 0, mode = 0;
  int hour = 0, minute = 0;
  const char* p = body + 1;
  if (!readField(p, [&](const char* f) { return scanDouble(f, latitude); }) ||
      !readField(p, [&](const char* f) { return scanCharIn(f, "nNsS", north); }) ||
      !readField(p, [&](const char* f) { return scanDouble(f, longitude); }) ||
      !readField(p, [&](const char* f) { return scanCharIn(f, "eEwW", east); }) ||
      !readField(p, [&](const char* f) { return readTime(f, hour, minute, seconds); }) ||
      !readField(p, [&](const char* f) { return scanCharIn(f, "aAvV", status); }) ||
      !readField(p, [&](const char* f) { return scanCharIn(f, "aAdDnN", mode); })) {
    return false;
  }
  // An infinite or NaN position would poison the node and the view that follows it.
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) return false;

  double lat = toDegrees(latitude);
  double lon = toDegrees(longitude);
  if (north != 'n' && north != 'N') lat = -lat;
  if (east != 'e' && east != 'E') lon = -lon;
  fix.latitude = lat;
  fix.longitude = lon;
  fix.timeOfDayMs = static_cast<long>((hour * 60 + minute) * 60000 + seconds * 1000);
  return true;
}

int formatDateText(char* out, long year, long month, long day, int hour, int minute,
                   double seconds) {
  // The usual case: four-digit years, two-digit fields and seconds below 100.
  if (year >= 0 && year <= 9999 && month >= 0 && month <= 99 && day >= 0 && day <= 99 &&
      hour >= 0 && hour <= 99 && minute >= 0 && minute <= 99 && seconds >= 0 && seconds < 99) {
    long y = year;
    for (int i = 3; i >= 0; --i) {
      out[i] = (y > 0 || i == 3) ? static_cast<char>('0' + y % 10) : ' ';
      y /= 10;
    }
    const long twoDigit[] = {month, day, hour, minute};
    const char separators[] = {'/', '/', ',', ':', ':'};
    int n = 4;
    for (int k = 0; k < 4; ++k) {
      out[n++] = separators[k];
      out[n++] = static_cast<char>('0' + twoDigit[k] / 10);
      out[n++] = static_cast<char>('0' + twoDigit[k] % 10);
    }
    out[n++] = ':';
    n += fixedfmt::formatFixed(seconds, 3, 6, out + n);
    out[n] = '\0';
    return n;
  }

  char secondsText[fixedfmt::kNumberBufferSize];
  const int secondsLength = fixedfmt::formatFixed(seconds, 3, 6, secondsText);
  if (secondsLength == 0) {
    return std::snprintf(out, kDateTextSize, "%4ld/%02ld/%02ld,%02d:%02d:%06.3lf", year, month, day,
                         hour, minute, seconds);
  }
  // Every other value fits: at most 20 + 20 + 20 + 11 + 11 + 31 + 5 characters.
  int n = 0;
  char yearText[fixedfmt::kNumberBufferSize];
  const int yearLength = fixedfmt::formatInt(year, 0, yearText);
  for (int i = yearLength; i < 4; ++i) out[n++] = ' ';
  std::memcpy(out + n, yearText, static_cast<size_t>(yearLength));
  n += yearLength;
  out[n++] = '/';
  n += fixedfmt::formatInt(month, 2, out + n);
  out[n++] = '/';
  n += fixedfmt::formatInt(day, 2, out + n);
  out[n++] = ',';
  n += fixedfmt::formatInt(hour, 2, out + n);
  out[n++] = ':';
  n += fixedfmt::formatInt(minute, 2, out + n);
  out[n++] = ':';
  std::memcpy(out + n, secondsText, static_cast<size_t>(secondsLength));
  n += secondsLength;
  out[n] = '\0';
  return n;
}
