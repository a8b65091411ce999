// Where and how the tracker reaches an MQTT broker, as the input/output definitions file says.
#pragma once

#include <string>

/// Where and how to reach a broker, as the input/output definitions give it.
struct MqttSettings {
  static constexpr int kDefaultPort = 1883;
  static constexpr const char* kDefaultTopic = "halvex";

  std::string host;                   ///< Broker host name or address; empty: no broker.
  int port = kDefaultPort;            ///< TCP port.
  std::string topic = kDefaultTopic;  ///< Topic prefix ("halvex", "exercise/+").
  std::string user;                   ///< User name; empty: none.
  std::string passwordFile;  ///< File holding the password (mode 0600 or stricter); empty: none.
  std::string caFile;        ///< CA certificate file: connect with TLS when set.
};
