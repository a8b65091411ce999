#include "halvex/engine/tracker_engine.h"

#include <cstdio>

#include "halvex/config/io_definitions.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/streams/local_state_file.h"

namespace {

/// Default entry of each slot's rate choice: 30 fps, 1 pps, 10 spp, 10 spp, 1 pps, 1 pps.
constexpr int kDefaultRateChoice[SlotScheduler::kSlotCount] = {1, 0, 2, 3, 3, 2, 2};

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

bool sameSettings(const MqttSettings& a, const MqttSettings& b) {
  return a.host == b.host && a.port == b.port && a.topic == b.topic && a.user == b.user &&
         a.passwordFile == b.passwordFile && a.caFile == b.caFile;
}

}  // namespace

void EngineControls::takeFrom(const IoDefinitions& io, const TrackingSettings& settings) {
  switch (selectedInputButton(io)) {
    case InputButton::Multicast:
      inputMode = IoDefinitions::kInputMulticast;
      break;
    case InputButton::LocalState:
      inputMode = IoDefinitions::kInputLocalState;
      break;
    case InputButton::RemoteState:
      inputMode = IoDefinitions::kInputRemoteState;
      break;
    case InputButton::Client:
      inputMode = IoDefinitions::kInputClient;
      break;
    case InputButton::Server:
      inputMode = IoDefinitions::kInputServer;
      break;
  }
  // The MQTT input has no button of the inputs dialog: the Network feeds window selects it.
  if (io.inputMode == IoDefinitions::kInputMqtt) inputMode = IoDefinitions::kInputMqtt;
  localStateFile = io.inputLocalStateFile;
  remoteHost = io.remoteIp;
  remotePort = io.remotePort;
  remotePath = io.remoteStateFile;
  bytesPerBuffer = io.multicastBytesPerBuffer;
  buffersPerPort = io.multicastBuffersPerPort;
  const OutputButtons outputs = outputButtonsToSet(io);
  localStateOutput = localStateOutput || outputs.localState;
  clientOutput = clientOutput || outputs.client;
  mqttInput = io.mqttInput;
  mqttOutputSettings = io.mqttOutput;
  for (int k = 0; k < io.outputCount && k < IoDefinitions::kMaxOutputs; ++k) {
    if (io.outputs[k] == IoDefinitions::kOutputMqtt) mqttOutput = true;
  }
  mediumIdle = settings.mediumIdle;
  badIdle = settings.badIdle;
}

TrackerEngine::TrackerEngine(TrackerModel& model, EngineView* view)
    : model_(model), view_(view), mqttClientId_(MqttLink::uniqueClientId(kMqttProgram)) {
  for (int slot = 0; slot < SlotScheduler::kSlotCount; ++slot) {
    rateChoice_[slot] = kDefaultRateChoice[slot];
  }
  updateRates();
  model_.fixes().add(&mqttOutput_);
}

TrackerEngine::~TrackerEngine() {
  stop();
  model_.fixes().remove(&mqttOutput_);
}

RateTable TrackerEngine::rateTableOf(SlotScheduler::Slot slot) {
  switch (slot) {
    case SlotScheduler::kDisplay:
      return RateTable::kDisplay;
    case SlotScheduler::kRemoteInput:
    case SlotScheduler::kClientInput:
      return RateTable::kRemote;
    default:
      return RateTable::kLocal;
  }
}

void TrackerEngine::setRateChoice(SlotScheduler::Slot slot, int index) {
  rateChoice_[slot] = index;
}

void TrackerEngine::updateRates() {
  for (int k = 0; k < SlotScheduler::kSlotCount; ++k) {
    const auto slot = static_cast<SlotScheduler::Slot>(k);
    if (slot == SlotScheduler::kMulticast || slot == SlotScheduler::kRemoteInput) continue;
    scheduler_.setPeriodSeconds(slot, ratePeriod(rateTableOf(slot), rateChoice_[slot]));
  }
  updateRemotePeriod();
}

void TrackerEngine::updateRemotePeriod() {
  const int refresh = serverRefresh_.load();
  if (refresh >= kMinServerRefresh && refresh <= kMaxServerRefresh) {
    scheduler_.setPeriodSeconds(SlotScheduler::kRemoteInput, refresh);
  } else {
    scheduler_.setPeriodSeconds(
        SlotScheduler::kRemoteInput,
        ratePeriod(RateTable::kRemote, rateChoice_[SlotScheduler::kRemoteInput]));
  }
}

void TrackerEngine::start() {
  fetcher_.setStopping(false);
  model_.ports().startReceivers();
}

void TrackerEngine::startWithControls() {
  model_.ports().setRingSettings(controls_.bytesPerBuffer, controls_.buffersPerPort,
                                 model_.ioDefinitions().multicastMemoryMB);
  start();
}

void TrackerEngine::stop() {
  fetcher_.setStopping(true);
  fetcher_.stop();
  model_.ports().stopReceivers();
  mqttInput_.stop();
  mqttOutput_.stop();
  // A pass after a restart starts them again.
  mqttInputRun_ = MqttRun();
  mqttOutputRun_ = MqttRun();
}

std::unique_lock<std::mutex> TrackerEngine::holdInputs() {
  std::unique_lock<std::mutex> hold(inputsMutex_);
  ++generation_;
  fetcher_.cancelCurrent();
  return hold;
}

void TrackerEngine::reloadPortFile(const std::string& path) {
  auto hold = holdInputs();
  model_.readPortFile(path);
  model_.ports().startReceivers();
}

void TrackerEngine::resetTimeStamps() {
  auto hold = holdInputs();
  model_.ports().stopReceivers();
  TrackingSettings& settings = model_.settings();
  const int navigation = settings.navigationMode;
  settings.navigationMode = 2;
  const MasterPaths& paths = model_.paths();
  model_.readNodeList(paths.file(MasterKey::NodeFile));
  model_.readPortFile(paths.file(MasterKey::PortFile));
  model_.attachNodeGraphics();
  newStateData_.store(false);
  model_.ports().startReceivers();
  settings.navigationMode = navigation;
}

void TrackerEngine::tick() {
  const int64_t now = scheduler_.sample();
  pushSettings();
  followMqttControls();
  enableSlots();
  if (replacement_ != nullptr) {
    newStateData_.store(replacement_->feed());
  } else {
    applyFetchResult(now);
    inputStep(now);
  }
  const TrackingSettings& settings = model_.settings();
  model_.nodes().buildNearest(settings.targetId, settings.chaseId);
  StateOutput& output = model_.stateOutput();
  if (scheduler_.enabledAndDue(SlotScheduler::kLocalOutput)) {
    if (controls_.localStateOutput && output.snapshotOn() &&
        output.writeFrame(model_.nodes(), newStateData_.load()) && view_ != nullptr) {
      view_->framesWritten(output.frameCount());
    }
    if (mqttOutputRun_.on) {
      mqttOutput_.period(model_.nodes(), model_.nodes().now(), newStateData_.load());
    }
    scheduler_.markRun(SlotScheduler::kLocalOutput, now);
  }
  // The client slots run nothing here; marking them run keeps their periods pacing the wait,
  // which would otherwise stay zero once they fell due and spin the loop.
  for (SlotScheduler::Slot slot : {SlotScheduler::kClientInput, SlotScheduler::kClientOutput}) {
    if (scheduler_.enabledAndDue(slot)) scheduler_.markRun(slot, now);
  }
  if (scheduler_.enabledAndDue(SlotScheduler::kDisplay) && view_ != nullptr) {
    if (!redrawPending_) {
      redrawPending_ = true;
      redrawAskedAt_ = scheduler_.now();
    }
    view_->redrawRequested();
  }
}

double TrackerEngine::waitSeconds() const {
  const double wait = scheduler_.waitSeconds();
  // MQTT messages wake nothing: they are applied at the multicast drain rate at least.
  if (replacement_ == nullptr && controls_.inputMode != IoDefinitions::kInputMqtt) return wait;
  return wait < 0 || wait > SlotScheduler::kMaxWaitSeconds ? SlotScheduler::kMaxWaitSeconds : wait;
}

void TrackerEngine::frameDrawn() {
  // The period runs from the pass that asked for the frame, not from the frame's end: a frame
  // that takes part of the period still comes at the display rate.
  scheduler_.markRun(SlotScheduler::kDisplay,
                     redrawPending_ ? redrawAskedAt_ : scheduler_.sample());
  redrawPending_ = false;
}

void TrackerEngine::pushSettings() {
  InputPortSet& ports = model_.ports();
  IoDefinitions& io = model_.ioDefinitions();
  // One reload for all three: the definitions may have been read after the port file.
  ports.setRingSettings(controls_.bytesPerBuffer, controls_.buffersPerPort, io.multicastMemoryMB);
  // The values in force: the port set refuses or bounds unusable ones.
  io.multicastBytesPerBuffer = ports.bufferBytes();
  io.multicastBuffersPerPort = ports.buffersPerPort();
  NodeTable& nodes = model_.nodes();
  // New records take the table's thresholds, so pushing only changes is enough.
  if (controls_.mediumIdle != pushedMediumIdle_ || controls_.badIdle != pushedBadIdle_) {
    nodes.setIdleThresholds(controls_.mediumIdle, controls_.badIdle);
    model_.settings().mediumIdle = controls_.mediumIdle;
    model_.settings().badIdle = controls_.badIdle;
    pushedMediumIdle_ = controls_.mediumIdle;
    pushedBadIdle_ = controls_.badIdle;
  }
}

void TrackerEngine::enableSlots() {
  const int mode = controls_.inputMode;
  scheduler_.enable(SlotScheduler::kDisplay, controls_.displayShown);
  scheduler_.enable(SlotScheduler::kMulticast, mode == IoDefinitions::kInputMulticast);
  scheduler_.enable(SlotScheduler::kLocalInput, mode == IoDefinitions::kInputLocalState);
  scheduler_.enable(SlotScheduler::kRemoteInput, mode == IoDefinitions::kInputRemoteState);
  scheduler_.enable(SlotScheduler::kClientInput, mode == IoDefinitions::kInputClient);
  // The MQTT output publishes at the state output rate, with or without the state file.
  scheduler_.enable(SlotScheduler::kLocalOutput, controls_.localStateOutput || mqttOutputRun_.on);
  scheduler_.enable(SlotScheduler::kClientOutput, controls_.clientOutput);
}

void TrackerEngine::inputStep(int64_t now) {
  switch (controls_.inputMode) {
    case IoDefinitions::kInputMulticast:
      showIdleControls(true);
      model_.ports().processPorts();
      newStateData_.store(false);
      break;
    case IoDefinitions::kInputLocalState:
      showIdleControls(false);
      if (scheduler_.due(SlotScheduler::kLocalInput, now)) {
        readLocalStateFile(model_.nodes(), controls_.localStateFile.c_str());
        scheduler_.markRun(SlotScheduler::kLocalInput, now);
        newStateData_.store(true);
      }
      break;
    case IoDefinitions::kInputRemoteState:
      showIdleControls(false);
      requestIfDue(now);
      break;
    case IoDefinitions::kInputMqtt:
      // Status and age follow from each state's fix time against the idle thresholds.
      showIdleControls(true);
      mqttInput_.apply(model_.nodes());
      newStateData_.store(false);
      break;
    default:
      break;  // client and server receiving have no input step
  }
}

void TrackerEngine::requestIfDue(int64_t now) {
  if (!scheduler_.enabled(SlotScheduler::kRemoteInput) ||
      !scheduler_.due(SlotScheduler::kRemoteInput, now)) {
    return;
  }
  // Restarted even while the worker is busy with the last fetch: a slot left due would keep the
  // loop's wait at zero for as long as a slow server takes.
  scheduler_.markRun(SlotScheduler::kRemoteInput, now);
  fetcher_.post(
      {controls_.remoteHost, controls_.remotePort, controls_.remotePath, generation_.load()});
}

void TrackerEngine::applyFetchResult(int64_t now) {
  // While another thread reloads the inputs the result waits for a later pass.
  std::unique_lock<std::mutex> hold(inputsMutex_, std::try_to_lock);
  if (!hold.owns_lock()) return;
  std::optional<RemoteFetchWorker::Result> result = fetcher_.take();
  if (!result) return;
  if (controls_.inputMode != IoDefinitions::kInputRemoteState) return;
  if (result->generation != generation_.load()) {
    // Fetched for the inputs before a reload: the reloaded ones fetch at once instead.
    const SlotScheduler::Slot slot = SlotScheduler::kRemoteInput;
    scheduler_.markRun(slot, now - scheduler_.period(slot) - 1);
    return;
  }
  result->records.applyTo(model_.nodes());
  newStateData_.store(true);
  // A server refresh value governs polling while it is given, and the rate choice hides.
  const int refresh = result->refresh;
  const bool serverSetsRate = refresh >= kMinServerRefresh && refresh <= kMaxServerRefresh;
  serverRefresh_.store(serverSetsRate ? refresh : 0);
  updateRemotePeriod();
  if (view_ != nullptr && remoteRateState_ != static_cast<int>(!serverSetsRate)) {
    remoteRateState_ = !serverSetsRate;
    view_->remoteRateShown(!serverSetsRate);
  }
}

void TrackerEngine::showIdleControls(bool shown) {
  if (idleControlsState_ == static_cast<int>(shown)) return;
  idleControlsState_ = shown;
  if (view_ != nullptr) view_->idleControlsShown(shown);
}

void TrackerEngine::followMqttControls() {
  const bool outputOn = controls_.mqttOutput;
  if (outputOn != mqttOutputRun_.on ||
      (outputOn && !sameSettings(controls_.mqttOutputSettings, mqttOutputRun_.settings))) {
    mqttOutput_.stop();
    mqttOutputRun_.on = outputOn;
    mqttOutputRun_.settings = controls_.mqttOutputSettings;
    std::string error;
    if (outputOn && !mqttOutput_.start(controls_.mqttOutputSettings, mqttClientId_, &error)) {
      std::fprintf(stderr, "halvex: MQTT output: %s\n", error.c_str());
    }
  }
  const bool inputOn = controls_.inputMode == IoDefinitions::kInputMqtt;
  if (inputOn != mqttInputRun_.on ||
      (inputOn && !sameSettings(controls_.mqttInput, mqttInputRun_.settings))) {
    mqttInput_.stop();
    mqttInputRun_.on = inputOn;
    mqttInputRun_.settings = controls_.mqttInput;
    std::string error;
    if (inputOn && !mqttInput_.start(controls_.mqttInput, inputClientId(mqttClientId_),
                                     mqttClientId_, &error)) {
      std::fprintf(stderr, "halvex: MQTT input: %s\n", error.c_str());
    }
  }
}

std::string TrackerEngine::mqttInputStatus() const {
  return mqttInputRun_.on ? mqttInput_.status() : "off";
}

std::string TrackerEngine::mqttOutputStatus() const {
  return mqttOutputRun_.on ? mqttOutput_.status() : "off";
}
