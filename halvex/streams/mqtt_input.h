// Node states from MQTT: messages on PREFIX/nodes/+ read on the link's thread and applied to
// the node table by the loop's input step, as state records are.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "halvex/net/mqtt_link.h"

class NodeTable;

/// The MQTT input mode. Messages are read as they arrive; only the newest state of each node
/// waits for the loop, so a burst costs memory by nodes, not by messages.
class MqttInput {
 public:
  /// QoS of the subscription. The session is clean, so a reconnection loses what QoS 1 would
  /// have held for it anyway, and the retained messages bring every node's last state again on
  /// every subscription; acknowledging each message would only double the broker's work.
  static constexpr int kSubscribeQos = 0;

  MqttInput();
  ~MqttInput();
  MqttInput(const MqttInput&) = delete;
  MqttInput& operator=(const MqttInput&) = delete;

  /// Subscribes to PREFIX/nodes/+ at the broker of `settings` under `clientId`; messages whose
  /// source is `ownSource` (the output's client id of this tracker, may be empty) are ignored.
  bool start(const MqttSettings& settings, const std::string& clientId,
             const std::string& ownSource, std::string* error);
  void stop();
  bool running() const;

  /// Called on the link's thread when a state starts waiting for the loop (not again until
  /// apply() took it), so a loop waiting for events can run its input step at once. Set before
  /// start(); must not block.
  void setWakeHandler(std::function<void()> wake);

  /// The input step (loop thread): applies every waiting state to its node unless it is older
  /// than the node's last fix or no node has its id, telling the table's fix listener of each
  /// fix taken as the other inputs do. Returns the number applied.
  int apply(const NodeTable& table);

  /// Counts for the operator and the tests (any thread).
  std::string status() const;
  long received() const;  ///< Messages read.
  long applied() const;   ///< States taken by a node.
  long dropped() const;   ///< Malformed, oversized, wrong types, non-finite.
  long ignored() const;   ///< Own, older than the node's fix, unknown id.
  /// Publish-to-apply latency of the states applied that carried "sent", ms: the given
  /// percentile (0 to 100) of those applied since start; -1 with none.
  double latencyPercentileMs(double percentile) const;

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};
