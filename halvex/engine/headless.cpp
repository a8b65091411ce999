#include "halvex/engine/headless.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "common/platform/paths.h"
#include "common/platform/termination_signals.h"
#include "common/version.h"
#include "halvex/config/io_definitions.h"
#include "halvex/core/tracker_defaults.h"
#include "halvex/core/utc_time.h"
#include "halvex/engine/history_options.h"
#include "halvex/engine/history_session.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/streams/input_port.h"

namespace {

constexpr const char* kUsage =
    "Usage: halvex --headless [options] MASTER.cfg\n"
    "  or:  halvex --headless --help | --version\n"
    "\n"
    "Runs the tracker without a window: loads the master configuration file and the files it\n"
    "names, takes the input mode and outputs of its input/output definitions file, and keeps\n"
    "the node table following the selected input while it writes the state file, until it is\n"
    "ended with SIGINT or SIGTERM.\n"
    "\n"
    "options:\n"
    "  --local-rate R   local state file input rate: 5 pps, 2 pps, 1 pps (default), 2 spp\n"
    "  --remote-rate R  remote state poll rate: 1 spp, 2 spp, 5 spp, 10 spp (default), 20 spp,\n"
    "                   30 spp, 45 spp, 60 spp\n"
    "  --output-rate R  state file and MQTT output rate: 10 pps, 5 pps, 2 pps, 1 pps (default),\n"
    "                   2 spp\n"
    "  --help           shows this text\n"
    "  --version        shows the program's name and version\n"
    "A rate is given by its label (blanks optional: 5pps) or by its index in the list.\n"
    "\n"
    "history options:\n";

/// Buffer sizes the tracker sets before any file is read.
constexpr int kStartBytesPerBuffer = tracker_defaults::kStartBufferBytes;
constexpr int kStartBuffersPerPort = tracker_defaults::kStartBuffersPerPort;

/// A rate option: its name, the slot it sets, and the index chosen (-1 when not given).
struct RateOption {
  const char* name;
  SlotScheduler::Slot slot;
  int index;
};

/// The output rate beyond the dialogs' choices, for a fast MQTT output: its label without
/// blanks and its period, s.
constexpr const char* kFastOutputLabel = "10pps";
constexpr double kFastOutputSeconds = 0.1;

/// Whether `text` names the fast output rate (letter case and blanks ignored).
bool isFastOutputRate(const char* text) {
  std::string squeezed;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != ' ') squeezed += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  }
  return squeezed == kFastOutputLabel;
}

/// Shortest loop pass while MQTT states stream in.
constexpr std::chrono::milliseconds kMinStatesPass{4};

/// Prints what the network feeds did, one line each for those in use.
void printFeedCounts(const TrackerEngine& engine, const EngineControls& controls) {
  const NetworkFeeds& feeds = engine.feeds();
  if (controls.cotOutput) {
    const CotOutput& output = feeds.cotOutput();
    std::printf("halvex: CoT output: %ld events sent, %ld failed\n", output.sent(),
                output.failed());
  }
  if (controls.inputMode == IoDefinitions::kInputCot) {
    const CotInput& input = feeds.cotInput();
    std::printf(
        "halvex: CoT input: %ld events received, %ld applied, %ld dropped, %ld ignored, %ld "
        "binary\n",
        input.received(), input.applied(), input.dropped(), input.ignored(), input.binary());
  }
  if (controls.geoJsonOutput) {
    std::printf("halvex: GeoJSON feed: %s\n", feeds.geoJsonStatus().c_str());
  }
  if (controls.mqttOutput) {
    const MqttOutput& output = engine.mqttOutput();
    std::printf("halvex: MQTT output %s: %ld messages published, %ld waiting\n",
                output.clientId().c_str(), output.published(), output.staged());
  }
  if (controls.inputMode == IoDefinitions::kInputMqtt) {
    const MqttInput& input = engine.mqttInput();
    std::printf("halvex: MQTT input: %ld messages received, %ld applied, %ld dropped, %ld ignored",
                input.received(), input.applied(), input.dropped(), input.ignored());
    const double p50 = input.latencyPercentileMs(50);
    if (p50 >= 0) {
      std::printf(", latency p50 %.0f ms, p99 %.0f ms", p50, input.latencyPercentileMs(99));
    }
    std::printf("\n");
  }
}

/// Names of the input modes, for the start-up line.
const char* inputModeName(int mode) {
  switch (mode) {
    case IoDefinitions::kInputMulticast:
      return "multicast packets";
    case IoDefinitions::kInputLocalState:
      return "local state file";
    case IoDefinitions::kInputRemoteState:
      return "remote state";
    case IoDefinitions::kInputClient:
      return "client receiving (no input step)";
    case IoDefinitions::kInputMqtt:
      return "MQTT node states";
    case IoDefinitions::kInputCot:
      return "CoT events";
    default:
      return "server receiving (no input step)";
  }
}

}  // namespace

int runHeadless(int argc, char** argv) {
  RateOption rates[] = {{"--local-rate", SlotScheduler::kLocalInput, -1},
                        {"--remote-rate", SlotScheduler::kRemoteInput, -1},
                        {"--output-rate", SlotScheduler::kLocalOutput, -1}};
  const char* master = nullptr;
  bool fastOutput = false;
  HistoryOptions history;
  for (int k = 0; k < argc; ++k) {
    if (std::strcmp(argv[k], "--help") == 0) {
      std::fputs(kUsage, stdout);
      std::fputs(kHistoryOptionsHelp, stdout);
      return 0;
    }
    std::string problem;
    const int historyOption = takeHistoryOption(argc, argv, k, history, &problem);
    if (historyOption < 0) {
      std::fprintf(stderr, "halvex: %s\n%s%s", problem.c_str(), kUsage, kHistoryOptionsHelp);
      return 2;
    }
    if (historyOption > 0) continue;
    if (std::strcmp(argv[k], "--version") == 0) {
      printVersion(stdout, "halvex");
      return 0;
    }
    bool taken = false;
    for (RateOption& rate : rates) {
      if (std::strcmp(argv[k], rate.name) != 0) continue;
      const RateTable table = TrackerEngine::rateTableOf(rate.slot);
      rate.index = k + 1 < argc ? rateIndexOf(table, argv[k + 1]) : -1;
      if (rate.slot == SlotScheduler::kLocalOutput) {
        fastOutput = rate.index < 0 && k + 1 < argc && isFastOutputRate(argv[k + 1]);
      }
      if (rate.index < 0 && !(rate.slot == SlotScheduler::kLocalOutput && fastOutput)) {
        std::fprintf(stderr, "halvex: %s needs one of the listed rates\n%s", rate.name, kUsage);
        return 2;
      }
      ++k;
      taken = true;
    }
    if (taken) continue;
    if (argv[k][0] == '-' || master != nullptr) {
      std::fprintf(stderr, "halvex: unexpected argument %s\n%s", argv[k], kUsage);
      return 2;
    }
    master = argv[k];
  }
  std::string problem;
  if (master == nullptr || !checkHistoryOptions(history, &problem)) {
    if (!problem.empty()) std::fprintf(stderr, "halvex: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    std::fputs(kHistoryOptionsHelp, stderr);
    return 2;
  }

  // Before any thread starts, so that every thread leaves the signals to the loop's wait.
  TerminationSignals signals;

  // Names in the configuration are relative to the master file's directory.
  const PathParts parts = splitPath(master);
  if (!parts.dir.empty() && !setCurrentDirectory(parts.dir)) {
    std::fprintf(stderr, "halvex: cannot enter the directory %s\n", parts.dir.c_str());
    return 1;
  }
  TrackerModel model;
  model.ports().setBytesPerBuffer(kStartBytesPerBuffer);
  model.ports().setBuffersPerPort(kStartBuffersPerPort);
  model.loadConfiguration(parts.name + parts.ext);

  TrackerEngine engine(model);
  EngineControls& controls = engine.controls();
  controls.takeFrom(model.ioDefinitions(), model.settings());
  for (const RateOption& rate : rates) {
    if (rate.index >= 0) engine.setRateChoice(rate.slot, rate.index);
  }
  engine.updateRates();
  if (fastOutput)
    engine.scheduler().setPeriodSeconds(SlotScheduler::kLocalOutput, kFastOutputSeconds);
  // The definitions' buffer sizes and ring memory before the receivers start, so that the first
  // pass does not restart them; one reload takes all three (the definitions may have been read
  // after the port file).
  model.ports().setRingSettings(controls.bytesPerBuffer, controls.buffersPerPort,
                                model.ioDefinitions().multicastMemoryMB);
  // Neither multicast datagrams nor MQTT messages nor CoT events wake the loop: all are drained
  // at 60 Hz.
  const bool multicast = controls.inputMode == IoDefinitions::kInputMulticast ||
                         controls.inputMode == IoDefinitions::kInputMqtt ||
                         controls.inputMode == IoDefinitions::kInputCot;
  HistorySession session(model, engine);
  if (!startHistory(history, session, &problem)) {
    std::fprintf(stderr, "halvex: %s\n", problem.c_str());
    return 1;
  }
  if (!history.recordPath.empty())
    std::printf("halvex: recording into %s\n", history.recordPath.c_str());
  if (!history.replayPath.empty()) {
    const ReplayStatus replay = session.replayStatus();
    std::printf("halvex: replaying %s from %s at %gx%s%s\n", replay.path.c_str(),
                formatUtcTime(replay.nowMs, UtcStyle::kClock).c_str(), replay.speed,
                replay.damage.empty() ? "" : "; ", replay.damage.c_str());
  }
  engine.start();
  std::printf("halvex: headless, %d nodes, %d ports, input %s, state file %s\n",
              model.nodes().count(), model.ports().portCount(), inputModeName(controls.inputMode),
              controls.localStateOutput ? model.stateOutput().fileName().c_str() : "(none)");
  if (controls.mqttOutput) {
    const MqttSettings& mqtt = controls.mqttOutputSettings;
    std::printf("halvex: MQTT output to %s:%d on %s/nodes/ID as %s\n", mqtt.host.c_str(), mqtt.port,
                mqtt.topic.c_str(), engine.mqttClientId().c_str());
  }
  if (controls.inputMode == IoDefinitions::kInputMqtt) {
    const MqttSettings& mqtt = controls.mqttInput;
    std::printf("halvex: MQTT input from %s:%d on %s/nodes/+\n", mqtt.host.c_str(), mqtt.port,
                mqtt.topic.c_str());
  }
  if (controls.cotOutput) {
    const CotSettings& cot = controls.cotOutputSettings;
    std::printf("halvex: CoT output to %s:%d ttl %d as %sID\n", cot.group.c_str(), cot.port,
                cot.ttl, cotUidPrefix(cot).c_str());
  }
  if (controls.inputMode == IoDefinitions::kInputCot) {
    const CotSettings& cot = controls.cotInput;
    std::printf("halvex: CoT input from %s:%d%s%s\n", cot.group.c_str(), cot.port,
                cot.tcp.empty() ? "" : " and tcp ", cot.tcp.c_str());
  }
  if (controls.geoJsonOutput) {
    std::printf("halvex: GeoJSON feed into %s\n", controls.geoJsonPath.c_str());
  }
  std::fflush(stdout);
  // A watcher takes the termination signal: it ends a fetch in progress at once and wakes the
  // loop from its wait.
  std::mutex waitMutex;
  std::condition_variable wake;
  std::atomic<bool> ending{false};
  std::atomic<bool> statesWaiting{false};
  engine.setInputWake([&] {
    statesWaiting.store(true);
    std::lock_guard<std::mutex> hold(waitMutex);
    wake.notify_all();
  });
  std::thread watcher([&] {
    signals.wait(-1);
    ending.store(true);
    engine.cancelFetches();
    std::lock_guard<std::mutex> hold(waitMutex);
    wake.notify_all();
  });
  bool endTold = false;
  while (!ending.load()) {
    statesWaiting.store(false);  // what arrives from here on is applied now or wakes the wait
    const auto passStart = std::chrono::steady_clock::now();
    engine.tick();
    // Said once, so that whoever waits for a replay knows the node table holds its end.
    if (!endTold && session.replayAtEnd()) {
      endTold = true;
      std::printf("halvex: replay reached the end of the recording, %s\n",
                  formatUtcTime(session.replayStatus().nowMs, UtcStyle::kClock).c_str());
      std::fflush(stdout);
    }
    double wait = engine.waitSeconds();
    // No window event can wake this loop, so multicast input is drained at 60 Hz at least.
    if (multicast && (wait < 0 || wait > SlotScheduler::kMaxWaitSeconds)) {
      wait = SlotScheduler::kMaxWaitSeconds;
    }
    std::unique_lock<std::mutex> hold(waitMutex);
    if (wait < 0) {
      wake.wait(hold, [&] { return ending.load() || statesWaiting.load(); });
    } else {
      wake.wait_for(hold, std::chrono::duration<double>(wait),
                    [&] { return ending.load() || statesWaiting.load(); });
    }
    // Woken by arriving states: they are gathered for a moment, since each pass rebuilds the
    // proximity list over every node.
    if (statesWaiting.load() && !ending.load()) {
      wake.wait_until(hold, passStart + kMinStatesPass, [&] { return ending.load(); });
    }
  }
  watcher.join();
  engine.stop();
  // What each port took and lost: drops mean the buffers per port are too few for the traffic.
  for (int k = 0; k < model.ports().portCount(); ++k) {
    const InputPort& port = *model.ports().portAt(k);
    const PortStatistics counts = port.statistics();
    std::printf("halvex: port %s %s:%ld: %llu packets received, %llu dropped\n", port.name(),
                port.group(), port.port(), static_cast<unsigned long long>(counts.received),
                static_cast<unsigned long long>(counts.dropped));
  }
  session.stopRecording();
  const RecordingStatus recording = session.recordingStatus();
  if (!history.recordPath.empty()) {
    std::printf("halvex: recorded %llu fixes, %llu bytes, into %s%s%s\n",
                static_cast<unsigned long long>(recording.fixes),
                static_cast<unsigned long long>(recording.bytes), recording.path.c_str(),
                recording.error.empty() ? "" : ": ", recording.error.c_str());
  }
  printFeedCounts(engine, controls);
  std::printf("halvex: stopped on signal %d after %ld state files\n", signals.signalNumber(),
              model.stateOutput().frameCount());
  return 0;
}
