#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/perf_counter.h"
#include "halvex/config/io_definitions.h"
#include "halvex/core/rate_tables.h"
#include "halvex/engine/slot_scheduler.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"
#include "tests/support/loopback_byte_server.h"
#include "tests/support/loopback_servers.h"
#include "tests/support/scratch_dir.h"

namespace {

using Slot = SlotScheduler;

TEST(RateTables, PeriodsLabelsAndChoicesOutsideTheTables) {
  EXPECT_EQ(rateCount(RateTable::kDisplay), 12);
  EXPECT_EQ(rateCount(RateTable::kLocal), 4);
  EXPECT_EQ(rateCount(RateTable::kRemote), 8);
  EXPECT_DOUBLE_EQ(ratePeriod(RateTable::kDisplay, 0), 1.0 / 60);
  EXPECT_DOUBLE_EQ(ratePeriod(RateTable::kDisplay, 11), 30.0);
  EXPECT_STREQ(rateEntries(RateTable::kDisplay)[7].label, "2 spf");
  EXPECT_DOUBLE_EQ(ratePeriod(RateTable::kLocal, 0), 0.2);
  EXPECT_DOUBLE_EQ(ratePeriod(RateTable::kRemote, 7), 60.0);
  EXPECT_DOUBLE_EQ(ratePeriod(RateTable::kRemote, 8), 1.0);
  EXPECT_DOUBLE_EQ(ratePeriod(RateTable::kLocal, -1), 1.0);

  EXPECT_EQ(rateIndexOf(RateTable::kLocal, "5pps"), 0);
  EXPECT_EQ(rateIndexOf(RateTable::kLocal, "2 SPP"), 3);
  EXPECT_EQ(rateIndexOf(RateTable::kRemote, "2 spp"), 1);
  EXPECT_EQ(rateIndexOf(RateTable::kRemote, "7"), 7);
  EXPECT_EQ(rateIndexOf(RateTable::kRemote, "8"), -1);
  EXPECT_EQ(rateIndexOf(RateTable::kLocal, "3 pps"), -1);
  EXPECT_EQ(rateIndexOf(RateTable::kLocal, "-1"), -1);
  EXPECT_EQ(rateIndexOf(RateTable::kLocal, ""), -1);
}

TEST(SlotScheduler, DueOnlyStrictlyAfterThePeriodAndWaitsCapped) {
  SlotScheduler s;
  const int64_t f = s.frequency();
  EXPECT_EQ(s.period(Slot::kLocalOutput), f);  // one second until rates are set
  s.markRun(Slot::kLocalOutput, 1000);
  EXPECT_FALSE(s.due(Slot::kLocalOutput, 1000 + f));
  EXPECT_TRUE(s.due(Slot::kLocalOutput, 1001 + f));

  EXPECT_LT(s.waitSeconds(), 0);  // nothing enabled: wait for events without limit
  s.enable(Slot::kMulticast, true);
  EXPECT_LT(s.waitSeconds(), 0);  // multicast never shortens the wait
  s.enable(Slot::kLocalOutput, true);
  s.markRun(Slot::kLocalOutput, s.sample());
  EXPECT_DOUBLE_EQ(s.waitSeconds(), Slot::kMaxWaitSeconds);
  s.markRun(Slot::kLocalOutput, s.now() - 2 * f);
  EXPECT_EQ(s.waitSeconds(), 0.0);
  s.enable(Slot::kLocalOutput, false);
  s.enable(Slot::kClientOutput, true);
  s.setPeriodSeconds(Slot::kClientOutput, 0.002);
  s.markRun(Slot::kClientOutput, s.sample());
  EXPECT_LE(s.waitSeconds(), 0.002);
}

/// A model with four nodes read from a node list in a scratch directory.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("nodes.txt", "1 Command post\n2 Recovery truck\n3 Scout\n4 Relay\n");
    model_.readNodeList(dir_.path("nodes.txt"));
    ASSERT_EQ(model_.nodes().count(), 4);
  }
  NodeRecord& node(int id) { return *model_.nodes().nodeById(id); }

  ScratchDir dir_;
  TrackerModel model_;
};

/// Records what the engine tells the windows.
struct RecordingView : EngineView {
  void idleControlsShown(bool shown) override { idle.push_back(shown); }
  void remoteRateShown(bool shown) override { remoteRate = shown ? 1 : 0; }
  void redrawRequested() override { ++redraws; }
  void framesWritten(long count) override { frames = count; }
  std::vector<bool> idle;
  std::atomic<int> remoteRate{-1};
  int redraws = 0;
  long frames = 0;
};

TEST_F(EngineTest, DefaultRatesAndChoicesSetThePeriods) {
  TrackerEngine engine(model_);
  const double f = static_cast<double>(engine.scheduler().frequency());
  auto seconds = [&](Slot::Slot slot) { return engine.scheduler().period(slot) / f; };
  EXPECT_NEAR(seconds(Slot::kDisplay), 1.0 / 30, 1e-9);
  EXPECT_NEAR(seconds(Slot::kLocalInput), 1.0, 1e-9);
  EXPECT_NEAR(seconds(Slot::kRemoteInput), 10.0, 1e-9);
  EXPECT_NEAR(seconds(Slot::kClientInput), 10.0, 1e-9);
  EXPECT_NEAR(seconds(Slot::kLocalOutput), 1.0, 1e-9);
  EXPECT_NEAR(seconds(Slot::kClientOutput), 1.0, 1e-9);

  engine.setRateChoice(Slot::kLocalOutput, 0);
  engine.setRateChoice(Slot::kRemoteInput, 1);
  engine.setRateChoice(Slot::kDisplay, 40);  // outside the table: one second
  engine.updateRates();
  EXPECT_NEAR(seconds(Slot::kLocalOutput), 0.2, 1e-9);
  EXPECT_NEAR(seconds(Slot::kRemoteInput), 2.0, 1e-9);
  EXPECT_NEAR(seconds(Slot::kDisplay), 1.0, 1e-9);
}

/// Passes every 2 ms until the worker has ended `fetches` fetches in all, then one more pass,
/// which applies the last one's result.
void passUntilFetched(TrackerEngine& engine, long fetches) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (engine.remoteFetches() < fetches && std::chrono::steady_clock::now() < limit) {
    engine.tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  engine.tick();
}

/// Makes the remote slot due and passes until the fetch it starts has been applied.
void fetchNow(TrackerEngine& engine) {
  SlotScheduler& s = engine.scheduler();
  s.markRun(Slot::kRemoteInput, perfCounter() - 300 * s.frequency());
  passUntilFetched(engine, engine.remoteFetches() + 1);
}

TEST_F(EngineTest, ExactlyOneInputModeRunsPerTick) {
  dir_.write("in.txt",
             "<dgc>\n$003,10.500000,20.250000,1765195200,500,2,7.500,a,b,Scout*\n</dgc>\n");
  RecordingView view;
  TrackerEngine engine(model_, &view);
  EngineControls& c = engine.controls();
  c.localStateFile = dir_.path("in.txt");
  c.remoteHost = "127.0.0.1";
  c.remotePort = 1;  // nothing listens there

  // Remote mode: the due fetch runs (and fails), the local file is not read.
  c.inputMode = IoDefinitions::kInputRemoteState;
  fetchNow(engine);
  EXPECT_EQ(engine.remoteFetches(), 1);
  EXPECT_TRUE(engine.newStateData());
  EXPECT_FALSE(node(3).hasData);

  // Local mode: read when due, no remote fetch.
  c.inputMode = IoDefinitions::kInputLocalState;
  engine.scheduler().markRun(Slot::kLocalInput, perfCounter() - 2 * engine.scheduler().frequency());
  engine.tick();
  EXPECT_DOUBLE_EQ(node(3).latitude, 10.5);
  EXPECT_EQ(engine.remoteFetches(), 1);
  EXPECT_TRUE(engine.newStateData());
  // Not due again at once: the file is not re-read.
  node(3).latitude = 0;
  engine.tick();
  EXPECT_DOUBLE_EQ(node(3).latitude, 0.0);

  // Multicast mode clears the flag; client receiving runs nothing and keeps it.
  c.inputMode = IoDefinitions::kInputMulticast;
  engine.tick();
  EXPECT_FALSE(engine.newStateData());
  engine.setNewStateData(true);
  c.inputMode = IoDefinitions::kInputClient;
  engine.tick();
  EXPECT_TRUE(engine.newStateData());
  EXPECT_EQ(engine.remoteFetches(), 1);
  // Idle controls: hidden for the state inputs, shown for multicast, unchanged for client.
  EXPECT_EQ(view.idle, (std::vector<bool>{false, true}));
}

TEST_F(EngineTest, StateOutputRelaysStatusAndAgeOnlyAfterStateInput) {
  dir_.write("in.txt",
             "<dgc>\n$001,10.500000,20.250000,1765195200,500,2,7.500,a,b,Command post*\n"
             "</dgc>\n");
  RecordingView view;
  TrackerEngine engine(model_, &view);
  EngineControls& c = engine.controls();
  c.inputMode = IoDefinitions::kInputLocalState;
  c.localStateFile = dir_.path("in.txt");
  c.localStateOutput = true;
  model_.stateOutput().setFileName(dir_.path("out.txt").c_str());
  SlotScheduler& s = engine.scheduler();
  const int64_t past = perfCounter() - 5 * s.frequency();
  s.markRun(Slot::kLocalInput, past);
  s.markRun(Slot::kLocalOutput, past);
  engine.tick();
  EXPECT_EQ(view.frames, 1);
  const std::string relayed = dir_.read("out.txt");
  EXPECT_NE(relayed.find("$001,10.500000,20.250000,"), std::string::npos) << relayed;
  EXPECT_NE(relayed.find(",2,7.500,a,b,Command post*"), std::string::npos) << relayed;

  // After a multicast pass the status and age are computed: the node never received a packet
  // here, so its age is no longer the relayed 7.500.
  c.inputMode = IoDefinitions::kInputMulticast;
  s.markRun(Slot::kLocalOutput, past);
  engine.tick();
  EXPECT_EQ(view.frames, 2);
  EXPECT_EQ(dir_.read("out.txt").find(",7.500,"), std::string::npos);

  // Snapshots off: nothing written, the counter stays.
  model_.stateOutput().setSnapshot(false);
  s.markRun(Slot::kLocalOutput, past);
  engine.tick();
  EXPECT_EQ(model_.stateOutput().frameCount(), 2);
}

// Slots that run nothing in the loop must not keep the wait at zero once they fall due: client
// receiving and sending, and state output with generation switched off.
TEST_F(EngineTest, DueSlotsWithNothingToRunStillPaceTheWait) {
  TrackerEngine engine(model_, nullptr);
  EngineControls& c = engine.controls();
  SlotScheduler& s = engine.scheduler();
  model_.stateOutput().setSnapshot(false);
  const struct {
    int inputMode;
    bool localOutput;
    bool clientOutput;
    SlotScheduler::Slot slot;
  } cases[] = {{IoDefinitions::kInputClient, false, false, Slot::kClientInput},
               {IoDefinitions::kInputServer, false, true, Slot::kClientOutput},
               {IoDefinitions::kInputServer, true, false, Slot::kLocalOutput}};
  for (const auto& k : cases) {
    c.inputMode = k.inputMode;
    c.localStateOutput = k.localOutput;
    c.clientOutput = k.clientOutput;
    s.markRun(k.slot, perfCounter() - 5 * s.frequency());
    engine.tick();
    EXPECT_GT(engine.waitSeconds(), 0.0) << "slot " << k.slot;
  }
}

TEST_F(EngineTest, DisplaySlotAsksForRedrawOnlyWhenShownAndDue) {
  RecordingView view;
  TrackerEngine engine(model_, &view);
  engine.controls().inputMode = IoDefinitions::kInputClient;
  engine.scheduler().markRun(Slot::kDisplay, perfCounter() - engine.scheduler().frequency());
  engine.tick();
  EXPECT_EQ(view.redraws, 0);
  engine.controls().displayShown = true;
  engine.tick();
  EXPECT_EQ(view.redraws, 1);
  const int64_t asked = engine.scheduler().now();
  // The frame takes a while: the next one is due a period after the pass that asked for it.
  while (perfCounter() == asked) {
  }
  engine.frameDrawn();
  EXPECT_EQ(engine.scheduler().lastRun(Slot::kDisplay), asked);
  engine.tick();
  EXPECT_EQ(view.redraws, 1);
  EXPECT_DOUBLE_EQ(engine.waitSeconds(), Slot::kMaxWaitSeconds);
}

/// Serves a state file whose body ends with the given refresh line.
void writeServedState(ScratchDir& dir, const std::string& refreshLine) {
  dir.write("state.txt",
            "<dgc>\n$002,1.000000,2.000000,1765195200,0,0,0.100,x,y,Recovery truck*\n"
            "$003,1.500000,2.500000,1765195200,0,0,0.100,x,y,Scout*\n</dgc>\n" +
                refreshLine);
}

TEST_F(EngineTest, ServersRefreshValueGovernsPolling) {
  ScratchDir served;
  writeServedState(served, "<REFRESH> 5\n");
  testserver::HttpFileServer server(served.dir());
  ASSERT_GT(server.port(), 0);
  RecordingView view;
  TrackerEngine engine(model_, &view);
  EngineControls& c = engine.controls();
  c.inputMode = IoDefinitions::kInputRemoteState;
  c.remoteHost = "127.0.0.1";
  c.remotePort = server.port();
  c.remotePath = "/state.txt";
  engine.setRateChoice(Slot::kRemoteInput, 0);  // 1 s
  engine.updateRates();
  engine.tick();  // takes the settings; not due yet
  EXPECT_EQ(engine.remoteFetches(), 0);
  SlotScheduler& s = engine.scheduler();
  const auto periodSeconds = [&] {
    return static_cast<double>(s.period(Slot::kRemoteInput)) / static_cast<double>(s.frequency());
  };

  // 5 s from the server governs and hides the choice.
  fetchNow(engine);
  EXPECT_EQ(engine.remoteFetches(), 1);
  EXPECT_DOUBLE_EQ(node(2).latitude, 1.0);
  EXPECT_EQ(engine.serverRefresh(), 5);
  EXPECT_EQ(view.remoteRate, 0);
  EXPECT_DOUBLE_EQ(periodSeconds(), 5.0);
  // Not due again within the server's period.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  engine.tick();
  EXPECT_FALSE(engine.scheduler().due(Slot::kRemoteInput, perfCounter()));
  EXPECT_EQ(engine.remoteFetches(), 1);

  for (const char* value : {"0", "200", "250"}) {
    writeServedState(served, std::string("<REFRESH> ") + value + "\n");
    fetchNow(engine);
    EXPECT_EQ(view.remoteRate, 1) << value;
    EXPECT_EQ(engine.serverRefresh(), 0) << value;
    EXPECT_DOUBLE_EQ(periodSeconds(), 1.0) << value;  // the chosen rate again
  }
  for (const char* value : {"1", "199"}) {
    writeServedState(served, std::string("<REFRESH> ") + value + "\n");
    fetchNow(engine);
    EXPECT_EQ(view.remoteRate, 0) << value;
    EXPECT_EQ(engine.serverRefresh(), std::stoi(value));
  }
  engine.stop();
}

TEST_F(EngineTest, LoopFetchesOnTheWorkerAndStopsCleanly) {
  ScratchDir served;
  writeServedState(served, "");
  testserver::HttpFileServer server(served.dir());
  ASSERT_GT(server.port(), 0);
  TrackerEngine engine(model_);
  EngineControls& c = engine.controls();
  c.inputMode = IoDefinitions::kInputRemoteState;
  c.remoteHost = "127.0.0.1";
  c.remotePort = server.port();
  c.remotePath = "/state.txt";
  engine.setRateChoice(Slot::kRemoteInput, 0);
  engine.updateRates();
  // The loop passes every 5 ms; the worker fetches each time the slot falls due.
  engine.start();
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2300);
  while (std::chrono::steady_clock::now() < until) {
    engine.tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  engine.stop();
  const long fetches = engine.remoteFetches();
  EXPECT_GE(fetches, 2);
  EXPECT_DOUBLE_EQ(node(2).latitude, 1.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(engine.remoteFetches(), fetches);  // nothing polls after stop
}

// Servers that hold a fetch for seconds: one that stalls after the start of its response, one
// that trickles a byte a second (under the stall limit, so the fetch runs to its whole-fetch
// limit) and one whose connection queue is full (the connect hangs). No call of the loop may
// wait for the fetch: its passes, a configuration load holding the inputs, the reset and a port
// file reload. The records that came before the reload are dropped, and the stop ends the fetch.
TEST_F(EngineTest, FetchHeldByTheServerNeverHoldsTheLoop) {
  using std::chrono::milliseconds;
  constexpr auto kPrompt = milliseconds(100);  // a loop call, while the fetch hangs
  constexpr auto kStopPrompt = milliseconds(400);
  const std::string head =
      "HTTP/1.0 200 OK\r\n\r\n<dgc>\n"
      "$002,1.000000,2.000000,1765195200,0,0,0.100,x,y,Recovery truck*\n";
  const std::string rest = "$003,1.500000,2.500000,1765195200,0,0,0.100,x,y,Scout*\n</dgc>\n";
  testserver::RawServer stalled(RAW_SERVER_SCRIPT, {"--body", dir_.write("head", head), "--stall"});
  testserver::LoopbackByteServer trickling({head + rest, head.size(), milliseconds(1000), true});
  testserver::LoopbackByteServer full({"", 0, milliseconds(0), false});
  const struct {
    const char* name;
    int port;
    bool connects;
  } cases[] = {{"stalled", stalled.port(), true},
               {"trickling", trickling.port(), true},
               {"not accepting", full.port(), false}};
  dir_.write("ports.mcp", "");
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    ASSERT_GT(k.port, 0);
    model_.readNodeList(dir_.path("nodes.txt"));
    RecordingView view;
    TrackerEngine engine(model_, &view);
    EngineControls& c = engine.controls();
    c.inputMode = IoDefinitions::kInputRemoteState;
    c.remoteHost = "127.0.0.1";
    c.remotePort = k.port;
    c.remotePath = "/state.txt";
    engine.setRateChoice(Slot::kRemoteInput, 0);  // 1 s
    engine.updateRates();
    SlotScheduler& s = engine.scheduler();
    s.markRun(Slot::kRemoteInput, perfCounter() - 2 * s.frequency());
    const auto timed = [](const char* what, milliseconds limit, const auto& call) {
      const auto start = std::chrono::steady_clock::now();
      call();
      const auto took = std::chrono::steady_clock::now() - start;
      EXPECT_LT(std::chrono::duration_cast<milliseconds>(took).count(), limit.count()) << what;
    };
    // The passes go on, paced: the slot restarted when the fetch began.
    for (int pass = 0; pass < 30; ++pass) {
      timed("pass", kPrompt, [&] { engine.tick(); });
      EXPECT_GT(engine.waitSeconds(), 0.0);
      std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_EQ(engine.remoteFetches(), 0);  // still in flight
    timed("configuration load", kPrompt, [&] {
      auto hold = engine.holdInputs();
      model_.readNodeList(dir_.path("nodes.txt"));
    });
    timed("reset", kPrompt, [&] { engine.resetTimeStamps(); });
    timed("port file reload", kPrompt, [&] { engine.reloadPortFile(dir_.path("ports.mcp")); });
    for (int pass = 0; pass < 20; ++pass) {
      timed("pass after the reload", kPrompt, [&] { engine.tick(); });
      std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_FALSE(node(2).latitude == 1.0);  // fetched before the reload
    timed("stop", kStopPrompt, [&] { engine.stop(); });
    // The fetch cancelled by the reload has ended; a connect still hanging has not.
    EXPECT_EQ(engine.remoteFetches() > 0, k.connects);
  }
}

// The tool window's reset reads the node list again from its path while the navigation reads
// roam, then restores the navigation; state data counts as old until the next records.
TEST_F(EngineTest, ResetRereadsTheNodeListUnderRoamAndRestoresTheNavigation) {
  struct Listener : TrackerModel::Listener {
    explicit Listener(TrackerModel& m) : model(m) {}
    void nodeListRead() override { modes.push_back(model.settings().navigationMode); }
    TrackerModel& model;
    std::vector<int> modes;
  } listener(model_);
  model_.setListener(&listener);
  TrackerEngine engine(model_);
  model_.settings().navigationMode = 1;
  engine.setNewStateData(true);
  dir_.write("nodes.txt", "1 Command post\n2 Recovery truck\n");
  engine.resetTimeStamps();
  EXPECT_EQ(model_.nodes().count(), 2);
  EXPECT_EQ(listener.modes, std::vector<int>{2});
  EXPECT_EQ(model_.settings().navigationMode, 1);
  EXPECT_FALSE(engine.newStateData());
  model_.setListener(nullptr);
}

}  // namespace
