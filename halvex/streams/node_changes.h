// What changed of each node since an output last sent it: the outputs that send a node only
// when its fix, position, status, name or comments changed share this bookkeeping.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/platform/wall_clock.h"
#include "halvex/streams/node_json.h"
#include "halvex/tracking/fix_listener.h"

class NodeTable;

/// The nodes an output has to send at each of its periods. Loop thread only.
class NodeChanges {
 public:
  NodeChanges();

  /// Notes the fix's UTC time: the node has a fix and it changed.
  void noteFix(const FixEvent& fix);

  /// Replaces `out` with the state of every node with a fix whose fix time, position, status,
  /// name or comments differ from what the last call gave of it. Statuses and ages are computed
  /// at `now`, unless `relayed`: then they are taken as the input stored them (the input gives
  /// them, as state records do). The states have no source and no sent time.
  void changed(const NodeTable& table, const WallTime& now, bool relayed,
               std::vector<NodeState>& out);

  /// Replaces `out` with the state of every node that has had a fix since the start, computed as
  /// changed() does, without changing what changed() will give.
  void every(const NodeTable& table, const WallTime& now, bool relayed,
             std::vector<NodeState>& out) const;

 private:
  /// What was last given of a node, to tell whether it changed.
  struct Given {
    bool known = false;
    int64_t fixMs = 0;
    double latitude = 0;
    double longitude = 0;
    int status = -1;
    std::string name;
    std::string comment1;
    std::string comment2;
  };

  /// Calls `visit(node, fixMs)` with every node that has a fix, locked, its status and age
  /// computed at `now` unless `relayed`.
  template <class Visit>
  void forEachFixed(const NodeTable& table, const WallTime& now, bool relayed, Visit visit) const;

  std::vector<int64_t> fixMs_;  ///< By id: the last fix's UTC ms, 0 for no fix.
  std::vector<Given> given_;    ///< By id.
};
