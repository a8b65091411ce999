// Packet rings, the port file, the buffer-size limits and the packet builder, without sockets.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "halvex/streams/input_port.h"
#include "halvex/streams/input_port_set.h"
#include "halvex/streams/packet_builder.h"
#include "halvex/streams/packet_ring.h"
#include "halvex/streams/port_receiver.h"
#include "halvex/streams/position_packet.h"
#include "halvex/tracking/node_table.h"
#include "tests/support/scratch_dir.h"

namespace {

TEST(PacketRing, KeepsArrivalOrderCutsLongTextsAndDropsWhenFull) {
  PacketRing ring(8, 3);
  EXPECT_TRUE(ring.store("one", 3));
  EXPECT_TRUE(ring.store("exactly8", 8));  // B characters: the last gives way to the terminator
  EXPECT_TRUE(ring.store("", 0));
  EXPECT_FALSE(ring.overflow());
  EXPECT_FALSE(ring.store("four", 4));
  EXPECT_TRUE(ring.overflow());
  EXPECT_EQ(ring.fillCount(), 3);
  EXPECT_STREQ(ring.nextPacket(), "one");
  EXPECT_STREQ(ring.nextPacket(), "exactly");
  EXPECT_STREQ(ring.nextPacket(), "");
  EXPECT_EQ(ring.nextPacket(), nullptr);
  ring.rewind();
  EXPECT_STREQ(ring.nextPacket(), "one");
  ring.clear();
  EXPECT_FALSE(ring.overflow());
  EXPECT_EQ(ring.nextPacket(), nullptr);
  EXPECT_TRUE(ring.store("again", 5));
  EXPECT_STREQ(ring.buffer(0), "again");
  // Buffers lie B bytes apart in one block, so a cut text never reaches its neighbour.
  EXPECT_EQ(ring.buffer(1) - ring.buffer(0), 8);
}

TEST(PacketRing, RaisesSizesItCannotHold) {
  PacketRing ring(0, 0);
  EXPECT_EQ(ring.bufferBytes(), 2);
  EXPECT_EQ(ring.bufferCount(), 1);
  EXPECT_TRUE(ring.store("xyz", 3));
  EXPECT_STREQ(ring.nextPacket(), "x");
}

TEST(PortReceiver, FiftyFirstPacketOfAPassIsDroppedAndCounted) {
  PortReceiver receiver("239.255.0.1", 5000, 100, 50);
  for (int i = 0; i < 51; ++i) {
    const std::string text = "packet " + std::to_string(i);
    receiver.deliver(text.c_str(), static_cast<int>(text.size()));
  }
  EXPECT_EQ(receiver.statistics().received, 50u);
  EXPECT_EQ(receiver.statistics().dropped, 1u);
  PacketRing& read = receiver.swapRings();
  EXPECT_TRUE(read.overflow());
  EXPECT_EQ(read.fillCount(), 50);
  EXPECT_STREQ(read.nextPacket(), "packet 0");
  // The other ring now takes packets again, and the next swap hands it over without the flag.
  receiver.deliver("late", 4);
  PacketRing& next = receiver.swapRings();
  EXPECT_NE(&next, &read);
  EXPECT_FALSE(next.overflow());
  EXPECT_STREQ(next.nextPacket(), "late");
  EXPECT_EQ(next.nextPacket(), nullptr);
  EXPECT_EQ(receiver.swapRings().fillCount(), 0);
}

TEST(PortReceiver, RefusesToOpenWhatIsNoUdpPort) {
  for (long port : {0L, -1L, 65536L, 70000L}) {
    PortReceiver receiver("239.255.0.1", port, 100, 5);
    EXPECT_FALSE(receiver.open()) << port;
    EXPECT_FALSE(receiver.isOpen());
    receiver.stop();  // harmless when closed
  }
}

class PortFileTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  NodeTable table_;
  InputPortSet ports_{table_, 250, 20};
};

TEST_F(PortFileTest, ReadsOnePortPerLineOfThreeTokens) {
  const std::string path = dir_.write("ports.mcp",
                                      "# name group port\n"
                                      "#north 239.1.1.1 5001\n"
                                      "north\t239.255.10.1   5001\n"
                                      "two 239.255.10.2\n"
                                      "\n"
                                      "   \r\n"
                                      "south 239.255.10.3 5003 extra words\r\n"
                                      "odd 239.255.10.4 5004x\n"
                                      "last 239.255.10.5 notanumber");
  EXPECT_TRUE(ports_.loadPortFile(path.c_str()));
  EXPECT_TRUE(ports_.portsLoaded());
  EXPECT_FALSE(ports_.receiving());
  ASSERT_EQ(ports_.portCount(), 4);
  InputPort* north = ports_.portAt(0);
  EXPECT_STREQ(north->name(), "north");
  EXPECT_STREQ(north->group(), "239.255.10.1");
  EXPECT_EQ(north->port(), 5001);
  EXPECT_FALSE(north->active());
  EXPECT_STREQ(ports_.portAt(1)->name(), "south");
  EXPECT_EQ(ports_.portAt(1)->port(), 5003);
  EXPECT_EQ(ports_.portAt(2)->port(), 5004);  // read as a long: digits first count
  EXPECT_EQ(ports_.portAt(3)->port(), 0);     // no number: a port that receives nothing
  EXPECT_EQ(ports_.portAt(4), nullptr);
  EXPECT_EQ(ports_.portAt(-1), nullptr);
  // Links in file order; rings sized from the table.
  EXPECT_EQ(north->prev, nullptr);
  EXPECT_EQ(north->next, ports_.portAt(1));
  EXPECT_EQ(ports_.portAt(3)->prev, ports_.portAt(2));
  EXPECT_EQ(ports_.portAt(3)->next, nullptr);
  EXPECT_EQ(north->receiver().bufferBytes(), 250);
  EXPECT_EQ(north->receiver().bufferCount(), 20);
  EXPECT_EQ(ports_.processPorts(), 0);  // inactive ports take nothing
}

TEST_F(PortFileTest, FileWithoutPortsOrThatCannotBeOpenedLeavesNoneLoaded) {
  ASSERT_TRUE(ports_.loadPortFile(dir_.write("a.mcp", "a 239.255.0.1 5000\n").c_str()));
  EXPECT_FALSE(ports_.loadPortFile(dir_.path("missing.mcp").c_str()));
  EXPECT_FALSE(ports_.portsLoaded());
  EXPECT_EQ(ports_.portCount(), 0);
  EXPECT_STREQ(ports_.portFilePath(), dir_.path("missing.mcp").c_str());
  EXPECT_FALSE(ports_.loadPortFile(dir_.write("b.mcp", "# only 239.255.0.1 5000\nx y\n").c_str()));
  EXPECT_FALSE(ports_.loadPortFile(""));
  EXPECT_FALSE(ports_.loadPortFile(nullptr));
  EXPECT_EQ(ports_.portCount(), 0);
}

TEST_F(PortFileTest, OverlongLineIsCutNotReadAsTwo) {
  // 2047 characters are kept; the rest of the line must not come back as a port of its own.
  std::string longLine = "first 239.255.0.1 5000 " + std::string(2100, 'x');
  longLine += " tail 239.255.0.2 6000\n";
  std::string text = longLine + "second 239.255.0.3 7000\n";
  text += std::string("nul\0 239.255.0.4 8000\n", 23);  // a NUL ends that line's text
  ASSERT_TRUE(ports_.loadPortFile(dir_.write("long.mcp", text).c_str()));
  ASSERT_EQ(ports_.portCount(), 2);
  EXPECT_STREQ(ports_.portAt(0)->name(), "first");
  EXPECT_STREQ(ports_.portAt(1)->name(), "second");
}

TEST_F(PortFileTest, ReloadReadsTheFileLastNamedEvenWhenOnlyTheCaseDiffers) {
  const std::string lower = dir_.write("ports.mcp", "lower 239.255.0.1 5000\n");
  const std::string upper = dir_.write("PORTS.mcp", "upper 239.255.0.1 5000\n");
  ASSERT_TRUE(ports_.loadPortFile(lower.c_str()));
  ASSERT_TRUE(ports_.loadPortFile(upper.c_str()));
  EXPECT_STREQ(ports_.portFilePath(), upper.c_str());
  EXPECT_EQ(ports_.setBuffersPerPort(30), 30);  // reloads by the remembered name
  ASSERT_EQ(ports_.portCount(), 1);
  EXPECT_STREQ(ports_.portAt(0)->name(), "upper");
  EXPECT_EQ(ports_.portAt(0)->receiver().bufferCount(), 30);
}

TEST_F(PortFileTest, BufferSettingsRebuildLoadedPortsOnlyOnChange) {
  ASSERT_TRUE(ports_.loadPortFile(dir_.write("p.mcp", "p 239.255.0.1 5000\n").c_str()));
  const InputPort* before = ports_.portAt(0);
  EXPECT_EQ(ports_.setBytesPerBuffer(250), 250);
  EXPECT_EQ(ports_.setBuffersPerPort(20), 20);
  EXPECT_EQ(ports_.portAt(0), before);  // same values: nothing rebuilt
  EXPECT_EQ(ports_.setBytesPerBuffer(120), 120);
  ASSERT_EQ(ports_.portCount(), 1);
  EXPECT_EQ(ports_.portAt(0)->receiver().bufferBytes(), 120);
  EXPECT_EQ(ports_.portAt(0)->receiver().bufferCount(), 20);
  EXPECT_FALSE(ports_.receiving());
}

TEST_F(PortFileTest, BufferSettingsThatWouldBreakTheRingsAreRefusedOrCut) {
  EXPECT_EQ(ports_.setBytesPerBuffer(1), 250);  // refused: no room for a character
  EXPECT_EQ(ports_.setBytesPerBuffer(0), 250);
  EXPECT_EQ(ports_.setBytesPerBuffer(-40), 250);
  EXPECT_EQ(ports_.setBuffersPerPort(0), 20);
  EXPECT_EQ(ports_.setBuffersPerPort(-1), 20);
  EXPECT_EQ(ports_.setBytesPerBuffer(2), 2);
  EXPECT_EQ(ports_.setBytesPerBuffer(1 << 30), InputPortSet::kMaxBufferBytes);
  // With 65536-byte buffers, 64 MiB per ring allow 1024 of them.
  EXPECT_EQ(ports_.setBuffersPerPort(1 << 30), 1024);
  EXPECT_EQ(ports_.setBytesPerBuffer(200), 200);
  EXPECT_EQ(ports_.setBuffersPerPort(1 << 30), InputPortSet::kMaxBuffersPerPort);
  EXPECT_EQ(ports_.setBytesPerBuffer(65536), (64 << 20) / InputPortSet::kMaxBuffersPerPort);
  EXPECT_EQ(ports_.bufferBytes() * static_cast<long>(ports_.buffersPerPort()),
            InputPortSet::kMaxRingBytes);

  InputPortSet unusable(table_, 0, -5);
  EXPECT_EQ(unusable.bufferBytes(), InputPortSet::kDefaultBufferBytes);
  EXPECT_EQ(unusable.buffersPerPort(), InputPortSet::kDefaultBuffersPerPort);
  InputPortSet huge(table_, 1 << 30, 1 << 30);
  EXPECT_EQ(huge.bufferBytes(), InputPortSet::kMaxBufferBytes);
  EXPECT_EQ(huge.buffersPerPort(), 1024);
}

/// Caps the address space of this (child) process at what it uses now plus `extraMiB`, so that
/// unbounded allocation fails at once instead of exhausting the machine. Sanitizers reserve
/// vast address ranges of their own, so there the cap is left out.
void capAddressSpace(long extraMiB) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlim_t cap = static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + (extraMiB << 20));
  const rlimit limit{cap, cap};
  ::setrlimit(RLIMIT_AS, &limit);
#else
  (void)extraMiB;
#endif
}

TEST_F(PortFileTest, ThousandsOfPortsWithTheLargestBuffersStayWithinTheRingMemory) {
  // 3000 ports of two 64 MiB rings: the default 256 MiB of ring memory holds two of them.
  std::string text = "# name group port\n";
  for (int k = 0; k < 3000; ++k) text += "p" + std::to_string(k) + " 239.255.0.1 5000\n";
  const std::string path = dir_.write("ports.mcp", text);
  EXPECT_EXIT(
      {
        capAddressSpace(256 + 64);
        InputPortSet ports(table_, InputPortSet::kMaxBufferBytes, InputPortSet::kMaxBuffersPerPort);
        ports.loadPortFile(path.c_str());
        std::fprintf(stderr, "%d ports\n", ports.portCount());
        std::exit(0);
      },
      testing::ExitedWithCode(0), "^[^\n]*ports.mcp line 4: [^\n]*2998 in all[^\n]*\n2 ports\n$");
}

TEST_F(PortFileTest, RingMemoryHoldsTheFirstPortsAndOneMessageNamesTheFirstLeftOut) {
  // Ports of two 256 KiB rings, a comment on line 2.
  const std::string path = dir_.write("five.mcp",
                                      "a 239.255.0.1 5001\n# x y z\nb 239.255.0.1 5002\n"
                                      "c 239.255.0.1 5003\nd 239.255.0.1 5004\n"
                                      "e 239.255.0.1 5005\n");
  ports_.setBytesPerBuffer(1024);
  ports_.setBuffersPerPort(256);
  struct Row {
    int memoryMB, ports;
    const char* message;
  } rows[] = {{1, 2, "five.mcp line 4: not opened, with every port after it (3 in all)"},
              {2, 4, "five.mcp line 6: not opened, with every port after it (1 in all)"},
              {3, 5, nullptr}};
  for (const Row& row : rows) {
    EXPECT_EQ(ports_.setRingMemoryMB(row.memoryMB), row.memoryMB);
    testing::internal::CaptureStderr();
    ports_.loadPortFile(path.c_str());
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ports_.portCount(), row.ports) << row.memoryMB;
    if (row.message == nullptr) {
      EXPECT_EQ(message, "");
    } else {
      EXPECT_NE(message.find(row.message), std::string::npos) << message;
      EXPECT_EQ(message.find('\n'), message.size() - 1) << "one message: " << message;
    }
  }
  EXPECT_EQ(ports_.setRingMemoryMB(0), 3);  // refused
  EXPECT_EQ(ports_.setRingMemoryMB(-5), 3);
  testing::internal::CaptureStderr();
  EXPECT_EQ(ports_.setRingMemoryMB(1), 1);  // a change reloads the loaded ports
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(ports_.portCount(), 2);
  // Sizes and memory at once: one reload, so one message (one each would give two).
  testing::internal::CaptureStderr();
  ports_.setRingSettings(2048, 256, 2);
  const std::string once = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ports_.portCount(), 2);
  EXPECT_NE(once.find("five.mcp line 4:"), std::string::npos) << once;
  EXPECT_EQ(once.find('\n'), once.size() - 1) << once;
}

/// The checksum written after sentence `k` (1 or 2) of a packet, and the one it should have.
void expectChecksum(const std::string& packet, int k) {
  size_t dollar = packet.find("$GP");
  if (k == 2) dollar = packet.find("$GP", dollar + 1);
  const size_t star = packet.find('*', dollar);
  ASSERT_NE(star, std::string::npos);
  char expected[3];
  std::snprintf(expected, sizeof expected, "%02X",
                nmeaChecksum(packet.c_str() + dollar + 1, packet.c_str() + star));
  EXPECT_EQ(packet.substr(star + 1, 2), expected) << packet;
}

TEST(PacketBuilder, BuildsPacketsThatTheParserReadsBack) {
  struct Case {
    double latitude, longitude;
    int64_t ms;
    const char* dateText;
  } cases[] = {
      {32.708333333, -117.16, 1796647519500, "2026/12/07,12:45:19.500"},
      {-33.8568, 151.2153, 0, "1970/01/01,00:00:00.000"},
      {0.0, 0.0, 1709164800999, "2024/02/29,00:00:00.999"},  // a leap day
      {-90.0, -180.0, 951868799000, "2000/02/29,23:59:59.000"},
      {89.99999999, 179.99999999, 253402300799999, "9999/12/31,23:59:59.999"},
  };
  for (const Case& c : cases) {
    PacketFix fix;
    fix.id = 42;
    fix.comment1 = "north gate";
    fix.comment2 = "$*";
    fix.latitude = c.latitude;
    fix.longitude = c.longitude;
    fix.utcMilliseconds = c.ms;
    char out[kMaxBuiltPacketBytes];
    const int length = buildPositionPacket(fix, out, sizeof out);
    ASSERT_GT(length, 0);
    const std::string text(out);
    ASSERT_EQ(static_cast<int>(text.size()), length);
    expectChecksum(text, 1);
    expectChecksum(text, 2);
    PositionFix parsed;
    ASSERT_TRUE(parsePositionPacket(out, parsed)) << text;
    EXPECT_EQ(parsed.id, 42);
    EXPECT_STREQ(parsed.comment1, "north gate");
    EXPECT_STREQ(parsed.comment2, "$*");
    EXPECT_STREQ(parsed.zda.dateText, c.dateText);
    // 1/10000 minute is under 2e-6 degrees.
    EXPECT_NEAR(parsed.gll.latitude, c.latitude, 2e-6) << text;
    EXPECT_NEAR(parsed.gll.longitude, c.longitude, 2e-6) << text;
  }
}

TEST(PacketBuilder, RefusesWhatCannotBeAPacket) {
  char out[kMaxBuiltPacketBytes];
  PacketFix fix;
  fix.utcMilliseconds = 1000;
  ASSERT_GT(buildPositionPacket(fix, out, sizeof out), 0);
  PacketFix bad = fix;
  bad.comment1 = "a,b";  // would shift every later field
  EXPECT_EQ(buildPositionPacket(bad, out, sizeof out), -1);
  bad = fix;
  bad.latitude = 90.5;
  EXPECT_EQ(buildPositionPacket(bad, out, sizeof out), -1);
  bad.latitude = std::nan("");
  EXPECT_EQ(buildPositionPacket(bad, out, sizeof out), -1);
  bad = fix;
  bad.longitude = -180.001;
  EXPECT_EQ(buildPositionPacket(bad, out, sizeof out), -1);
  bad = fix;
  bad.utcMilliseconds = -1;
  EXPECT_EQ(buildPositionPacket(bad, out, sizeof out), -1);
  bad.utcMilliseconds = 253402300800000;  // year 10000
  EXPECT_EQ(buildPositionPacket(bad, out, sizeof out), -1);
  // Too small a buffer: refused, and what it holds stays terminated.
  char small[20];
  EXPECT_EQ(buildPositionPacket(fix, small, sizeof small), -1);
  EXPECT_LT(std::string(small).size(), sizeof small);
  PacketFix nulls = fix;
  nulls.comment1 = nullptr;
  nulls.comment2 = nullptr;
  ASSERT_GT(buildPositionPacket(nulls, out, sizeof out), 0);
  EXPECT_EQ(std::string(out).substr(0, 4), "0,,,");
}

}  // namespace
