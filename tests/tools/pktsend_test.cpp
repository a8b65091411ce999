// The pktsend tool: its options, its pacing and what it puts on the wire.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "halvex/net/multicast_socket.h"
#include "halvex/streams/packet_builder.h"
#include "halvex/streams/position_packet.h"
#include "tests/support/child_process.h"

namespace {

/// Runs pktsend with `args` through the shell; returns its exit status and sets `output` to
/// what it wrote on standard output and standard error.
int pktsend(const std::string& args, std::string* output = nullptr) {
  testsupport::ChildProcess child(
      {"/bin/sh", "-c", std::string(PKTSEND_PATH) + " " + args + " 2>&1"},
      testsupport::ChildOutput::kFiles);
  const int status = child.wait();
  if (output != nullptr) *output = child.output;
  return status;
}

TEST(Pktsend, HelpExplainsEveryOption) {
  std::string help;
  ASSERT_EQ(pktsend("--help", &help), 0);
  for (const char* option : {"--group", "--port", "--ids", "--count", "--rate", "--motion", "--lat",
                             "--lon", "--radius", "--speed", "--heading", "--start", "--step",
                             "--comment1", "--comment2", "--quiet", "--help", "TTL 0"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

TEST(Pktsend, RefusesBadOptionsBeforeSendingAnything) {
  for (const char* args :
       {"--group 10.1.2.3", "--group 239.1", "--port 0", "--port 65536", "--ids 5-2", "--ids 1001",
        "--ids 1,,2", "--ids ''", "--rate -1", "--count -3", "--motion spiral", "--lat 91",
        "--comment1 a,b", "--start 1969-01-01T00:00:00", "--start yesterday", "--step x",
        "--bogus 1", "--port"}) {
    std::string output;
    EXPECT_EQ(pktsend(args, &output), 2) << args;
    EXPECT_NE(output.find("pktsend:"), std::string::npos) << args;
  }
}

TEST(Pktsend, SendsParsablePacketsWithRisingTimesAtThePacedRate) {
  const int fd = openMulticastReceiver("239.255.30.1", 47100);
  ASSERT_GE(fd, 0);
  constexpr int kCount = 600;
  constexpr int kRate = 2000;
  const auto begin = std::chrono::steady_clock::now();
  // Read while it sends, so that the socket's queue never overflows.
  FILE* pipe = popen(PKTSEND_PATH
                     " --group 239.255.30.1 --port 47100 --ids 4,8-9 --count 600 --rate 2000"
                     " --start 2026-12-07T23:59:59.9 --comment2 two 2>&1",
                     "r");
  ASSERT_NE(pipe, nullptr);

  const int expectedIds[] = {4, 8, 9};
  int64_t last[10] = {};
  int received = 0;
  pollfd waiting{fd, POLLIN, 0};
  while (received < kCount && poll(&waiting, 1, 5000) > 0) {
    char text[kMaxBuiltPacketBytes];
    const ssize_t n = recv(fd, text, sizeof text - 1, 0);
    ASSERT_GT(n, 0);
    text[n] = '\0';
    PositionFix fix;
    ASSERT_TRUE(parsePositionPacket(text, fix)) << text;
    EXPECT_EQ(fix.id, expectedIds[received % 3]);
    EXPECT_STREQ(fix.comment2, "two");
    // Each vehicle's packet time rises by ids / rate = 1.5 ms a round, across midnight: 1 or 2
    // ms as written, and the reader's truncated milliseconds may take one more.
    const int64_t ms = fix.zda.time.seconds * 1000 + fix.zda.time.milliseconds;
    if (last[fix.id] != 0) {
      EXPECT_GE(ms, last[fix.id]);
      EXPECT_LE(ms - last[fix.id], 3);
    }
    last[fix.id] = ms;
    ++received;
  }
  close(fd);
  EXPECT_EQ(received, kCount);

  std::string summary;
  std::array<char, 512> chunk;
  while (fgets(chunk.data(), chunk.size(), pipe) != nullptr) summary += chunk.data();
  EXPECT_EQ(pclose(pipe), 0);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  // The last batch leaves no earlier than its due time, about (count - 2) / rate.
  EXPECT_GE(elapsed, (kCount - 2.0) / kRate - 0.01);
  EXPECT_LT(elapsed, 10.0);
  EXPECT_NE(summary.find("600 packets sent"), std::string::npos) << summary;
}

}  // namespace
