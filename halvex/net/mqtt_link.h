// One connection to an MQTT broker through libmosquitto: connecting (name lookup included),
// reconnecting with back-off and the network traffic all run on a thread of the link's own, so
// no caller ever waits on the network; subscriptions are made again after every reconnect.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "halvex/config/mqtt_settings.h"

/// A client of one broker. Handlers run on the link's network thread and must not block, nor
/// call stop(). An outage is said once on standard error ("halvex: MQTT NAME: cannot reach
/// HOST:PORT (REASON); retrying", "... connection to HOST:PORT lost; retrying") and its end
/// too ("... connected to HOST:PORT").
///
/// All members may be called from any thread.
class MqttLink {
 public:
  /// Back-off between connection attempts, s: doubles from the first to the last.
  static constexpr int kFirstRetrySeconds = 1;
  static constexpr int kLastRetrySeconds = 30;
  static constexpr int kKeepAliveSeconds = 30;

  /// Called with (topic, payload, bytes) for every message of a subscription.
  using MessageHandler = std::function<void(const char* topic, const void* payload, int bytes)>;
  /// Called after every successful connection, the first and each reconnection.
  using ConnectHandler = std::function<void()>;

  /// A client named `clientId` (see uniqueClientId), not yet started.
  explicit MqttLink(std::string clientId);
  /// Disconnects and joins the network thread.
  ~MqttLink();
  MqttLink(const MqttLink&) = delete;
  MqttLink& operator=(const MqttLink&) = delete;

  /// Set before start().
  void setMessageHandler(MessageHandler handler);
  void setConnectHandler(ConnectHandler handler);
  /// Names the link in the operator's messages on standard error ("output", "input"):
  /// "halvex: MQTT NAME: connection to HOST:PORT lost; retrying".
  void setName(std::string name);

  /// Starts connecting to the broker of `settings` in the background and returns at once. False,
  /// with a one-line reason in `error`, for settings that cannot work whatever the broker does:
  /// no host, a port outside 1..65535, a password file that cannot be read or that others may
  /// read (mode wider than 0600), a CA file that cannot be read.
  bool start(const MqttSettings& settings, std::string* error);
  /// Disconnects and stops the thread; start() may be called again. Never waits on a name
  /// lookup: a thread inside one is left to end by itself, calling no handler.
  void stop();

  /// Subscribes to `pattern` at QoS `qos` now when connected and after every reconnection.
  void subscribe(const std::string& pattern, int qos);
  /// Hands a message to the library. False (nothing queued) while not connected, so that
  /// nothing piles up inside the library during an outage.
  bool publish(const std::string& topic, const std::string& payload, int qos, bool retain);

  bool connected() const;
  /// One line for the operator: "connected to HOST:PORT", "connecting to HOST:PORT",
  /// "cannot reach HOST:PORT: REASON; retrying", "connection to HOST:PORT lost; retrying",
  /// "stopped".
  std::string status() const;
  /// Times the connection was lost after being up.
  long disconnects() const;
  const std::string& clientId() const { return clientId_; }

  /// A client id no other process has: "PROGRAM-HOST-PID-RANDOM" (at most 64 bytes).
  static std::string uniqueClientId(const char* program);

 private:
  struct State;
  std::string clientId_;
  std::unique_ptr<State> state_;
};

/// The status line of `link`, or, without one, "stopped" or "not started: REASON" with the
/// reason its start was refused (`startError`, empty when none was).
std::string mqttLinkStatus(const MqttLink* link, const std::string& startError);
