// TCP servers with their listening loop and client threads, and receives that wait on another
// thread (run under TSAN too).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "halvex/net/kf_socket.h"
#include "halvex/net/kf_ssub_socket.h"
#include "tests/halvex/net/loopback.h"

namespace {

using loopback::Fd;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

/// What the client callbacks of one server share with the test.
struct Served {
  std::atomic<int> started{0};
  std::atomic<int> ended{0};
  KF_Socket* owner = nullptr;
  std::atomic<int> pollLines{0};
};

/// Echoes every receive back; "stop" ends the owner's listening loop, "close" closes the owner.
void echo(KF_SubSocket* connection, KF_SubSocket* same, void* user) {
  auto* served = static_cast<Served*>(user);
  ++served->started;
  EXPECT_EQ(connection, same);
  char buffer[256];
  int got;
  while ((got = connection->receive(buffer, sizeof buffer, 1)) > 0) {
    const std::string text(buffer, static_cast<size_t>(got));
    if (text == "stop") served->owner->stopListening();
    if (text == "close") served->owner->close();
    connection->send(buffer, got, 0);
  }
  ++served->ended;
}

/// Reads one fixed-size message with receiveAll in wait mode 2 and answers with its length.
void collectFive(KF_SubSocket* connection, KF_SubSocket*, void* user) {
  auto* served = static_cast<Served*>(user);
  ++served->started;
  char buffer[5];
  const int got = connection->receiveAll(buffer, sizeof buffer, 2);
  const std::string answer = std::to_string(got) + ":" + std::string(buffer, got > 0 ? got : 0);
  connection->send(answer.data(), static_cast<int>(answer.size()), 0);
  ++served->ended;
}

/// Receives once and returns: clients that end as soon as they start.
void receiveOnce(KF_SubSocket* connection, KF_SubSocket*, void* user) {
  auto* served = static_cast<Served*>(user);
  ++served->started;
  char buffer[8];
  connection->receive(buffer, sizeof buffer, 1);
  ++served->ended;
}

bool waitFor(const std::atomic<int>& value, int wanted) {
  for (int waited = 0; waited < loopback::kWaitMs; ++waited) {
    if (value.load() == wanted) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return value.load() == wanted;
}

size_t countOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

/// Connects a client, and checks that the server echoes `text`.
Fd connectAndEcho(int port, const std::string& text) {
  Fd client = loopback::connectTcp(port);
  EXPECT_TRUE(client.valid());
  EXPECT_TRUE(loopback::writeAll(client, text));
  EXPECT_EQ(loopback::readUpTo(client, text.size()), text);
  return client;
}

// ---- single-client server ----

TEST(SingleClientServer, ServesOneClientBothWaysAndIsNotReopened) {
  const int port = loopback::freePort();
  std::string answer;
  int peerPort = 0;
  std::thread peer([&] {
    Fd client = loopback::connectTcpWhenUp(port);
    peerPort = loopback::portOf(client.get());
    loopback::writeAll(client, "ping");
    answer = loopback::readUpTo(client, 4);
  });
  KF_Socket server;
  CaptureStdout();
  const int opened = server.openTcpServer(port, 1, nullptr, nullptr);
  const std::string out = GetCapturedStdout();
  ASSERT_EQ(opened, 1);
  EXPECT_EQ(server.mode(), KF_Socket::kTcpServer);
  EXPECT_EQ(server.isOpen(), 1);
  EXPECT_FALSE(loopback::connectTcp(port).valid()) << "the listening socket is closed";

  char buffer[8];
  ASSERT_EQ(server.receiveAll(buffer, 4, 1), 4);
  EXPECT_EQ(std::string(buffer, 4), "ping");
  EXPECT_EQ(server.send("pong", 4, 0), 4);
  peer.join();
  EXPECT_EQ(answer, "pong");
  const std::string connected = "127.0.0.1:" + std::to_string(peerPort) + " connected\n";
  EXPECT_EQ(out.substr(0, connected.size()), connected);
  EXPECT_EQ(out.substr(connected.size(), 13), "sicket_fd is ");
  EXPECT_EQ(out.back(), '\n');

  server.close();
  EXPECT_EQ(server.reopen(), 1) << "a served client cannot be called back";
  EXPECT_EQ(server.isOpen(), 0);
  CaptureStdout();
  EXPECT_EQ(server.send("x", 1, 0), 0);
  EXPECT_EQ(GetCapturedStdout(), "Attempting to re-connect with server\n");
}

// ---- multi-client server ----

TEST(MultiClientServer, FiftyConcurrentClientsEachGetTheirOwnEcho) {
  constexpr int kClients = 50;
  constexpr int kRounds = 20;
  const int before = KF_Socket::liveCount();
  Served served;
  {
    KF_Socket server;
    served.owner = &server;
    CaptureStdout();
    ASSERT_EQ(server.openTcpServer(0, 0, echo, &served), 1);
    EXPECT_EQ(server.isOpen(), 0) << "a multi-client server leaves the open flag alone";
    const int port = server.localPort();
    ASSERT_GT(port, 0);
    std::atomic<int> good{0};
    std::vector<std::thread> clients;
    for (int id = 0; id < kClients; ++id) {
      clients.emplace_back([&, id] {
        Fd client = loopback::connectTcp(port);
        bool ok = client.valid();
        for (int round = 0; ok && round < kRounds; ++round) {
          const std::string text =
              "client " + std::to_string(id) + " round " + std::to_string(round) + ";";
          ok = loopback::writeAll(client, text) && loopback::readUpTo(client, text.size()) == text;
        }
        if (ok) ++good;
      });
    }
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(good.load(), kClients);
    EXPECT_TRUE(waitFor(served.ended, kClients)) << "every callback ends when its client leaves";
  }
  // The destructor waits for the last client threads to finish destroying their connections.
  const std::string out = GetCapturedStdout();
  EXPECT_EQ(countOf(out, "creating KF_SubSocket::KF_SubSocket\n"), size_t{kClients});
  EXPECT_EQ(countOf(out, "Deleting KF_SubSocket::KF_SubSocket for client ip:127.0.0.1 port "),
            size_t{kClients});
  EXPECT_EQ(countOf(out, "Sleep 100 in KF_SSubSocket"), 0u) << "clients ended by themselves";
  EXPECT_EQ(countOf(out, "Sleep 10 in KF_Socket::blockLoopNlisten\n"), 1u);
  const std::string last = "Sleep 100 in KF_Socket::~KF_Socket\n";
  EXPECT_EQ(out.substr(out.size() - std::min(out.size(), last.size())), last);
  EXPECT_EQ(served.started.load(), kClients);
  EXPECT_EQ(KF_Socket::liveCount(), before);
}

TEST(MultiClientServer, DestructionEndsClientsStillConnected) {
  constexpr int kClients = 3;
  Served served;
  std::vector<Fd> clients;
  auto* server = new KF_Socket;
  served.owner = server;
  CaptureStdout();
  ASSERT_EQ(server->openTcpServer(0, 0, echo, &served), 1);
  const int port = server->localPort();
  for (int id = 0; id < kClients; ++id) clients.push_back(connectAndEcho(port, "hello"));

  const auto start = std::chrono::steady_clock::now();
  delete server;
  const auto took = std::chrono::steady_clock::now() - start;
  const std::string out = GetCapturedStdout();
  EXPECT_LT(took, std::chrono::seconds(3));
  EXPECT_EQ(served.ended.load(), kClients) << "every callback has returned";
  for (Fd& client : clients) EXPECT_TRUE(loopback::seesEnd(client));
  EXPECT_EQ(countOf(out, "Sleep 100 in KF_SSubSocket::~KF_SSubSocket\n"), size_t{kClients});
  EXPECT_EQ(countOf(out, "KF_SSubSocket::~KF_SSubSocket() in process "), size_t{kClients});
  EXPECT_EQ(countOf(out, "Sleep 10 in KF_Socket::blockLoopNlisten\n"), 1u);
  EXPECT_EQ(countOf(out, "Sleep 100 in KF_Socket::~KF_Socket\n"), 1u);
  EXPECT_EQ(countOf(out, "Got a bad socket"), 0u);
}

TEST(MultiClientServer, StopListeningEndsTheLoopAndKeepsServedClients) {
  Served served;
  KF_Socket server;
  served.owner = &server;
  CaptureStdout();
  ASSERT_EQ(server.openTcpServer(0, 0, echo, &served), 1);
  const int port = server.localPort();
  Fd client = connectAndEcho(port, "first");
  server.stopListening();
  EXPECT_FALSE(loopback::connectTcp(port).valid()) << "nobody listens any more";
  EXPECT_TRUE(loopback::writeAll(client, "still"));
  EXPECT_EQ(loopback::readUpTo(client, 5), "still");
  server.stopListening();  // again: returns at once
  client.reset();
  EXPECT_TRUE(waitFor(served.ended, 1));
  GetCapturedStdout();
}

TEST(MultiClientServer, BlockingServerRunsInTheCallingThreadUntilStopped) {
  const int port = loopback::freePort();
  Served served;
  KF_Socket server;
  served.owner = &server;
  int result = -1;
  CaptureStdout();
  std::thread loop([&] { result = server.openTcpServer(port, 1, echo, &served); });
  {
    Fd client = loopback::connectTcpWhenUp(port);
    ASSERT_TRUE(loopback::writeAll(client, "stop"));
    EXPECT_EQ(loopback::readUpTo(client, 4), "stop");
  }
  loop.join();  // the callback's stopListening ended the loop, and the open call returned
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(loopback::connectTcp(port).valid());
  EXPECT_TRUE(waitFor(served.ended, 1));
  GetCapturedStdout();
}

TEST(MultiClientServer, CallbacksMayCloseTheirOwnerAtTheSameTime) {
  Served served;
  KF_Socket server;
  served.owner = &server;
  CaptureStdout();
  ASSERT_EQ(server.openTcpServer(0, 0, echo, &served), 1);
  const int port = server.localPort();
  Fd other = connectAndEcho(port, "a");
  Fd first = connectAndEcho(port, "b");
  Fd second = connectAndEcho(port, "c");
  ASSERT_TRUE(loopback::writeAll(first, "close"));
  ASSERT_TRUE(loopback::writeAll(second, "close"));
  for (const Fd* client : {&other, &first, &second}) EXPECT_TRUE(loopback::seesEnd(*client));
  EXPECT_TRUE(waitFor(served.ended, 3));
  EXPECT_FALSE(loopback::connectTcp(port).valid()) << "the listening loop has ended";
  GetCapturedStdout();
}

TEST(MultiClientServer, PollingClientCollectsAFixedSizeMessage) {
  Served served;
  KF_Socket server;
  CaptureStdout();
  ASSERT_EQ(server.openTcpServer(0, 0, collectFive, &served), 1);
  Fd client = loopback::connectTcp(server.localPort());
  ASSERT_TRUE(loopback::writeAll(client, "ab"));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  ASSERT_TRUE(loopback::writeAll(client, "cde"));
  EXPECT_EQ(loopback::readUpTo(client, 7), "5:abcde");

  Fd early = loopback::connectTcp(server.localPort());
  ASSERT_TRUE(loopback::writeAll(early, "xy"));
  ::shutdown(early.get(), SHUT_WR);  // ends the stream before five bytes arrived
  EXPECT_EQ(loopback::readUpTo(early, 4), "2:xy");
  EXPECT_TRUE(waitFor(served.ended, 2));
  const std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("before ioctlsocket\ngot a n of "), std::string::npos)
      << "wait mode 2 on a non-blocking server polls";
}

TEST(MultiClientServer, PortInUseFailsAndLeavesTheEndpointUsable) {
  int taken = 0;
  Fd holder = loopback::listenTcp(&taken);
  Served served;
  KF_Socket server;
  served.owner = &server;
  EXPECT_EQ(server.openTcpServer(taken, 0, echo, &served), 0);
  CaptureStdout();
  ASSERT_EQ(server.openTcpServer(0, 0, echo, &served), 1);
  Fd client = connectAndEcho(server.localPort(), "works");
  GetCapturedStdout();
}

TEST(MultiClientServer, OpeningAgainReplacesTheRunningLoop) {
  Served served;
  KF_Socket server;
  served.owner = &server;
  CaptureStdout();
  ASSERT_EQ(server.openTcpServer(0, 0, echo, &served), 1);
  const int first = server.localPort();
  Fd old = connectAndEcho(first, "old");
  ASSERT_EQ(server.openTcpServer(0, 0, echo, &served), 1);
  EXPECT_TRUE(loopback::seesEnd(old)) << "clients of the old loop are closed";
  EXPECT_FALSE(loopback::connectTcp(first).valid());
  Fd fresh = connectAndEcho(server.localPort(), "new");
  GetCapturedStdout();
}

TEST(MultiClientServer, ClientsEndingWhileTheOwnerIsDestroyed) {
  // Callbacks return at about the moment the owner destroys every client: each connection must
  // be destroyed exactly once, by one side or the other.
  constexpr int kRounds = 20;
  constexpr int kClients = 4;
  const int before = KF_Socket::liveCount();
  CaptureStdout();
  for (int round = 0; round < kRounds; ++round) {
    Served served;
    {
      KF_Socket server;
      ASSERT_EQ(server.openTcpServer(0, 0, receiveOnce, &served), 1);
      std::vector<Fd> clients;
      for (int id = 0; id < kClients; ++id) {
        clients.push_back(loopback::connectTcp(server.localPort()));
        if (id % 2 == 0) loopback::writeAll(clients.back(), "x");
      }
      if (round % 3 == 1) std::this_thread::sleep_for(std::chrono::microseconds(300 * round));
    }
    EXPECT_EQ(served.started.load(), served.ended.load());
  }
  GetCapturedStdout();
  EXPECT_EQ(KF_Socket::liveCount(), before);
}

// ---- receives that wait ----

TEST(WaitingReceive, BlockingReceiveOnANonBlockingServerWaitsForData) {
  KF_Socket server;
  ASSERT_EQ(server.openUdpServer(0, 0), 1);
  const int port = server.localPort();
  std::thread sender([port] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    KF_Socket client;
    client.openUdpClient("127.0.0.1", port, 1);
    client.send("late", 4, 0);
  });
  char buffer[16];
  const int got = server.receive(buffer, sizeof buffer, 1);
  sender.join();
  ASSERT_EQ(got, 4);
  EXPECT_EQ(std::string(buffer, 4), "late");
  EXPECT_EQ(server.isOpen(), 1);
}

TEST(WaitingReceive, ReceiveAllGathersPiecesSentOverTime) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  Fd peer = loopback::acceptOne(listener);
  std::thread sender([&peer] {
    for (const char* piece : {"12", "345", "6789", "0"}) {
      loopback::writeAll(peer, piece);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  char buffer[10];
  EXPECT_EQ(client.receiveAll(buffer, sizeof buffer, 1), 10);
  sender.join();
  EXPECT_EQ(std::string(buffer, 10), "1234567890");
}

}  // namespace
