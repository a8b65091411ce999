// Every tracked node, in node-list order and by id, with the proximity list and ring markers.
#pragma once

#include <memory>
#include <vector>

#include "halvex/core/tracker_defaults.h"
#include "halvex/tracking/fix_listener.h"
#include "halvex/tracking/node_record.h"

class DlinkList;

/// A clock the node table can follow instead of the wall clock: a replay's time.
class TableClock {
 public:
  virtual ~TableClock() = default;
  /// The time the idle status, ages and trails are judged against.
  virtual WallTime now() const = 0;
};
class RingMarker;

/// The tracker's node table: records created from the node list file, looked up by position or
/// id, the proximity list around the target, and the ring markers read from state files with the
/// marker-set indices that tell whether a file's markers are new. The inputs that update the
/// records (multicast ports, state files) work on the table from outside.
class NodeTable {
 public:
  static constexpr int kMaxId = 1000;       ///< Highest node id.
  static constexpr int kNearestCount = 10;  ///< Entries of the proximity list.
  static constexpr int kLineBytes = 2048;   ///< Node list line buffer, terminator included.
  static constexpr int kDefaultMediumIdleMs =
      tracker_defaults::kTableMediumIdleMs;  ///< Idle threshold before configuration.
  static constexpr int kDefaultBadIdleMs =
      tracker_defaults::kTableBadIdleMs;  ///< Lost threshold before configuration.

  /// Builds an empty table.
  NodeTable() = default;
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;
  virtual ~NodeTable();

  /// Discards every record and reads the node list file `path`. Returns false when the file
  /// cannot be opened (the table is then empty).
  bool readNodeFile(const char* path);

  /// Record at `position`, or null beyond the last.
  NodeRecord* nodeAt(int position) const;
  /// Record with `id`, or null when no node has it.
  NodeRecord* nodeById(int id) const;
  /// Entry k of the proximity list, or null.
  NodeRecord* nearestAt(int k) const;

  /// Sets the idle and lost thresholds from seconds, in every record too.
  void setIdleThresholds(double mediumSeconds, double badSeconds);

  /// Rebuilds the proximity list: the ten nodes nearest the target, chase excluded. Positions
  /// are read under each node's lock, so inputs on other threads may go on meanwhile.
  void buildNearest(int targetId, int chaseId);

  /// Deletes every ring marker.
  void clearMarkers();
  /// First ring marker, or null.
  RingMarker* firstMarker() const;
  /// Appends a ring marker, which the table then owns.
  void addMarker(RingMarker* marker);

  /// Sets who is told of every fix the inputs apply (null for none); the table does not own it.
  void setFixListener(FixListener* listener) { fixListener_ = listener; }
  /// Sets the clock idle status and ages are judged against (null for the wall clock); the table
  /// does not own it.
  void setClock(const TableClock* clock) { clock_ = clock; }
  /// The table's time: the clock's when one is set, else the wall clock.
  WallTime now() const { return clock_ != nullptr ? clock_->now() : wallClockNow(); }
  /// Who is told of accepted fixes, or null.
  FixListener* fixListener() const { return fixListener_; }

  int count() const { return static_cast<int>(byPosition_.size()); }
  int maxId() const { return maxId_; }
  NodeRecord* chainHead() const { return byPosition_.empty() ? nullptr : byPosition_[0].get(); }
  bool nodesLoaded() const { return nodesLoaded_; }
  int mediumIdleMs() const { return mediumIdleMs_; }
  int badIdleMs() const { return badIdleMs_; }
  /// Marker-set index whose markers are held (-1 when none), kept between state file reads.
  int lastMarkerIndex() const { return lastMarkerIndex_; }
  /// Marker-set index read last (kept when an index line does not read).
  int parsedMarkerIndex() const { return parsedMarkerIndex_; }
  /// Stores both marker-set indices after a state file read.
  void setMarkerIndices(int last, int parsed) {
    lastMarkerIndex_ = last;
    parsedMarkerIndex_ = parsed;
  }

 private:
  /// Reads one node list line into a new record unless it is skipped.
  void readNodeLine(char* line);

  std::vector<std::unique_ptr<NodeRecord>> byPosition_;  ///< Records in node-list order.
  std::vector<NodeRecord*> byId_;                        ///< Records by id, null where none.
  int maxId_ = -1;                                       ///< Highest id read, -1 when none.
  NodeRecord* nearest_[kNearestCount] = {};              ///< Proximity list, nearest first.
  bool nodesLoaded_ = false;                             ///< Set by readNodeFile.
  int mediumIdleMs_ = kDefaultMediumIdleMs;              ///< Pushed to every record.
  int badIdleMs_ = kDefaultBadIdleMs;                    ///< Pushed to every record.
  DlinkList* markerHead_ = nullptr;                      ///< Ring markers, oldest first.
  DlinkList* markerTail_ = nullptr;                      ///< Last ring marker.
  int lastMarkerIndex_ = -1;                             ///< Marker-set index of the markers held.
  int parsedMarkerIndex_ = 0;                            ///< Marker-set index read last.
  FixListener* fixListener_ = nullptr;                   ///< Told of every accepted fix.
  const TableClock* clock_ = nullptr;                    ///< Replay clock, null for wall time.
};
