#include "halvex/tracking/node_record.h"

#include <cstring>

namespace {

/// Packets dated this far ahead of an established last packet time do not advance it.
constexpr int64_t kFutureLimitSeconds = 28800;
/// A last packet time below this many seconds is not yet established.
constexpr int64_t kEstablishedSeconds = 5000;
/// Divisor of the lost threshold for the coarse whole-second test.
constexpr int kCoarseDivisor = 999;
constexpr int kMillisPerSecond = 1000;

/// Holds a record's lock for a scope.
class Hold {
 public:
  explicit Hold(NodeRecord& record) : record_(record) { record_.lock(); }
  ~Hold() { record_.unlock(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  NodeRecord& record_;
};

/// Whether time stamp a is earlier than b.
bool earlier(const TimeStamp& a, const TimeStamp& b) {
  return a.seconds < b.seconds || (a.seconds == b.seconds && a.milliseconds < b.milliseconds);
}

/// The local clock as a time stamp.
TimeStamp localNow() {
  const WallTime now = wallClockNow();
  TimeStamp stamp;
  stamp.seconds = now.seconds;
  stamp.milliseconds = now.milliseconds;
  return stamp;
}

}  // namespace

void copyTextField(char* field, const char* text, int size) {
  if (text == nullptr) text = "";
  const size_t length = strnlen(text, static_cast<size_t>(size - 1));
  std::memcpy(field, text, length);
  field[length] = '\0';
}

NodeRecord::NodeRecord(int nodeId, const char* nodeName, int nodePosition, int mediumMs, int badMs)
    : id(nodeId), position(nodePosition), mediumIdleMs(mediumMs), badIdleMs(badMs) {
  copyTextField(name, nodeName, kTextBytes);
  std::memset(changed, 1, sizeof changed);
}

bool NodeRecord::applyPacket(double lat, double lon, const std::tm& calendar,
                             const TimeStamp& stamp, const char* dateText, const char* c1,
                             const char* c2) {
  Hold hold(*this);
  if (earlier(stamp, lastPacketTime)) return false;
  if (stamp.seconds < lastPacketTime.seconds + kFutureLimitSeconds ||
      lastPacketTime.seconds < kEstablishedSeconds) {
    lastPacketTime = stamp;
  }
  receivedAt = localNow();
  if (lat != latitude) changed[kLatitudeChanged] = 1;
  latitude = lat;
  if (lon != longitude) changed[kLongitudeChanged] = 1;
  longitude = lon;
  changed[kPacketApplied1] = changed[kPacketApplied2] = changed[kPacketApplied3] = 1;
  packetTime = stamp;
  packetCalendar = calendar;
  copyTextField(gpsDateText, dateText, kTextBytes);
  hasData = 1;
  if (storeComment(comment1, c1)) changed[kComment1Changed] = 1;
  if (storeComment(comment2, c2)) changed[kComment2Changed] = 1;
  return true;
}

void NodeRecord::applyStateRecord(double lat, double lon, long recordStatus, const char* c1,
                                  const char* c2, double recordAge, const char* recordName) {
  Hold hold(*this);
  latitude = lat;
  longitude = lon;
  // Anything but alive or idle counts as lost, so the status always names one of the three looks.
  status =
      (recordStatus == kAlive || recordStatus == kIdle) ? static_cast<int>(recordStatus) : kLost;
  if (status != kLost) seenAlive = 1;
  if (storeComment(comment1, c1)) changed[kComment1Changed] = 1;
  if (storeComment(comment2, c2)) changed[kComment2Changed] = 1;
  age = recordAge;
  copyTextField(name, recordName, kTextBytes);
}

void NodeRecord::restoreFix(double lat, double lon, const TimeStamp& received,
                            const std::tm* calendar, const TimeStamp& stamp, const char* dateText,
                            int recordStatus, const char* c1, const char* c2,
                            const char* recordName) {
  Hold hold(*this);
  receivedAt = received;
  if (lat != latitude) changed[kLatitudeChanged] = 1;
  latitude = lat;
  if (lon != longitude) changed[kLongitudeChanged] = 1;
  longitude = lon;
  if (calendar != nullptr) {
    lastPacketTime = stamp;
    packetTime = stamp;
    packetCalendar = *calendar;
    copyTextField(gpsDateText, dateText, kTextBytes);
    changed[kPacketApplied1] = changed[kPacketApplied2] = changed[kPacketApplied3] = 1;
    hasData = 1;
  } else {
    status = (recordStatus == kAlive || recordStatus == kIdle) ? recordStatus : kLost;
    if (status != kLost) seenAlive = 1;
  }
  if (storeComment(comment1, c1)) changed[kComment1Changed] = 1;
  if (storeComment(comment2, c2)) changed[kComment2Changed] = 1;
  copyTextField(name, recordName, kTextBytes);
}

void NodeRecord::setComments(const char* c1, const char* c2) {
  Hold hold(*this);
  if (storeComment(comment1, c1)) changed[kComment1Changed] = 1;
  if (storeComment(comment2, c2)) changed[kComment2Changed] = 1;
}

bool NodeRecord::storeComment(char* stored, const char* text) {
  if (text == nullptr) return false;
  if (std::strncmp(stored, text, kTextBytes - 1) == 0) return false;
  copyTextField(stored, text, kTextBytes);
  return true;
}

int NodeRecord::computeStatus() {
  return computeStatus(wallClockNow());
}

int NodeRecord::computeStatus(const WallTime& now) {
  Hold hold(*this);
  return computeStatusLocked(now);
}

int NodeRecord::computeStatusLocked(const WallTime& now) {
  const int64_t seconds = now.seconds - receivedAt.seconds;
  if (seconds > badIdleMs / kCoarseDivisor) {
    status = kLost;
    return status;
  }
  const int64_t ms = seconds * kMillisPerSecond + now.milliseconds - receivedAt.milliseconds;
  if (ms >= badIdleMs) {
    status = kLost;
  } else if (ms >= mediumIdleMs) {
    status = kIdle;
  } else {
    status = kAlive;
    seenAlive = 1;
  }
  return status;
}

double NodeRecord::computeAge() {
  return computeAge(wallClockNow());
}

double NodeRecord::computeAge(const WallTime& now) {
  Hold hold(*this);
  return computeAgeLocked(now);
}

double NodeRecord::computeAgeLocked(const WallTime& now) {
  age = static_cast<double>(now.seconds - receivedAt.seconds) +
        (now.milliseconds - receivedAt.milliseconds) * 0.001;
  return age;
}

void NodeRecord::resetTimes() {
  Hold hold(*this);
  receivedAt = TimeStamp();
  packetTime = TimeStamp();
  lastPacketTime = TimeStamp();
  gpsDateText[0] = comment1[0] = comment2[0] = '\0';
  std::memset(changed, 1, sizeof changed);
}

void NodeRecord::setIdleThresholds(int mediumMs, int badMs) {
  Hold hold(*this);
  mediumIdleMs = mediumMs;
  badIdleMs = badMs;
}

void NodeRecord::setIcon(const NodeIconDef* definition) {
  Hold hold(*this);
  icon = definition;
}

void NodeRecord::link(NodeRecord* previous, NodeRecord* following) {
  Hold hold(*this);
  prev = previous;
  next = following;
}
