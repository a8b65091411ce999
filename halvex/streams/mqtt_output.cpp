#include "halvex/streams/mqtt_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

#include "halvex/streams/node_changes.h"
#include "halvex/streams/node_json.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;
/// A period's messages are handed to the broker in slices of this many, spread over the first
/// kSpreadShare of the period: a burst of every node at once would make the last of them wait
/// behind all the others at the broker and at each subscriber.
constexpr size_t kSliceMessages = 32;
constexpr double kSpreadShare = 0.5;
/// Longest spread of one period's messages, ms: slow rates do not hold messages back long.
constexpr int64_t kMaxSpreadMs = 250;

/// How often the publishing thread looks at the link while states wait and it is not known to
/// be up.
constexpr std::chrono::seconds kRecheckInterval{1};

using SteadyClock = std::chrono::steady_clock;

int64_t msOf(const WallTime& time) {
  return time.seconds * kMsPerSecond + time.milliseconds;
}

}  // namespace

struct MqttOutput::Shared {
  // Loop thread only.
  NodeChanges nodeChanges;
  std::vector<NodeState> changes;      ///< Reused by period().
  SteadyClock::time_point lastPeriod;  ///< When period() last ran.

  // Guarded by mutex: the newest state of every node ever staged, and the ids waiting for the
  // broker. Both are bounded by the ids of the node table.
  std::mutex mutex;
  std::condition_variable wake;
  std::map<int, NodeState> latest;
  std::vector<char> pending = std::vector<char>(NodeTable::kMaxId + 1, 0);
  int pendingCount = 0;
  bool linkUp = false;  ///< Connected as far as the publisher knows.
  bool stopping = false;

  // The link and the publishing thread; replaced only by start() and stop().
  mutable std::mutex linkMutex;
  std::unique_ptr<MqttLink> link;
  std::thread publisher;
  std::string clientId;
  std::string prefix;
  std::string error;  ///< Why the last start() failed.

  std::atomic<long> published{0};
  std::atomic<int64_t> spreadMs{0};  ///< Time a period's messages are spread over.

  /// Marks `id` waiting; mutex held.
  void markPending(int id) {
    if (pending[id] == 0) {
      pending[id] = 1;
      ++pendingCount;
    }
  }

  /// Every node's last state waits again (after a connection); mutex held.
  void markAllPending() {
    for (const auto& entry : latest) markPending(entry.first);
  }

  /// The publishing thread: hands the waiting states to the broker while connected.
  void publishLoop() {
    std::vector<NodeState> batch;
    std::unique_lock<std::mutex> hold(mutex);
    for (;;) {
      const bool ready = wake.wait_for(hold, kRecheckInterval,
                                       [this] { return stopping || (linkUp && pendingCount > 0); });
      if (stopping) return;
      if (!ready) {
        // A refusal that raced with a reconnection, or one of another cause, must not hold the
        // states back until the next reconnection.
        if (!linkUp && pendingCount > 0) {
          hold.unlock();
          const bool connected = link->connected();
          hold.lock();
          linkUp = linkUp || connected;
        }
        continue;
      }
      batch.clear();
      for (auto& entry : latest) {
        if (pending[entry.first] == 0) continue;
        pending[entry.first] = 0;
        batch.push_back(entry.second);
      }
      pendingCount = 0;
      const auto start = SteadyClock::now();
      const std::chrono::milliseconds spread(spreadMs.load(std::memory_order_relaxed));
      size_t sent = 0;
      bool refused = false;
      while (sent < batch.size() && !refused && !stopping) {
        hold.unlock();
        const size_t end = std::min(batch.size(), sent + kSliceMessages);
        for (; sent < end; ++sent) {
          NodeState& state = batch[sent];
          state.sentMs = msOf(wallClockNow());
          const std::string topic = prefix + "/nodes/" + std::to_string(state.id);
          if (!link->publish(topic, nodeStateJson(state), kQos, true)) {
            refused = true;
            break;
          }
          published.fetch_add(1, std::memory_order_relaxed);
        }
        hold.lock();
        if (sent < batch.size() && !refused) {
          wake.wait_until(hold, start + spread * sent / batch.size(), [this] { return stopping; });
        }
      }
      if (sent < batch.size()) {
        // The broker went away: what was not handed over waits for the next connection, which
        // publishes every node again anyway.
        linkUp = false;
        for (size_t k = sent; k < batch.size(); ++k) markPending(batch[k].id);
      }
    }
  }
};

MqttOutput::MqttOutput() : shared_(std::make_unique<Shared>()) {}

MqttOutput::~MqttOutput() {
  stop();
}

bool MqttOutput::start(const MqttSettings& settings, const std::string& clientId,
                       std::string* error) {
  stop();
  Shared& s = *shared_;
  if (settings.topic.find_first_of("+#") != std::string::npos) {
    s.error = "the topic prefix " + settings.topic + " holds a wildcard (+ or #)";
    if (error != nullptr) *error = s.error;
    return false;
  }
  auto link = std::make_unique<MqttLink>(clientId);
  link->setName("output");
  link->setConnectHandler([&s] {
    std::lock_guard<std::mutex> hold(s.mutex);
    s.linkUp = true;
    s.markAllPending();
    s.wake.notify_all();
  });
  std::string problem;
  if (!link->start(settings, &problem)) {
    std::lock_guard<std::mutex> hold(s.linkMutex);
    s.error = problem;
    if (error != nullptr) *error = problem;
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(s.mutex);
    s.stopping = false;
  }
  std::lock_guard<std::mutex> hold(s.linkMutex);
  s.error.clear();
  s.clientId = clientId;
  s.prefix = settings.topic;
  s.link = std::move(link);
  s.publisher = std::thread([&s] { s.publishLoop(); });
  return true;
}

void MqttOutput::stop() {
  Shared& s = *shared_;
  std::unique_lock<std::mutex> linkHold(s.linkMutex);
  if (!s.link) return;
  {
    std::lock_guard<std::mutex> hold(s.mutex);
    s.stopping = true;
    s.wake.notify_all();
  }
  s.publisher.join();
  s.link->stop();
  s.link.reset();
  // The states are kept: the next start's connection publishes every node's last state.
  std::lock_guard<std::mutex> hold(s.mutex);
  s.linkUp = false;
}

bool MqttOutput::running() const {
  std::lock_guard<std::mutex> hold(shared_->linkMutex);
  return shared_->link != nullptr;
}

void MqttOutput::fixAccepted(const FixEvent& fix) {
  shared_->nodeChanges.noteFix(fix);
}

void MqttOutput::period(const NodeTable& table, const WallTime& now) {
  period(table, now, false);
}

void MqttOutput::period(const NodeTable& table, const WallTime& now, bool relayed) {
  Shared& s = *shared_;
  const auto started = SteadyClock::now();
  if (s.lastPeriod != SteadyClock::time_point()) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(started - s.lastPeriod).count();
    s.spreadMs.store(std::min(kMaxSpreadMs, static_cast<int64_t>(ms * kSpreadShare)),
                     std::memory_order_relaxed);
  }
  s.lastPeriod = started;
  std::vector<NodeState>& changes = s.changes;
  s.nodeChanges.changed(table, now, relayed, changes);
  if (changes.empty()) return;
  const std::string source = clientId();
  std::lock_guard<std::mutex> hold(s.mutex);
  for (NodeState& state : changes) {
    state.source = source;
    s.markPending(state.id);
    s.latest[state.id] = std::move(state);
  }
  s.wake.notify_all();
}

std::string MqttOutput::status() const {
  const Shared& s = *shared_;
  std::string line;
  {
    std::lock_guard<std::mutex> hold(s.linkMutex);
    line = mqttLinkStatus(s.link.get(), s.error);
  }
  return line + "; " + std::to_string(published()) + " published, " + std::to_string(staged()) +
         " waiting";
}

long MqttOutput::published() const {
  return shared_->published.load(std::memory_order_relaxed);
}

long MqttOutput::staged() const {
  std::lock_guard<std::mutex> hold(shared_->mutex);
  return shared_->pendingCount;
}

const std::string& MqttOutput::clientId() const {
  return shared_->clientId;
}
