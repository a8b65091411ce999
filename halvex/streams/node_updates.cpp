#include "halvex/streams/node_updates.h"

#include <ctime>

#include "common/platform/wall_clock.h"
#include "halvex/streams/position_packet.h"
#include "halvex/streams/state_record.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;

int64_t toMs(int64_t seconds, int milliseconds) {
  return seconds * kMsPerSecond + milliseconds;
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
    FixEvent event;
    event.id = fix.id;
    event.kind = FixKind::kPacket;
    // The packet time is the GPS date and time (UTC) read as local calendar time; the offset the
    // conversion found puts it back on UTC.
    event.fixMs =
        toMs(fix.zda.time.seconds + fix.zda.calendar.tm_gmtoff, fix.zda.time.milliseconds);
    event.arrivalMs = toMs(node->receivedAt.seconds, node->receivedAt.milliseconds);
    event.latitude = node->latitude;
    event.longitude = node->longitude;
    event.status = NodeRecord::kAlive;
    event.comment1 = node->comment1;
    event.comment2 = node->comment2;
    event.name = node->name;
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
    FixEvent event;
    event.id = record.id;
    event.kind = FixKind::kStateRecord;
    event.arrivalMs = toMs(now.seconds, now.milliseconds);
    event.fixMs = record.time > 0 ? toMs(stateRecordUtcSeconds(record.time), record.milliseconds)
                                  : event.arrivalMs;
    event.latitude = node->latitude;
    event.longitude = node->longitude;
    event.status = node->status;
    event.comment1 = node->comment1;
    event.comment2 = node->comment2;
    event.name = node->name;
    listener->fixAccepted(event);
  }
  return true;
}
