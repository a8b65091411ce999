// Node states read on an input's own thread, waiting for the loop to apply them to the node
// table: only the newest state of each id waits, so a burst costs memory by nodes, not by
// messages.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "halvex/streams/node_json.h"

class NodeTable;

/// The states waiting for the loop, and their application. put() may be called from any thread,
/// apply() from the loop's thread only.
class NodeStateInbox {
 public:
  /// Node ids kept waiting at most: one id space of this size across the exercise.
  static constexpr int kMaxWaitingIds = 65536;

  /// What became of a state handed to put().
  enum class Put {
    kWaiting,   ///< It waits; no other state of its id did.
    kReplaced,  ///< It took the place of an older waiting state of its id, now gone.
    kOlder,     ///< A newer state of its id waits already; it is gone.
    kFull,      ///< kMaxWaitingIds other ids wait already; it is gone.
  };

  /// What one apply() did.
  struct Applied {
    int applied = 0;  ///< States taken by a node.
    int ignored = 0;  ///< No node has the id, or older than the node's last fix.
  };

  NodeStateInbox() = default;
  NodeStateInbox(const NodeStateInbox&) = delete;
  NodeStateInbox& operator=(const NodeStateInbox&) = delete;

  /// Called (under the inbox's lock, so it must not block nor call the inbox) when a state
  /// starts waiting while none did, so a loop waiting for events can run its input step at once.
  /// Set before any put().
  void setWakeHandler(std::function<void()> wake) { wake_ = std::move(wake); }

  /// Lets `state` wait unless a state of its id with a later fix waits already.
  Put put(NodeState&& state);

  /// The input step (loop thread): applies every waiting state to the node with its id unless it
  /// is older than the node's last fix or no node has the id. The name given replaces the node's
  /// (an empty one keeps the node list's); the fix time stands for the reception time, so that
  /// status and age follow from it, judged at the table's time. The table's fix listener is told
  /// of each fix taken, as a state record.
  Applied apply(const NodeTable& table);

  /// Send-to-apply latency of the states applied that carried a send time, ms: the given
  /// percentile (0 to 100) of those applied so far; -1 with none. Any thread.
  double latencyPercentileMs(double percentile) const;

 private:
  mutable std::mutex mutex_;
  std::function<void()> wake_;
  std::unordered_map<int, NodeState> waiting_;  ///< Newest state of each id; guarded by mutex_.
  std::vector<long> latency_;                   ///< Count per 1 ms step; guarded by mutex_.
  long latencyCount_ = 0;                       ///< Guarded by mutex_.
  std::vector<NodeState> batch_;                ///< Loop thread: the states being applied.
  std::vector<int64_t> latencies_;              ///< Loop thread: their latencies, ms.
};
