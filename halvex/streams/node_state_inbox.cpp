#include "halvex/streams/node_state_inbox.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/platform/wall_clock.h"
#include "halvex/core/utc_time.h"
#include "halvex/streams/packet_time.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;
/// Latencies are counted in 1 ms steps up to this many ms; longer ones in the last step.
constexpr int kLatencySteps = 10000;

int64_t msOf(const WallTime& time) {
  return time.seconds * kMsPerSecond + time.milliseconds;
}

bool earlier(const TimeStamp& a, const TimeStamp& b) {
  return a.seconds < b.seconds || (a.seconds == b.seconds && a.milliseconds < b.milliseconds);
}

}  // namespace

NodeStateInbox::Put NodeStateInbox::put(NodeState&& state) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto found = waiting_.find(state.id);
  if (found == waiting_.end()) {
    if (waiting_.size() >= static_cast<size_t>(kMaxWaitingIds)) return Put::kFull;
    waiting_.emplace(state.id, std::move(state));
    if (waiting_.size() == 1 && wake_) wake_();
    return Put::kWaiting;
  }
  // Retained or relayed states may come after newer live ones: the newer fix stays.
  if (state.timeMs < found->second.timeMs) return Put::kOlder;
  found->second = std::move(state);
  return Put::kReplaced;
}

NodeStateInbox::Applied NodeStateInbox::apply(const NodeTable& table) {
  Applied result;
  batch_.clear();
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (waiting_.empty()) return result;
    for (auto& entry : waiting_) batch_.push_back(std::move(entry.second));
    waiting_.clear();
  }
  const WallTime now = table.now();
  latencies_.clear();
  for (const NodeState& state : batch_) {
    NodeRecord* node = table.nodeById(state.id);
    if (node == nullptr) {
      ++result.ignored;
      continue;
    }
    const PacketTime fix = packetTimeOfUtc(state.timeMs);
    node->lock();
    const bool older = earlier(fix.stamp, node->lastPacketTime);
    node->unlock();
    if (older) {
      ++result.ignored;
      continue;
    }
    TimeStamp received;
    utcSplitMs(state.timeMs, received.seconds, received.milliseconds);
    char name[NodeRecord::kTextBytes];
    copyTextField(name, state.name.empty() ? node->name : state.name.c_str(),
                  NodeRecord::kTextBytes);
    node->restoreFix(state.latitude, state.longitude, received, &fix.calendar, fix.stamp,
                     fix.dateText, state.status, state.comment1.c_str(), state.comment2.c_str(),
                     name);
    node->lock();
    node->computeStatusLocked(now);
    node->computeAgeLocked(now);
    node->unlock();
    ++result.applied;
    if (FixListener* listener = table.fixListener()) {
      listener->fixAccepted(fixEventOf(*node, FixKind::kStateRecord, state.timeMs, msOf(now)));
    }
    if (state.sentMs > 0) latencies_.push_back(msOf(wallClockNow()) - state.sentMs);
  }
  if (!latencies_.empty()) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (latency_.empty()) latency_.assign(kLatencySteps + 1, 0);
    for (const int64_t ms : latencies_) {
      const int64_t step = ms < 0 ? 0 : (ms > kLatencySteps ? kLatencySteps : ms);
      ++latency_[static_cast<size_t>(step)];
      ++latencyCount_;
    }
  }
  return result;
}

double NodeStateInbox::latencyPercentileMs(double percentile) const {
  std::lock_guard<std::mutex> hold(mutex_);
  if (latencyCount_ == 0) return -1;
  const double p = percentile < 0 ? 0 : (percentile > 100 ? 100 : percentile);
  // The smallest step at or below which `percentile` of the latencies lie, taken at its upper
  // edge, so the figure never flatters.
  const long rank = std::max(1L, static_cast<long>(std::ceil(p / 100 * latencyCount_)));
  long seen = 0;
  for (int step = 0; step <= kLatencySteps; ++step) {
    seen += latency_[static_cast<size_t>(step)];
    if (seen >= rank) return step + 1;
  }
  return kLatencySteps + 1;
}
