// Multicast input ports on real sockets in a private network namespace: packets sent by pktsend
// or by hand reach the node table through the receive threads (run under TSAN too).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "halvex/streams/input_port.h"
#include "halvex/streams/input_port_set.h"
#include "halvex/streams/packet_builder.h"
#include "halvex/streams/port_receiver.h"
#include "halvex/tracking/node_table.h"
#include "tests/support/loopback_servers.h"
#include "tests/support/scratch_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kGroup = "239.255.20.1";
constexpr int kPort = 47001;
constexpr auto kPatience = std::chrono::seconds(20);  // TSAN and a busy machine are slow
constexpr const char* kStart = "2026-12-07T12:35:19.5";

/// pktsend with `args` (and --quiet), as a child process ended with the test.
std::unique_ptr<testserver::ChildProcess> startPktsend(const std::vector<std::string>& args) {
  std::vector<std::string> all{PKTSEND_PATH, "--quiet"};
  all.insert(all.end(), args.begin(), args.end());
  return std::make_unique<testserver::ChildProcess>(all);
}

/// Runs pktsend to its end; returns its exit status.
int runPktsend(const std::vector<std::string>& args) {
  return startPktsend(args)->wait();
}

/// pktsend arguments for `count` packets of `ids`, unpaced, to the test group and `port`.
std::vector<std::string> burst(const std::string& ids, int count, int port = kPort) {
  return {"--group", kGroup, "--port",  std::to_string(port),
          "--ids",   ids,    "--count", std::to_string(count),
          "--rate",  "0",    "--start", kStart};
}

/// Polls `done` until it holds or the patience runs out.
bool waitUntil(const std::function<bool()>& done) {
  const auto end = Clock::now() + kPatience;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

/// Sends one datagram to the group as pktsend does (TTL 0, loopback on).
void sendDatagram(const std::string& text, int port = kPort) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  const unsigned char ttl = 0, loop = 1;
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, kGroup, &to.sin_addr);
  EXPECT_EQ(sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(text.size()));
  close(fd);
}

/// A packet of node `id` at the given position, `ms` after the test start time.
std::string packetText(int id, double latitude, int64_t ms = 0) {
  PacketFix fix;
  fix.id = id;
  fix.comment1 = "hand";
  fix.comment2 = "made";
  fix.latitude = latitude;
  fix.longitude = -117.0;
  fix.utcMilliseconds = 1796646919500 + ms;
  char out[kMaxBuiltPacketBytes];
  const int length = buildPositionPacket(fix, out, sizeof out);
  return length > 0 ? std::string(out, static_cast<size_t>(length)) : std::string();
}

uint64_t arrived(const InputPort* port) {
  const PortStatistics counts = port->statistics();
  return counts.received + counts.dropped;
}

class MulticastInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string nodes;
    for (int id = 1; id <= 10; ++id)
      nodes += std::to_string(id) + " vehicle " + std::to_string(id) + "\n";
    ASSERT_TRUE(table_.readNodeFile(dir_.write("nodes.txt", nodes).c_str()));
    portFile_ = dir_.write("ports.mcp", "# the test group\nfirst " + std::string(kGroup) + " " +
                                            std::to_string(kPort) + "\n");
  }

  /// Loads the port file, starts the receivers and returns the first port.
  InputPort* start() {
    EXPECT_TRUE(ports_.loadPortFile(portFile_.c_str()));
    ports_.startReceivers();
    return ports_.portAt(0);
  }

  ScratchDir dir_;
  std::string portFile_;
  NodeTable table_;
  InputPortSet ports_{table_, 200, 50};
};

TEST_F(MulticastInputTest, PacketsFromPktsendReachTheNodeTable) {
  portFile_ = dir_.write("ports.mcp", "first " + std::string(kGroup) + " " + std::to_string(kPort) +
                                          "\nsecond 239.255.20.2 47002\n");
  InputPort* first = start();
  ASSERT_EQ(ports_.portCount(), 2);
  ASSERT_TRUE(first->active());
  ASSERT_TRUE(first->receiver().isOpen());
  ASSERT_EQ(runPktsend(burst("1-3", 30)), 0);
  std::vector<std::string> second = {"--group", "239.255.20.2", "--port",     "47002",    "--ids",
                                     "7",       "--count",      "4",          "--rate",   "0",
                                     "--start", kStart,         "--comment1", "c1",       "--lat",
                                     "-10",     "--lon",        "20",         "--motion", "line"};
  ASSERT_EQ(runPktsend(second), 0);
  ASSERT_TRUE(waitUntil([&] { return arrived(first) == 30 && arrived(ports_.portAt(1)) == 4; }));
  // Every packet goes to its node: times never decrease, so each is taken.
  EXPECT_EQ(ports_.processPorts(), 34);
  EXPECT_EQ(ports_.processPorts(), 0);
  for (int id = 1; id <= 3; ++id) {
    const NodeRecord* node = table_.nodeById(id);
    EXPECT_EQ(node->hasData, 1);
    EXPECT_STREQ(node->comment1, "pktsend");
    EXPECT_STREQ(node->comment2, "circle");
    EXPECT_NEAR(node->latitude, 32.7, 0.002);  // on a circle of 200 m about the start
    EXPECT_EQ(std::string(node->gpsDateText).substr(0, 16), "2026/12/07,12:35");
  }
  const NodeRecord* seven = table_.nodeById(7);
  EXPECT_STREQ(seven->comment1, "c1");
  EXPECT_STREQ(seven->comment2, "line");
  EXPECT_NEAR(seven->latitude, -10, 0.001);
  EXPECT_NEAR(seven->longitude, 20, 0.001);
  EXPECT_EQ(table_.nodeById(4)->hasData, 0);
}

TEST_F(MulticastInputTest, FiftyFirstPacketBetweenTwoPassesIsDropped) {
  InputPort* port = start();
  ASSERT_EQ(runPktsend(burst("1", 51)), 0);
  ASSERT_TRUE(waitUntil([&] { return arrived(port) == 51; }));
  EXPECT_EQ(port->statistics().received, 50u);
  EXPECT_EQ(port->statistics().dropped, 1u);
  EXPECT_EQ(ports_.processPorts(), 50);
  EXPECT_TRUE(port->overflowed());
  // The next pass starts with an empty ring of 50 again.
  ASSERT_EQ(runPktsend(burst("2", 50)), 0);
  ASSERT_TRUE(waitUntil([&] { return arrived(port) == 101; }));
  EXPECT_EQ(ports_.processPorts(), 50);
  EXPECT_FALSE(port->overflowed());
  EXPECT_EQ(port->statistics().dropped, 1u);
}

TEST_F(MulticastInputTest, DatagramOfExactlyBBytesKeepsBMinusOneCharacters) {
  // Without its checksum digits the packet ends in "*", which the parser needs.
  std::string text = packetText(5, 40.0);
  text.resize(text.size() - 2);
  const int length = static_cast<int>(text.size());

  PortReceiver receiver(kGroup, kPort, length, 4);
  ASSERT_TRUE(receiver.open());
  sendDatagram(text);
  sendDatagram(text + "0123456789");  // longer than B: cut by the socket, then as above
  ASSERT_TRUE(waitUntil([&] { return receiver.statistics().received == 2; }));
  receiver.stop();
  PacketRing& ring = receiver.swapRings();
  EXPECT_EQ(std::string(ring.nextPacket()), text.substr(0, length - 1));
  EXPECT_EQ(std::string(ring.nextPacket()), text.substr(0, length - 1));

  // In the table: B bytes lose the "*" and the packet; B + 1 keep it whole.
  EXPECT_EQ(ports_.setBytesPerBuffer(length), length);
  InputPort* port = start();
  sendDatagram(text);
  ASSERT_TRUE(waitUntil([&] { return arrived(port) == 1; }));
  EXPECT_EQ(ports_.processPorts(), 0);
  EXPECT_EQ(table_.nodeById(5)->hasData, 0);
  EXPECT_EQ(ports_.setBytesPerBuffer(length + 1), length + 1);
  port = ports_.portAt(0);
  sendDatagram(text);
  ASSERT_TRUE(waitUntil([&] { return arrived(port) == 1; }));
  EXPECT_EQ(ports_.processPorts(), 1);
  EXPECT_NEAR(table_.nodeById(5)->latitude, 40.0, 1e-6);
}

TEST_F(MulticastInputTest, ChangingBufferSettingsWhileReceivingRestartsWithTheNewSizes) {
  InputPort* port = start();
  const std::string text = packetText(3, 12.5);
  ASSERT_GT(text.size(), 60u);

  auto timed = [](const std::function<void()>& step) {
    const auto begin = Clock::now();
    step();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
  };
  // The same value changes nothing: no pause, the same port.
  EXPECT_LT(timed([&] { ports_.setBytesPerBuffer(200); }), 400);
  EXPECT_EQ(ports_.portAt(0), port);

  EXPECT_GE(timed([&] { EXPECT_EQ(ports_.setBytesPerBuffer(60), 60); }), 500);
  EXPECT_TRUE(ports_.receiving());
  port = ports_.portAt(0);
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->active());
  EXPECT_TRUE(port->receiver().isOpen());
  EXPECT_EQ(port->receiver().bufferBytes(), 60);
  sendDatagram(text);  // cut to 59 characters: no packet
  ASSERT_TRUE(waitUntil([&] { return arrived(port) == 1; }));
  EXPECT_EQ(ports_.processPorts(), 0);

  EXPECT_GE(timed([&] { EXPECT_EQ(ports_.setBuffersPerPort(2), 2); }), 500);
  EXPECT_EQ(ports_.portAt(0)->receiver().bufferBytes(), 60);
  EXPECT_GE(timed([&] { ports_.setBytesPerBuffer(300); }), 500);
  port = ports_.portAt(0);
  EXPECT_EQ(port->receiver().bufferCount(), 2);
  EXPECT_EQ(port->receiver().bufferBytes(), 300);
  for (int i = 0; i < 3; ++i) sendDatagram(packetText(3, 12.5 + i, i));
  ASSERT_TRUE(waitUntil([&] { return arrived(port) == 3; }));
  EXPECT_EQ(port->statistics().dropped, 1u);
  EXPECT_EQ(ports_.processPorts(), 2);
  EXPECT_NEAR(table_.nodeById(3)->latitude, 13.5, 1e-6);
}

TEST_F(MulticastInputTest, OlderPacketsAreRefused) {
  InputPort* port = start();
  auto send = [&](const char* start, const char* latitude) {
    const uint64_t before = arrived(port);
    std::vector<std::string> args = burst("6", 1);
    args.insert(args.end(), {"--start", start, "--lat", latitude, "--radius", "0"});
    ASSERT_EQ(runPktsend(args), 0);
    ASSERT_TRUE(waitUntil([&] { return arrived(port) == before + 1; }));
  };
  send("2026-12-07T12:35:19.5", "10");
  EXPECT_EQ(ports_.processPorts(), 1);
  send("2026-12-07T12:35:18.5", "20");    // a second older
  send("2026-12-07T12:35:19.499", "21");  // a millisecond older
  EXPECT_EQ(ports_.processPorts(), 0);
  EXPECT_NEAR(table_.nodeById(6)->latitude, 10, 1e-6);
  send("2026-12-07T12:35:19.5", "30");  // the same time to the millisecond is taken
  EXPECT_EQ(ports_.processPorts(), 1);
  EXPECT_NEAR(table_.nodeById(6)->latitude, 30, 1e-6);
}

TEST_F(MulticastInputTest, BadPortsDeliverNothingAndUnknownIdsAreSkipped) {
  portFile_ = dir_.write("ports.mcp", "bad 239.255.20.1 70000\nnogroup not.an.address " +
                                          std::to_string(kPort + 1) + "\ngood " + kGroup + " " +
                                          std::to_string(kPort) + "\n");
  start();
  ASSERT_EQ(ports_.portCount(), 3);
  EXPECT_TRUE(ports_.portAt(0)->active());
  EXPECT_FALSE(ports_.portAt(0)->receiver().isOpen());
  sendDatagram(packetText(11, 1.0));  // no node 11
  sendDatagram("garbage");
  sendDatagram(packetText(2, 1.0));
  InputPort* good = ports_.portAt(2);
  ASSERT_TRUE(waitUntil([&] { return arrived(good) == 3; }));
  EXPECT_EQ(ports_.processPorts(), 1);
  EXPECT_EQ(arrived(ports_.portAt(0)), 0u);
  EXPECT_NEAR(table_.nodeById(2)->latitude, 1.0, 1e-6);
}

TEST_F(MulticastInputTest, PortsSharingAPortNumberReceiveOnlyTheirOwnGroup) {
  portFile_ = dir_.write("ports.mcp", "other 239.255.20.9 " + std::to_string(kPort) + "\nmine " +
                                          kGroup + " " + std::to_string(kPort) + "\n");
  start();
  ASSERT_EQ(ports_.portCount(), 2);
  sendDatagram(packetText(3, 4.0));
  ASSERT_TRUE(waitUntil([&] { return arrived(ports_.portAt(1)) == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(arrived(ports_.portAt(0)), 0u);
  EXPECT_EQ(ports_.processPorts(), 1);
}

TEST_F(MulticastInputTest, StopStartCyclesAndDestructionWhilePacketsFlow) {
  portFile_ = dir_.write("ports.mcp", "a " + std::string(kGroup) + " " + std::to_string(kPort) +
                                          "\nb " + kGroup + " " + std::to_string(kPort) + "\n");
  // At most 30 s of packets, should the test fail before it ends the sender.
  auto sender = startPktsend({"--group", kGroup, "--port", std::to_string(kPort), "--ids", "1-10",
                              "--rate", "20000", "--count", "600000"});
  ASSERT_TRUE(sender->running());
  int applied = 0;
  {
    NodeTable table;
    InputPortSet ports(table, 200, 50);
    ASSERT_TRUE(table.readNodeFile(dir_.path("nodes.txt").c_str()));
    ASSERT_TRUE(ports.loadPortFile(portFile_.c_str()));
    for (int cycle = 0; cycle < 20; ++cycle) {
      ports.startReceivers();
      ports.startReceivers();  // a second start changes nothing
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      applied += ports.processPorts();
      ports.stopReceivers();
      // Stopped: no receive thread counts or stores anything any more.
      const uint64_t before = arrived(ports.portAt(0));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      EXPECT_EQ(arrived(ports.portAt(0)), before);
      EXPECT_FALSE(ports.portAt(1)->active());
      EXPECT_EQ(ports.processPorts(), 0);
    }
    ports.startReceivers();
    ASSERT_TRUE(waitUntil([&] { return arrived(ports.portAt(1)) > 0; }));
    ports.setBuffersPerPort(10);  // restart while packets flow
    ASSERT_TRUE(waitUntil([&] { return arrived(ports.portAt(1)) > 0; }));
    applied += ports.processPorts();
    // The table goes while its receivers run.
  }
  {
    NodeTable table;
    InputPortSet ports(table, 200, 50);
    ASSERT_TRUE(ports.loadPortFile(portFile_.c_str()));
    ports.startReceivers();
    ASSERT_TRUE(waitUntil([&] { return arrived(ports.portAt(0)) > 0; }));
    ports.unloadPorts();
    EXPECT_FALSE(ports.receiving());
    EXPECT_EQ(ports.portCount(), 0);
  }
  EXPECT_EQ(sender->terminate(), 0);
  EXPECT_GT(applied, 0);
}

}  // namespace
