// Node states between trackers through a real mosquitto broker: engines publishing and
// subscribing as the controls say, what the subscriber takes and what it leaves, and a broker
// that goes away and comes back.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/wall_clock.h"
#include "halvex/config/io_definitions.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/net/mqtt_link.h"
#include "halvex/streams/node_json.h"
#include "halvex/streams/node_updates.h"
#include "halvex/streams/packet_builder.h"
#include "tests/support/mqtt_broker.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr double kMediumIdle = 5;  ///< Idle thresholds of every tracker here, s.
constexpr double kBadIdle = 30;
constexpr double kOutputPeriod = 0.05;  ///< State output period of the publishers, s.

int64_t nowMs() {
  const WallTime now = wallClockNow();
  return now.seconds * 1000 + now.milliseconds;
}

/// Keeps every fix the table tells of.
struct FixLog : FixListener {
  void fixAccepted(const FixEvent& fix) override { fixes.push_back(fix); }
  std::vector<FixEvent> fixes;
};

/// One tracker: node list, model and engine, publishing and/or subscribing at `broker`.
struct Site {
  Site(const std::string& nodes, int brokerPort, bool publish, bool subscribe) {
    model.readNodeList(dir.write("nodes.txt", nodes));
    EngineControls& c = engine.controls();
    c.inputMode = subscribe ? IoDefinitions::kInputMqtt : IoDefinitions::kInputMulticast;
    c.mediumIdle = kMediumIdle;
    c.badIdle = kBadIdle;
    c.mqttInput.host = c.mqttOutputSettings.host = "127.0.0.1";
    c.mqttInput.port = c.mqttOutputSettings.port = brokerPort;
    c.mqttOutput = publish;
    engine.scheduler().setPeriodSeconds(SlotScheduler::kLocalOutput, kOutputPeriod);
    model.fixes().add(&log);
  }

  /// A position packet of node `id` taken by the table, dated `ageSeconds` ago.
  void fix(int id, double lat, double lon, double ageSeconds, const char* comment1 = "") {
    PacketFix fix;
    fix.id = id;
    fix.latitude = lat;
    fix.longitude = lon;
    fix.comment1 = comment1;
    fix.utcMilliseconds = nowMs() - static_cast<int64_t>(ageSeconds * 1000);
    char packet[kMaxBuiltPacketBytes];
    ASSERT_GT(buildPositionPacket(fix, packet, sizeof packet), 0);
    ASSERT_TRUE(applyPositionPacket(model.nodes(), packet));
  }

  NodeRecord& node(int id) { return *model.nodes().nodeById(id); }

  ScratchDir dir;
  TrackerModel model;
  TrackerEngine engine{model};
  FixLog log;
};

/// Runs every site's loop pass until `done` holds; false after 15 s.
bool runUntil(const std::vector<Site*>& sites, const std::function<bool()>& done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < limit) {
    for (Site* site : sites) site->engine.tick();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

TEST(MqttEngine, StatesReachASubscriberWithPositionNameCommentsAndStatusFromTheirTime) {
  testserver::MqttBroker broker;
  ASSERT_TRUE(broker.start());
  Site publisher("1 Alpha one\n2 Bravo two\n3 Charlie\n", broker.port(), true, false);
  // The subscriber knows no node 3, and node 1 by another name.
  Site viewer("1 Alpha\n2 Bravo\n", broker.port(), false, true);
  publisher.fix(1, 10.5, -20.25, 0.2, "gate");
  publisher.fix(2, -33.5, 151.25, 12);  // idle by its time, whoever computes it
  publisher.fix(3, 1, 1, 0);
  const MqttInput& input = viewer.engine.mqttInput();
  ASSERT_TRUE(
      runUntil({&publisher, &viewer}, [&] { return input.applied() >= 2 && input.ignored() >= 1; }))
      << viewer.engine.mqttInputStatus() << " / " << publisher.engine.mqttOutputStatus();

  const struct {
    int id;
    double lat, lon;
    const char* name;
    const char* comment1;
    int status;
  } want[] = {{1, 10.5, -20.25, "Alpha one", "gate", NodeRecord::kAlive},
              {2, -33.5, 151.25, "Bravo two", "", NodeRecord::kIdle}};
  for (const auto& w : want) {
    NodeRecord& node = viewer.node(w.id);
    EXPECT_NEAR(node.latitude, w.lat, 1e-6) << w.id;
    EXPECT_NEAR(node.longitude, w.lon, 1e-6) << w.id;
    EXPECT_STREQ(node.name, w.name);
    EXPECT_STREQ(node.comment1, w.comment1);
    EXPECT_EQ(node.status, w.status) << w.id;
    EXPECT_EQ(node.computeStatus(), w.status) << w.id;  // the fix time stands for reception
  }
  EXPECT_NEAR(viewer.node(2).computeAge(), 12, 1);
  // Recording and trails hear of each state as of a state record, with its fix time.
  ASSERT_GE(viewer.log.fixes.size(), 2u);
  for (const FixEvent& fix : viewer.log.fixes) {
    EXPECT_EQ(fix.kind, FixKind::kStateRecord);
    const FixEvent& sent = publisher.log.fixes[static_cast<size_t>(fix.id - 1)];
    EXPECT_EQ(fix.fixMs, sent.fixMs) << fix.id;
  }
  EXPECT_EQ(input.dropped(), 0);
  EXPECT_GE(input.latencyPercentileMs(99), 0);
  EXPECT_NE(viewer.engine.mqttInputStatus().find("connected to 127.0.0.1:"), std::string::npos);
  EXPECT_EQ(viewer.engine.mqttOutputStatus(), "off");
}

TEST(MqttEngine, OwnOlderMalformedAndOversizedStatesAreNotApplied) {
  testserver::MqttBroker broker;
  ASSERT_TRUE(broker.start());
  // One tracker both publishing and subscribing on the same topics.
  Site both("1 Alpha\n2 Bravo\n", broker.port(), true, true);
  both.fix(1, 5, 5, 0);
  const MqttInput& input = both.engine.mqttInput();
  ASSERT_TRUE(runUntil({&both}, [&] { return input.ignored() >= 1; }));
  EXPECT_EQ(input.applied(), 0);

  // Another publisher's state older than node 1's fix, one for node 2, and bad messages.
  MqttLink other(MqttLink::uniqueClientId("test"));
  MqttSettings settings;
  settings.host = "127.0.0.1";
  settings.port = broker.port();
  std::string error;
  ASSERT_TRUE(other.start(settings, &error)) << error;
  ASSERT_TRUE(runUntil({&both}, [&] { return other.connected(); }));
  NodeState old;
  old.id = 1;
  old.latitude = old.longitude = 40;
  old.timeMs = nowMs() - 60000;
  old.source = other.clientId();
  NodeState fresh = old;
  fresh.id = 2;
  fresh.timeMs = nowMs();
  const std::string messages[] = {nodeStateJson(old), nodeStateJson(fresh),
                                  "{\"id\":", std::string(kNodeJsonMaxBytes + 1, ' ')};
  for (const std::string& message : messages) {
    ASSERT_TRUE(other.publish("halvex/nodes/x", message, 1, false));
  }
  ASSERT_TRUE(runUntil({&both}, [&] { return input.dropped() >= 2 && input.applied() >= 1; }));
  EXPECT_GE(input.ignored(), 2);  // its own state and the older one
  EXPECT_EQ(both.node(1).latitude, 5);
  EXPECT_EQ(both.node(2).latitude, 40);
}

TEST(MqttEngine, EveryNodeIsPublishedAgainAfterTheBrokerRestarts) {
  testserver::MqttBroker broker;  // keeps no retained messages over a restart
  ASSERT_TRUE(broker.start());
  const std::string nodes = "1 Alpha\n2 Bravo\n3 Charlie\n";
  Site publisher(nodes, broker.port(), true, false);
  publisher.fix(1, 1, 1, 0);
  publisher.fix(2, 2, 2, 0);
  publisher.fix(3, 3, 3, 0);
  const MqttOutput& output = publisher.engine.mqttOutput();
  ASSERT_TRUE(runUntil({&publisher}, [&] { return output.published() >= 3; }));

  broker.stop();
  // Fixes while the broker is away: only the newest state of each node waits.
  for (int k = 1; k <= 20; ++k) {
    publisher.fix(1, 1 + k * 0.001, 1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    publisher.engine.tick();
    EXPECT_LE(output.staged(), 3);
  }
  ASSERT_TRUE(broker.start());
  ASSERT_TRUE(runUntil({&publisher}, [&] { return output.published() >= 6; }));
  // A tracker subscribing only now gets every node's last state from the retained messages.
  Site viewer(nodes, broker.port(), false, true);
  ASSERT_TRUE(
      runUntil({&publisher, &viewer}, [&] { return viewer.engine.mqttInput().applied() >= 3; }));
  EXPECT_NEAR(viewer.node(1).latitude, 1.020, 1e-6);
  EXPECT_EQ(viewer.node(2).latitude, 2);
  EXPECT_EQ(viewer.node(3).latitude, 3);
}

}  // namespace
