#include "halvex/core/calendar_cache.h"

#include <atomic>
#include <cstdint>
#include <cstring>

namespace {

constexpr long kDaySeconds = 86400;
/// Largest difference between two UTC offsets a zone can switch between (-12 h to +14 h).
constexpr long kMaxOffsetJump = 26 * 3600;
/// Step of the offset samples around a cached day.
constexpr long kSampleStep = 1800;

/// The start of one local day and the calendar record mktime gave for it.
struct CachedDay {
  bool valid;
  uint32_t generation;
  int year, month, day;
  std::time_t start;
  std::tm startCalendar;
};

constexpr int kCachedDays = 4;
thread_local CachedDay tDays[kCachedDays];

std::atomic<uint32_t> gGeneration{1};

bool sameOffset(const std::tm& a, const std::tm& b) {
  if (a.tm_gmtoff != b.tm_gmtoff || a.tm_isdst != b.tm_isdst) return false;
  if (a.tm_zone == b.tm_zone) return true;
  return a.tm_zone != nullptr && b.tm_zone != nullptr && std::strcmp(a.tm_zone, b.tm_zone) == 0;
}

/// Fills entry for the given date; false when the day must not be cached.
bool fillDay(CachedDay& entry, int year, int month, int day, uint32_t generation) {
  std::tm start = {};
  start.tm_year = year;
  start.tm_mon = month;
  start.tm_mday = day;
  start.tm_isdst = -1;
  const std::time_t t0 = std::mktime(&start);
  if (t0 == static_cast<std::time_t>(-1)) return false;
  // A day that does not begin at 00:00:00 (a zone change at midnight) is left to mktime.
  if (start.tm_year != year || start.tm_mon != month || start.tm_mday != day ||
      start.tm_hour != 0 || start.tm_min != 0 || start.tm_sec != 0) {
    return false;
  }
  // Its last second must be 23:59:59 of the same day, so the day is 86400 plain seconds long.
  std::tm probe;
  const std::time_t last = t0 + kDaySeconds - 1;
  if (localtime_r(&last, &probe) == nullptr) return false;
  if (probe.tm_mday != day || probe.tm_hour != 23 || probe.tm_min != 59 || probe.tm_sec != 59 ||
      !sameOffset(probe, start)) {
    return false;
  }
  for (std::time_t t = t0 - kMaxOffsetJump; t <= t0 + kDaySeconds + kMaxOffsetJump;
       t += kSampleStep) {
    if (localtime_r(&t, &probe) == nullptr || !sameOffset(probe, start)) return false;
  }
  entry.valid = true;
  entry.generation = generation;
  entry.year = year;
  entry.month = month;
  entry.day = day;
  entry.start = t0;
  entry.startCalendar = start;
  return true;
}

}  // namespace

std::time_t localCalendarTime(std::tm& calendar) {
  const std::tm& c = calendar;
  const bool plainFields = c.tm_isdst == -1 && c.tm_sec >= 0 && c.tm_sec <= 59 && c.tm_min >= 0 &&
                           c.tm_min <= 59 && c.tm_hour >= 0 && c.tm_hour <= 23 && c.tm_mday >= 1 &&
                           c.tm_mday <= 31 && c.tm_mon >= 0 && c.tm_mon <= 11;
  if (!plainFields) return std::mktime(&calendar);

  const uint32_t generation = gGeneration.load(std::memory_order_relaxed);
  CachedDay& entry =
      tDays[(static_cast<unsigned>(c.tm_mday) + static_cast<unsigned>(c.tm_mon) * 31u +
             static_cast<unsigned>(c.tm_year) * 372u) %
            kCachedDays];
  const bool hit = entry.valid && entry.generation == generation && entry.day == c.tm_mday &&
                   entry.month == c.tm_mon && entry.year == c.tm_year;
  if (!hit && !fillDay(entry, c.tm_year, c.tm_mon, c.tm_mday, generation)) {
    entry.valid = false;
    return std::mktime(&calendar);
  }
  const int hour = c.tm_hour, minute = c.tm_min, second = c.tm_sec;
  calendar = entry.startCalendar;
  calendar.tm_hour = hour;
  calendar.tm_min = minute;
  calendar.tm_sec = second;
  return entry.start + hour * 3600 + minute * 60 + second;
}

void resetCalendarCache() {
  gGeneration.fetch_add(1, std::memory_order_relaxed);
}
