// Local calendar time conversion for packet time stamps, cached per thread by day.
#pragma once

#include <ctime>

/// Converts the broken-down local time to calendar time exactly as std::mktime does, and leaves
/// the record as mktime leaves it (normalised, with weekday, day of year, daylight flag, offset
/// and zone name filled in).
///
/// mktime costs microseconds, too much for every packet, so each thread keeps the start of the
/// last few days it converted and adds the time of day. A day is cached only when its offset from
/// UTC is the same for 26 hours on either side of it (sampled every half hour) and it holds no
/// leap second, so no daylight-saving change or zone change can make a time in it ambiguous or
/// skipped; such times, records with tm_isdst other than -1, and fields outside their usual
/// ranges (second 60 included) are passed to mktime every time.
///
/// The cache knows nothing of the TZ variable: after changing TZ (setenv and tzset) call
/// resetCalendarCache(), or cached days keep the old zone.
std::time_t localCalendarTime(std::tm& calendar);

/// Forgets the cached days of every thread (each refills on its next conversion).
void resetCalendarCache();
