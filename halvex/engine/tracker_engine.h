// The tracker's slot-paced loop body without any window: inputs, proximity and state output, with
// the remote state fetched on a worker thread.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "halvex/core/tracker_defaults.h"
#include "halvex/engine/engine_controls.h"
#include "halvex/engine/network_feeds.h"
#include "halvex/engine/remote_fetch_worker.h"
#include "halvex/engine/slot_scheduler.h"

class TrackerModel;

/// Told what the windows should show. Every call comes from the loop's thread (the one calling
/// tick()).
class EngineView {
 public:
  virtual ~EngineView() = default;
  /// The two idle-threshold controls are shown (multicast input) or hidden (state inputs).
  virtual void idleControlsShown(bool /*shown*/) {}
  /// The "Remote data update rate" choice is shown, or hidden while the server sets the rate
  /// (told when the pass applying a fetch's result finds it changed).
  virtual void remoteRateShown(bool /*shown*/) {}
  /// The display slot is due: redraw the view (and call frameDrawn when drawn).
  virtual void redrawRequested() {}
  /// A state file was written; the counter now reads `count`.
  virtual void framesWritten(long /*count*/) {}
};

/// Feeds the node table in place of the live inputs: a replay.
class InputReplacement {
 public:
  virtual ~InputReplacement() = default;
  /// One pass: applies what is due. Returns whether the nodes' status and age now come from
  /// state records (relayed as after a live state file read) rather than from reception times.
  virtual bool feed() = 0;
};

/// Runs the tracker's inputs and outputs at their rates. The owner sets the controls, calls
/// tick() once per loop pass and waits waitSeconds() for events between passes. The remote state
/// is fetched on a worker thread when its slot falls due; the pass after the fetch ends applies
/// what it brought, so no pass ever waits for the network.
class TrackerEngine {
 public:
  /// Refresh values a server may set, s: inside this range they govern polling.
  static constexpr int kMinServerRefresh = 1;
  static constexpr int kMaxServerRefresh = 199;

  /// Drives `model`; `view` may be null. Rate choices start at their defaults.
  explicit TrackerEngine(TrackerModel& model, EngineView* view = nullptr);
  TrackerEngine(const TrackerEngine&) = delete;
  TrackerEngine& operator=(const TrackerEngine&) = delete;
  /// Stops the fetch worker and the receivers.
  ~TrackerEngine();

  EngineControls& controls() { return controls_; }
  SlotScheduler& scheduler() { return scheduler_; }

  /// Chooses entry `index` of the slot's rate table (takes effect at updateRates).
  void setRateChoice(SlotScheduler::Slot slot, int index);
  int rateChoice(SlotScheduler::Slot slot) const { return rateChoice_[slot]; }
  /// The rate table of a slot's choice.
  static RateTable rateTableOf(SlotScheduler::Slot slot);
  /// Recomputes the periods of every slot with a rate choice.
  void updateRates();

  /// Starts the receive threads and lets remote fetches run (after stop() or cancelFetches()).
  void start();
  /// Sets the controls' buffer sizes on the ports, then starts: the first tick then has no
  /// buffer change to restart the receivers for.
  void startWithControls();
  /// One loop pass: samples the counter, applies a finished remote fetch, runs the input step,
  /// the proximity rebuild and the state output, and asks for a redraw when the display slot is
  /// due. Never waits for a fetch.
  void tick();
  /// How long the loop may wait for events before the next pass, s; negative for no limit.
  /// While a replacement feeds the inputs, at most SlotScheduler::kMaxWaitSeconds.
  double waitSeconds() const;
  /// Feeds the node table from `replacement` instead of the live inputs (null: the live inputs
  /// again). The engine does not own it.
  void replaceInputs(InputReplacement* replacement) { replacement_ = replacement; }
  bool inputsReplaced() const { return replacement_ != nullptr; }
  /// The view was drawn: restarts the display slot from the pass that asked for the frame.
  void frameDrawn();
  /// Ends the fetch worker (a fetch in progress ends within 100 ms; one still looking up its
  /// host or connecting is left behind after RemoteFetchWorker::kStopWaitMs) and the receive
  /// threads.
  void stop();

  /// Ends a remote fetch in progress (within 100 ms) and any started before start(); callable
  /// from any thread.
  void cancelFetches() { fetcher_.setStopping(true); }

  /// Holds off applying remote fetch results while the node list or ports are reloaded. A fetch
  /// in flight is not waited for: it is cancelled and its result dropped, and the remote slot
  /// falls due again at the first pass after the hold.
  std::unique_lock<std::mutex> holdInputs();
  /// Loads the multicast port file at `path` and starts its receivers, with the inputs held
  /// meanwhile.
  void reloadPortFile(const std::string& path);
  /// Reads the node list and the port file again from their last paths, so that every node's
  /// time stamps start afresh, and restarts the receivers. The navigation mode reads roam (2)
  /// while the files are read and is restored after.
  void resetTimeStamps();

  /// Whether the last input step read state records (their status and age are then relayed).
  bool newStateData() const { return newStateData_.load(); }
  void setNewStateData(bool on) { newStateData_.store(on); }
  /// Refresh value of the last fetch applied while it governs polling, s; 0 when the server gave
  /// none or one outside 1 to 199.
  int serverRefresh() const { return serverRefresh_.load(); }
  /// Remote fetches ended so far (their results are applied by the pass after).
  long remoteFetches() const { return fetcher_.fetches(); }
  /// The MQTT, CoT and GeoJSON feeds with their counts and status lines (running or not).
  const NetworkFeeds& feeds() const { return feeds_; }
  /// One line each on the MQTT input and output for the operator ("off" when not in use).
  std::string mqttInputStatus() const { return feeds_.mqttInputStatus(); }
  std::string mqttOutputStatus() const { return feeds_.mqttOutputStatus(); }
  const MqttInput& mqttInput() const { return feeds_.mqttInput(); }
  const MqttOutput& mqttOutput() const { return feeds_.mqttOutput(); }
  /// Called on another thread when MQTT or CoT states wait for the input step, so that a loop
  /// waiting for events can run a pass at once (see MqttInput::setWakeHandler). Set before the
  /// first pass.
  void setInputWake(std::function<void()> wake) { feeds_.setWake(std::move(wake)); }
  /// Client id of the MQTT output (unique per engine); the input's is derived from it.
  const std::string& mqttClientId() const { return feeds_.clientId(); }

 private:
  /// Copies the buffer and idle settings of the controls to the node table.
  void pushSettings();
  /// Enables the slots that the controls select.
  void enableSlots();
  /// Runs the one input step of the selected mode.
  void inputStep(int64_t now);
  /// Starts a fetch on the worker when the remote slot is enabled and due at `now`, restarting
  /// the slot whether the worker takes it or is still busy with the last one.
  void requestIfDue(int64_t now);
  /// Applies the result of a fetch that has ended: its records, the new-data flag and the
  /// server's refresh value. A result from before the last holdInputs(), or one arriving after
  /// the input left remote state, is dropped.
  void applyFetchResult(int64_t now);
  /// Sets the remote slot's period: the server's refresh value while it gives one, else the
  /// chosen rate.
  void updateRemotePeriod();
  /// Tells the view whether the idle controls show, when that changes.
  void showIdleControls(bool shown);

  TrackerModel& model_;
  EngineView* view_;
  EngineControls controls_;
  SlotScheduler scheduler_;
  int rateChoice_[SlotScheduler::kSlotCount];

  std::mutex inputsMutex_;  ///< Held while inputs are reloaded and while a result is applied.
  /// Counts the holds of the inputs: a fetch requested before the last one is dropped.
  std::atomic<long> generation_{0};
  std::atomic<bool> newStateData_{false};
  bool redrawPending_ = false;  ///< A redraw was asked for and not drawn yet.
  int64_t redrawAskedAt_ = 0;   ///< The pass that first asked for it (counter value).
  std::atomic<int> serverRefresh_{0};
  RemoteFetchWorker fetcher_;
  InputReplacement* replacement_ = nullptr;  ///< Feeds the table instead of the inputs.

  double pushedMediumIdle_ = -1;  ///< Idle thresholds last pushed to the table, s.
  double pushedBadIdle_ = -1;
  int idleControlsState_ = -1;  ///< Last shown state told to the view, -1 before the first.
  int remoteRateState_ = -1;    ///< Likewise for the remote rate.
  NetworkFeeds feeds_;          ///< Its outputs are told of every fix through the model's fanout.
};
