// Endpoints in the client and UDP modes, against plain sockets on the loopback interface.
#include "halvex/net/kf_socket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/halvex/net/loopback.h"

namespace {

using loopback::Fd;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

/// The dotted address 127.0.0.1 as the UDP client prints it (network order read as an int).
std::string loopbackAsInt() {
  in_addr address{};
  ::inet_pton(AF_INET, "127.0.0.1", &address);
  return std::to_string(static_cast<int>(address.s_addr));
}

/// Receives once in blocking mode into a string.
std::string receiveText(KF_Socket& socket, int length = 799) {
  char buffer[800];
  const int got = socket.receive(buffer, length, 1);
  return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
}

// ---- TCP client ----

TEST(TcpClient, ExchangesARequestAndAnAnswer) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  CaptureStdout();
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(client.isOpen(), 1);
  EXPECT_EQ(client.mode(), KF_Socket::kTcpClient);
  Fd server = loopback::acceptOne(listener);
  ASSERT_TRUE(server.valid());

  const std::string request = "GET /state.txt HTTP/1.0\r\n\r\n";
  EXPECT_EQ(client.send(request.data(), static_cast<int>(request.size()), 0),
            static_cast<int>(request.size()));
  EXPECT_EQ(loopback::readUpTo(server, request.size()), request);

  ASSERT_TRUE(loopback::writeAll(server, "HTTP/1.0 200 OK\r\n\r\n$001*\n"));
  EXPECT_EQ(receiveText(client), "HTTP/1.0 200 OK\r\n\r\n$001*\n");
  server.reset();
  char buffer[16];
  EXPECT_EQ(client.receive(buffer, sizeof buffer, 1), 0) << "orderly close";
  client.close();
  EXPECT_EQ(client.isOpen(), 0);
  EXPECT_EQ(client.mode(), KF_Socket::kTcpClient) << "the mode survives a close";
}

TEST(TcpClient, UnknownNameIsReportedAndNeverConnects) {
  // A failed look-up leaves the address 0.0.0.0, which must not reach a local server.
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  CaptureStdout();
  EXPECT_EQ(client.openTcpClient("nosuchhost.invalid", port, 1), 0);
  EXPECT_EQ(GetCapturedStdout(),
            "could not find nosuchhost.invalid\nTrying to open SOCK_STREAM Client\n");
  EXPECT_EQ(client.isOpen(), 0);
  EXPECT_EQ(client.mode(), KF_Socket::kNone);
}

TEST(TcpClient, RefusedConnectionFailsQuietlyAndLeavesNothingToReopen) {
  KF_Socket client;
  CaptureStdout();
  EXPECT_EQ(client.openTcpClient("127.0.0.1", loopback::freePort(), 1), 0);
  char buffer[8];
  EXPECT_EQ(client.send("x", 1, 0), 0);
  EXPECT_EQ(client.receive(buffer, sizeof buffer, 1), 0);
  EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(TcpClient, BadArgumentsFailWithoutOpening) {
  KF_Socket client;
  CaptureStdout();
  EXPECT_EQ(client.openTcpClient(nullptr, 80, 1), 0);
  EXPECT_EQ(client.openTcpClient("127.0.0.1", 70000, 1), 0);
  EXPECT_EQ(client.openTcpClient("127.0.0.1", -1, 1), 0);
  EXPECT_EQ(client.openTcpClient("", 80, 1), 0);
  EXPECT_EQ(client.openTcpClient("300.1.2.3", 80, 1), 0);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(client.isOpen(), 0);
}

TEST(TcpClient, OpeningAgainClosesTheFirstConnection) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  Fd first = loopback::acceptOne(listener);
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  Fd second = loopback::acceptOne(listener);
  EXPECT_TRUE(loopback::seesEnd(first));
  ASSERT_EQ(client.send("b", 1, 0), 1);
  EXPECT_EQ(loopback::readUpTo(second, 1), "b");
}

// ---- never opened, failures and re-opening ----

TEST(Endpoint, NeverOpenedSendsAndReceivesNothingSilently) {
  KF_Socket socket;
  char buffer[8];
  CaptureStdout();
  EXPECT_EQ(socket.send("abc", 3, 0), 0);
  EXPECT_EQ(socket.receive(buffer, sizeof buffer, 0), 0);
  EXPECT_EQ(socket.receive(buffer, sizeof buffer, 1), 0);
  EXPECT_EQ(socket.reopen(), 0);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(socket.isOpen(), 0);
}

TEST(Endpoint, FailedSendClosesAndTheNextSendReopensWithoutSending) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  Fd server = loopback::acceptOne(listener);
  loopback::resetConnection(server);

  // The reset peer makes the send fail (and must not raise SIGPIPE).
  CaptureStdout();
  int sent = 0;
  for (int attempt = 0; attempt < 3 && client.isOpen(); ++attempt) sent = client.send("a", 1, 0);
  EXPECT_EQ(GetCapturedStdout(), "did not send data: KF_Socket::send\n");
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(client.isOpen(), 0);

  CaptureStdout();
  EXPECT_EQ(client.send("lost", 4, 0), 0);
  EXPECT_EQ(GetCapturedStdout(), "Attempting to re-connect with server\nGot a connection\n");
  EXPECT_EQ(client.isOpen(), 1);
  Fd again = loopback::acceptOne(listener);
  ASSERT_TRUE(again.valid());
  ASSERT_EQ(client.send("kept", 4, 0), 4);
  EXPECT_EQ(loopback::readUpTo(again, 4), "kept") << "the re-opening send sent nothing";
}

TEST(Endpoint, ReceiveOnAClosedEndpointReopensAndReturnsMinusOne) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  client.close();
  char buffer[8];
  CaptureStdout();
  EXPECT_EQ(client.receive(buffer, sizeof buffer, 1), -1);
  EXPECT_EQ(GetCapturedStdout(), "Attempting to re-connect with server\nGot a connection\n");
  EXPECT_EQ(client.isOpen(), 1);
}

TEST(Endpoint, LiveCountFollowsConstructionAndDestruction) {
  const int before = KF_Socket::liveCount();
  {
    KF_Socket first;
    auto* second = new KF_Socket;
    EXPECT_EQ(KF_Socket::liveCount(), before + 2);
    delete second;
    EXPECT_EQ(KF_Socket::liveCount(), before + 1);
  }
  EXPECT_EQ(KF_Socket::liveCount(), before);
}

// ---- receive wait modes ----

TEST(Receive, PollWithNothingWaitingReturnsZero) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  Fd server = loopback::acceptOne(listener);
  char buffer[8];
  CaptureStdout();
  EXPECT_EQ(client.receive(buffer, sizeof buffer, 0), 0);
  EXPECT_EQ(GetCapturedStdout(), "before ioctlsocket\ngot a n of 0\ngot n=0\n");
  EXPECT_EQ(client.isOpen(), 1);
}

TEST(Receive, BadBuffersAreRefused) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  char buffer[4];
  EXPECT_EQ(client.receive(nullptr, 4, 1), -1);
  EXPECT_EQ(client.receive(buffer, -1, 1), -1);
  EXPECT_EQ(client.receiveAll(nullptr, 4, 1), -1);
  EXPECT_EQ(client.send(nullptr, 4, 0), 0);
  EXPECT_EQ(client.isOpen(), 1) << "refused arguments are not connection failures";
}

TEST(ReceiveAll, StopsWithWhatArrivedWhenThePeerCloses) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  Fd server = loopback::acceptOne(listener);
  ASSERT_TRUE(loopback::writeAll(server, "abcdefgh"));
  char buffer[16];
  EXPECT_EQ(client.receiveAll(buffer, 4, 1), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  server.reset();
  EXPECT_EQ(client.receiveAll(buffer, 10, 1), 4) << "blocking";
  EXPECT_EQ(std::string(buffer, 4), "efgh");
}

TEST(ReceiveAll, PollingStopsAtTheEndOfAClosedStream) {
  int port = 0;
  Fd listener = loopback::listenTcp(&port);
  KF_Socket client;
  ASSERT_EQ(client.openTcpClient("127.0.0.1", port, 1), 1);
  Fd server = loopback::acceptOne(listener);
  ASSERT_TRUE(loopback::writeAll(server, "xyz"));
  server.reset();
  char buffer[16];
  CaptureStdout();
  EXPECT_EQ(client.receiveAll(buffer, 10, 0), 3);
  GetCapturedStdout();
  EXPECT_EQ(std::string(buffer, 3), "xyz");
}

// ---- UDP ----

TEST(Udp, ClientSendsToServer) {
  KF_Socket server;
  ASSERT_EQ(server.openUdpServer(0, 1), 1);
  EXPECT_EQ(server.mode(), KF_Socket::kUdpServer);
  EXPECT_EQ(server.isOpen(), 1);
  const int port = server.localPort();
  ASSERT_GT(port, 0);

  KF_Socket client;
  CaptureStdout();
  ASSERT_EQ(client.openUdpClient("127.0.0.1", port, 1), 1);
  EXPECT_EQ(GetCapturedStdout(), "phe->h_addr is " + loopbackAsInt() + "\n");
  EXPECT_EQ(client.mode(), KF_Socket::kUdpClient);
  EXPECT_EQ(client.send("one", 3, 0), 3);
  EXPECT_EQ(client.send("two!", 4, 0), 4);
  EXPECT_EQ(receiveText(server), "one") << "one datagram per receive";
  EXPECT_EQ(receiveText(server), "two!");
}

TEST(Udp, NonBlockingServerPollsAndCountsTheWaitingDatagram) {
  KF_Socket server;
  ASSERT_EQ(server.openUdpServer(0, 0), 1);
  char buffer[32];
  CaptureStdout();
  EXPECT_EQ(server.receive(buffer, sizeof buffer, 2), 0);
  EXPECT_EQ(GetCapturedStdout(), "before ioctlsocket\ngot a n of 0\ngot n=0\n");

  KF_Socket client;
  ASSERT_EQ(client.openUdpClient("localhost", server.localPort(), 0), 1);
  ASSERT_EQ(client.send("datagram", 8, 0), 8);
  int got = 0;
  for (int attempt = 0; attempt < 100 && got == 0; ++attempt) {
    CaptureStdout();
    got = server.receive(buffer, sizeof buffer, 2);
    GetCapturedStdout();
    if (got == 0) usleep(10000);
  }
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(got)), "datagram");
}

TEST(Udp, EmptyDatagramsAreSkippedByEveryReceive) {
  // "abc" and "de" behind and between empty datagrams: a polled receive must not read 0 for ever
  // at an empty one, nor receiveAll take it for a closed peer.
  struct Case {
    int blocking, waitMode;
    bool all;
  } cases[] = {{1, 0, false}, {0, 0, false}, {1, 1, false}, {0, 1, false},
               {1, 0, true},  {0, 0, true},  {1, 1, true},  {0, 1, true}};
  for (int k = 0; k < 16; ++k) {
    const Case& c = cases[k % 8];
    const bool pair = k >= 8;  // a socket pair taken over instead of a UDP server
    SCOPED_TRACE(testing::Message()
                 << (pair ? "pair" : "udp") << " blocking " << c.blocking << " wait mode "
                 << c.waitMode << (c.all ? " receiveAll" : " receive"));
    KF_Socket server;
    KF_Socket client;
    int ends[2] = {-1, -1};
    CaptureStdout();
    if (pair) {
      ASSERT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM, 0, ends), 0);
      ASSERT_EQ(server.openConnected(ends[0], c.blocking), 1);
      ASSERT_EQ(client.openConnected(ends[1], 1), 1);
    } else {
      ASSERT_EQ(server.openUdpServer(0, c.blocking), 1);
      ASSERT_EQ(client.openUdpClient("127.0.0.1", server.localPort(), 1), 1);
    }
    for (const char* datagram : {"", "", "abc", "", "de"}) {
      ASSERT_EQ(client.send(datagram, static_cast<int>(std::strlen(datagram)), 0),
                static_cast<int>(std::strlen(datagram)));
    }
    char buffer[16];
    std::string text;
    int zeros = 0;
    if (c.all) {
      const int got = server.receiveAll(buffer, 5, c.waitMode);
      text.assign(buffer, static_cast<size_t>(got > 0 ? got : 0));
    }
    for (int polls = 0; !c.all && text.size() < 5 && polls < 200; ++polls) {
      const int got = server.receive(buffer, sizeof buffer, c.waitMode);
      if (got < 0) break;
      text.append(buffer, static_cast<size_t>(got));
      if (got == 0) {
        ++zeros;
        usleep(1000);
      }
    }
    GetCapturedStdout();
    EXPECT_EQ(text, "abcde");
    if (c.waitMode == 1) {
      EXPECT_EQ(zeros, 0) << "a blocking receive waits for data";
    }
  }
  KF_Socket unusable;
  EXPECT_EQ(unusable.openConnected(-1, 1), 0);
  // Shut down for reading, a datagram socket reads 0 at once: its end, no datagram to go past.
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM, 0, ends), 0);
  Fd peer(ends[1]);
  KF_Socket shut;
  ASSERT_EQ(shut.openConnected(ends[0], 1), 1);
  ::shutdown(ends[0], SHUT_RD);
  char buffer[8];
  EXPECT_EQ(shut.receive(buffer, sizeof buffer, 1), 0);
  EXPECT_EQ(shut.receiveAll(buffer, sizeof buffer, 1), 0);
}

TEST(Udp, ServerOnAPortInUseFails) {
  KF_Socket first;
  ASSERT_EQ(first.openUdpServer(0, 1), 1);
  KF_Socket second;
  EXPECT_EQ(second.openUdpServer(first.localPort(), 1), 0);
  EXPECT_EQ(second.isOpen(), 0);
  EXPECT_EQ(second.mode(), KF_Socket::kNone);
}

TEST(Udp, UnknownNameAndUnusableAddressGiveNoConnection) {
  KF_Socket client;
  CaptureStdout();
  EXPECT_EQ(client.openUdpClient("nosuchhost.invalid", 5000, 1), 0);
  EXPECT_EQ(GetCapturedStdout(),
            "could not find nosuchhost.invalid\nTrying to open SOCK_DGRAM Client\nNo connection\n");
  CaptureStdout();
  EXPECT_EQ(client.openUdpClient("0.0.0.0", 5000, 1), 0);
  EXPECT_EQ(GetCapturedStdout(), "phe->h_addr is 0\nNo connection\n");
}

TEST(Udp, ClosedClientReopensOnTheNextSend) {
  KF_Socket server;
  ASSERT_EQ(server.openUdpServer(0, 1), 1);
  KF_Socket client;
  CaptureStdout();
  ASSERT_EQ(client.openUdpClient("127.0.0.1", server.localPort(), 1), 1);
  client.close();
  EXPECT_EQ(client.send("dropped", 7, 0), 0);
  EXPECT_EQ(GetCapturedStdout(), "phe->h_addr is " + loopbackAsInt() +
                                     "\nAttempting to re-connect with server\nReopened the "
                                     "connection\n");
  ASSERT_EQ(client.send("after", 5, 0), 5);
  EXPECT_EQ(receiveText(server), "after");
}

TEST(TcpServer, NonBlockingSingleClientServerWithoutAClientFails) {
  KF_Socket server;
  CaptureStdout();
  EXPECT_EQ(server.openTcpServer(0, 0, nullptr, nullptr), 0);
  EXPECT_EQ(GetCapturedStdout(), "sicket_fd open failed with return vlaue -1\n");
  EXPECT_EQ(server.isOpen(), 0);
  EXPECT_EQ(server.mode(), KF_Socket::kNone);
  EXPECT_EQ(server.localPort(), 0) << "the listening socket is closed";
}

}  // namespace
