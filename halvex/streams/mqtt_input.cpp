#include "halvex/streams/mqtt_input.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "halvex/streams/node_json.h"
#include "halvex/streams/node_state_inbox.h"

struct MqttInput::Shared {
  NodeStateInbox inbox;

  std::string ownSource;  ///< Set before the link starts, read on its thread.
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
    switch (inbox.put(std::move(state))) {
      case NodeStateInbox::Put::kWaiting:
        break;
      case NodeStateInbox::Put::kReplaced:
      case NodeStateInbox::Put::kOlder:
        // Retained messages may come after newer live ones: one of the two is not applied.
        ignored.fetch_add(1, std::memory_order_relaxed);
        break;
      case NodeStateInbox::Put::kFull:
        dropped.fetch_add(1, std::memory_order_relaxed);
        break;
    }
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
  shared_->inbox.setWakeHandler(std::move(wake));
}

bool MqttInput::running() const {
  std::lock_guard<std::mutex> hold(shared_->linkMutex);
  return shared_->link != nullptr;
}

int MqttInput::apply(const NodeTable& table) {
  Shared& s = *shared_;
  const NodeStateInbox::Applied done = s.inbox.apply(table);
  s.applied.fetch_add(done.applied, std::memory_order_relaxed);
  s.ignored.fetch_add(done.ignored, std::memory_order_relaxed);
  return done.applied;
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
  return shared_->inbox.latencyPercentileMs(percentile);
}
