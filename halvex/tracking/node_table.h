// Every tracked node, in node-list order and by id, with the proximity list, ring markers and
// the multicast input ports that feed it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "halvex/tracking/node_record.h"

class DlinkList;
class InputPort;
class RingMarker;

/// The tracker's node table: records created from the node list file, looked up by position or
/// id, the proximity list around the target, the ring markers read from local state files, and
/// the multicast input ports whose packets update the records (their operations live in
/// halvex/streams/node_table_ports.cpp).
class NodeTable {
 public:
  static constexpr int kMaxId = 1000;       ///< Highest node id.
  static constexpr int kNearestCount = 10;  ///< Entries of the proximity list.
  static constexpr int kLineBytes = 2048;   ///< Node list line buffer, terminator included.
  static constexpr int kDefaultMediumIdleMs = 4000;  ///< Idle threshold before configuration.
  static constexpr int kDefaultBadIdleMs = 2000;     ///< Lost threshold before configuration.
  static constexpr int kDefaultBufferBytes = 250;    ///< Receive buffer size for unusable values.
  static constexpr int kDefaultBuffersPerPort = 20;  ///< Receive buffers for unusable values.
  static constexpr int kMinBufferBytes = 2;          ///< One character and its terminator.
  static constexpr int kMaxBufferBytes = 65536;      ///< Holds the largest UDP datagram.
  static constexpr int kMinBuffersPerPort = 1;       ///< Smallest ring.
  static constexpr int kMaxBuffersPerPort = 65536;   ///< Largest ring.
  static constexpr long kMaxRingBytes = 64L << 20;   ///< Largest ring block (B x N), per ring.
  static constexpr unsigned kRestartPauseMs = 500;   ///< Pause between stopping and restarting.
  static constexpr int kPortLineBytes = 2048;  ///< Port file line buffer, terminator included.

  /// Builds an empty table whose receive ports will use the given buffer sizes (brought within
  /// the limits as the setters do; values below the minimum give the defaults).
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

  /// Rebuilds the proximity list: the ten nodes nearest the target, chase excluded. Positions
  /// are read under each node's lock, so inputs on other threads may go on meanwhile.
  void buildNearest(int targetId, int chaseId);

  /// Reads a local state file: state records update their nodes and a changed ring-marker set
  /// replaces the markers. Returns false when the name is empty or the file cannot be opened.
  bool readStateFile(const char* name);

  /// Unloads the ports, then reads the multicast port file `name` into one port per line of
  /// group and port, in file order, and remembers the name for reloading. Returns whether at
  /// least one port was read. Receivers are not started.
  bool loadPortFile(const char* name);
  /// Stops the receivers and destroys every port.
  void unloadPorts();
  /// Opens every port's receiver and marks it active, unless receivers run already.
  void startReceivers();
  /// Stops every active port's receiver; afterwards no receive thread touches a ring.
  void stopReceivers();
  /// Sets the bytes per receive buffer. A value below 2 is refused, one above the limits is cut
  /// to them (B at most 65536, B x N at most 64 MiB). When the stored value changes, running
  /// receivers are stopped, the port file is reloaded after a 500 ms pause with rings of the new
  /// size and the receivers started again; loaded ports are reloaded. Returns the value in force.
  int setBytesPerBuffer(int bytes);
  /// Sets the buffers per port as setBytesPerBuffer does the bytes: below 1 is refused, above
  /// 65536 or B x N above 64 MiB is cut. Returns the value in force.
  int setBuffersPerPort(int count);
  /// Applies every packet received on the active ports since the last call, port by port in file
  /// order. Returns the number of packets the nodes took.
  int processPorts();

  int portCount() const { return static_cast<int>(ports_.size()); }
  /// Port k in file order, or null.
  InputPort* portAt(int k) const;
  bool portsLoaded() const { return portsLoaded_; }
  bool receiving() const { return receiving_; }
  /// The remembered port file name (empty before the first load).
  const char* portFilePath() const { return portFilePath_.c_str(); }

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
  /// Reads one port file line into a new port unless it is skipped.
  void readPortLine(const char* line);
  /// Rebuilds the ports with the stored buffer sizes after a change, restarting running ones.
  void applyBufferSizes();
  /// `bytes` within the limits for rings of `count` buffers, or 0 when it is too small.
  static int boundedBufferBytes(int bytes, int count);
  /// `count` within the limits for buffers of `bytes` bytes, or 0 when it is too small.
  static int boundedBuffersPerPort(int count, int bytes);

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
  std::vector<std::unique_ptr<InputPort>> ports_;        ///< Receive ports in file order.
  std::string portFilePath_;                             ///< Port file to reload from.
  bool portsLoaded_ = false;                             ///< At least one port was read.
  bool receiving_ = false;                               ///< Receivers started.
};
