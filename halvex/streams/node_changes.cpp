#include "halvex/streams/node_changes.h"

#include <utility>

#include "halvex/tracking/node_table.h"

namespace {

/// The state of `node` (locked) with its fix at `fixMs`.
NodeState stateOf(const NodeRecord& node, int64_t fixMs) {
  NodeState state;
  state.id = node.id;
  state.name = node.name;
  state.latitude = node.latitude;
  state.longitude = node.longitude;
  state.timeMs = fixMs;
  state.status = node.status;
  state.age = node.age;
  state.comment1 = node.comment1;
  state.comment2 = node.comment2;
  return state;
}

}  // namespace

NodeChanges::NodeChanges() : fixMs_(NodeTable::kMaxId + 1, 0), given_(NodeTable::kMaxId + 1) {}

void NodeChanges::noteFix(const FixEvent& fix) {
  if (fix.id < 0 || fix.id > NodeTable::kMaxId) return;
  // 0 marks "no fix": a fix at the epoch itself is taken 1 ms later.
  fixMs_[fix.id] = fix.fixMs != 0 ? fix.fixMs : 1;
}

template <class Visit>
void NodeChanges::forEachFixed(const NodeTable& table, const WallTime& now, bool relayed,
                               Visit visit) const {
  for (NodeRecord* node = table.chainHead(); node != nullptr; node = node->next) {
    const int id = node->id;
    if (id < 0 || id > NodeTable::kMaxId || fixMs_[id] == 0) continue;
    node->lock();
    if (!relayed) {
      node->computeStatusLocked(now);
      node->computeAgeLocked(now);
    }
    visit(*node, fixMs_[id]);
    node->unlock();
  }
}

void NodeChanges::changed(const NodeTable& table, const WallTime& now, bool relayed,
                          std::vector<NodeState>& out) {
  out.clear();
  forEachFixed(table, now, relayed, [this, &out](const NodeRecord& node, int64_t fixMs) {
    Given& last = given_[node.id];
    if (last.known && last.fixMs == fixMs && last.latitude == node.latitude &&
        last.longitude == node.longitude && last.status == node.status && last.name == node.name &&
        last.comment1 == node.comment1 && last.comment2 == node.comment2) {
      return;
    }
    NodeState state = stateOf(node, fixMs);
    last.known = true;
    last.fixMs = fixMs;
    last.latitude = state.latitude;
    last.longitude = state.longitude;
    last.status = state.status;
    last.name = state.name;
    last.comment1 = state.comment1;
    last.comment2 = state.comment2;
    out.push_back(std::move(state));
  });
}

void NodeChanges::every(const NodeTable& table, const WallTime& now, bool relayed,
                        std::vector<NodeState>& out) const {
  out.clear();
  forEachFixed(table, now, relayed, [&out](const NodeRecord& node, int64_t fixMs) {
    out.push_back(stateOf(node, fixMs));
  });
}
