#include "halvex/streams/mqtt_input.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/platform/wall_clock.h"
#include "halvex/core/utc_time.h"
#include "halvex/streams/node_json.h"
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

struct MqttInput::Shared {
  std::mutex mutex;
  /// The newest state of each id not yet applied; guarded by mutex.
  std::unordered_map<int, NodeState> waiting;
  /// Applied latencies, one count per ms step; guarded by mutex.
  std::vector<long> latency = std::vector<long>(kLatencySteps + 1, 0);
  long latencyCount = 0;
  std::vector<NodeState> batch;    ///< Loop thread: the states being applied.
  std::vector<int64_t> latencies;  ///< Loop thread: their latencies, ms.

  std::string ownSource;       ///< Set before the link starts, read on its thread.
  std::function<void()> wake;  ///< Likewise.
  mutable std::mutex linkMutex;
  std::unique_ptr<MqttLink> link;
  std::string error;

  std::atomic<long> received{0};
  std::atomic<long> applied{0};
  std::atomic<long> dropped{0};
  std::atomic<long> ignored{0};

  /// One message from the broker (the link's thread).
  void take(const void* payload, int bytes) {
    received.fetch_add(1, std::memory_order_relaxed);
    NodeState state;
    if (bytes < 0 || static_cast<size_t>(bytes) > kNodeJsonMaxBytes ||
        readNodeStateJson(static_cast<const char*>(payload), static_cast<size_t>(bytes), state) !=
            NodeJsonError::kNone) {
      dropped.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    if (!ownSource.empty() && state.source == ownSource) {
      ignored.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    std::lock_guard<std::mutex> hold(mutex);
    auto found = waiting.find(state.id);
    if (found == waiting.end()) {
      if (waiting.size() >= static_cast<size_t>(kMaxWaitingIds)) {
        dropped.fetch_add(1, std::memory_order_relaxed);
        return;
      }
      waiting.emplace(state.id, std::move(state));
      if (waiting.size() == 1 && wake) wake();
      return;
    }
    // Retained messages may come after newer live ones: the newer fix stays.
    ignored.fetch_add(1, std::memory_order_relaxed);
    if (state.timeMs >= found->second.timeMs) found->second = std::move(state);
  }
};

MqttInput::MqttInput() : shared_(std::make_unique<Shared>()) {}

MqttInput::~MqttInput() {
  stop();
}

bool MqttInput::start(const MqttSettings& settings, const std::string& clientId,
                      const std::string& ownSource, std::string* error) {
  stop();
  Shared& s = *shared_;
  auto link = std::make_unique<MqttLink>(clientId);
  link->setName("input");
  s.ownSource = ownSource;
  link->setMessageHandler(
      [&s](const char*, const void* payload, int bytes) { s.take(payload, bytes); });
  link->subscribe(settings.topic + "/nodes/+", kSubscribeQos);
  std::string problem;
  std::lock_guard<std::mutex> hold(s.linkMutex);
  if (!link->start(settings, &problem)) {
    s.error = problem;
    if (error != nullptr) *error = problem;
    return false;
  }
  s.error.clear();
  s.link = std::move(link);
  return true;
}

void MqttInput::stop() {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> hold(s.linkMutex);
  if (!s.link) return;
  s.link->stop();
  s.link.reset();
}

void MqttInput::setWakeHandler(std::function<void()> wake) {
  shared_->wake = std::move(wake);
}

bool MqttInput::running() const {
  std::lock_guard<std::mutex> hold(shared_->linkMutex);
  return shared_->link != nullptr;
}

int MqttInput::apply(const NodeTable& table) {
  Shared& s = *shared_;
  std::vector<NodeState>& batch = s.batch;
  batch.clear();
  {
    std::lock_guard<std::mutex> hold(s.mutex);
    if (s.waiting.empty()) return 0;
    for (auto& entry : s.waiting) batch.push_back(std::move(entry.second));
    s.waiting.clear();
  }
  const WallTime now = table.now();
  int count = 0;
  long ignored = 0;
  std::vector<int64_t>& latencies = s.latencies;
  latencies.clear();
  for (const NodeState& state : batch) {
    NodeRecord* node = table.nodeById(state.id);
    if (node == nullptr) {
      ++ignored;
      continue;
    }
    const PacketTime fix = packetTimeOfUtc(state.timeMs);
    node->lock();
    const bool older = earlier(fix.stamp, node->lastPacketTime);
    node->unlock();
    if (older) {
      ++ignored;
      continue;
    }
    // The fix time stands for the reception time, so that status and age follow from it.
    TimeStamp received;
    utcSplitMs(state.timeMs, received.seconds, received.milliseconds);
    // A message without a name keeps the node list's.
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
    ++count;
    if (FixListener* listener = table.fixListener()) {
      listener->fixAccepted(fixEventOf(*node, FixKind::kStateRecord, state.timeMs, msOf(now)));
    }
    if (state.sentMs > 0) latencies.push_back(msOf(wallClockNow()) - state.sentMs);
  }
  s.applied.fetch_add(count, std::memory_order_relaxed);
  s.ignored.fetch_add(ignored, std::memory_order_relaxed);
  if (!latencies.empty()) {
    std::lock_guard<std::mutex> hold(s.mutex);
    for (const int64_t ms : latencies) {
      const int64_t step = ms < 0 ? 0 : (ms > kLatencySteps ? kLatencySteps : ms);
      ++s.latency[static_cast<size_t>(step)];
      ++s.latencyCount;
    }
  }
  return count;
}

std::string MqttInput::status() const {
  const Shared& s = *shared_;
  std::string line;
  {
    std::lock_guard<std::mutex> hold(s.linkMutex);
    line = mqttLinkStatus(s.link.get(), s.error);
  }
  return line + "; " + std::to_string(received()) + " received, " + std::to_string(applied()) +
         " applied, " + std::to_string(dropped()) + " dropped, " + std::to_string(ignored()) +
         " ignored";
}

long MqttInput::received() const {
  return shared_->received.load(std::memory_order_relaxed);
}

long MqttInput::applied() const {
  return shared_->applied.load(std::memory_order_relaxed);
}

long MqttInput::dropped() const {
  return shared_->dropped.load(std::memory_order_relaxed);
}

long MqttInput::ignored() const {
  return shared_->ignored.load(std::memory_order_relaxed);
}

double MqttInput::latencyPercentileMs(double percentile) const {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> hold(s.mutex);
  if (s.latencyCount == 0) return -1;
  const double p = percentile < 0 ? 0 : (percentile > 100 ? 100 : percentile);
  // The smallest step at or below which `percentile` of the latencies lie, taken at its upper
  // edge, so the figure never flatters.
  const long rank = std::max(1L, static_cast<long>(std::ceil(p / 100 * s.latencyCount)));
  long seen = 0;
  for (int step = 0; step <= kLatencySteps; ++step) {
    seen += s.latency[static_cast<size_t>(step)];
    if (seen >= rank) return step + 1;
  }
  return kLatencySteps + 1;
}
