#include "halvex/engine/network_feeds.h"

#include <cstdio>

#include "halvex/config/io_definitions.h"
#include "halvex/engine/engine_controls.h"
#include "halvex/tracking/node_table.h"

namespace {

/// Program name in the MQTT client ids.
constexpr const char* kMqttProgram = "halvex";
/// Added to the output's client id for the input's.
constexpr const char* kMqttInputSuffix = "-in";
/// Longest client id made, bytes (as MqttLink::uniqueClientId keeps to).
constexpr size_t kMaxClientIdBytes = 64;

/// The input's client id from the output's "PROGRAM-HOST-PID-RANDOM": the suffix added, the
/// host part cut when the id would grow too long, so the pid and random part stay.
std::string inputClientId(const std::string& outputId) {
  std::string id = outputId + kMqttInputSuffix;
  if (id.size() <= kMaxClientIdBytes) return id;
  const size_t excess = id.size() - kMaxClientIdBytes;
  const size_t random = outputId.rfind('-');
  const size_t pid = random == std::string::npos || random == 0 ? std::string::npos
                                                                : outputId.rfind('-', random - 1);
  if (pid == std::string::npos || pid < excess) return id.substr(id.size() - kMaxClientIdBytes);
  return id.erase(pid - excess, excess);
}

bool operator==(const MqttSettings& a, const MqttSettings& b) {
  return a.host == b.host && a.port == b.port && a.topic == b.topic && a.user == b.user &&
         a.passwordFile == b.passwordFile && a.caFile == b.caFile;
}

bool operator==(const CotSettings& a, const CotSettings& b) {
  return a.group == b.group && a.port == b.port && a.ttl == b.ttl && a.site == b.site &&
         a.type == b.type && a.tcp == b.tcp;
}

/// Whether a feed must be (re)started or stopped: it is turned on or off, or runs with other
/// settings than it should.
template <class Settings>
bool changed(bool on, const Settings& settings, bool runOn, const Settings& runSettings) {
  return on != runOn || (on && !(settings == runSettings));
}

}  // namespace

NetworkFeeds::NetworkFeeds(FixFanout& fixes)
    : fixes_(fixes), clientId_(MqttLink::uniqueClientId(kMqttProgram)) {
  fixes_.add(&mqttOutput_);
  fixes_.add(&cotOutput_);
  fixes_.add(&geoJsonFixes_);
}

NetworkFeeds::~NetworkFeeds() {
  stop();
  fixes_.remove(&geoJsonFixes_);
  fixes_.remove(&cotOutput_);
  fixes_.remove(&mqttOutput_);
}

void NetworkFeeds::follow(const EngineControls& controls, const std::string& cotNodesPath) {
  followMqtt(controls);
  followCot(controls, cotNodesPath);
  if (changed(controls.geoJsonOutput, controls.geoJsonPath, geoJsonRun_.on, geoJsonRun_.settings)) {
    geoJsonRun_.on = controls.geoJsonOutput && !controls.geoJsonPath.empty();
    geoJsonRun_.settings = controls.geoJsonPath;
    geoJson_.setPath(geoJsonRun_.on ? controls.geoJsonPath : std::string());
    if (controls.geoJsonOutput && controls.geoJsonPath.empty()) {
      std::fprintf(stderr, "halvex: GeoJSON feed: no file named (Output GeoJsonFile PATH)\n");
    }
  }
}

void NetworkFeeds::followMqtt(const EngineControls& controls) {
  if (changed(controls.mqttOutput, controls.mqttOutputSettings, mqttOutputRun_.on,
              mqttOutputRun_.settings)) {
    mqttOutput_.stop();
    mqttOutputRun_ = {controls.mqttOutput, controls.mqttOutputSettings};
    std::string error;
    if (mqttOutputRun_.on && !mqttOutput_.start(mqttOutputRun_.settings, clientId_, &error)) {
      std::fprintf(stderr, "halvex: MQTT output: %s\n", error.c_str());
    }
  }
  const bool inputOn = controls.inputMode == IoDefinitions::kInputMqtt;
  if (changed(inputOn, controls.mqttInput, mqttInputRun_.on, mqttInputRun_.settings)) {
    mqttInput_.stop();
    mqttInputRun_ = {inputOn, controls.mqttInput};
    std::string error;
    if (inputOn &&
        !mqttInput_.start(mqttInputRun_.settings, inputClientId(clientId_), clientId_, &error)) {
      std::fprintf(stderr, "halvex: MQTT input: %s\n", error.c_str());
    }
  }
}

void NetworkFeeds::followCot(const EngineControls& controls, const std::string& cotNodesPath) {
  const bool outputChanged = changed(controls.cotOutput, controls.cotOutputSettings,
                                     cotOutputRun_.on, cotOutputRun_.settings);
  if (outputChanged) {
    cotOutput_.stop();
    cotOutputRun_ = {controls.cotOutput, controls.cotOutputSettings};
    std::string error;
    if (cotOutputRun_.on && !cotOutput_.start(cotOutputRun_.settings, &error)) {
      std::fprintf(stderr, "halvex: CoT output: %s\n", error.c_str());
    }
  }
  const bool inputOn = controls.inputMode == IoDefinitions::kInputCot;
  // The input ignores the output's uids, so a new site restarts it too.
  const bool siteChanged = inputOn && outputChanged;
  if (changed(inputOn, controls.cotInput, cotInputRun_.on, cotInputRun_.settings) || siteChanged ||
      (inputOn && cotNodesPath != cotNodesRun_)) {
    cotInput_.stop();
    cotInputRun_ = {inputOn, controls.cotInput};
    cotNodesRun_ = cotNodesPath;
    std::string error;
    const std::string ownPrefix = cotUidPrefix(controls.cotOutputSettings);
    if (inputOn && !cotInput_.start(cotInputRun_.settings, cotNodesPath, ownPrefix, &error)) {
      std::fprintf(stderr, "halvex: CoT input: %s\n", error.c_str());
    }
  }
}

void NetworkFeeds::stop() {
  mqttInput_.stop();
  mqttOutput_.stop();
  cotInput_.stop();
  cotOutput_.stop();
  // A pass after a restart starts them again.
  mqttInputRun_ = {};
  mqttOutputRun_ = {};
  cotInputRun_ = {};
  cotOutputRun_ = {};
  geoJsonRun_ = {};
}

void NetworkFeeds::period(const NodeTable& table, const WallTime& now, bool relayed,
                          double periodSeconds, double lostSeconds) {
  if (mqttOutputRun_.on) mqttOutput_.period(table, now, relayed);
  if (cotOutputRun_.on) cotOutput_.period(table, now, relayed, lostSeconds);
  if (geoJsonRun_.on) {
    geoJsonFixes_.changes.every(table, now, relayed, states_);
    for (NodeState& state : states_) state.source = clientId_;
    geoJson_.write(states_, periodSeconds);
  }
}

int NetworkFeeds::applyInput(int inputMode, const NodeTable& table) {
  switch (inputMode) {
    case IoDefinitions::kInputMqtt:
      return mqttInput_.apply(table);
    case IoDefinitions::kInputCot:
      return cotInput_.apply(table);
    default:
      return 0;
  }
}

void NetworkFeeds::setWake(std::function<void()> wake) {
  mqttInput_.setWakeHandler(wake);
  cotInput_.setWakeHandler(std::move(wake));
}

std::string NetworkFeeds::mqttInputStatus() const {
  return mqttInputRun_.on ? mqttInput_.status() : "off";
}

std::string NetworkFeeds::mqttOutputStatus() const {
  return mqttOutputRun_.on ? mqttOutput_.status() : "off";
}

std::string NetworkFeeds::cotInputStatus() const {
  return cotInputRun_.on ? cotInput_.status() : "off";
}

std::string NetworkFeeds::cotOutputStatus() const {
  return cotOutputRun_.on ? cotOutput_.status() : "off";
}

std::string NetworkFeeds::geoJsonStatus() const {
  return geoJsonRun_.on ? geoJson_.status() : "off";
}
