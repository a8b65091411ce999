#include "halvex/core/utc_time.h"

#include <cstdio>

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kMsPerDay = kSecondsPerDay * kMsPerSecond;
constexpr int64_t kDaysPerEra = 146097;  ///< 400 Gregorian years.
/// Days from 0000-03-01 (the start of the era the arithmetic counts from) to 1970-01-01.
constexpr int64_t kEpochDayOfEra0 = 719468;
/// Digits of a fraction that count: nanoseconds, far below the millisecond kept.
constexpr int kFractionDigits = 9;
constexpr int64_t kNsPerMs = 1000000;
/// 9999-12-31T23:59:59Z, the last second a four-digit year reaches.
constexpr int64_t kMaxSeconds = 253402300799;

int64_t floorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

bool isLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int daysInMonth(int64_t year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

/// Reads a run of decimal digits off the front of `text`: exactly `count` when `count` > 0, else
/// one or more (at most 18, so that the value fits). False when they are not there.
bool takeDigits(std::string_view& text, int count, int64_t& value) {
  const size_t limit = count > 0 ? static_cast<size_t>(count) : 18;
  size_t n = 0;
  value = 0;
  while (n < text.size() && n < limit && text[n] >= '0' && text[n] <= '9') {
    value = value * 10 + (text[n] - '0');
    ++n;
  }
  if (n == 0 || (count > 0 && n != limit)) return false;
  text.remove_prefix(n);
  return true;
}

bool takeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

/// Reads an optional ".digits" off the front of `text` as milliseconds, rounded (1000 when it
/// rounds up to the next second). Digits past the ninth are read and dropped.
bool takeFraction(std::string_view& text, int64_t& ms) {
  ms = 0;
  if (!takeChar(text, '.')) return true;
  int64_t ns = 0;
  int digits = 0;
  while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
    if (digits < kFractionDigits) ns = ns * 10 + (text.front() - '0');
    ++digits;
    text.remove_prefix(1);
  }
  if (digits == 0) return false;
  for (int d = digits; d < kFractionDigits; ++d) ns *= 10;
  ms = (ns + kNsPerMs / 2) / kNsPerMs;
  return true;
}

// Sample: "2005-09-12 11:40:05.25Z"
bool parseCalendarText(std::string_view text, int64_t& ms) {
  int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0;
  const bool read = takeDigits(text, 4, year) && takeChar(text, '-') &&
                    takeDigits(text, 2, month) && takeChar(text, '-') && takeDigits(text, 2, day) &&
                    (takeChar(text, 'T') || takeChar(text, ' ')) && takeDigits(text, 2, hour) &&
                    takeChar(text, ':') && takeDigits(text, 2, minute) && takeChar(text, ':') &&
                    takeDigits(text, 2, second) && takeFraction(text, fraction);
  takeChar(text, 'Z');
  if (!read || !text.empty() || year < 1 || month < 1 || month > 12 || day < 1 ||
      day > daysInMonth(year, static_cast<int>(month)) || hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  const int64_t days = utcDaysFromCivil(year, static_cast<int>(month), static_cast<int>(day));
  ms = ((days * 24 + hour) * 60 + minute) * 60 * kMsPerSecond + second * kMsPerSecond + fraction;
  return true;
}

// Sample: "1796647519.500"
bool parseEpochSeconds(std::string_view text, int64_t& ms) {
  int64_t seconds = 0, fraction = 0;
  if (!takeDigits(text, 0, seconds) || !takeFraction(text, fraction) || !text.empty() ||
      seconds > kMaxSeconds) {
    return false;
  }
  ms = seconds * kMsPerSecond + fraction;
  return true;
}

/// Writes `value` (not negative) as exactly `width` digits, zeros in front; returns the end.
char* putDigits(char* out, int64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

}  // namespace

int64_t utcDaysFromCivil(int64_t year, int month, int day) {
  // Years counted from 1 March, so that the leap day ends the year.
  const int64_t y = month <= 2 ? year - 1 : year;
  const int64_t era = floorDiv(y, 400);
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * kDaysPerEra + dayOfEra - kEpochDayOfEra0;
}

int64_t utcMsOfFields(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                      int64_t second, int64_t millisecond) {
  const int64_t months = month - 1;
  const int64_t carried = floorDiv(months, 12);
  const int monthOfYear = static_cast<int>(months - carried * 12) + 1;
  const int64_t days = utcDaysFromCivil(year + carried, monthOfYear, 1) + day - 1;
  return ((days * 24 + hour) * 60 + minute) * 60 * kMsPerSecond + second * kMsPerSecond +
         millisecond;
}

void utcSplitMs(int64_t ms, int64_t& seconds, int& milliseconds) {
  seconds = floorDiv(ms, kMsPerSecond);
  milliseconds = static_cast<int>(ms - seconds * kMsPerSecond);
}

UtcFields utcFields(int64_t ms) {
  UtcFields f;
  const int64_t days = floorDiv(ms, kMsPerDay);
  int64_t inDay = ms - days * kMsPerDay;
  f.millisecond = static_cast<int>(inDay % kMsPerSecond);
  inDay /= kMsPerSecond;
  f.second = static_cast<int>(inDay % 60);
  f.minute = static_cast<int>(inDay / 60 % 60);
  f.hour = static_cast<int>(inDay / 3600);
  // The inverse of utcDaysFromCivil.
  const int64_t shifted = days + kEpochDayOfEra0;
  const int64_t era = floorDiv(shifted, kDaysPerEra);
  const int64_t dayOfEra = shifted - era * kDaysPerEra;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / (kDaysPerEra - 1)) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  f.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  f.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  f.year = yearOfEra + era * 400 + (f.month <= 2 ? 1 : 0);
  return f;
}

bool parseUtcTime(std::string_view text, int64_t& ms) {
  int64_t value = 0;
  const bool calendar = text.size() > 4 && text[4] == '-';
  if (!(calendar ? parseCalendarText(text, value) : parseEpochSeconds(text, value))) return false;
  if (calendar && value > (kMaxSeconds + 1) * kMsPerSecond - 1) return false;
  ms = value;
  return true;
}

int formatUtcTime(int64_t ms, UtcStyle style, char* out) {
  const UtcFields f = utcFields(ms);
  char* p = out;
  if (f.year >= 0 && f.year <= 9999) {
    p = putDigits(p, f.year, 4);
  } else {
    // Far outside any recording; written whole all the same.
    p += std::snprintf(p, kUtcTextSize, "%lld", static_cast<long long>(f.year));
  }
  *p++ = '-';
  p = putDigits(p, f.month, 2);
  *p++ = '-';
  p = putDigits(p, f.day, 2);
  *p++ = style == UtcStyle::kIso ? 'T' : ' ';
  p = putDigits(p, f.hour, 2);
  *p++ = ':';
  p = putDigits(p, f.minute, 2);
  *p++ = ':';
  p = putDigits(p, f.second, 2);
  if (style == UtcStyle::kIso) {
    *p++ = '.';
    p = putDigits(p, f.millisecond, 3);
  }
  *p++ = 'Z';
  *p = '\0';
  return static_cast<int>(p - out);
}

std::string formatUtcTime(int64_t ms, UtcStyle style) {
  char text[kUtcTextSize];
  const int n = formatUtcTime(ms, style, text);
  return std::string(text, static_cast<size_t>(n));
}
