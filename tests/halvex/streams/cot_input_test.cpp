// CoT input on real sockets in a private network namespace: events sent to a multicast group or
// streamed from a TCP server reach their nodes through a real uid table file (run under TSAN
// too).
#include "halvex/streams/cot_input.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "halvex/net/stream_client.h"
#include "halvex/streams/cot_uid_table.h"
#include "halvex/tracking/node_table.h"
#include "tests/halvex/net/loopback.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr const char* kGroup = "239.255.20.9";
constexpr int kPort = 47011;
constexpr auto kPatience = std::chrono::seconds(20);  // TSAN and a busy machine are slow
constexpr const char* kUids = "# uids of the exercise\n2 ALPHA\n4 BRAVO\nauto\n";

bool waitUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

/// An event as the clients write it, at 09:30:SECOND.
std::string event(const std::string& uid, int second, const std::string& lat,
                  const std::string& callsign = "", const std::string& remarks = "") {
  const std::string time = "2026-12-11T09:30:" + std::to_string(10 + second) + ".250Z";
  std::string detail = "<detail><takv os=\"29\" version=\"4.8\"/>";
  if (!callsign.empty())
    detail += "<contact endpoint=\"*:-1:stcp\" callsign=\"" + callsign + "\"/>";
  if (!remarks.empty()) detail += "<remarks>" + remarks + "</remarks>";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><event version=\"2.0\" "
         "uid=\"" +
         uid + "\" type=\"a-f-G-U-C\" how=\"m-g\" time=\"" + time + "\" start=\"" + time +
         "\" stale=\"2026-12-11T09:35:00.000Z\"><point lat=\"" + lat +
         "\" lon=\"-116.5\" hae=\"9999999.0\" ce=\"9999999.0\" le=\"9999999.0\"/>" + detail +
         "</detail></event>";
}

void sendDatagram(const std::string& text) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  const unsigned char ttl = 1, loop = 1;
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kPort);
  inet_pton(AF_INET, kGroup, &to.sin_addr);
  EXPECT_EQ(sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(text.size()));
  close(fd);
}

class CotInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string nodes;
    for (int id = 1; id <= 5; ++id)
      nodes += std::to_string(id) + " vehicle" + std::to_string(id) + "\n";
    ASSERT_TRUE(table_.readNodeFile(dir_.write("nodes.txt", nodes).c_str()));
    uids_ = dir_.write("uids.txt", kUids);
    input_.setWakeHandler([this] { ++wakes_; });
  }

  bool start(const std::string& tcp = "") {
    CotSettings settings;
    settings.group = kGroup;
    settings.port = kPort;
    settings.tcp = tcp;
    std::string error;
    const bool started = input_.start(settings, uids_, "halvex.ops1.", &error);
    EXPECT_EQ(error, "");
    return started;
  }

  /// Waits for `count` events in all, then applies them.
  void applyWhenReceived(long count) {
    EXPECT_TRUE(waitUntil([&] { return input_.received() >= count; })) << input_.status();
    input_.apply(table_);
  }

  ScratchDir dir_;
  std::string uids_;
  NodeTable table_;
  std::atomic<int> wakes_{0};
  CotInput input_;
};

TEST_F(CotInputTest, MulticastEventsAreAppliedOrCountedAsTheirKind) {
  ASSERT_TRUE(start());
  using Counter = long (CotInput::*)() const;
  const struct {
    const char* what;
    std::string datagram;
    Counter counter;
  } cases[] = {
      {"known uid", event("ALPHA", 5, "32.5", "Patrol 2", "fuel low"), &CotInput::applied},
      {"unknown uid takes the lowest free id", event("CHARLIE", 1, "33.25"), &CotInput::applied},
      {"own uid", event("halvex.ops1.3", 1, "1.0"), &CotInput::ignored},
      {"uid with a blank", event("DELTA ECHO", 1, "1.0"), &CotInput::ignored},
      {"older than the node's fix", event("ALPHA", 4, "1.0", "late"), &CotInput::ignored},
      {"binary framing", std::string("\xbf\x01\xbf<event/>", 10), &CotInput::binary},
      {"malformed", "<event uid=\"ALPHA\" time=", &CotInput::dropped},
      {"not finite", event("BRAVO", 1, "nan"), &CotInput::dropped},
  };
  long sent = 0;
  for (const auto& c : cases) {
    const long before = (input_.*(c.counter))();
    sendDatagram(c.datagram);
    applyWhenReceived(++sent);
    EXPECT_EQ((input_.*(c.counter))(), before + 1) << c.what << ": " << input_.status();
  }
  EXPECT_EQ(input_.applied(), 2);
  EXPECT_GT(wakes_.load(), 0);

  const NodeRecord* alpha = table_.nodeById(2);
  EXPECT_DOUBLE_EQ(alpha->latitude, 32.5);
  EXPECT_DOUBLE_EQ(alpha->longitude, -116.5);
  EXPECT_STREQ(alpha->name, "Patrol 2");
  EXPECT_STREQ(alpha->comment1, "fuel low");
  EXPECT_STREQ(alpha->comment2, "");
  const NodeRecord* charlie = table_.nodeById(1);
  EXPECT_DOUBLE_EQ(charlie->latitude, 33.25);
  EXPECT_STREQ(charlie->name, "vehicle1");
  EXPECT_EQ(dir_.read("uids.txt"), std::string(kUids) + "1 CHARLIE\n");

  // Of two events of one uid waiting together, the newer is applied whatever the order.
  sendDatagram(event("BRAVO", 9, "40.0"));
  sendDatagram(event("BRAVO", 8, "41.0"));
  applyWhenReceived(sent + 2);
  EXPECT_DOUBLE_EQ(table_.nodeById(4)->latitude, 40.0);
  EXPECT_EQ(input_.status(),
            "listening on 239.255.20.9:47011; 10 received, 3 applied, 2 dropped, 4 ignored, "
            "1 binary");
}

TEST_F(CotInputTest, StreamedEventsAreCutFromAnyPiecesAndACutOffEventDoesNotSpillOver) {
  int port = 0;
  loopback::Fd listener = loopback::listenTcp(&port);
  ASSERT_TRUE(start("127.0.0.1:" + std::to_string(port)));
  const std::string stream = event("ALPHA", 1, "10.0") + "\n" + event("BRAVO", 1, "20.0") +
                             "\r\n  " + event("CHARLIE", 1, "30.0", "Relay");
  const std::string last = event("DELTA", 1, "50.0");
  {
    loopback::Fd server = loopback::acceptOne(listener);
    ASSERT_TRUE(server.valid());
    const size_t pieces[] = {1, 7, 13, 200, 3, 450, 64};
    size_t at = 0;
    for (size_t i = 0; at < stream.size(); ++i) {
      const size_t size = pieces[i % (sizeof pieces / sizeof pieces[0])];
      ASSERT_TRUE(loopback::writeAll(server, stream.substr(at, size)));
      at += size;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(loopback::writeAll(server, last.substr(0, last.size() / 2)));
    applyWhenReceived(3);
  }  // The server goes away in the middle of an event; the client comes back after its pause.
  loopback::Fd again = loopback::acceptOne(listener);
  ASSERT_TRUE(again.valid());
  ASSERT_TRUE(loopback::writeAll(again, last));
  applyWhenReceived(4);
  EXPECT_EQ(input_.applied(), 4) << input_.status();
  EXPECT_EQ(input_.dropped(), 0);
  EXPECT_DOUBLE_EQ(table_.nodeById(1)->latitude, 30.0);
  EXPECT_STREQ(table_.nodeById(1)->name, "Relay");
  EXPECT_DOUBLE_EQ(table_.nodeById(3)->latitude, 50.0);
  EXPECT_NE(input_.status().find("tcp 127.0.0.1:" + std::to_string(port) + " connected"),
            std::string::npos);
  input_.stop();
  EXPECT_FALSE(input_.running());
}

TEST_F(CotInputTest, ABadServerAddressIsRefusedAndAnAbsentServerIsRetried) {
  const struct {
    const char* tcp;
    bool reads;
  } cases[] = {{"127.0.0.1:6969", true}, {"[::1]:6969", true},  {"takserver:8087", true},
               {"127.0.0.1", false},     {"::1:6969", false},   {":6969", false},
               {"host:0", false},        {"host:65536", false}, {"host:80x", false},
               {"a host:80", false},     {"127.0.0.1:", false}};
  for (const auto& c : cases) {
    std::string host;
    int port = 0;
    EXPECT_EQ(splitHostPort(c.tcp, &host, &port), c.reads) << c.tcp;
  }
  CotSettings settings;
  settings.port = kPort;
  settings.tcp = "127.0.0.1";
  std::string error;
  EXPECT_FALSE(input_.start(settings, uids_, "", &error));
  EXPECT_EQ(input_.status(), "not started: " + error);

  // Nobody listens: the client keeps trying, and stopping does not wait for its next attempt.
  ASSERT_TRUE(start("127.0.0.1:" + std::to_string(loopback::freePort())));
  EXPECT_NE(input_.status().find(", tcp 127.0.0.1:"), std::string::npos);
  EXPECT_NE(input_.status().find(" retrying;"), std::string::npos);
  input_.stop();
  EXPECT_EQ(input_.status(), "stopped");
}

TEST(CotUidTable, SkipsBadLinesAndKeepsNewPairsWhenTheFileCannotBeWritten) {
  ScratchDir dir;
  NodeTable table;
  ASSERT_TRUE(table.readNodeFile(dir.write("nodes.txt", "1 a\n2 b\n3 c\n").c_str()));
  std::filesystem::create_directory(dir.path("sub"));
  const std::string path = dir.path("sub/uids.txt");
  std::FILE* file = std::fopen(path.c_str(), "w");
  std::fputs("2 ALPHA\n2 SECOND\n3 ALPHA\nx BAD\n1001 HIGH\nauto\n", file);
  std::fclose(file);
  CotUidTable uids;
  ASSERT_TRUE(uids.load(path, nullptr));
  EXPECT_EQ(uids.size(), 1);
  EXPECT_EQ(uids.idOf("SECOND", table), 1);  // Its line was skipped: it is new.
  EXPECT_EQ(uids.idOf("bad\tuid", table), -1);

  std::filesystem::remove_all(dir.path("sub"));
  EXPECT_EQ(uids.idOf("THIRD", table), 3);
  EXPECT_EQ(uids.idOf("THIRD", table), 3);
  EXPECT_EQ(uids.idOf("FOURTH", table), -1);  // Every node has a uid.
  EXPECT_FALSE(uids.load(path, nullptr));
}

}  // namespace
