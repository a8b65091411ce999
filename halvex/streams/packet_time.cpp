#include "halvex/streams/packet_time.h"

#include "halvex/core/calendar_cache.h"
#include "halvex/core/utc_time.h"

namespace {

constexpr int kFirstCalendarYear = 1900;
constexpr int kSecondsPerMinute = 60;
constexpr double kMsPerSecond = 1000;

}  // namespace

PacketTime packetTimeOfUtc(int64_t utcMs) {
  PacketTime out;
  const UtcFields fields = utcFields(utcMs);
  std::tm& calendar = out.calendar;
  calendar.tm_year = static_cast<int>(fields.year - kFirstCalendarYear);
  calendar.tm_mon = fields.month - 1;
  calendar.tm_mday = fields.day;
  calendar.tm_hour = fields.hour;
  calendar.tm_min = fields.minute;
  calendar.tm_sec = fields.second;
  calendar.tm_isdst = -1;
  out.stamp.seconds = localCalendarTime(calendar);
  out.stamp.milliseconds = fields.millisecond;
  out.stamp.timezone = static_cast<short>(-calendar.tm_gmtoff / kSecondsPerMinute);
  out.stamp.dstflag = static_cast<short>(calendar.tm_isdst > 0 ? 1 : 0);
  formatDateText(out.dateText, static_cast<long>(fields.year), fields.month, fields.day,
                 fields.hour, fields.minute, fields.second + fields.millisecond / kMsPerSecond);
  return out;
}
