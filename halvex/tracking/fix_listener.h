// What the inputs tell about every fix the node table accepts: recording and trails listen.
#pragma once

#include <cstdint>
#include <vector>

/// Where an accepted fix came from.
enum class FixKind : uint8_t {
  kPacket = 0,       ///< a multicast position packet
  kStateRecord = 1,  ///< a state record from a local state file or the state server
};

/// One fix a node took, as the input applied it. Texts are the node's texts after the fix
/// (never null); the listener keeps what it needs before it returns.
struct FixEvent {
  int id = 0;  ///< Node id, 0 to 1000.
  FixKind kind = FixKind::kPacket;
  int64_t fixMs = 0;      ///< UTC time of the fix, ms since 1970 (the arrival time when unknown).
  int64_t arrivalMs = 0;  ///< UTC time the tracker took it, ms since 1970.
  double latitude = 0;    ///< Degrees, south negative.
  double longitude = 0;   ///< Degrees, west negative.
  int status = 0;         ///< 0 alive, 1 idle, 2 lost: the record's status, 0 for packets.
  const char* comment1 = "";
  const char* comment2 = "";
  const char* name = "";
};

class NodeRecord;

/// The event of the fix `node` has just taken: its id, position, status and texts as the node
/// holds them now, with the fix's kind and times.
FixEvent fixEventOf(const NodeRecord& node, FixKind kind, int64_t fixMs, int64_t arrivalMs);

/// Told of every accepted fix, on the thread that applied it (the loop's thread).
class FixListener {
 public:
  virtual ~FixListener() = default;
  virtual void fixAccepted(const FixEvent& fix) = 0;
};

/// Tells several listeners, in the order they were added.
class FixFanout : public FixListener {
 public:
  /// Adds `listener` (not owned) unless it is there already.
  void add(FixListener* listener);
  /// Removes `listener` when it is there.
  void remove(FixListener* listener);
  void fixAccepted(const FixEvent& fix) override;

 private:
  std::vector<FixListener*> listeners_;
};
