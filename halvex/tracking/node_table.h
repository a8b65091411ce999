// Every tracked node, in node-list order and by id, with the proximity list and ring markers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "halvex/tracking/node_record.h"

class DlinkList;
class RingMarker;

/// The tracker's node table: records created from the node list file, looked up by position or
/// id, the proximity list around the target, and the ring markers read from local state files.
class NodeTable {
 public:
  static constexpr int kMaxId = 1000;       ///< Highest node id.
  static constexpr int kNearestCount = 10;  ///< Entries of the proximity list.
  static constexpr int kLineBytes = 2048;   ///< Node list line buffer, terminator included.
  static constexpr int kDefaultMediumIdleMs = 4000;  ///< Idle threshold before configuration.
  static constexpr int kDefaultBadIdleMs = 2000;     ///< Lost threshold before configuration.

  /// Builds an empty table whose receive ports will use the given buffer sizes.
  NodeTable(int bufferBytes, int buffersPerPort);
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

  /// Rebuilds the proximity list: the ten nodes nearest the target, chase excluded.
  void buildNearest(int targetId, int chaseId);

  /// Reads a local state file: state records update their nodes and a changed ring-marker set
  /// replaces the markers. Returns false when the name is empty or the file cannot be opened.
  bool readStateFile(const char* name);

  /// Deletes every ring marker.
  void clearMarkers();
  /// First ring marker, or null.
  RingMarker* firstMarker() const;
  /// Appends a ring marker, which the table then owns.
  void addMarker(RingMarker* marker);

  int count() const { return static_cast<int>(byPosition_.size()); }
  int maxId() const { return maxId_; }
  NodeRecord* chainHead() const { return byPosition_.empty() ? nullptr : byPosition_[0].get(); }
  bool nodesLoaded() const { return nodesLoaded_; }
  int mediumIdleMs() const { return mediumIdleMs_; }
  int badIdleMs() const { return badIdleMs_; }
  int bufferBytes() const { return bufferBytes_; }
  int buffersPerPort() const { return buffersPerPort_; }

 private:
  /// Reads one node list line into a new record unless it is skipped.
  void readNodeLine(char* line);

  std::vector<std::unique_ptr<NodeRecord>> byPosition_;  ///< Records in node-list order.
  std::vector<NodeRecord*> byId_;                        ///< Records by id, null where none.
  int maxId_ = -1;                                       ///< Highest id read, -1 when none.
  NodeRecord* nearest_[kNearestCount] = {};              ///< Proximity list, nearest first.
  bool nodesLoaded_ = false;                             ///< Set by readNodeFile.
  int bufferBytes_;                                      ///< Bytes per receive buffer.
  int buffersPerPort_;                                   ///< Receive buffers per port.
  int mediumIdleMs_ = kDefaultMediumIdleMs;              ///< Pushed to every record.
  int badIdleMs_ = kDefaultBadIdleMs;                    ///< Pushed to every record.
  DlinkList* markerHead_ = nullptr;                      ///< Ring markers, oldest first.
  DlinkList* markerTail_ = nullptr;                      ///< Last ring marker.
  int lastMarkerIndex_ = -1;                             ///< Marker-set index of the markers held.
  int parsedMarkerIndex_ = 0;                            ///< Marker-set index read last.
};
