// What the dialogs and windows set and the tracker's loop reads at every pass.
#pragma once

#include <string>

#include "halvex/config/cot_settings.h"
#include "halvex/config/mqtt_settings.h"
#include "halvex/core/tracker_defaults.h"

struct IoDefinitions;
struct TrackingSettings;

/// What the dialogs show and the loop reads every pass. Written by the loop's thread only.
struct EngineControls {
  int inputMode = 1;           ///< Selected input button as an input mode (1 multicast to 7 CoT).
  std::string localStateFile;  ///< Local state input file.
  std::string remoteHost;      ///< Remote state server.
  int remotePort = 80;
  std::string remotePath;    ///< Path of the state file on the server.
  int bytesPerBuffer = 250;  ///< Multicast receive buffer size.
  int buffersPerPort = 75;   ///< Multicast receive buffers per port.
  double mediumIdle =
      tracker_defaults::kSettingsMediumIdle;  ///< Seconds without reception before a node is idle.
  double badIdle =
      tracker_defaults::kSettingsBadIdle;  ///< Seconds without reception before a node is lost.
  bool localStateOutput = false;           ///< "Local state snapshot file" output checked.
  bool clientOutput = false;               ///< "Client sending" output checked.
  MqttSettings mqttInput;                  ///< Broker of the MQTT input mode (inputMode 6).
  bool mqttOutput = false;                 ///< The MQTT output is on.
  MqttSettings mqttOutputSettings;         ///< Broker the MQTT output publishes to.
  CotSettings cotInput;                    ///< Group and stream of the CoT input (inputMode 7).
  bool cotOutput = false;                  ///< The CoT output is on.
  CotSettings cotOutputSettings;           ///< Group, port, TTL, site and type of the CoT output.
  bool geoJsonOutput = false;              ///< The GeoJSON feed is written.
  std::string geoJsonPath;                 ///< Its GeoJSON file; the KML files go beside it.
  bool displayShown = false;               ///< The main window is shown, visible and active.

  /// Fills the fields as the dialogs show them after the definitions and preferences are read.
  void takeFrom(const IoDefinitions& io, const TrackingSettings& settings);
};
