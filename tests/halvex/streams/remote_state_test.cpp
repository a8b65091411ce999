// Fetching node states from real servers on 127.0.0.1: the python HTTP file server serving state
// files, and a raw server that sends whatever bytes a case needs, cuts them off or generates a
// huge body.
#include "halvex/streams/remote_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "halvex/streams/state_output.h"
#include "halvex/tracking/node_table.h"
#include "tests/support/loopback_servers.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr int kLastId = 20;
const char* const kRecord7 =
    "$007,32.712345,-117.160000,1126531205,250,0,0.125,north gate,moving,Truck 7*\n";
const char* const kRecord8 =
    "$008,-33.500000,151.250000,1126531205,250,1,4.500,south,parked,Van 8*\n";

class RemoteState : public ::testing::Test {
 protected:
  void SetUp() override { load(table_); }

  /// Nodes 0..kLastId named "n<id>", all at 0,0.
  void load(NodeTable& table) {
    std::string list;
    for (int id = 0; id <= kLastId; ++id)
      list += std::to_string(id) + " n" + std::to_string(id) + "\n";
    ASSERT_TRUE(table.readNodeFile(dir_.write("nodes.txt", list).c_str()));
  }

  /// A raw server sending `bytes` to every connection, with more options after them.
  std::unique_ptr<testserver::RawServer> rawServer(const std::string& bytes,
                                                   std::vector<std::string> options = {}) {
    options.insert(options.begin(),
                   {"--body", dir_.write("body" + std::to_string(++bodies_), bytes)});
    auto server = std::make_unique<testserver::RawServer>(RAW_SERVER_SCRIPT, options);
    EXPECT_NE(server->port(), 0);
    return server;
  }

  /// Fetches from 127.0.0.1:port, returning the refresh value (-99 when the fetch fails).
  int fetch(int port, const char* path = "/state.txt") {
    int refresh = -99;
    return fetchRemoteState(table_, "127.0.0.1", port, path, &refresh) ? refresh : -99;
  }

  const NodeRecord& node(int id) const { return *table_.nodeById(id); }

  ScratchDir dir_;
  NodeTable table_;
  int bodies_ = 0;
};

TEST_F(RemoteState, StateFileServedOverHttpReachesTheTable) {
  NodeTable source;
  load(source);
  for (int id = 0; id <= kLastId; ++id) {
    const std::string name = "Unit " + std::to_string(id) + ", convoy";
    source.nodeById(id)->applyStateRecord(10.5 + id * 0.25, -20.0 - id * 0.125, id % 3, "c1", "c2",
                                          id * 0.5, name.c_str());
  }
  ASSERT_TRUE(writeStateFile(source, dir_.path("state.txt").c_str(), true));
  testserver::HttpFileServer server(dir_.dir());
  ASSERT_NE(server.port(), 0);

  int refresh = 42;
  ASSERT_TRUE(fetchRemoteState(table_, "localhost", server.port(), "/state.txt", &refresh));
  EXPECT_EQ(refresh, 0);  // no refresh line: none
  for (int id = 0; id <= kLastId; ++id) {
    EXPECT_DOUBLE_EQ(node(id).latitude, 10.5 + id * 0.25) << id;
    EXPECT_DOUBLE_EQ(node(id).longitude, -20.0 - id * 0.125) << id;
    EXPECT_EQ(node(id).status, id % 3) << id;
    EXPECT_DOUBLE_EQ(node(id).age, id * 0.5) << id;
    EXPECT_EQ(std::string(node(id).name), "Unit " + std::to_string(id) + ", convoy");
    EXPECT_STREQ(node(id).comment1, "c1");
  }

  // A path the server does not have: connected, a 404 page, nothing changes.
  table_.nodeById(3)->applyStateRecord(1, 1, 0, "", "", 0, "kept");
  refresh = 42;
  EXPECT_TRUE(fetchRemoteState(table_, "127.0.0.1", server.port(), "/missing.txt", &refresh));
  EXPECT_EQ(refresh, 0);
  EXPECT_STREQ(node(3).name, "kept");
  // Without a place for the refresh value.
  EXPECT_TRUE(fetchRemoteState(table_, "127.0.0.1", server.port(), "/state.txt", nullptr));
  EXPECT_STREQ(node(3).name, "Unit 3, convoy");
}

TEST_F(RemoteState, RefreshLineAfterTheSection) {
  // Each file's refresh line, and the value that reaches the caller.
  const std::vector<std::pair<std::string, int>> cases = {
      {"<REFRESH> 0\n", 0},
      {"<REFRESH> 5\n", 5},
      {"<REFRESH> 199\n", 199},
      {"<REFRESH> 200\n", 200},
      {"<REFRESH> 250\n", 250},
      {"<refresh>\t12.9\r\n", 12},  // any case, any blank, truncated
      {"<REFRESH>7", 7},            // no blank, no line feed at the end
      {"<Refresh> -3.7\n", -3},
      {"<REFR 8\n", 8},         // the tag is matched on five characters ...
      {"<REFRESHED 9\n", 0},    // ... and read as a word of at most nine: "ED" is no number
      {"<REFRESH>\n", 0},       // no value
      {"<REFRESH> soon\n", 0},  //
      {"<REFRESH> nan\n", 0},   // not a number of seconds
      {"<REFRESH> 1e30\n", INT_MAX},
      {"<REFRESH> -1e30\n", INT_MIN},
      {"<REFRESH> 3\nnoise\n<REFRESH> 4\n", 4},  // the last one counts
      {"REFRESH 6\n", 0},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    dir_.write("r" + std::to_string(i) + ".txt",
               std::string("<dgc>\n") + kRecord7 + "</dgc>\n" + cases[i].first);
  }
  testserver::HttpFileServer server(dir_.dir());
  ASSERT_NE(server.port(), 0);
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(fetch(server.port(), ("/r" + std::to_string(i) + ".txt").c_str()), cases[i].second)
        << cases[i].first;
  }
  EXPECT_STREQ(node(7).name, "Truck 7");
}

TEST_F(RemoteState, OnlyTheSectionHoldsRecords) {
  // A refresh line inside the section is a malformed record; "</dgc" must match on all six
  // characters; records after the section, and lines before "<dgc>" (headers beginning with
  // "$" included), are not applied.
  const std::string record9 = "$009,1.000000,2.000000,0,0,0,0.000,a,b,Early*";
  auto server = rawServer("HTTP/1.0 200 OK\r\n" + record9 + "\r\nContent-Type: text/plain\r\n\r\n" +
                          "<DGC>\r\n<REFRESH> 5\r\n</dgc\r\n" + kRecord7 + "</dgcX\n" +
                          "</DGC>\r\n" + kRecord8 + "<REFRESH> 30\r\n");
  EXPECT_EQ(fetch(server->port()), 30);
  EXPECT_STREQ(node(7).name, "Truck 7");
  EXPECT_STREQ(node(8).name, "n8");
  EXPECT_STREQ(node(9).name, "n9");

  // A body without "<dgc>" changes nothing.
  auto plain = rawServer(std::string("HTTP/1.0 200 OK\r\n\r\n") + kRecord8 + "<REFRESH> 5\n");
  EXPECT_EQ(fetch(plain->port()), 0);
  EXPECT_STREQ(node(8).name, "n8");
}

TEST_F(RemoteState, ConnectionEndingMidBodyKeepsWhatWasRead) {
  // The server closes (or resets) in the middle of node 8's record: node 7 stays applied and
  // the cut record, whose name would be "Va", is not.
  const std::string cut = std::string("HTTP/1.0 200 OK\r\n\r\n<dgc>\n") + kRecord7 +
                          std::string(kRecord8).substr(0, std::strlen(kRecord8) - 6);
  for (bool reset : {false, true}) {
    table_.nodeById(7)->applyStateRecord(0, 0, 0, "", "", 0, "n7");
    auto server =
        rawServer(cut, reset ? std::vector<std::string>{"--reset"} : std::vector<std::string>{});
    EXPECT_EQ(fetch(server->port()), 0) << reset;
    EXPECT_STREQ(node(7).name, "Truck 7") << reset;
    EXPECT_DOUBLE_EQ(node(7).latitude, 32.712345) << reset;
    EXPECT_STREQ(node(8).name, "n8") << reset;
  }
  // A last record whose closing "*" arrived is whole, line feed or not.
  const std::string whole = std::string(kRecord8).substr(0, std::strlen(kRecord8) - 1);
  auto server = rawServer("HTTP/1.0 200 OK\r\n\r\n<dgc>\n" + whole);
  EXPECT_EQ(fetch(server->port()), 0);
  EXPECT_STREQ(node(8).name, "Van 8");
}

TEST_F(RemoteState, RequestIsOneGetWithTheHost) {
  const std::string requests = dir_.path("requests");
  auto server = rawServer("<dgc>\n</dgc>\n", {"--requests", requests});
  int refresh = 0;
  ASSERT_TRUE(fetchRemoteState(table_, "127.0.0.1", server->port(), "/feeds/state.txt", &refresh));
  ASSERT_TRUE(fetchRemoteState(table_, "localhost", server->port(), "/", &refresh));
  EXPECT_EQ(dir_.read("requests"),
            "GET /feeds/state.txt HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"
            "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n");

  // Requests that would not fit or would break the request line are refused before connecting.
  const std::string longPath = "/" + std::string(kRemoteRequestBytes, 'p');
  EXPECT_FALSE(fetchRemoteState(table_, "127.0.0.1", server->port(), longPath.c_str(), &refresh));
  EXPECT_FALSE(
      fetchRemoteState(table_, "127.0.0.1", server->port(), "/a\r\nX-Injected: 1", &refresh));
  EXPECT_FALSE(fetchRemoteState(table_, "127.0.0.1", server->port(), nullptr, &refresh));
  // The longest path that fits is sent whole.
  const int room = kRemoteRequestBytes - 1 -
                   static_cast<int>(std::strlen("GET  HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"));
  const std::string longest = "/" + std::string(static_cast<size_t>(room - 1), 'q');
  EXPECT_TRUE(fetchRemoteState(table_, "127.0.0.1", server->port(), longest.c_str(), &refresh));
  const std::string sent = dir_.read("requests");
  EXPECT_EQ(sent.size(), std::strlen("GET /feeds/state.txt HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"
                                     "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n") +
                             static_cast<size_t>(kRemoteRequestBytes - 1));
}

TEST_F(RemoteState, FailedConnectionAppliesNothing) {
  // Nothing listens on a port that was just free; a name that does not resolve must not fall
  // back to some other address (such as this host).
  auto server = rawServer(std::string("<dgc>\n") + kRecord7);
  const int closedPort = testserver::freeLoopbackPort();
  for (const char* host : {"127.0.0.1", "no-such-host.invalid", "300.1.2.3", ""}) {
    int refresh = 42;
    const int port = std::strcmp(host, "127.0.0.1") == 0 ? closedPort : server->port();
    EXPECT_FALSE(fetchRemoteState(table_, host, port, "/state.txt", &refresh)) << host;
    EXPECT_EQ(refresh, 0) << host;
  }
  EXPECT_FALSE(fetchRemoteState(table_, nullptr, server->port(), "/", nullptr));
  EXPECT_STREQ(node(7).name, "n7");
}

TEST_F(RemoteState, StalledServerEndsTheFetchAfterTheStallLimit) {
  // The records sent before the stall stay applied; the fetch returns instead of hanging.
  auto server = rawServer(std::string("HTTP/1.0 200 OK\r\n\r\n<dgc>\n") + kRecord7, {"--stall"});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(fetch(server->port()), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(kRemoteStallMs - 100));
  EXPECT_LT(waited, std::chrono::milliseconds(kRemoteStallMs * 3));
  EXPECT_STRNE(node(7).name, "n7");
}

TEST_F(RemoteState, HugeLinesAreCutAndNeverOverrun) {
  // 1 MB lines before, inside and after the section: each is cut into 2047-character pieces.
  // The first piece of a record with a huge name is a record of its own (name cut to the text
  // field); the pieces after it are no records.
  const std::string mb(1 << 20, 'N');
  auto server = rawServer("HTTP/1.0 200 OK\r\nX-Long: " + mb + "\r\n\r\n<dgc>\n" + mb + "\n" +
                          "$005,1.0,2.0,0,0,1,0.5,c1,c2," + mb + "*\n" + kRecord8 + "</dgc>\n" +
                          mb + "\n<REFRESH> 5\n");
  EXPECT_EQ(fetch(server->port()), 5);
  EXPECT_EQ(std::string(node(5).name), std::string(NodeRecord::kTextBytes - 1, 'N'));
  EXPECT_EQ(node(5).status, 1);
  EXPECT_STREQ(node(8).name, "Van 8");
}

TEST_F(RemoteState, HundredMegabyteBodyIsReadToItsEnd) {
  auto server = std::make_unique<testserver::RawServer>(
      RAW_SERVER_SCRIPT, std::vector<std::string>{"--generate", "100"});
  ASSERT_NE(server->port(), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(fetch(server->port()), 17);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_STREQ(node(7).name, "final");  // the record after the 100 MB arrived
  EXPECT_DOUBLE_EQ(node(7).latitude, 1.5);
  EXPECT_STREQ(node(3).name, "Unit 3");
  RecordProperty("seconds", std::to_string(seconds));
}

TEST_F(RemoteState, ConcurrentFetchesIntoOneTable) {
  // The per-frame step and the timer thread may fetch at the same time; node records take
  // each update whole.
  NodeTable source;
  load(source);
  for (int id = 0; id <= kLastId; ++id)
    source.nodeById(id)->applyStateRecord(id, -id, 0, "", "", 0,
                                          ("u" + std::to_string(id)).c_str());
  ASSERT_TRUE(writeStateFile(source, dir_.path("state.txt").c_str(), true));
  testserver::HttpFileServer server(dir_.dir());
  ASSERT_NE(server.port(), 0);
  constexpr int kThreads = 3, kFetches = 10;
  std::atomic<int> connected{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kFetches; ++i) {
        int refresh = 0;
        if (fetchRemoteState(table_, "127.0.0.1", server.port(), "/state.txt", &refresh))
          ++connected;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(connected.load(), kThreads * kFetches);
  for (int id = 0; id <= kLastId; ++id) {
    EXPECT_EQ(std::string(node(id).name), "u" + std::to_string(id));
    EXPECT_DOUBLE_EQ(node(id).latitude, id);
  }
}

}  // namespace
