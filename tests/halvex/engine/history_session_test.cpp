#include "halvex/engine/history_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "halvex/core/calendar_cache.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/history/recording_reader.h"
#include "halvex/history/recording_writer.h"
#include "halvex/streams/node_updates.h"
#include "halvex/streams/packet_builder.h"
#include "tests/support/scratch_dir.h"

namespace {

/// 2026-03-08 01:59:50 UTC: read as New York time (as packet times are), ten seconds before the
/// hour that summer time skips.
constexpr int64_t kT0 = 1772935190000;
constexpr int64_t kArrivalLag = 200;  // ms from a fix to its arrival in the recordings below

/// A tracker model with three nodes, an engine and the history session driving both.
struct Tracker {
  ScratchDir dir;
  TrackerModel model;
  TrackerEngine engine{model};
  HistorySession history{model, engine};

  Tracker() {
    model.readNodeList(dir.write("nodes.txt", "1 Alpha\n2 Bravo\n3 Charlie\n"));
    engine.controls().mediumIdle = 2;  // pushed to the nodes at every pass
    engine.controls().badIdle = 4;
    model.nodes().setIdleThresholds(2, 4);
  }
  NodeRecord& node(int id) { return *model.nodes().nodeById(id); }
  bool packet(int id, int64_t utcMs, double lat, double lon, const char* c1) {
    PacketFix fix;
    fix.id = id;
    fix.comment1 = c1;
    fix.comment2 = "moving";
    fix.latitude = lat;
    fix.longitude = lon;
    fix.utcMilliseconds = utcMs;
    char text[kMaxBuiltPacketBytes];
    return buildPositionPacket(fix, text, sizeof text) > 0 &&
           applyPositionPacket(model.nodes(), text);
  }
  int status(int id) { return node(id).computeStatus(model.nodes().now()); }
};

/// Runs a test in a zone far from UTC whose offset changes in the recordings' span.
class InNewYork : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* zone = std::getenv("TZ");
    saved_ = zone != nullptr ? zone : "";
    hadZone_ = zone != nullptr;
    setenv("TZ", "America/New_York", 1);
    tzset();
    resetCalendarCache();
  }
  void TearDown() override {
    if (hadZone_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    resetCalendarCache();
  }

 private:
  std::string saved_;
  bool hadZone_ = false;
};

FixEvent fixAt(int id, FixKind kind, int64_t fixMs, double lat, const char* c1, const char* name,
               int status = 0) {
  FixEvent fix;
  fix.id = id;
  fix.kind = kind;
  fix.fixMs = fixMs;
  fix.arrivalMs = fixMs + kArrivalLag;
  fix.latitude = lat;
  fix.longitude = -117.0;
  fix.status = status;
  fix.comment1 = c1;
  fix.comment2 = "moving";
  fix.name = name;
  return fix;
}

/// Node 1 every second for a minute, its comment changed at 30 s; node 2 one state record at
/// 10 s that renames it; node 3 one fix at 5 s.
std::string writeExercise(const ScratchDir& dir) {
  const std::string path = dir.path("exercise.hxr");
  RecordingWriter writer;
  std::string error;
  EXPECT_TRUE(writer.open(path, 0, &error)) << error;
  for (int s = 0; s <= 60; ++s) {
    const int64_t t = kT0 + s * 1000;
    writer.append(
        fixAt(1, FixKind::kPacket, t, 32.0 + s * 1e-4, s < 30 ? "north gate" : "ford", "Alpha"));
    if (s == 5) writer.append(fixAt(3, FixKind::kPacket, t, 33.0, "", "Charlie"));
    if (s == 10) writer.append(fixAt(2, FixKind::kStateRecord, t, 34.0, "held", "Bravo 2", 1));
  }
  EXPECT_TRUE(writer.close());
  return path;
}

TEST_F(InNewYork, RecordingTakesEveryAcceptedFixOnceAtItsUtcTime) {
  Tracker tracker;
  const std::string path = tracker.dir.path("live.hxr");
  std::string error;
  ASSERT_TRUE(tracker.history.startRecording(path, 0, &error)) << error;
  for (int s = 0; s < 20; ++s) {
    ASSERT_TRUE(tracker.packet(1 + s % 3, kT0 + s * 1000, 32 + s * 1e-3, -117, s < 10 ? "a" : "b"));
  }
  EXPECT_FALSE(tracker.packet(1, kT0, 32, -117, "late"));  // older than node 1's last: refused
  char record[] = "$002,34.500000,-117.250000,1772953195,0,1,0.5,held,,Bravo*";
  EXPECT_TRUE(applyStateRecordLine(tracker.model.nodes(), record));
  char again[] = "$002,34.500000,-117.250000,1772953195,0,1,0.5,held,,Bravo*";
  EXPECT_TRUE(applyStateRecordLine(tracker.model.nodes(), again));  // read again: not recorded
  tracker.history.stopRecording();
  EXPECT_EQ(tracker.history.recordingStatus().fixes, 21u);

  RecordingReader reader;
  ASSERT_TRUE(reader.open(path, &error)) << error;
  std::vector<TrackState> seen;
  reader.forEach(reader.firstMs() - 1, reader.lastMs(), [&](const TrackState& state, unsigned) {
    seen.push_back(state);
    return true;
  });
  ASSERT_EQ(seen.size(), 21u);
  for (int s = 0; s < 20; ++s) {
    EXPECT_EQ(seen[s].id, 1 + s % 3);
    EXPECT_EQ(seen[s].fixMs, kT0 + s * 1000) << s;
    EXPECT_EQ(seen[s].comment1, s < 10 ? "a" : "b");
  }
  // The state record's time was written with the local calendar: 1772953195 read in New York
  // (UTC-5 then) is 06:59:55 UTC.
  EXPECT_EQ(seen[20].kind, FixKind::kStateRecord);
  EXPECT_EQ(seen[20].fixMs, kT0 + 5000);
  EXPECT_EQ(seen[20].status, 1);
  EXPECT_EQ(seen[20].name, "Bravo");
}

TEST_F(InNewYork, SeekRestoresEveryNodeAndIdleStatusFollowsTheReplayClock) {
  Tracker tracker;
  std::string error;
  ASSERT_TRUE(tracker.history.startReplay(writeExercise(tracker.dir), 0, false, &error)) << error;
  EXPECT_TRUE(tracker.engine.inputsReplaced());
  struct Case {
    int64_t atMs;
    int id;
    double lat;
    const char* comment1;
    const char* name;
    int status;
  } cases[] = {
      {kT0 + 45 * 1000 + kArrivalLag, 1, 32.0045, "ford", "Alpha", 0},
      {kT0 + 20 * 1000, 1, 32.0019, "north gate", "Alpha", 0},
      {kT0 + 8 * 1000, 3, 33.0, "", "Charlie", 1},       // 2.8 s since its fix arrived: idle
      {kT0 + 20 * 1000, 3, 33.0, "", "Charlie", 2},      // 14.8 s: lost
      {kT0 + 30 * 1000, 2, 34.0, "held", "Bravo 2", 1},  // a state record's status is kept
      {kT0 + 9 * 1000, 2, 0, "", "Bravo", -1},           // before its record: no data
  };
  for (const Case& c : cases) {
    tracker.history.seek(c.atMs);
    tracker.engine.tick();
    NodeRecord& node = tracker.node(c.id);
    SCOPED_TRACE(c.atMs - kT0);
    if (c.status < 0) {
      EXPECT_EQ(node.receivedAt.seconds, 0);
      continue;
    }
    EXPECT_NEAR(node.latitude, c.lat, 1e-9);
    EXPECT_STREQ(node.comment1, c.comment1);
    EXPECT_STREQ(node.name, c.name);
    // A state record's status stands; a packet's follows from the replay time.
    EXPECT_EQ(c.id == 2 ? node.status : tracker.status(c.id), c.status);
  }
  // Node 1's packet time reads as a live packet's would: the UTC fields with the local calendar.
  tracker.history.seek(kT0 + 9 * 1000 + kArrivalLag);
  const int64_t before = tracker.node(1).packetTime.seconds;
  EXPECT_STREQ(tracker.node(1).gpsDateText, "2026/03/08,01:59:59.000");
  tracker.history.step(1000);
  EXPECT_EQ(tracker.node(1).packetTime.seconds - before, 1);
  EXPECT_STREQ(tracker.node(1).gpsDateText, "2026/03/08,02:00:00.000");
}

TEST_F(InNewYork, PlayingRunsToTheEndAndLiveInputsComeBackAfter) {
  Tracker tracker;
  std::string error;
  ASSERT_TRUE(tracker.history.startReplay(writeExercise(tracker.dir), 0, true, &error)) << error;
  tracker.history.setSpeed(200);  // brought down to 64
  EXPECT_EQ(tracker.history.replayStatus().speed, HistorySession::kMaxSpeed);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!tracker.history.replayAtEnd() && std::chrono::steady_clock::now() < limit) {
    tracker.engine.tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  tracker.engine.tick();
  ASSERT_TRUE(tracker.history.replayAtEnd());
  EXPECT_NEAR(tracker.node(1).latitude, 32.006, 1e-9);
  EXPECT_STREQ(tracker.node(1).comment1, "ford");
  EXPECT_GT(tracker.model.trails().pointsOf(1).size(), 0u);

  tracker.history.stopReplay();
  EXPECT_FALSE(tracker.engine.inputsReplaced());
  EXPECT_TRUE(tracker.packet(1, kT0 + 3600 * 1000, 40, -117, "live"));
  EXPECT_STREQ(tracker.node(1).comment1, "live");

  // A file that is no recording is refused and leaves the live inputs.
  EXPECT_FALSE(tracker.history.startReplay(tracker.dir.write("x.txt", "not a recording\n"), 0, true,
                                           &error));
  EXPECT_NE(error.find("not a track recording"), std::string::npos) << error;
  EXPECT_FALSE(tracker.engine.inputsReplaced());
}

}  // namespace
