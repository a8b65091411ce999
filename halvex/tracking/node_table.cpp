#include "halvex/tracking/node_table.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/dlink_list.h"
#include "halvex/core/cut_line.h"
#include "halvex/tracking/ring_marker.h"

namespace {

constexpr double kMillisPerSecond = 1000.0;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/// |seconds| x 1000 truncated, held within int (NaN gives 0).
int thresholdMs(double seconds) {
  const double ms = std::fabs(seconds * kMillisPerSecond);
  if (!(ms < static_cast<double>(INT_MAX))) return std::isnan(ms) ? 0 : INT_MAX;
  return static_cast<int>(ms);
}

/// A node's position, read under its lock: inputs on other threads may be updating it.
struct GroundPoint {
  double latitude;
  double longitude;
};

GroundPoint positionOf(NodeRecord& node) {
  node.lock();
  const GroundPoint point{node.latitude, node.longitude};
  node.unlock();
  return point;
}

/// Squared ground distance in degrees, unscaled by latitude.
double squaredDistance(const GroundPoint& a, const GroundPoint& b) {
  const double dLat = a.latitude - b.latitude;
  const double dLon = a.longitude - b.longitude;
  return dLat * dLat + dLon * dLon;
}

}  // namespace

NodeTable::~NodeTable() {
  clearMarkers();
}

bool NodeTable::readNodeFile(const char* path) {
  std::fill(std::begin(nearest_), std::end(nearest_), nullptr);
  byPosition_.clear();
  byId_.clear();
  maxId_ = -1;
  nodesLoaded_ = true;
  FILE* file = (path != nullptr && *path != '\0') ? std::fopen(path, "r") : nullptr;
  if (file == nullptr) return false;
  char line[kLineBytes];
  while (readCutLine(file, line, sizeof line)) readNodeLine(line);
  std::fclose(file);
  for (size_t i = 0; i < byPosition_.size(); ++i) {
    byPosition_[i]->link(i > 0 ? byPosition_[i - 1].get() : nullptr,
                         i + 1 < byPosition_.size() ? byPosition_[i + 1].get() : nullptr);
  }
  return true;
}

// Sample line: "7   Truck seven"  (id, then the name after the blanks)
void NodeTable::readNodeLine(char* line) {
  char* word = line;
  while (isBlank(*word)) ++word;
  if (*word == '\0' || *word == '#') return;
  char* rest = word;
  while (*rest != '\0' && !isBlank(*rest)) ++rest;
  // A word that is no number gives 0; digits followed by other characters give their value.
  errno = 0;
  const long id = std::strtol(word, nullptr, 10);
  if (errno == ERANGE || id < 0 || id > kMaxId) return;
  while (*rest == ' ' || *rest == '\t') ++rest;
  size_t nameLength = std::strlen(rest);
  while (nameLength > 0 && (rest[nameLength - 1] == '\n' || rest[nameLength - 1] == '\r')) {
    rest[--nameLength] = '\0';
  }
  const int nodeId = static_cast<int>(id);
  if (nodeId > maxId_) {
    maxId_ = nodeId;
    byId_.resize(static_cast<size_t>(maxId_) + 1, nullptr);
  }
  if (byId_[nodeId] != nullptr) return;
  byPosition_.push_back(std::make_unique<NodeRecord>(
      nodeId, rest, static_cast<int>(byPosition_.size()), mediumIdleMs_, badIdleMs_));
  byId_[nodeId] = byPosition_.back().get();
}

NodeRecord* NodeTable::nodeAt(int position) const {
  if (position < 0 || position >= count()) return nullptr;
  return byPosition_[position].get();
}

NodeRecord* NodeTable::nodeById(int id) const {
  if (id < 0 || id > maxId_) return nullptr;
  return byId_[id];
}

NodeRecord* NodeTable::nearestAt(int k) const {
  return (k >= 0 && k < kNearestCount) ? nearest_[k] : nullptr;
}

void NodeTable::setIdleThresholds(double mediumSeconds, double badSeconds) {
  mediumIdleMs_ = thresholdMs(mediumSeconds);
  badIdleMs_ = thresholdMs(badSeconds);
  for (auto& record : byPosition_) record->setIdleThresholds(mediumIdleMs_, badIdleMs_);
}

void NodeTable::buildNearest(int targetId, int chaseId) {
  std::fill(std::begin(nearest_), std::end(nearest_), nullptr);
  if (targetId < 0) return;
  NodeRecord* target = nodeById(targetId);
  if (target == nullptr) return;
  const NodeRecord* chase = chaseId >= 0 ? nodeById(chaseId) : nullptr;
  const GroundPoint targetPoint = positionOf(*target);
  double distance[kNearestCount];
  for (const auto& owned : byPosition_) {
    NodeRecord* candidate = owned.get();
    if (candidate == target || candidate == chase) continue;
    const double d = squaredDistance(positionOf(*candidate), targetPoint);
    int j = 0;
    while (j < kNearestCount && nearest_[j] != nullptr && !(distance[j] > d)) ++j;
    if (j == kNearestCount) continue;  // ten nearer or equal entries: not listed
    // Entries j to 8 move down one place; the old entry 9 falls off.
    for (int k = kNearestCount - 1; k > j; --k) {
      nearest_[k] = nearest_[k - 1];
      distance[k] = distance[k - 1];
    }
    nearest_[j] = candidate;
    distance[j] = d;
  }
}

void NodeTable::clearMarkers() {
  DlinkList::deleteAll(markerHead_);
  markerTail_ = nullptr;
}

RingMarker* NodeTable::firstMarker() const {
  return static_cast<RingMarker*>(markerHead_);
}

void NodeTable::addMarker(RingMarker* marker) {
  if (marker == nullptr) return;
  if (!marker->appendTo(markerHead_, markerTail_, 0)) delete marker;
}
