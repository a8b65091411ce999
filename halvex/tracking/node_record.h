// One tracked node (vehicle): its latest position, time stamps, texts and idle status.
#pragma once

#include <cstdint>
#include <ctime>

#include "common/platform/binary_semaphore.h"
#include "common/platform/wall_clock.h"
#include "halvex/core/time_stamp.h"

struct NodeIconDef;

/// A tracked node. Every mutating operation holds the record's own lock for its whole duration,
/// because receive-side updates and GUI-side reads meet on it; readers on the GUI thread read the
/// fields directly.
class NodeRecord {
 public:
  static constexpr int kTextBytes = 128;  ///< Size of each text field, terminator included.
  static constexpr int kChangeFlags = 8;  ///< Number of change flags.
  static constexpr int kAlive = 0;        ///< Status: received recently.
  static constexpr int kIdle = 1;         ///< Status: medium idle.
  static constexpr int kLost = 2;         ///< Status: bad idle.

  /// Change flags; 0 is set by no operation of the record.
  enum ChangeFlag {
    kLatitudeChanged = 1,
    kLongitudeChanged = 2,
    kPacketApplied1 = 3,
    kPacketApplied2 = 4,
    kPacketApplied3 = 5,
    kComment1Changed = 6,
    kComment2Changed = 7,
  };

  /// Builds the record of node `id` named `name` (cut to the text field) at table position
  /// `position`, with the given idle thresholds in milliseconds.
  NodeRecord(int id, const char* name, int position, int mediumIdleMs, int badIdleMs);
  NodeRecord(const NodeRecord&) = delete;
  NodeRecord& operator=(const NodeRecord&) = delete;
  virtual ~NodeRecord() = default;

  /// Applies a position fix from a multicast packet and then, as setComments does, the packet's
  /// comments (null for none), all under one hold of the lock. Returns false, changing nothing,
  /// when the packet is older than the last accepted one.
  bool applyPacket(double latitude, double longitude, const std::tm& calendar,
                   const TimeStamp& packetTime, const char* dateText,
                   const char* comment1 = nullptr, const char* comment2 = nullptr);

  /// Applies a state record read from a state file or a state server.
  void applyStateRecord(double latitude, double longitude, long status, const char* comment1,
                        const char* comment2, double age, const char* name);

  /// Takes a recorded fix as a replay gives it: received at `receivedAt` (replay time), with the
  /// packet time, calendar and date text a live packet would have carried (null `calendar` for
  /// a state record, which keeps the packet fields and takes `recordStatus`). The order guard of
  /// applyPacket is not applied, so a seek back in time can restore an older fix.
  void restoreFix(double latitude, double longitude, const TimeStamp& receivedAt,
                  const std::tm* calendar, const TimeStamp& packetTime, const char* dateText,
                  int recordStatus, const char* comment1, const char* comment2, const char* name);

  /// Stores each non-null comment that differs from the stored one and sets its change flag.
  void setComments(const char* comment1, const char* comment2);

  /// Idle status from the time since the last local reception; stored and returned.
  int computeStatus();
  /// As computeStatus, at the given time instead of now.
  int computeStatus(const WallTime& now);

  /// Seconds since the last local reception; stored in age and returned.
  double computeAge();
  /// As computeAge, at the given time instead of now.
  double computeAge(const WallTime& now);

  /// Clears the reception and packet times, the date text and both comments; sets every change
  /// flag.
  void resetTimes();

  /// Sets both idle thresholds, in milliseconds.
  void setIdleThresholds(int mediumIdleMs, int badIdleMs);

  /// Sets the node's own graphics definition (null for none).
  void setIcon(const NodeIconDef* definition);

  /// Sets the neighbours in the table's position order.
  void link(NodeRecord* previous, NodeRecord* following);

  /// Takes the record's lock, waiting without time-out. For readers that need a consistent view.
  void lock() { lock_.wait(); }
  /// Releases the record's lock.
  void unlock() { lock_.release(); }

  /// Status at `now` without taking the lock; the caller holds it.
  int computeStatusLocked(const WallTime& now);
  /// Age at `now` without taking the lock; the caller holds it.
  double computeAgeLocked(const WallTime& now);

  char name[kTextBytes] = {};         ///< Node name.
  int id = 0;                         ///< Node id, 0 to 1000.
  int position = 0;                   ///< Index in the table's position order.
  unsigned char hasData = 0;          ///< Set once a packet has been applied.
  NodeRecord* next = nullptr;         ///< Following record in position order.
  NodeRecord* prev = nullptr;         ///< Preceding record in position order.
  double latitude = 0;                ///< Degrees, south negative.
  double longitude = 0;               ///< Degrees, west negative.
  int status = kAlive;                ///< 0 alive, 1 idle, 2 lost.
  double age = 0;                     ///< Seconds since the last local reception, as computed.
  TimeStamp lastPacketTime;           ///< Time of the newest accepted packet.
  TimeStamp receivedAt;               ///< Local clock at the last update.
  int mediumIdleMs = 0;               ///< Milliseconds without reception before idle.
  int badIdleMs = 0;                  ///< Milliseconds without reception before lost.
  TimeStamp packetTime;               ///< Time carried by the last applied packet.
  std::tm packetCalendar = {};        ///< Calendar time of the last applied packet.
  char gpsDateText[kTextBytes] = {};  ///< Date and time text of the last applied packet.
  char comment1[kTextBytes] = {};     ///< First packet comment.
  char comment2[kTextBytes] = {};     ///< Second packet comment.
  unsigned char changed[kChangeFlags] = {};  ///< Change flags; consumers clear what they used.
  const NodeIconDef* icon = nullptr;         ///< The node's own graphics definition, or null.
  unsigned char seenAlive = 0;               ///< Set once the node has been seen alive.

 private:
  /// Stores a comment when it differs from `stored`; returns whether it changed.
  static bool storeComment(char* stored, const char* text);

  BinarySemaphore lock_;  ///< Held by every mutation.
};

/// Copies `text` into a text field of `size` bytes, cutting it and always terminating it; null
/// gives an empty text.
void copyTextField(char* field, const char* text, int size);
