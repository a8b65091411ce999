#include "halvex/engine/tracker_engine.h"

#include <cstdio>

#include "halvex/config/io_definitions.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/streams/local_state_file.h"

namespace {

/// Default entry of each slot's rate choice: 30 fps, 1 pps, 10 spp, 10 spp, 1 pps, 1 pps.
constexpr int kDefaultRateChoice[SlotScheduler::kSlotCount] = {1, 0, 2, 3, 3, 2, 2};

}  // namespace

TrackerEngine::TrackerEngine(TrackerModel& model, EngineView* view)
    : model_(model), view_(view), feeds_(model.fixes()) {
  for (int slot = 0; slot < SlotScheduler::kSlotCount; ++slot) {
    rateChoice_[slot] = kDefaultRateChoice[slot];
  }
  updateRates();
}

TrackerEngine::~TrackerEngine() {
  stop();
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
  feeds_.stop();
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
  feeds_.follow(controls_, model_.paths().file(MasterKey::CotNodes));
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
    if (feeds_.outputsOn()) {
      const SlotScheduler::Slot slot = SlotScheduler::kLocalOutput;
      const double periodSeconds = static_cast<double>(scheduler_.period(slot)) /
                                   static_cast<double>(scheduler_.frequency());
      feeds_.period(model_.nodes(), model_.nodes().now(), newStateData_.load(), periodSeconds,
                    controls_.badIdle);
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
  // MQTT messages and CoT events wake nothing: they are applied at the multicast drain rate at
  // least.
  if (replacement_ == nullptr && controls_.inputMode != IoDefinitions::kInputMqtt &&
      controls_.inputMode != IoDefinitions::kInputCot) {
    return wait;
  }
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
  // The network feeds run at the state output rate, with or without the state file.
  scheduler_.enable(SlotScheduler::kLocalOutput, controls_.localStateOutput || feeds_.outputsOn());
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
    case IoDefinitions::kInputCot:
      // Status and age follow from each state's fix time against the idle thresholds.
      showIdleControls(true);
      feeds_.applyInput(controls_.inputMode, model_.nodes());
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
