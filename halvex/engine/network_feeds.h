// The feeds that join the tracker to others through network services and shared files: node
// states over MQTT (in and out), Cursor on Target events (in and out) and the GeoJSON feed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "halvex/config/cot_settings.h"
#include "halvex/config/mqtt_settings.h"
#include "halvex/streams/cot_input.h"
#include "halvex/streams/cot_output.h"
#include "halvex/streams/geo_feed.h"
#include "halvex/streams/mqtt_input.h"
#include "halvex/streams/mqtt_output.h"
#include "halvex/streams/node_changes.h"
#include "halvex/tracking/fix_listener.h"

struct EngineControls;
struct WallTime;
class NodeTable;

/// Starts, restarts and stops each feed as the controls say, runs the outputs at the state
/// output rate and the inputs at the input step. Everything is called from the loop's thread;
/// each network feed has threads of its own, so no call waits on the network.
class NetworkFeeds {
 public:
  /// The outputs listen to `fixes` (the model's fanout) while this lives.
  explicit NetworkFeeds(FixFanout& fixes);
  ~NetworkFeeds();
  NetworkFeeds(const NetworkFeeds&) = delete;
  NetworkFeeds& operator=(const NetworkFeeds&) = delete;

  /// Starts, restarts or stops every feed whose controls changed since the last call. The CoT
  /// input maps uids through the table file at `cotNodesPath` (empty: none).
  void follow(const EngineControls& controls, const std::string& cotNodesPath);
  /// Stops every feed; the next follow() starts those the controls ask for.
  void stop();

  /// Some output runs at the state output rate.
  bool outputsOn() const { return mqttOutputRun_.on || cotOutputRun_.on || geoJsonRun_.on; }
  /// One state output period of `periodSeconds` at `now`: every running output takes the
  /// table's changes. With `relayed` the nodes' stored status and age are given as they are;
  /// `lostSeconds` is the lost threshold (CoT stale times).
  void period(const NodeTable& table, const WallTime& now, bool relayed, double periodSeconds,
              double lostSeconds);
  /// The input step of the MQTT or CoT input mode `inputMode`: applies what waits. Returns the
  /// states applied (0 for other modes).
  int applyInput(int inputMode, const NodeTable& table);

  /// Called on another thread when states wait for the input step (see MqttInput). Set before
  /// the first follow().
  void setWake(std::function<void()> wake);

  /// One line on each feed for the operator ("off" when not in use).
  std::string mqttInputStatus() const;
  std::string mqttOutputStatus() const;
  std::string cotInputStatus() const;
  std::string cotOutputStatus() const;
  std::string geoJsonStatus() const;

  const MqttInput& mqttInput() const { return mqttInput_; }
  const MqttOutput& mqttOutput() const { return mqttOutput_; }
  const CotInput& cotInput() const { return cotInput_; }
  const CotOutput& cotOutput() const { return cotOutput_; }
  const GeoJsonOutput& geoJson() const { return geoJson_; }
  /// Client id of the MQTT output (unique per process); the input's is derived from it, and the
  /// GeoJSON feed gives it as its source.
  const std::string& clientId() const { return clientId_; }

 private:
  /// Keeps what the GeoJSON feed needs of every fix.
  class GeoJsonFixes : public FixListener {
   public:
    void fixAccepted(const FixEvent& fix) override { changes.noteFix(fix); }
    NodeChanges changes;
  };
  template <class Settings>
  struct Run {
    bool on = false;
    Settings settings;
  };

  void followMqtt(const EngineControls& controls);
  void followCot(const EngineControls& controls, const std::string& cotNodesPath);

  FixFanout& fixes_;
  std::string clientId_;
  MqttOutput mqttOutput_;
  MqttInput mqttInput_;
  CotOutput cotOutput_;
  CotInput cotInput_;
  GeoJsonOutput geoJson_;
  GeoJsonFixes geoJsonFixes_;
  std::vector<NodeState> states_;  ///< Reused by period().
  Run<MqttSettings> mqttOutputRun_;
  Run<MqttSettings> mqttInputRun_;
  Run<CotSettings> cotOutputRun_;
  Run<CotSettings> cotInputRun_;
  std::string cotNodesRun_;  ///< The uid table the CoT input was started with.
  Run<std::string> geoJsonRun_;
};
