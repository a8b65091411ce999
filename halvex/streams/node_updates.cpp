#include "halvex/streams/node_updates.h"

#include <ctime>

#include "common/platform/wall_clock.h"
#include "halvex/core/utc_time.h"
#include "halvex/streams/position_packet.h"
#include "halvex/streams/state_record.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;

int64_t toMs(int64_t seconds, int milliseconds) {
  return seconds * kMsPerSecond + milliseconds;
}

/// Largest field values a fix time is taken from; beyond them the arrival time stands in.
constexpr long kMaxYear = 9999;
constexpr long kMaxMonths = 1200;
constexpr long kMaxDays = 40000;

/// UTC ms of a GPZDA date and time, its fields out of range carried over as the calendar
/// conversion would (month 13 is January of the next year); `fallback` when they are absurd.
int64_t zdaUtcMs(const ZdaFix& zda, int64_t fallback) {
  if (zda.year < 0 || zda.year > kMaxYear || zda.month < -kMaxMonths || zda.month > kMaxMonths ||
      zda.day < -kMaxDays || zda.day > kMaxDays || !(zda.seconds >= 0 && zda.seconds < 100)) {
    return fallback;
  }
  return utcMsOfFields(zda.year, zda.month, zda.day, zda.hour, zda.minute,
                       static_cast<int64_t>(zda.seconds), zda.time.milliseconds);
}

/// UTC seconds of a time a state record carries: its writer turned the GPS date and time (UTC)
/// into calendar time with the local calendar, which is undone here with this zone's offset at
/// that time (the writer is taken to run in the same zone).
int64_t stateRecordUtcSeconds(long seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local = {};
  if (localtime_r(&t, &local) == nullptr) return seconds;
  return static_cast<int64_t>(seconds) + local.tm_gmtoff;
}

}  // namespace

bool applyPositionPacket(const NodeTable& table, char* packet) {
  PositionFix fix;
  if (!parsePositionPacket(packet, fix)) return false;
  NodeRecord* node = table.nodeById(fix.id);
  if (node == nullptr) return false;
  if (!node->applyPacket(fix.gll.latitude, fix.gll.longitude, fix.zda.calendar, fix.zda.time,
                         fix.zda.dateText, fix.comment1, fix.comment2)) {
    return false;
  }
  if (FixListener* listener = table.fixListener()) {
    // The packet time reads the GPS date and time (UTC) with the local calendar; the recording
    // keeps the UTC time itself.
    const int64_t arrivalMs = toMs(node->receivedAt.seconds, node->receivedAt.milliseconds);
    FixEvent event = fixEventOf(*node, FixKind::kPacket, zdaUtcMs(fix.zda, arrivalMs), arrivalMs);
    event.status = NodeRecord::kAlive;
    listener->fixAccepted(event);
  }
  return true;
}

bool applyStateRecordLine(const NodeTable& table, char* line) {
  StateRecord record;
  if (!parseStateRecord(line, record)) return false;
  NodeRecord* node = table.nodeById(record.id);
  if (node == nullptr) return false;
  node->applyStateRecord(record.latitude, record.longitude, record.status, record.comment1,
                         record.comment2, record.age, record.name);
  if (FixListener* listener = table.fixListener()) {
    const WallTime now = table.now();
    const int64_t arrivalMs = toMs(now.seconds, now.milliseconds);
    const int64_t fixMs =
        record.time > 0 ? toMs(stateRecordUtcSeconds(record.time), record.milliseconds) : arrivalMs;
    listener->fixAccepted(fixEventOf(*node, FixKind::kStateRecord, fixMs, arrivalMs));
  }
  return true;
}
