// Publishing the node table over MQTT: each node's state, when it changed, as a retained
// message on PREFIX/nodes/ID, at most once per node per state output period.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/wall_clock.h"
#include "halvex/net/mqtt_link.h"
#include "halvex/tracking/fix_listener.h"

class NodeTable;

/// The MQTT output. The loop's thread tells it of fixes (as a FixListener) and calls period()
/// at every state output period; a thread of its own hands the staged messages to the broker.
/// While the broker is away only the newest state of each node is kept, and after every
/// (re)connection every node's last state is published again.
class MqttOutput : public FixListener {
 public:
  static constexpr int kQos = 1;

  MqttOutput();
  /// Stops the publishing thread and disconnects.
  ~MqttOutput() override;
  MqttOutput(const MqttOutput&) = delete;
  MqttOutput& operator=(const MqttOutput&) = delete;

  /// Connects to the broker of `settings` under `clientId` (in the background). False with a
  /// reason as MqttLink::start gives it.
  bool start(const MqttSettings& settings, const std::string& clientId, std::string* error);
  void stop();
  bool running() const;

  /// Notes the fix's UTC time and that the node changed. Loop thread.
  void fixAccepted(const FixEvent& fix) override;
  /// One state output period at `now`: stages the message of every node whose fix, status,
  /// comments or name changed since its last message. Loop thread; never waits on the network.
  void period(const NodeTable& table, const WallTime& now);
  /// As above; with `relayed` each node's stored status and age are published as they are (the
  /// input gives them, as state records do) instead of being computed at `now`.
  void period(const NodeTable& table, const WallTime& now, bool relayed);

  /// For the operator and the tests (any thread).
  std::string status() const;
  long published() const;  ///< Messages handed to the broker.
  long staged() const;     ///< Node states waiting for the broker now.
  const std::string& clientId() const;

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};
