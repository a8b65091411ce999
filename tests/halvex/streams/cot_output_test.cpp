// The CoT output on real sockets in a private network namespace: a receiver joined to the group
// reads back the events of a node table fed with position packets (run under TSAN too).
#include "halvex/streams/cot_output.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "halvex/net/multicast_socket.h"
#include "halvex/streams/cot_event.h"
#include "halvex/streams/node_updates.h"
#include "halvex/streams/packet_builder.h"
#include "halvex/tracking/node_motion.h"
#include "halvex/tracking/node_table.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr const char* kGroup = "239.255.22.1";
constexpr int kPort = 47022;
constexpr double kLostSeconds = 2;
constexpr int kPatienceSeconds = 20;  // TSAN and a busy machine are slow
constexpr int64_t kMinute = 60'000;

int64_t msOf(const WallTime& time) {
  return time.seconds * 1000 + time.milliseconds;
}

WallTime later(WallTime time, int seconds) {
  time.seconds += seconds;
  return time;
}

/// Applies a packet of node `id` at the given place and UTC ms.
void applyFix(const NodeTable& table, int id, double latitude, double longitude, int64_t ms,
              const char* comment1, const char* comment2) {
  PacketFix fix{id, comment1, comment2, latitude, longitude, ms};
  char packet[kMaxBuiltPacketBytes];
  ASSERT_GT(buildPositionPacket(fix, packet, sizeof packet), 0);
  ASSERT_TRUE(applyPositionPacket(table, packet));
}

/// The next `count` events heard on `fd`, by uid.
std::map<std::string, CotEvent> receive(int fd, int count) {
  std::map<std::string, CotEvent> events;
  char buffer[kCotMaxBytes];
  for (int k = 0; k < count; ++k) {
    const ssize_t bytes = ::recv(fd, buffer, sizeof buffer, 0);
    if (bytes <= 0) break;
    CotEvent event;
    EXPECT_EQ(readCotEvent(buffer, static_cast<size_t>(bytes), event), CotError::kNone)
        << std::string(buffer, static_cast<size_t>(bytes));
    events[event.uid] = event;
  }
  return events;
}

TEST(CotOutputTest, SendsEachChangedNodeOnce) {
  ScratchDir dir;
  NodeTable table;
  ASSERT_TRUE(table.readNodeFile(
      dir.write("nodes.txt", "1 Patrol 1\n2 Patrol 2\n3 Base\n4 Gate\n").c_str()));
  table.setIdleThresholds(1, kLostSeconds);
  CotOutput output;
  table.setFixListener(&output);
  const int fd = openMulticastReceiver(kGroup, kPort);
  ASSERT_GE(fd, 0);
  const timeval patience{kPatienceSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);

  CotSettings settings;
  settings.group = kGroup;
  settings.port = kPort;
  settings.ttl = 0;
  settings.site = "ops1";
  std::string error;
  ASSERT_TRUE(output.start(settings, &error)) << error;
  EXPECT_EQ(output.uidPrefix(), "halvex.ops1.");

  const WallTime now = wallClockNow();
  // Whole seconds: the packet reader truncates fractions, so 19.2 s would read as 19.199 s.
  const int64_t t0 = (msOf(now) - 1000) / 1000 * 1000;
  struct Case {
    int id;
    std::string remarks;
    bool track;     ///< Two fixes: course and speed known.
    int64_t fixMs;  ///< The last fix's time.
  };
  // Node 1 has no fix and sends nothing; node 4's clock runs ahead of the tracker's.
  const Case cases[] = {
      {2, "moving; fuel low", true, t0 + 1000},
      {3, "parked", false, t0},
      {4, "gate", false, t0 + 10 * kMinute},
  };
  applyFix(table, 2, 32.78, -116.98, t0, "moving", "");
  const MotionFix first{table.nodeById(2)->latitude, table.nodeById(2)->longitude, t0};
  applyFix(table, 2, 32.7801, -116.9799, t0 + 1000, "moving", "fuel low");
  Motion expected;
  ASSERT_TRUE(motionBetween(
      first, {table.nodeById(2)->latitude, table.nodeById(2)->longitude, t0 + 1000}, expected));
  applyFix(table, 3, -33.9, 18.4, t0, "", "parked");
  applyFix(table, 4, 51.5, -0.12, t0 + 10 * kMinute, "gate", nullptr);

  for (const bool lost : {false, true}) {
    const WallTime at = lost ? later(now, 3) : now;
    output.period(table, at, false, kLostSeconds);
    const std::map<std::string, CotEvent> events = receive(fd, 3);
    ASSERT_EQ(events.size(), 3u) << "lost " << lost;
    for (const Case& c : cases) {
      const std::string uid = "halvex.ops1." + std::to_string(c.id);
      ASSERT_EQ(events.count(uid), 1u) << uid;
      const CotEvent& event = events.at(uid);
      const NodeRecord* node = table.nodeById(c.id);
      EXPECT_EQ(event.type, CotSettings::kDefaultType) << uid;
      EXPECT_EQ(event.how, "m-g") << uid;
      EXPECT_EQ(event.callsign, node->name) << uid;
      EXPECT_EQ(event.remarks, c.remarks) << uid;
      EXPECT_EQ(event.timeMs, c.fixMs) << uid;
      EXPECT_EQ(event.startMs, c.fixMs) << uid;
      EXPECT_NEAR(event.latitude, node->latitude, 1e-9) << uid;
      EXPECT_NEAR(event.longitude, node->longitude, 1e-9) << uid;
      EXPECT_EQ(event.hae, kCotUnknown) << uid;
      EXPECT_EQ(event.ce, kCotUnknown) << uid;
      EXPECT_EQ(event.le, kCotUnknown) << uid;
      const int64_t stale = c.fixMs + static_cast<int64_t>(kLostSeconds * 1000);
      if (lost) {
        EXPECT_LE(event.staleMs, std::min(stale, msOf(at))) << uid << ": grey it out";
      } else {
        EXPECT_EQ(event.staleMs, stale) << uid;
      }
      ASSERT_EQ(event.hasTrack, c.track) << uid;
      if (c.track) {
        EXPECT_NEAR(event.course, expected.course, 1e-3);
        EXPECT_NEAR(event.speed, expected.speed, 1e-3);
      }
    }
    // Nothing changed: nothing is staged, and the next events heard are the lost ones.
    output.period(table, at, false, kLostSeconds);
    EXPECT_EQ(output.waiting(), 0);
  }
  // The receiver may hear the last event before the sender counts it.
  for (int wait = 0; wait < kPatienceSeconds * 1000 && output.sent() < 6; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(output.status(), "sending to " + std::string(kGroup) + ":" + std::to_string(kPort) +
                                 " ttl 0; 6 sent, 0 waiting");
  EXPECT_EQ(output.failed(), 0);
  ::close(fd);

  settings.group = "10.1.2.3";
  EXPECT_FALSE(output.start(settings, &error));
  EXPECT_EQ(error, "cannot send to 10.1.2.3:47022 ttl 0: Invalid argument");
  EXPECT_EQ(output.status(), error);
  EXPECT_FALSE(output.running());
}

}  // namespace
